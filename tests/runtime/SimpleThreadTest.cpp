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

using testing_support::TempFolder;

enum class Behaviour { kPollsStop, kIgnoresStop, kReturnsAtOnce, kDestroysItself, kThrows };

class TestThread : public CSimpleThread {
 public:
  explicit TestThread(Behaviour behaviour) : behaviour_(behaviour) {}

  std::atomic<int> runs{0};
  std::atomic<long> beats{0};
  std::atomic<int> selfDestroyResult{-1};

 protected:
  void Run() override {
    ++runs;
    switch (behaviour_) {
      case Behaviour::kPollsStop:
        while (!stopRequested()) {
          ++beats;
          ::Sleep(2);
        }
        break;
      case Behaviour::kIgnoresStop:
        for (;;) {
          ++beats;
          ::Sleep(2);
        }
      case Behaviour::kReturnsAtOnce:
        break;
      case Behaviour::kDestroysItself:
        selfDestroyResult = DestroyThread(INFINITE) ? 1 : 0;
        break;
      case Behaviour::kThrows:
        throw std::runtime_error("worker failed");
    }
  }

 private:
  Behaviour behaviour_;
};

// A handle of the worker that the test owns, to see for itself when the thread has ended.
HANDLE OpenWorker(const CSimpleThread& thread) {
  return ::OpenThread(SYNCHRONIZE, FALSE, thread.threadId());
}

bool HasEnded(HANDLE worker) { return ::WaitForSingleObject(worker, 0) == WAIT_OBJECT_0; }

// Waits for `done` with a generous safety limit.
template <typename Done>
bool WaitFor(Done done) {
  for (int i = 0; i < 2000 && !done(); ++i) ::Sleep(5);
  return done();
}

class SimpleThreadTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FileLogger::Instance().Open(folder_ / L"thread.log", LoggerConfig{0, true}));
  }
  void TearDown() override { FileLogger::Instance().Close(); }

  // The log's lines, after the byte-order mark.
  std::wstring Log() const { return testing_support::ReadWideFile(folder_ / L"thread.log"); }

  TempFolder folder_;
};

TEST_F(SimpleThreadTest, CooperativeStopEndsTheWorkerWithoutADiagnostic) {
  TestThread thread(Behaviour::kPollsStop);
  EXPECT_FALSE(thread.IsRunning());
  ASSERT_TRUE(thread.StartThread());
  ASSERT_NE(thread.threadId(), 0u);
  HANDLE worker = OpenWorker(thread);
  ASSERT_NE(worker, nullptr);
  EXPECT_TRUE(thread.IsRunning());

  // Starting a running thread starts nothing.
  const DWORD id = thread.threadId();
  EXPECT_TRUE(thread.StartThread());
  EXPECT_EQ(thread.threadId(), id);

  EXPECT_TRUE(thread.StopThread(20000));
  EXPECT_TRUE(HasEnded(worker));
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(thread.threadId(), 0u);
  EXPECT_EQ(thread.runs, 1);
  EXPECT_EQ(Log(), L"\xFEFF");  // nothing but the byte-order mark
  ::CloseHandle(worker);
}

TEST_F(SimpleThreadTest, WorkerIgnoringTheStopIsTerminatedAfterTheTimeout) {
  TestThread thread(Behaviour::kIgnoresStop);
  ASSERT_TRUE(thread.StartThread());
  const DWORD id = thread.threadId();
  HANDLE worker = OpenWorker(thread);
  ASSERT_NE(worker, nullptr);
  ASSERT_TRUE(WaitFor([&] { return thread.beats > 0; }));

  const DWORD start = ::GetTickCount();
  EXPECT_TRUE(thread.StopThread(150));
  EXPECT_GE(::GetTickCount() - start, 140u);
  EXPECT_TRUE(HasEnded(worker));
  const long beats = thread.beats;
  ::Sleep(30);
  EXPECT_EQ(thread.beats, beats);
  EXPECT_FALSE(thread.IsRunning());

  const std::wstring expected =
      L"CSimpleThread::DestroyThread线程结束超时 tid:" + std::to_wstring(id) + L" \r\n";
  const std::wstring text = Log();
  EXPECT_NE(text.find(L"[ERRO][src/runtime/SimpleThread.cpp:"), std::wstring::npos);
  EXPECT_EQ(text.substr(text.size() - expected.size()), expected);
  ::CloseHandle(worker);
}

TEST_F(SimpleThreadTest, ObjectThatNeverStarted) {
  TestThread thread(Behaviour::kPollsStop);
  EXPECT_TRUE(thread.StopThread(0));
  EXPECT_FALSE(thread.DestroyThread(0));
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(thread.runs, 0);
}

TEST_F(SimpleThreadTest, EndedWorkerIsNotRunningAndStartsAgain) {
  TestThread thread(Behaviour::kReturnsAtOnce);
  ASSERT_TRUE(thread.StartThread());
  ASSERT_TRUE(WaitFor([&] { return !thread.IsRunning(); }));
  EXPECT_EQ(thread.runs, 1);
  ASSERT_TRUE(thread.StartThread());
  ASSERT_TRUE(WaitFor([&] { return !thread.IsRunning(); }));
  EXPECT_EQ(thread.runs, 2);
  EXPECT_TRUE(thread.StopThread(1000));
}

TEST_F(SimpleThreadTest, DestroyThreadFromInsideRunDoesNotWaitForItself) {
  TestThread thread(Behaviour::kDestroysItself);
  ASSERT_TRUE(thread.StartThread());
  ASSERT_TRUE(WaitFor([&] { return thread.selfDestroyResult != -1; }));
  EXPECT_EQ(thread.selfDestroyResult, 1);
  ASSERT_TRUE(WaitFor([&] { return !thread.IsRunning(); }));
  EXPECT_TRUE(thread.StartThread());
  ASSERT_TRUE(WaitFor([&] { return thread.runs == 2; }));
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
  sentinels.reserve(200000);
  std::atomic<bool> churn{true};
  std::thread churner([&] {
    while (churn && sentinels.size() < sentinels.capacity()) {
      sentinels.push_back(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    }
  });
  for (int round = 0; round < 300; ++round) {
    TestThread thread(Behaviour::kReturnsAtOnce);
    ASSERT_TRUE(thread.StartThread());
    // Poll from the owner while the worker releases the handle on its own.
    for (int i = 0; i < round % 7; ++i) thread.IsRunning();
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
    if (!::GetHandleInformation(sentinel, &flags)) ++closed;
    ::CloseHandle(sentinel);
  }
  EXPECT_EQ(closed, 0) << "handles closed by someone else";
}

}  // namespace
