// Shared fixture of the test HTTP server's own tests: a folder with a 100000-byte file
// "pkg.bin" of known bytes, served by a fresh server for each test.
//
// Contract: used on the test's thread; the folder and the server live as long as the test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/TestHttpClient.h"
#include "support/TestHttpServer.h"
#include "support/TestFiles.h"

namespace testing_support {

class HttpServerFixture : public ::testing::Test {
 protected:
  static constexpr size_t kPayloadSize = 100000;

  void SetUp() override {
    for (size_t i = 0; i < kPayloadSize; ++i) {
      payload_.push_back(static_cast<char>((i * 131 + i / 251) & 0xFF));
    }
    ASSERT_TRUE(WriteBinaryFile(root_ / L"pkg.bin", payload_));
    ASSERT_TRUE(server_.Start(root_.path())) << server_.error();
  }

  HttpReply Get(const std::string& target, const std::string& range = std::string(),
                uint32_t timeoutMs = 15000) {
    return HttpGet(server_.port(), target, range, timeoutMs);
  }

  bool AddRule(const FaultRule& rule) {
    const bool added = server_.AddRule(rule);
    EXPECT_TRUE(added) << server_.error();
    return added;
  }

  std::string Slice(size_t first, size_t length) const { return payload_.substr(first, length); }

  TempFolder root_{L"http-root"};
  TestHttpServer server_;
  std::string payload_;
};

}  // namespace testing_support
