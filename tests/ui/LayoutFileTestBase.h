// Test fixture shared by the layout-file tests: resets the skin's storage around each test
// and checks LoadFromFile's outcome.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "ui/LayoutXml.h"
#include "ui/SkinStorage.h"

namespace testing_support {

class LayoutFileTestBase : public testing::Test {
 protected:
  static constexpr size_t kLimit = SkinUI::CLayoutXml::kMaxFileSize;

  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    SkinUI::CSkinStorage::CloseSkinArchive();
    SkinUI::CSkinStorage::SetResourcePath(L"");
  }

  // A well-formed layout of exactly `size` bytes.
  static std::string LayoutOfSize(size_t size) {
    const std::string head = "<Window>", tail = "</Window>";
    return head + std::string(size - head.size() - tail.size(), ' ') + tail;
  }

  static void ExpectError(const wchar_t* name, const wchar_t* message) {
    SkinUI::CLayoutXml xml;
    EXPECT_FALSE(xml.LoadFromFile(name)) << name;
    EXPECT_STREQ(xml.GetLastErrorMessage(), message) << name;
    EXPECT_STREQ(xml.GetLastErrorLocation(), L"");
    EXPECT_FALSE(xml.IsValid());
  }

  static void ExpectLoads(const wchar_t* name, const wchar_t* rootName) {
    SkinUI::CLayoutXml xml;
    ASSERT_TRUE(xml.LoadFromFile(name)) << xml.GetLastErrorMessage();
    EXPECT_STREQ(xml.GetRoot().GetName(), rootName);
  }
};

}  // namespace testing_support
