// The transfer schedulers with the real engine: slots, retries released by the 500 ms timer,
// progress once a second, and requests that stop or vanish while the scheduler holds them.
#include "http/HttpMgr.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "http/BufferStream.h"
#include "http/CurlWorkshop.h"
#include "http/EngineFixture.h"
#include "http/HttpCommand.h"
#include "http/HttpEngine.h"

using engine_test::Completion;
using engine_test::EngineTest;
using testing_support::FaultRule;
using testing_support::PumpMessagesFor;
using testing_support::PumpMessagesUntil;

namespace {

using Scheduler = EngineTest;

// A request of the download family that counts what the scheduler and the timer hand it.
class ProbeRequest : public CHttpBase {
 public:
  ProbeRequest() : CHttpBase(CHttpEngine::DownloadScheduler(), CHttpEngine::DownloadWorkshop()) {}
  ~ProbeRequest() override { Stop(); }

  bool Start() override {
    if (running) return false;
    ReleaseTransfer();
    curl = new CCurlHttp(owner);
    curl->notifyProgress = true;
    curl->SetOutput(std::make_unique<OBufferStream>());
    return CHttpBase::Start();
  }
  void Done(CURLcode code) override {
    doneCode = code;
    ++doneCalls;
    Stop();
  }
  void OnHttpCode(int status) override { lastStatus = status; }
  void Progress() override {
    ++progressCalls;
    if (!running) ++progressWhileIdle;
  }
  void OnRecieveBytes(int64_t count) override {
    bytes += count;
    ++byteReports;
  }

