#include "runtime/MainThreadTask.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "runtime/Logging.h"
#include "runtime/WindowMessages.h"
#include "support/MessagePump.h"
#include "support/TestFiles.h"

namespace {

std::vector<int> g_order;  // what the tasks ran, negated when off the main thread

void Append(int value, int) { g_order.push_back(IsMainThread() ? value : -value); }

HWND TaskWindow() { return testing_support::FindOwnMessageWindow(L"ThreadingWindowClass"); }
UINT WakeMessage() { return ::RegisterWindowMessageW(msg::kMainThreadFiredName); }

// The wake-up messages in the thread's queue, counted and left there.
int PendingWakeUps() {
  std::vector<MSG> taken;
  MSG msg;
  while (::PeekMessageW(&msg, TaskWindow(), WakeMessage(), WakeMessage(), PM_REMOVE)) {
    taken.push_back(msg);
  }
  for (const MSG& m : taken) ::PostMessageW(m.hwnd, m.message, m.wParam, m.lParam);
  return static_cast<int>(taken.size());
}

// Handles exactly one wake-up message, as the message loop would.
bool DispatchOneWakeUp() {
  MSG msg;
  if (!::PeekMessageW(&msg, TaskWindow(), WakeMessage(), WakeMessage(), PM_REMOVE)) return false;
  ::DispatchMessageW(&msg);
  return true;
}

class MainThreadTasks : public testing::Test {
 protected:
  void SetUp() override {
    g_order.clear();
    ASSERT_TRUE(InitMainThreadTasks());
  }
  void TearDown() override {
    ClearMainThreadTasks();
    DestroyMainThreadTaskWindow();
  }
};

void PostFollowUp(int value, int) {
  Append(value, 0);
  PostToMainThread(Append, value + 1, 0);
}

// A task posted while a batch runs needs no wake-up of its own: it runs in that batch, or
// on the one wake-up that a batch over its budget posts again.
TEST_F(MainThreadTasks, TaskPostedByATaskAddsNoWakeUp) {
  PostToMainThread(PostFollowUp, 1, 0);
  ASSERT_TRUE(DispatchOneWakeUp());
  EXPECT_EQ(PendingWakeUps(), g_order.size() == 2 ? 0 : 1);
  ASSERT_TRUE(testing_support::PumpMessagesUntil([] { return g_order.size() == 2; }));
  EXPECT_EQ(PendingWakeUps(), 0);
  EXPECT_EQ(g_order, (std::vector<int>{1, 2}));
}

int g_alive = 0;
std::string g_seen;

class Tracked : public CRefThreadSafeBase<Tracked> {
 public:
  Tracked() { ++g_alive; }
  ~Tracked() override { --g_alive; }
};

void Use(const CRefPtr<Tracked>& object, const std::string& text) {
  g_seen = text + " alive:" + std::to_string(g_alive);
}

// A task owns copies of its arguments: a CRefPtr keeps its object alive until the task has
// run or has been cleared away; a string outlives the poster's own.
TEST_F(MainThreadTasks, TasksOwnTheirArguments) {
  g_seen.clear();
  {
    std::string text = "198.51.100.14";
    PostToMainThread(Use, CRefPtr<Tracked>(new Tracked), text);
    text = "overwritten";
  }
  EXPECT_EQ(g_alive, 1);
  ASSERT_TRUE(DispatchOneWakeUp());
  EXPECT_EQ(g_seen, "198.51.100.14 alive:1");
  EXPECT_EQ(g_alive, 0);

  g_seen.clear();
  PostToMainThread(Use, CRefPtr<Tracked>(new Tracked), std::string("cleared"));
  ClearMainThreadTasks();
  EXPECT_EQ(g_alive, 0);
  ASSERT_TRUE(DispatchOneWakeUp());
  EXPECT_EQ(g_seen, "");
}

void Throw(int, int) { throw std::runtime_error("task failed"); }

TEST_F(MainThreadTasks, ThrowingTaskIsLoggedAndTheOthersStillRun) {
  testing_support::TempFolder folder;
  ASSERT_TRUE(FileLogger::Instance().Open(folder / L"tasks.log", LoggerConfig{}));
  PostToMainThread(Append, 1, 0);
  PostToMainThread(Throw, 0, 0);
  PostToMainThread(Append, 2, 0);
  ASSERT_TRUE(DispatchOneWakeUp());
  FileLogger::Instance().Close();
  EXPECT_EQ(g_order, (std::vector<int>{1, 2}));
  EXPECT_NE(testing_support::ReadWideFile(folder / L"tasks.log").find(L"task threw: task failed"),
            std::wstring::npos);
}

TEST_F(MainThreadTasks, TasksPostedBeforeTheWindowExistsRunOnceItDoes) {
  DestroyMainThreadTaskWindow();
  std::thread([] { PostToMainThread(Append, 5, 0); }).join();
  ASSERT_TRUE(InitMainThreadTasks());
  ASSERT_TRUE(testing_support::PumpMessagesUntil([] { return !g_order.empty(); }));
  EXPECT_EQ(g_order, (std::vector<int>{5}));
}

class ExitsWhenReleased : public CRefThreadSafeBase<ExitsWhenReleased> {
 public:
  ~ExitsWhenReleased() override { std::_Exit(7); }
};

void Never(const CRefPtr<ExitsWhenReleased>&, int) {}

// Worker threads may post until the process ends, so the queue is never destroyed; what it
// still holds at exit is released all the same.
TEST(MainThreadTasksAtExit, QueuedTasksAreReleased) {
  EXPECT_EXIT(
      {
        PostToMainThread(Never, CRefPtr<ExitsWhenReleased>(new ExitsWhenReleased), 0);
        std::exit(0);
      },
      testing::ExitedWithCode(7), "");
}

}  // namespace
