#include "http/EngineFixture.h"

#include <winsock2.h>
#include <windows.h>

#include "http/CurlBase.h"
#include "http/HttpEngine.h"
#include "runtime/MainThreadTask.h"
#include "support/TestHttpClient.h"

namespace engine_test {

std::string Pattern(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>((i * 131 + i / 251 + seed) & 0xFF);
  }
  return bytes;
}

uint16_t ClosedPort() {
  uint16_t port = 0;
  testing_support::BindLoopback(SOCK_STREAM, &port);
  return port;
}

void ExpectRetryPauses(const std::vector<uint32_t>& starts) {
  for (size_t i = 1; i < starts.size(); ++i) {
    EXPECT_GT(starts[i] - starts[i - 1], 500u) << "run " << i + 1;
  }
}

void RecordCompletion(void* completion, const std::string& body, int type, int code) {
  Completion* done = static_cast<Completion*>(completion);
  ++done->calls;
  done->body = body;
  done->type = type;
  done->code = code;
  done->tick = ::GetTickCount();
}

bool CountingCommand::Start() {
  const bool started = CHttpCommand::Start();
  if (started) starts.push_back(::GetTickCount());
  return started;
}

void EngineTest::SetUp() {
  ASSERT_TRUE(InitMainThreadTasks());
  liveBefore_ = CCurlBase::LiveCount();
  ASSERT_TRUE(CHttpEngine::StartTimer());
  ASSERT_TRUE(CHttpEngine::StartCommandFamily());
  ASSERT_TRUE(CHttpEngine::StartDownloadFamily());
  package_ = Pattern(kPackageSize, 0);
  ASSERT_TRUE(testing_support::WriteBinaryFile(root_ / L"pkg.bin", package_));
  ASSERT_TRUE(server_.Start(root_.path())) << server_.error();
}

void EngineTest::TearDown() {
  // As shut-down does it: commands, downloads, then the timer.
  CHttpEngine::ShutdownCommandFamily();
  CHttpEngine::ShutdownDownloadFamily();
  CHttpEngine::StopTimer();
  ClearMainThreadTasks();
  EXPECT_EQ(CCurlBase::LiveCount(), liveBefore_) << "a transfer object outlived its test";
}

testing::AssertionResult EngineTest::StartTls(testing_support::TestHttpServer& server,
                                              const testing_support::TlsFiles& files) {
  std::string error;
  if (!testing_support::TrustTestAuthority(&error)) return testing::AssertionFailure() << error;
  testing_support::TestHttpServer::Options tls;
  tls.tlsCertificate = files.certificate;
  tls.tlsKey = files.key;
  if (!server.Start(root_.path(), tls)) return testing::AssertionFailure() << server.error();
  return testing::AssertionSuccess();
}

void EngineTest::Prepare(CHttpCommand& command, const std::string& path, Completion& done) {
  Prepare(command, server_, path, done);
}

void EngineTest::Prepare(CHttpCommand& command, testing_support::TestHttpServer& server,
                         const std::string& path, Completion& done) {
  command.url = server.WideUrl(path);
  command.onDone = RecordCompletion;
  command.userData = &done;
}

bool EngineTest::WaitFor(const Completion& done, uint32_t limitMs) {
  return testing_support::PumpMessagesUntil([&] { return done.calls > 0; }, limitMs);
}

testing::AssertionResult EngineTest::Run(CHttpCommand& command, Completion& done) {
  command.onDone = RecordCompletion;
  command.userData = &done;
  const int before = done.calls;
  if (!CHttpEngine::JoinCommandScheduler(&command)) {
    return testing::AssertionFailure() << "the command scheduler refused the command";
  }
  if (!testing_support::PumpMessagesUntil([&] { return done.calls > before; }, 60000)) {
    return testing::AssertionFailure() << "no completion within a minute";
  }
  return testing::AssertionSuccess();
}

testing::AssertionResult EngineTest::Fetch(CHttpCommand& command, const std::string& path,
                                           Completion& done) {
  Prepare(command, path, done);
  return Run(command, done);
}

bool EngineTest::AddRule(const testing_support::FaultRule& rule) {
  const bool added = server_.AddRule(rule);
  EXPECT_TRUE(added) << server_.error();
  return added;
}

}  // namespace engine_test
