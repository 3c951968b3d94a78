// The transfer schedulers with the real engine: retries released by the 500 ms timer,
// requests that stop or vanish while the engine holds them, and families that go down while
// requests still point at them.
#include "http/HttpMgr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/EngineFixture.h"

using engine_test::Command;
using testing_support::FaultRule;
using testing_support::PumpMessagesUntil;

namespace {

using Scheduler = engine_test::EngineTest;

// A retry waits for the timer to release it, more than the scheduler's pause after it was
// asked for; its tick taken before the tick counter wrapped lies above the counter's value
// after it, and it is released all the same. Requests belong to their creators, who may
// destroy them in their own completion callback or in the middle of a transfer.
TEST_F(Scheduler, RetriesAndRequestsDestroyedAnyTime) {
  // Alone: any other request's scheduling would start a waiting retry at once.
  Command wrapped(server_.WideUrl("/pkg.bin"));
  wrapped.retryPending = true;
  wrapped.retryTick = ::GetTickCount() - 0x70000000u;
  ASSERT_TRUE(CHttpEngine::JoinCommandScheduler(&wrapped));
  EXPECT_FALSE(wrapped.running);
  ASSERT_TRUE(PumpMessagesUntil([&] { return wrapped.calls == 1; }, 5000));
  EXPECT_EQ(wrapped.type, 0);
  Command refused(L"http://127.0.0.1:" + std::to_wstring(engine_test::ClosedPort()));
  ASSERT_TRUE(Run(refused));
  ASSERT_EQ(refused.starts.size(), 3u);
  EXPECT_GT(refused.starts[1] - refused.starts[0], CHttpMgr::kRetryDelayMs);
  EXPECT_GT(refused.starts[2] - refused.starts[1], CHttpMgr::kRetryDelayMs);

  ASSERT_TRUE(AddRule(FaultRule("/slow.txt").Stall(-1)));
  for (const char* path : {"/pkg.bin", "/missing.txt"}) {
    auto* command = new CHttpCommand();
    command->url = server_.WideUrl(path);
    command->onDone = [](void* self, const std::string&, int, int) {
      delete static_cast<CHttpCommand*>(self);
    };
    command->userData = command;
    ASSERT_TRUE(CHttpEngine::JoinCommandScheduler(command));
  }
  auto* running = new Command(server_.WideUrl("/slow.txt"));
  ASSERT_TRUE(CHttpEngine::JoinCommandScheduler(running));
  CHttpMgr* scheduler = CHttpEngine::CommandScheduler();
  ASSERT_TRUE(PumpMessagesUntil([&] {
    return scheduler->tasks().size() == 1 && !server_.RequestsFor("/slow.txt").empty();
  }));
  delete running;
  EXPECT_TRUE(scheduler->tasks().empty());
  EXPECT_EQ(scheduler->runningCount(), 0u);
  // The workshop lets the transfer go; the last reference leaves with its notification.
  ASSERT_TRUE(PumpMessagesUntil([&] { return CCurlBase::LiveCount() == liveBefore_; }));
}

// A request joins only its own family's scheduler, where its transfers' reports reach it.
// Shut-down lets the requests go without stopping them, and none keeps pointing at the
// family's scheduler or workshop, nor its transfer at the scheduler: also a request that
// never joined. A stopped request reports nothing. Start-up again brings a fresh family.
TEST_F(Scheduler, OwnFamilyOnlyAndShutdownLeavesRequestsToTheirCreators) {
  ASSERT_TRUE(AddRule(FaultRule("/slow.txt").Stall(-1)));
  Command joined(server_.WideUrl("/slow.txt")), idle;
  EXPECT_FALSE(CHttpEngine::JoinDownloadScheduler(&joined));
  ASSERT_TRUE(CHttpEngine::JoinCommandScheduler(&joined));
  ASSERT_TRUE(PumpMessagesUntil([&] { return server_.RequestsFor("/slow.txt").size() == 1; }));
  CHttpEngine::ShutdownCommandFamily();
  for (const Command* command : {&joined, &idle}) {
    EXPECT_EQ(command->owner, nullptr);
    EXPECT_EQ(command->workshop, nullptr);
  }
  ASSERT_TRUE(joined.curl);
  EXPECT_EQ(joined.curl->listener(), nullptr);
  EXPECT_TRUE(joined.running);
  EXPECT_FALSE(CHttpEngine::JoinCommandScheduler(&joined));
  EXPECT_TRUE(joined.Stop());
  EXPECT_TRUE(idle.Stop());

  ASSERT_TRUE(CHttpEngine::StartCommandFamily());
  Command again(server_.WideUrl("/pkg.bin"));
  ASSERT_TRUE(Run(again));
  EXPECT_EQ(again.type, 0);
  EXPECT_EQ(joined.calls, 0);
}

}  // namespace
