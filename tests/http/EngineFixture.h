// Shared fixture of the engine's Windows tests: the command and download families and their
// timer as start-up brings them up, the main-thread task window, a support log of the run,
// and the test HTTP server on a folder holding "/pkg.bin" of known bytes.
//
// Contract: the test's thread plays the user-interface thread and pumps its messages so that
// notifications and the timer run. TearDown brings the engine down as shut-down does and
// checks that no transfer object outlived the test. Helpers report through gtest.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "http/CurlBase.h"
#include "http/HttpCommand.h"
#include "http/HttpEngine.h"
#include "runtime/Loggers.h"
#include "runtime/MainThreadTask.h"
#include "support/MessagePump.h"
#include "support/SupportLogFile.h"
#include "support/TestCertificates.h"
#include "support/TestFiles.h"
#include "support/TestHttpServer.h"

namespace engine_test {

// A port on 127.0.0.1 where nothing listens: the kernel's pick, let go again.
inline uint16_t ClosedPort() {
  uint16_t port = 0;
  testing_support::BindLoopback(SOCK_STREAM, &port);
  return port;
}

// A command that records its completion and when each of its runs started.
class Command : public CHttpCommand {
 public:
  explicit Command(const std::wstring& address = std::wstring()) {
    url = address;
    onDone = [](void* self, const std::string& text, int t, int c) {
      Command* command = static_cast<Command*>(self);
      ++command->calls;
      command->body = text;
      command->type = t;
      command->code = c;
    };
    userData = this;
  }
  bool Start() override {
    const bool started = CHttpCommand::Start();
    if (started) starts.push_back(::GetTickCount());
    return started;
  }

  int calls = 0;
  std::string body;
  int type = -1;
  int code = -1;
  std::vector<uint32_t> starts;
};

class EngineTest : public testing::Test {
 protected:
  static constexpr size_t kPackageSize = 100000;

  void SetUp() override {
    ASSERT_TRUE(InitMainThreadTasks());
    liveBefore_ = CCurlBase::LiveCount();
    ASSERT_TRUE(CHttpEngine::StartTimer());
    ASSERT_TRUE(CHttpEngine::StartCommandFamily());
    ASSERT_TRUE(CHttpEngine::StartDownloadFamily());
    LoggerConfig config;
    config.flags = LoggerConfig::kTimeStamp | LoggerConfig::kProcessId | LoggerConfig::kThreadId;
    config.appendNewline = true;
    ASSERT_TRUE(FileLogger::Instance().Open(logFile_, config));
    // Bytes that differ from one position to the next, so that a misplaced byte shows.
    for (size_t i = 0; i < kPackageSize; ++i) package_ += static_cast<char>(i * 131 + i / 251);
    ASSERT_TRUE(testing_support::WriteBinaryFile(root_ / L"pkg.bin", package_));
    ASSERT_TRUE(server_.Start(root_.path())) << server_.error();
  }

  void TearDown() override {
    // As shut-down does it: commands, downloads, then the timer.
    CHttpEngine::ShutdownCommandFamily();
    CHttpEngine::ShutdownDownloadFamily();
    CHttpEngine::StopTimer();
    ClearMainThreadTasks();
    FileLogger::Instance().Close();
    FileLogger::Instance().Detach();
    EXPECT_EQ(CCurlBase::LiveCount(), liveBefore_) << "a transfer object outlived its test";
  }

  // Joins every command (each fresh) to the command scheduler; pumps until each completed.
  bool RunAll(const std::vector<Command*>& commands) {
    for (Command* command : commands) {
      if (!CHttpEngine::JoinCommandScheduler(command)) return false;
    }
    return testing_support::PumpMessagesUntil([&] {
      for (const Command* command : commands) {
        if (command->calls == 0) return false;
      }
      return true;
    }, 60000);
  }
  bool Run(Command& command) { return RunAll({&command}); }

  bool AddRule(const testing_support::FaultRule& rule) {
    const bool added = server_.AddRule(rule);
    EXPECT_TRUE(added) << server_.error();
    return added;
  }

  // Starts `server` on root_ in TLS mode with `files`; its Url() names "localhost".
  testing::AssertionResult StartTls(testing_support::TestHttpServer& server,
                                    const testing_support::TlsFiles& files) {
    std::string error;
    if (!testing_support::TrustTestAuthority(&error)) return testing::AssertionFailure() << error;
    testing_support::TestHttpServer::Options tls;
    tls.tlsCertificate = files.certificate;
    tls.tlsKey = files.key;
    if (server.Start(root_.path(), tls)) return testing::AssertionSuccess();
    return testing::AssertionFailure() << server.error();
  }

  // The support log's messages that begin with `start`.
  std::vector<std::wstring> Logged(const std::wstring& start) const {
    return testing_support::ReadSupportLog(logFile_).Messages(start);
  }

  testing_support::TempFolder root_{L"http-root"};
  std::wstring logFile_ = root_ / L"support.log";
  testing_support::TestHttpServer server_;
  std::string package_;  // "/pkg.bin"
  int32_t liveBefore_ = 0;
};

}  // namespace engine_test
