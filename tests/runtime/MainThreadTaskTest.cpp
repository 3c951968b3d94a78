#include "runtime/MainThreadTask.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "runtime/WindowMessages.h"
#include "support/MessagePump.h"

namespace {

// Everything the tasks of one test record; tasks run on the test's (main) thread only.
struct Record {
  std::vector<int> order;
  int offMainThread = 0;
  double firstStart = 0;
};
Record g_record;

void Append(int value, int) {
  if (!IsMainThread()) ++g_record.offMainThread;
  g_record.order.push_back(value);
}

HWND TaskWindow() { return testing_support::FindOwnMessageWindow(L"ThreadingWindowClass"); }
UINT WakeMessage() { return ::RegisterWindowMessageW(L"com.kelto.MainThreadFired"); }

// Takes every wake-up message out of the thread's queue without running it.
int TakeWakeUps(std::vector<MSG>* taken) {
  int n = 0;
  MSG msg;
  while (::PeekMessageW(&msg, TaskWindow(), WakeMessage(), WakeMessage(), PM_REMOVE)) {
    if (taken) taken->push_back(msg);
    ++n;
  }
  return n;
}

int PendingWakeUps() {
  std::vector<MSG> taken;
  const int n = TakeWakeUps(&taken);
  for (const MSG& msg : taken) ::PostMessageW(msg.hwnd, msg.message, msg.wParam, msg.lParam);
  return n;
}

// Handles exactly one wake-up message, as the message loop would.
bool DispatchOneWakeUp() {
  MSG msg;
  if (!::PeekMessageW(&msg, TaskWindow(), WakeMessage(), WakeMessage(), PM_REMOVE)) return false;
  ::DispatchMessageW(&msg);
  return true;
}

// Runs the thread's message loop until `done` holds; the limit is a safety net only.
bool PumpUntil(const std::function<bool()>& done) {
  return testing_support::PumpMessagesUntil(done, 20000);
}

class MainThreadTasks : public testing::Test {
 protected:
  void SetUp() override {
    g_record = Record();
    ASSERT_TRUE(InitMainThreadTasks());
  }
  void TearDown() override {
    ClearMainThreadTasks();
    DestroyMainThreadTaskWindow();
    TakeWakeUps(nullptr);
  }
};

TEST_F(MainThreadTasks, TaskWindowIsAMessageOnlyWindowOfItsOwnClass) {
  HWND window = TaskWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(::GetWindowThreadProcessId(window, nullptr), ::GetCurrentThreadId());
  EXPECT_TRUE(IsMainThread());
  EXPECT_TRUE(InitMainThreadTasks());  // a second call keeps the same window
  EXPECT_EQ(TaskWindow(), window);
  DestroyMainThreadTaskWindow();
  EXPECT_EQ(TaskWindow(), nullptr);
}

TEST_F(MainThreadTasks, BurstFromAWorkerWakesOnceAndRunsInPostingOrder) {
  std::thread worker([] {
    EXPECT_FALSE(IsMainThread());
    for (int i = 1; i <= 3; ++i) PostToMainThread(Append, i, 0);
  });
  worker.join();
  EXPECT_EQ(PendingWakeUps(), 1);
  ASSERT_TRUE(DispatchOneWakeUp());
  EXPECT_EQ(g_record.order, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(g_record.offMainThread, 0);
  EXPECT_EQ(PendingWakeUps(), 0);

  // Once the queue has been drained, the next post wakes the window again.
  std::thread([] { PostToMainThread(Append, 4, 0); }).join();
  EXPECT_EQ(PendingWakeUps(), 1);
  ASSERT_TRUE(DispatchOneWakeUp());
  EXPECT_EQ(g_record.order.back(), 4);
}

// Many threads posting at once: every task runs once, on the main thread, and each thread's
// tasks keep their order.
TEST_F(MainThreadTasks, ConcurrentPostersFromManyThreads) {
  constexpr int kThreads = 4, kTasks = 2000;
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([t] {
      for (int i = 0; i < kTasks; ++i) PostToMainThread(Append, t * kTasks + i, 0);
    });
  }
  ASSERT_TRUE(PumpUntil([&] { return g_record.order.size() == size_t{kThreads} * kTasks; }));
  for (auto& w : workers) w.join();
  std::vector<int> next(kThreads);
  for (int value : g_record.order) {
    const int t = value / kTasks;
    EXPECT_EQ(value % kTasks, next[t]++);
  }
  EXPECT_EQ(g_record.offMainThread, 0);
}

void SleepThenAppend(int value, int sleepMs) {
  ::Sleep(sleepMs);
  Append(value, 0);
}

void PostFollowUp(int value, int) {
  g_record.firstStart = PreciseNow();
  Append(value, 0);
  PostToMainThread(Append, value + 1, 0);
}

TEST_F(MainThreadTasks, TaskPostedByATaskRunsInTheSameBatchWhenTheBudgetAllows) {
  PostToMainThread(PostFollowUp, 1, 0);
  ASSERT_TRUE(DispatchOneWakeUp());
  if (g_record.order.size() == 1) {
    // Only a batch that ran over its budget may leave the follow-up to the next wake-up.
    EXPECT_GT(PreciseNow() - g_record.firstStart, 0.05);
    EXPECT_EQ(PendingWakeUps(), 1);
    ASSERT_TRUE(DispatchOneWakeUp());
  }
  EXPECT_EQ(g_record.order, (std::vector<int>{1, 2}));
}

TEST_F(MainThreadTasks, BatchOverItsBudgetYieldsAndWakesAgain) {
  PostToMainThread(SleepThenAppend, 1, 80);
  PostToMainThread(Append, 2, 0);
  ASSERT_TRUE(DispatchOneWakeUp());
  EXPECT_EQ(g_record.order, (std::vector<int>{1}));
  EXPECT_EQ(PendingWakeUps(), 1);
  ASSERT_TRUE(DispatchOneWakeUp());
  EXPECT_EQ(g_record.order, (std::vector<int>{1, 2}));

  // The wake-up is posted again even when the slow task was the last one; it then finds the
  // queue empty and does nothing.
  PostToMainThread(SleepThenAppend, 3, 80);
  ASSERT_TRUE(DispatchOneWakeUp());
  EXPECT_EQ(PendingWakeUps(), 1);
  ASSERT_TRUE(DispatchOneWakeUp());
  EXPECT_EQ(g_record.order, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(PendingWakeUps(), 0);
  // And the machinery still wakes for the next post.
  PostToMainThread(Append, 4, 0);
  EXPECT_EQ(PendingWakeUps(), 1);
}

// An object whose life the tests watch.
class Tracked : public CRefThreadSafeBase<Tracked> {
 public:
  explicit Tracked(std::atomic<int>* alive) : alive_(alive) { ++*alive_; }
  int value = 7;

 private:
  friend class CRefThreadSafeBase<Tracked>;
  ~Tracked() override { --*alive_; }
  std::atomic<int>* alive_;
};

std::atomic<int> g_alive{0};
int g_seenValue = 0;

void UseTracked(const CRefPtr<Tracked>& object, unsigned extra) {
  g_seenValue = object->value + static_cast<int>(extra);
  EXPECT_EQ(g_alive.load(), 1);
}

TEST_F(MainThreadTasks, QueuedTaskKeepsItsObjectAliveUntilItHasRun) {
  std::thread([] { PostToMainThread(UseTracked, new Tracked(&g_alive), 3u); }).join();
  EXPECT_EQ(g_alive.load(), 1);  // the task holds the only reference
  ASSERT_TRUE(DispatchOneWakeUp());
  EXPECT_EQ(g_seenValue, 10);
  EXPECT_EQ(g_alive.load(), 0);  // released with the task, right after it ran
}

TEST_F(MainThreadTasks, ClearReleasesQueuedTasksWithoutRunningThem) {
  g_seenValue = 0;
  {
    CRefPtr<Tracked> object(new Tracked(&g_alive));
    PostToMainThread(UseTracked, object, 1u);
    PostToMainThread(Append, 1, 0);
  }
  EXPECT_EQ(g_alive.load(), 1);
  ClearMainThreadTasks();
  EXPECT_EQ(g_alive.load(), 0);
  // The wake-up that was already posted finds nothing to run.
  ASSERT_TRUE(DispatchOneWakeUp());
  EXPECT_EQ(g_seenValue, 0);
  EXPECT_TRUE(g_record.order.empty());
}

void Throw(int, int) { throw std::runtime_error("task failed"); }

TEST_F(MainThreadTasks, ThrowingTaskDoesNotStopTheOthers) {
  PostToMainThread(Append, 1, 0);
  PostToMainThread(Throw, 0, 0);
  PostToMainThread(Append, 2, 0);
  ASSERT_TRUE(DispatchOneWakeUp());
  EXPECT_EQ(g_record.order, (std::vector<int>{1, 2}));
}

TEST_F(MainThreadTasks, TasksPostedBeforeTheWindowExistsRunOnceItDoes) {
  DestroyMainThreadTaskWindow();
  std::thread([] { PostToMainThread(Append, 5, 0); }).join();
  EXPECT_TRUE(g_record.order.empty());
  ASSERT_TRUE(InitMainThreadTasks());
  ASSERT_TRUE(PumpUntil([] { return !g_record.order.empty(); }));
  EXPECT_EQ(g_record.order, (std::vector<int>{5}));
}

// The argument shapes the engine posts; arguments are copied, never referenced.
std::string g_texts;
void TakeTexts(int kind, void* context, const std::string& a, const std::string& b) {
  g_texts = std::to_string(kind) + ":" + a + "," + b + (context == &g_texts ? "" : "!");
}
void TakePointer(void* context, int type, int code) {
  g_record.order = {type, code, context == &g_record ? 1 : 0};
}

TEST_F(MainThreadTasks, ArgumentsAreStoredByValue) {
  {
    std::string local = "198.51.100.14";
    PostToMainThread(TakeTexts, 3, static_cast<void*>(&g_texts), local, "1.2.3.4");
    local = "overwritten";
    PostToMainThread(TakePointer, static_cast<void*>(&g_record), 3, 2007);
  }
  ASSERT_TRUE(DispatchOneWakeUp());
  EXPECT_EQ(g_texts, "3:198.51.100.14,1.2.3.4");
  EXPECT_EQ(g_record.order, (std::vector<int>{3, 2007, 1}));
}

TEST(PreciseNow, NeverDecreasesAndFollowsRealTime) {
  std::atomic<bool> ordered{true};
  auto watch = [&] {
    double last = PreciseNow();
    for (int i = 0; i < 20000; ++i) {
      const double now = PreciseNow();
      if (now < last) ordered = false;
      last = now;
    }
  };
  std::thread other(watch);
  watch();
  other.join();
  EXPECT_TRUE(ordered);

  const double before = PreciseNow();
  ::Sleep(200);
  const double slept = PreciseNow() - before;
  EXPECT_GE(slept, 0.15);
  EXPECT_LT(slept, 30.0);
  // It is a wall clock: seconds since 1970, like the system time.
  FILETIME ft;
  ::GetSystemTimeAsFileTime(&ft);
  const double system =
      (((static_cast<long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) -
       116444736000000000LL) / 1e7;
  EXPECT_NEAR(PreciseNow(), system, 5.0);
}

}  // namespace
