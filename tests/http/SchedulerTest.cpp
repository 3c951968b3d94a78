// The transfer schedulers and workshops with the real engine: slots, retries released by the
// 500 ms timer, requests that stop or vanish while the engine holds them, and families that
// go down while requests still point at them.
#include "http/HttpMgr.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "http/CurlWorkshop.h"
#include "http/EngineFixture.h"

using engine_test::Command;
using testing_support::FaultRule;
using testing_support::PumpMessagesFor;
using testing_support::PumpMessagesUntil;

namespace {

using Scheduler = engine_test::EngineTest;

TEST_F(Scheduler, TheEleventhWaitsForASlotAndAStoppedCommandReportsNothing) {
  ASSERT_TRUE(AddRule(FaultRule("/slow.txt").Stall(-1)));
  CHttpMgr* scheduler = CHttpEngine::CommandScheduler();
  std::deque<Command> commands;
  for (int i = 0; i < 11; ++i) {
    commands.emplace_back(server_.WideUrl("/slow.txt?n=" + std::to_string(i)));
    ASSERT_TRUE(CHttpEngine::JoinCommandScheduler(&commands.back()));
  }
  EXPECT_EQ(scheduler->runningCount(), CHttpMgr::kMaxRunning);
  EXPECT_FALSE(commands[10].running);
  // Added again, a task keeps its number; it joins only its own family's scheduler, where
  // its transfers' reports reach it.
  EXPECT_EQ(scheduler->AddTask(&commands[0]).id, commands[0].id);
  EXPECT_EQ(scheduler->tasks().size(), 11u);
  EXPECT_FALSE(CHttpEngine::JoinDownloadScheduler(&commands[0]));
  EXPECT_TRUE(CHttpEngine::DownloadScheduler()->tasks().empty());

  ASSERT_TRUE(PumpMessagesUntil([&] { return server_.RequestsFor("/slow.txt").size() == 10; }));
  commands[3].Stop();
  EXPECT_TRUE(commands[10].running);
  ASSERT_TRUE(PumpMessagesUntil([&] { return server_.RequestsFor("/slow.txt").size() == 11; }));
  EXPECT_EQ(server_.RequestsFor("/slow.txt").back().target, "/slow.txt?n=10");
  for (Command& command : commands) command.Stop();
  EXPECT_TRUE(scheduler->tasks().empty());
  EXPECT_EQ(scheduler->runningCount(), 0u);
  PumpMessagesFor(100);
  for (const Command& command : commands) EXPECT_EQ(command.calls, 0);
}

// A retry waits for the timer to release it, more than the scheduler's pause after it was
// asked for; its tick taken before the tick counter wrapped lies above the counter's value
// after it, and it is released all the same. Requests belong to their creators, who may
// destroy them in their own completion callback or in the middle of a transfer.
TEST_F(Scheduler, RetriesAndRequestsDestroyedAnyTime) {
  ASSERT_TRUE(AddRule(FaultRule("/slow.txt").Stall(-1)));
  CHttpMgr* scheduler = CHttpEngine::CommandScheduler();
  // Alone: any other request's scheduling would start a waiting retry at once.
  Command wrapped(server_.WideUrl("/pkg.bin"));
  wrapped.retryPending = true;
  wrapped.retryTick = ::GetTickCount() - 0x70000000u;
  ASSERT_TRUE(CHttpEngine::JoinCommandScheduler(&wrapped));
  EXPECT_FALSE(wrapped.running);
  ASSERT_TRUE(PumpMessagesUntil([&] { return wrapped.calls == 1; }, 5000));
  EXPECT_EQ(wrapped.type, 0);
  Command refused(L"http://127.0.0.1:" + std::to_wstring(engine_test::ClosedPort()) + L"/x");
  ASSERT_TRUE(Run(refused));
  EXPECT_EQ(refused.code, CURLE_COULDNT_CONNECT);
  EXPECT_EQ(refused.starts.size(), 3u);
  engine_test::ExpectRetryPauses(refused.starts);

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
  ASSERT_TRUE(PumpMessagesUntil([&] {
    return scheduler->tasks().size() == 1 && !server_.RequestsFor("/slow.txt").empty();
  }));
  delete running;
  EXPECT_TRUE(scheduler->tasks().empty());
  EXPECT_EQ(scheduler->runningCount(), 0u);
  // The workshop lets the transfer go; the last reference leaves with its notification.
  ASSERT_TRUE(PumpMessagesUntil([&] { return CCurlBase::LiveCount() == liveBefore_; }));
}

// Shut-down lets the requests go without stopping them, and none keeps pointing at the
// family's scheduler or workshop, nor its transfer at the scheduler: also a request that
// never joined. Start-up again brings a fresh family.
TEST_F(Scheduler, ShutdownLeavesRequestsToTheirCreators) {
  ASSERT_TRUE(AddRule(FaultRule("/slow.txt").Stall(-1)));
  Command joined(server_.WideUrl("/slow.txt")), idle;
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

// Records what reaches the user-interface thread from a workshop.
class Recorder : public CurlListener {
 public:
  void OnDone(const CRefPtr<CCurlBase>&, CURLcode code) override {
    events.push_back("done " + std::to_string(code));
  }
  void OnRecieveData(const CRefPtr<CCurlBase>&, unsigned int) override {}
  void OnSendData(const CRefPtr<CCurlBase>&, unsigned int) override {}
  void OnHttpCode(const CRefPtr<CCurlBase>&, int status) override {
    events.push_back("status " + std::to_string(status));
  }
  void OnRemoved(const CRefPtr<CCurlBase>&, int) override { events.push_back("removed"); }
  void OnAdded(const CRefPtr<CCurlBase>&, int) override { events.push_back("added"); }

  std::vector<std::string> events;
};

// A transfer stopped before the worker took it is taken out and never added; one without an
// easy handle is reported done with a failure, so that its request does not wait for ever;
// a listener that goes away takes its queued notifications with it.
TEST(Workshop, StoppedEarlyUnableToJoinOrForgotten) {
  ASSERT_TRUE(InitMainThreadTasks());
  const int32_t liveBefore = CCurlBase::LiveCount();
  {
    Recorder stoppedEvents, brokenEvents, leaving;
    CCurlWorkshop workshop;
    workshop.Init();
    PrepareCurl();
    CRefPtr<CCurlHttp> stopped = new CCurlHttp(&stoppedEvents);
    stopped->easy = curl_easy_init();
    curl_easy_setopt(stopped->easy, CURLOPT_URL, "http://127.0.0.1:9/never");
    ASSERT_TRUE(workshop.Add(stopped));  // queued: the worker does not run yet
    stopped->Deactivate();
    ASSERT_TRUE(workshop.Remove(stopped));
    CRefPtr<CCurlHttp> broken = new CCurlHttp(&brokenEvents);
    ASSERT_TRUE(workshop.Add(broken));
    CRefPtr<CCurlHttp> forgotten = new CCurlHttp(&leaving);
    forgotten->PostHttpCode(200);
    CCurlBase::ForgetListener(&leaving);
    ASSERT_TRUE(workshop.StartThread());
    ASSERT_TRUE(PumpMessagesUntil(
        [&] { return !stoppedEvents.events.empty() && !brokenEvents.events.empty(); }));
    PumpMessagesFor(200);
    EXPECT_EQ(stoppedEvents.events, std::vector<std::string>{"removed"});
    EXPECT_NE(stopped->easy, nullptr) << "libcurl saw it";
    EXPECT_EQ(brokenEvents.events, std::vector<std::string>{"done 2"});  // CURLE_FAILED_INIT
    EXPECT_TRUE(leaving.events.empty());
    workshop.StopThread(INFINITE);
    workshop.Cleanup();
  }
  ClearMainThreadTasks();
  EXPECT_EQ(CCurlBase::LiveCount(), liveBefore);
}

}  // namespace