  int doneCalls = 0;
  CURLcode doneCode = CURLE_OK;
  int lastStatus = 0;
  int progressCalls = 0;
  int progressWhileIdle = 0;
  int64_t bytes = 0;
  int byteReports = 0;
};

TEST_F(Scheduler, EleventhTaskWaitsForAFreeSlot) {
  ASSERT_TRUE(AddRule(FaultRule("/slow.txt").Stall(-1)));
  CHttpMgr* scheduler = CHttpEngine::CommandScheduler();
  std::vector<std::unique_ptr<CHttpCommand>> commands;
  std::vector<Completion> done(11);
  for (int i = 0; i < 11; ++i) {
    commands.push_back(std::make_unique<CHttpCommand>());
    Prepare(*commands.back(), "/slow.txt?n=" + std::to_string(i), done[i]);
    ASSERT_TRUE(CHttpEngine::JoinCommandScheduler(commands.back().get()));
  }
  EXPECT_EQ(scheduler->tasks().size(), 11u);
  EXPECT_EQ(scheduler->runningCount(), CHttpMgr::kMaxRunning);
  for (int i = 0; i < 10; ++i) {
    EXPECT_TRUE(commands[i]->running && commands[i]->scheduled) << i;
  }
  EXPECT_FALSE(commands[10]->running);
  EXPECT_FALSE(commands[10]->scheduled);

  ASSERT_TRUE(PumpMessagesUntil([&] { return server_.RequestsFor("/slow.txt").size() == 10; }));
  PumpMessagesFor(500);
  EXPECT_EQ(server_.RequestsFor("/slow.txt").size(), 10u);
  EXPECT_FALSE(commands[10]->running);

  // A slot frees up: the eleventh starts at once.
  commands[3]->Stop();
  EXPECT_TRUE(commands[10]->running);
  EXPECT_TRUE(commands[10]->scheduled);
  EXPECT_EQ(scheduler->runningCount(), CHttpMgr::kMaxRunning);
  EXPECT_EQ(scheduler->tasks().size(), 10u);
  ASSERT_TRUE(PumpMessagesUntil([&] { return server_.RequestsFor("/slow.txt").size() == 11; }));
  EXPECT_EQ(server_.RequestsFor("/slow.txt").back().target, "/slow.txt?n=10");

  for (auto& command : commands) command->Stop();
  EXPECT_TRUE(scheduler->tasks().empty());
  EXPECT_EQ(scheduler->runningCount(), 0u);
  PumpMessagesFor(100);
  for (const Completion& d : done) EXPECT_EQ(d.calls, 0) << "a stopped command reports nothing";
}

// A task that joins while it waits for a retry is held until the timer releases it, more
// than 500 ms after the retry was asked for.
TEST_F(Scheduler, RetryWaitsForTheTimer) {
  CHttpCommand command;
  Completion done;
  Prepare(command, "/pkg.bin", done);
  command.retryPending = true;
  command.retryTick = ::GetTickCount();
  ASSERT_TRUE(CHttpEngine::JoinCommandScheduler(&command));
  EXPECT_FALSE(command.running);
  EXPECT_EQ(CHttpEngine::CommandScheduler()->tasks().size(), 1u);

  ASSERT_TRUE(PumpMessagesUntil([&] { return command.running || done.calls > 0; }));
  EXPECT_GT(::GetTickCount() - command.retryTick, 500u);
  EXPECT_FALSE(command.retryPending);
  EXPECT_TRUE(command.scheduled);
  ASSERT_TRUE(WaitFor(done));
  EXPECT_EQ(done.type, 0);
}

// Another task's scheduling starts a waiting retry early, outside the limit's count.
TEST_F(Scheduler, WaitingRetryStartsWithTheNextScheduleWithoutASlot) {
  CHttpMgr* scheduler = CHttpEngine::CommandScheduler();
  CHttpCommand retry, fresh;
  Completion retryDone, freshDone;
  Prepare(retry, "/pkg.bin", retryDone);
  Prepare(fresh, "/pkg.bin", freshDone);
  retry.retryPending = true;
  retry.retryTick = ::GetTickCount();
  ASSERT_TRUE(CHttpEngine::JoinCommandScheduler(&retry));
  EXPECT_FALSE(retry.running);
  ASSERT_TRUE(CHttpEngine::JoinCommandScheduler(&fresh));
  EXPECT_TRUE(retry.running);
  EXPECT_FALSE(retry.scheduled);
  EXPECT_TRUE(fresh.scheduled);
  EXPECT_EQ(scheduler->runningCount(), 1u);
  ASSERT_TRUE(WaitFor(retryDone));
  ASSERT_TRUE(WaitFor(freshDone));
  EXPECT_EQ(retryDone.type, 0);
  EXPECT_EQ(freshDone.type, 0);
  EXPECT_EQ(scheduler->runningCount(), 0u);
}

TEST_F(Scheduler, TaskAddedTwiceKeepsItsNumberAndSerialNumbersGrow) {
  ASSERT_TRUE(AddRule(FaultRule("/slow.txt").Stall(-1)));
  CHttpMgr* scheduler = CHttpEngine::CommandScheduler();
  CHttpCommand first, second;
  Completion done;
  Prepare(first, "/slow.txt", done);
  Prepare(second, "/slow.txt", done);
  ASSERT_TRUE(CHttpEngine::JoinCommandScheduler(&first));
  const CHttpMgr::TaskStamp again = scheduler->AddTask(&first);
  EXPECT_EQ(again.id, first.id);
  EXPECT_EQ(again.tick, first.addTick);
  EXPECT_EQ(scheduler->tasks().size(), 1u);
  EXPECT_EQ(scheduler->runningCount(), 1u);
  ASSERT_TRUE(CHttpEngine::JoinCommandScheduler(&second));
  EXPECT_EQ(second.id, first.id + 1);
  first.Stop();
  second.Stop();
}

// A task joins only its own family's scheduler: elsewhere its transfers' reports would
// never reach it.
TEST_F(Scheduler, TaskOfAnotherSchedulerIsRefused) {
  CHttpCommand command;
  Completion done;
  Prepare(command, "/pkg.bin", done);
  EXPECT_FALSE(CHttpEngine::JoinDownloadScheduler(&command));
  EXPECT_TRUE(CHttpEngine::DownloadScheduler()->tasks().empty());
  EXPECT_FALSE(command.running);
  ASSERT_TRUE(Run(command, done));
  EXPECT_EQ(done.type, 0);
}

void DeleteCommand(void* command, const std::string&, int, int) {
  delete static_cast<CHttpCommand*>(command);
}

// Requests belong to their creators, who may destroy them at any time: from their own
// completion callback, or in the middle of a transfer.
TEST_F(Scheduler, RequestsDestroyedInTheirCallbackOrWhileRunning) {
  ASSERT_TRUE(AddRule(FaultRule("/slow.txt").Stall(-1)));
  CHttpMgr* scheduler = CHttpEngine::CommandScheduler();
  for (const char* path : {"/pkg.bin", "/missing.txt"}) {
    auto* command = new CHttpCommand();
    command->url = server_.WideUrl(path);
    command->onDone = DeleteCommand;
    command->userData = command;
    ASSERT_TRUE(CHttpEngine::JoinCommandScheduler(command));
  }
  ASSERT_TRUE(PumpMessagesUntil([&] { return scheduler->tasks().empty(); }));

  auto* running = new CHttpCommand();
  Completion never;
  Prepare(*running, "/slow.txt", never);
  ASSERT_TRUE(CHttpEngine::JoinCommandScheduler(running));
  ASSERT_TRUE(PumpMessagesUntil([&] { return server_.RequestsFor("/slow.txt").size() == 1; }));
  delete running;
  EXPECT_TRUE(scheduler->tasks().empty());
  EXPECT_EQ(scheduler->runningCount(), 0u);
  // The workshop lets the transfer go; the last reference leaves with its notification.
  ASSERT_TRUE(PumpMessagesUntil([&] { return CCurlBase::LiveCount() == liveBefore_; }));
  EXPECT_EQ(never.calls, 0);

  // The engine goes on serving.
  CHttpCommand after;
  Completion done;
  ASSERT_TRUE(Fetch(after, "/pkg.bin", done));
  EXPECT_EQ(done.type, 0);
}

// Shut-down lets the tasks go without stopping them; their creators still can.
TEST_F(Scheduler, ShutdownLeavesTasksToTheirCreators) {
  ASSERT_TRUE(AddRule(FaultRule("/slow.txt").Stall(-1)));
  CHttpCommand command;
  Completion done;
  Prepare(command, "/slow.txt", done);
  ASSERT_TRUE(CHttpEngine::JoinCommandScheduler(&command));
  ASSERT_TRUE(PumpMessagesUntil([&] { return server_.RequestsFor("/slow.txt").size() == 1; }));

  CHttpEngine::ShutdownCommandFamily();
  EXPECT_EQ(CHttpEngine::CommandScheduler(), nullptr);
  EXPECT_EQ(CHttpEngine::CommandWorkshop(), nullptr);
  EXPECT_EQ(command.owner, nullptr);
  EXPECT_EQ(command.workshop, nullptr);
  EXPECT_TRUE(command.running);
  EXPECT_FALSE(CHttpEngine::JoinCommandScheduler(&command));
  EXPECT_TRUE(command.Stop());
  EXPECT_FALSE(command.running);
  PumpMessagesFor(100);
  EXPECT_EQ(done.calls, 0);

  // A request that was made for the family but never joined it lets it go too: stopping and
  // destroying it after the shut-down must not reach the destroyed scheduler.
  {
    ASSERT_TRUE(CHttpEngine::StartCommandFamily());
    auto idle = std::make_unique<CHttpCommand>();
    EXPECT_EQ(idle->owner, CHttpEngine::CommandScheduler());
    CHttpEngine::ShutdownCommandFamily();
    EXPECT_EQ(idle->owner, nullptr);
    EXPECT_EQ(idle->workshop, nullptr);
    EXPECT_TRUE(idle->Stop());
    idle.reset();
  }

  // Start-up again brings a fresh family.
  ASSERT_TRUE(CHttpEngine::StartCommandFamily());
  CHttpCommand again;
  Completion ok;
  ASSERT_TRUE(Fetch(again, "/pkg.bin", ok));
  EXPECT_EQ(ok.type, 0);
}

// The download family's running requests hear of arriving bytes, and the timer calls their
// Progress once a second while they run, never after.
TEST_F(Scheduler, DownloadRequestsGetBytesAndProgressWhileRunning) {
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Drip(40000)));
  ProbeRequest probe;
  probe.url = server_.WideUrl("/pkg.bin");
  ASSERT_TRUE(CHttpEngine::JoinDownloadScheduler(&probe));
  ASSERT_TRUE(probe.running);
  ASSERT_TRUE(PumpMessagesUntil([&] { return probe.doneCalls > 0; }));
  EXPECT_EQ(probe.doneCode, CURLE_OK);
  EXPECT_EQ(probe.lastStatus, 200);
  // About 2.5 s of dripping: the timer's every-second call came at least twice.
  EXPECT_GE(probe.progressCalls, 2);
  EXPECT_EQ(probe.progressWhileIdle, 0);
  // Bytes come in several reports, at most 100 ms apart; the last few may be unreported.
  EXPECT_GE(probe.byteReports, 2);
  EXPECT_GT(probe.bytes, 0);
  EXPECT_LE(probe.bytes, static_cast<int64_t>(kPackageSize));

  const int calls = probe.progressCalls;
  PumpMessagesFor(1200);
  EXPECT_EQ(probe.progressCalls, calls);
}

}  // namespace
