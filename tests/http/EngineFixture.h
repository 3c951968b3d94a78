// Shared fixture of the engine's Windows tests: the command and download families and the
// scheduler timer running as start-up brings them up, the main-thread task window, and the
// test HTTP server on a folder of files with known bytes.
//
// Contract: used on the test's thread, which plays the user-interface thread: tests pump its
// messages (PumpMessagesUntil) so that notifications and the timer run. TearDown brings the
// engine down as shut-down does and checks that no transfer object outlived the test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "http/HttpCommand.h"
#include "support/MessagePump.h"
#include "support/TestFiles.h"
#include "support/TestCertificates.h"
#include "support/TestHttpServer.h"

namespace engine_test {

// Bytes that differ from one position to the next, so a misplaced byte shows.
std::string Pattern(size_t size, unsigned seed);

// A port on 127.0.0.1 where nothing listens: the kernel's pick, let go again.
uint16_t ClosedPort();

// Each run after the first started more than the scheduler's pause after the one before.
void ExpectRetryPauses(const std::vector<uint32_t>& starts);

// What a command's completion callback received.
struct Completion {
  int calls = 0;
  std::string body;
  int type = -1;
  int code = -1;
  uint32_t tick = 0;
};

// The callback for `onDone`, with a Completion as user data.
void RecordCompletion(void* completion, const std::string& body, int type, int code);

// A command that notes when each of its runs starts.
class CountingCommand : public CHttpCommand {
 public:
  bool Start() override;
  std::vector<uint32_t> starts;
};

class EngineTest : public testing::Test {
 protected:
  static constexpr size_t kPackageSize = 100000;

  void SetUp() override;
  void TearDown() override;

  // A GET command for `path` on the test server (or on `server`), its completion recorded in
  // `done`.
  void Prepare(CHttpCommand& command, const std::string& path, Completion& done);
  void Prepare(CHttpCommand& command, testing_support::TestHttpServer& server,
               const std::string& path, Completion& done);
  bool WaitFor(const Completion& done, uint32_t limitMs = 60000);
  // Joins the command, its completion recorded in `done`, and waits for one more call.
  testing::AssertionResult Run(CHttpCommand& command, Completion& done);
  // Prepare, then Run.
  testing::AssertionResult Fetch(CHttpCommand& command, const std::string& path,
                                 Completion& done);
  bool AddRule(const testing_support::FaultRule& rule);
  // Starts `server` on root_ in TLS mode with `files`; its Url() names "localhost".
  testing::AssertionResult StartTls(testing_support::TestHttpServer& server,
                                    const testing_support::TlsFiles& files);

  testing_support::TempFolder root_{L"http-root"};
  testing_support::TestHttpServer server_;
  std::string package_;  // "/pkg.bin"
  int32_t liveBefore_ = 0;
};

}  // namespace engine_test
