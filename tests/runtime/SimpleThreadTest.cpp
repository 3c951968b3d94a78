#include "runtime/SimpleThread.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "runtime/Logging.h"
#include "support/TestFiles.h"

namespace {

enum class Behaviour { kIgnoresStop, kReturnsAtOnce, kDestroysItself, kThrows };

class TestThread : public CSimpleThread {
 public:
  explicit TestThread(Behaviour behaviour) : behaviour_(behaviour) {}

  std::atomic<int> runs{0};
  std::atomic<long> beats{0};
  std::atomic<int> selfDestroyed{0};
  std::atomic<bool> released{false};  // lets the worker that destroyed its thread end
  std::atomic<HANDLE> self{nullptr};  // the worker's own thread, for the test to await

 protected:
  void Run() override {
    ++runs;
    switch (behaviour_) {
      case Behaviour::kIgnoresStop:
        for (;;) {
          ++beats;
          ::Sleep(2);
        }
      case Behaviour::kReturnsAtOnce:
        break;
      case Behaviour::kDestroysItself:
        if (runs > 1) {  // the successor, until it is stopped
          while (!stopRequested()) ::Sleep(2);
          break;
        }
        self = ::OpenThread(SYNCHRONIZE, FALSE, ::GetCurrentThreadId());
        selfDestroyed += DestroyThread(INFINITE) ? 1 : 0;
        while (!released) ::Sleep(2);
        break;
      case Behaviour::kThrows:
        throw std::runtime_error("worker failed");
    }
  }

 private:
  Behaviour behaviour_;
};

template <typename Done>
bool WaitFor(Done done) {
  for (int i = 0; i < 4000 && !done(); ++i) ::Sleep(5);
  return done();
}

class SimpleThreadTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FileLogger::Instance().Open(folder_ / L"thread.log", LoggerConfig{0, true}));
  }
  void TearDown() override { FileLogger::Instance().Close(); }

  std::wstring Log() const { return testing_support::ReadWideFile(folder_ / L"thread.log"); }

  testing_support::TempFolder folder_;
};

// TerminateThread only starts the termination: StopThread returns once the thread has ended.
TEST_F(SimpleThreadTest, WorkerIgnoringTheStopIsTerminatedAfterTheTimeout) {
  TestThread thread(Behaviour::kIgnoresStop);
  ASSERT_TRUE(thread.StartThread());
  const DWORD id = thread.threadId();
  HANDLE worker = ::OpenThread(SYNCHRONIZE, FALSE, id);
  ASSERT_TRUE(WaitFor([&] { return thread.beats > 0; }));
  const DWORD start = ::GetTickCount();
  EXPECT_TRUE(thread.StopThread(150));
  EXPECT_GE(::GetTickCount() - start, 140u);
  EXPECT_EQ(::WaitForSingleObject(worker, 0), WAIT_OBJECT_0);
  ::CloseHandle(worker);
  const std::wstring diagnostic =
      L"CSimpleThread::DestroyThread线程结束超时 tid:" + std::to_wstring(id);
  EXPECT_NE(Log().find(L"[ERRO]["), std::wstring::npos);
  EXPECT_NE(Log().find(diagnostic), std::wstring::npos);
}

// A worker that let go of its own thread may see the next one started before it ends: it
// takes neither the handle nor the id of its successor.
TEST_F(SimpleThreadTest, DestroyThreadFromInsideRunLeavesTheSuccessorAlone) {
  TestThread thread(Behaviour::kDestroysItself);
  ASSERT_TRUE(thread.StartThread());
  ASSERT_TRUE(WaitFor([&] { return thread.selfDestroyed == 1; }));
  EXPECT_FALSE(thread.IsRunning());
  ASSERT_TRUE(thread.StartThread());
  const DWORD successor = thread.threadId();
  thread.released = true;
  // The first worker is done with the object only once its thread has ended.
  ASSERT_EQ(::WaitForSingleObject(thread.self, 20000), WAIT_OBJECT_0);
  ::CloseHandle(thread.self);
  EXPECT_EQ(thread.threadId(), successor);
  EXPECT_TRUE(thread.IsRunning());
  EXPECT_TRUE(thread.StopThread(20000));
  EXPECT_EQ(thread.runs, 2);
}

TEST_F(SimpleThreadTest, ThrowingWorkerEndsAndIsLogged) {
  TestThread thread(Behaviour::kThrows);
  ASSERT_TRUE(thread.StartThread());
  ASSERT_TRUE(WaitFor([&] { return !thread.IsRunning(); }));
  EXPECT_NE(Log().find(L"CSimpleThread::Run threw: worker failed"), std::wstring::npos);
}

// The worker and the owner race to release the handle when Run returns at once. Closing it
// twice would close whatever handle took its number in between: another thread keeps making
// such handles (events) all along, and every one of them must survive.
TEST_F(SimpleThreadTest, HandleIsClosedExactlyOnceWhenOwnerAndWorkerRace) {
  std::vector<HANDLE> sentinels;
  sentinels.reserve(100000);
  std::atomic<bool> churn{true};
  std::thread churner([&] {
    while (churn && sentinels.size() < sentinels.capacity()) {
      sentinels.push_back(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    }
  });
  for (int round = 0; round < 100; ++round) {
    TestThread thread(Behaviour::kReturnsAtOnce);
    ASSERT_TRUE(thread.StartThread());
    if (round % 2) {
      EXPECT_TRUE(thread.StopThread(20000));
    } else {
      ASSERT_TRUE(WaitFor([&] { return !thread.IsRunning(); }));
    }
  }
  churn = false;
  churner.join();
  int closed = 0;
  for (HANDLE sentinel : sentinels) {
    DWORD flags = 0;
    closed += ::GetHandleInformation(sentinel, &flags) ? 0 : 1;
    ::CloseHandle(sentinel);
  }
  EXPECT_EQ(closed, 0) << "handles closed by someone else";
}

}  // namespace
