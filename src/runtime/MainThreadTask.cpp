#include "runtime/MainThreadTask.h"

#include <windows.h>

#include <cstdlib>
#include <deque>
#include <exception>

#include "runtime/CriticalSection.h"
#include "runtime/Logging.h"
#include "runtime/PreciseClock.h"
#include "runtime/WindowMessages.h"

namespace {

constexpr const wchar_t* kWindowClass = L"ThreadingWindowClass";
// A batch of tasks gives the thread back to its other messages after this long.
constexpr double kBatchBudgetSeconds = 0.05;

using TaskRunner = void (*)(const CRefPtr<MainThreadTaskBase>&);

struct TaskEntry {
  TaskRunner runner = nullptr;
  CRefPtr<MainThreadTaskBase> task;
};

void RunTask(const CRefPtr<MainThreadTaskBase>& task) { task->Run(); }

void ClearAtExit() { ClearMainThreadTasks(); }

// The process-wide state of the task machinery. It is never destroyed: worker threads may
// still post while the process exits. Its queue is cleared at exit all the same, so that the
// objects held by unrun tasks are released.
struct TaskMachinery {
  TaskMachinery() { std::atexit(ClearAtExit); }

  CCriticalSection lock;  // guards everything below; never held while a task runs
  std::deque<TaskEntry> queue;
  HWND window = nullptr;
  UINT wakeMessage = 0;
  DWORD mainThreadId = 0;
  // A wake-up message is on its way or a batch is running: further posts need none. Unlike
  // "the queue was empty", this also survives a wake-up that could not be posted.
  bool wakePending = false;
};

TaskMachinery& Machinery() {
  static TaskMachinery* const machinery = new TaskMachinery();
  return *machinery;
}

// Called with the lock held.
void PostWakeUp(TaskMachinery& m) {
  m.wakePending = m.window && ::PostMessageW(m.window, m.wakeMessage, 0, 0);
}

void RunGuarded(const TaskEntry& entry) {
  try {
    entry.runner(entry.task);
  } catch (const std::exception& e) {
    LOG_FILE(2, L"main-thread task threw: %s", e.what());
  } catch (...) {
    LOG_FILE(2, L"main-thread task threw");
  }
}

void RunPendingTasks() {
  TaskMachinery& m = Machinery();
  double start = PreciseNow();
  for (;;) {
    TaskEntry entry;
    {
      CAutoLock hold(m.lock);
      if (m.queue.empty()) {
        m.wakePending = false;
        return;
      }
      entry = std::move(m.queue.front());
      m.queue.pop_front();
    }
    // Outside the lock: the task may post further tasks.
    RunGuarded(entry);
    entry.task.reset();

    if (PreciseNow() - start > kBatchBudgetSeconds) {
      CAutoLock hold(m.lock);
      PostWakeUp(m);
      if (m.wakePending) return;
      // The thread's message queue is full: rather than strand the tasks, go on with the next
      // batch at once.
      start = PreciseNow();
    }
  }
}

LRESULT CALLBACK TaskWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const UINT wake = Machinery().wakeMessage;
  if (wake != 0 && message == wake) {
    RunPendingTasks();
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

// The Windows clocks behind PreciseNow.
class SystemClockSource : public ClockSource {
 public:
  int64_t SystemMs() override {
    FILETIME ft;
    ::GetSystemTimeAsFileTime(&ft);
    const int64_t units = (static_cast<int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return (units - 116444736000000000LL) / 10000;
  }
  int64_t CalibrationSystemMs() override {
    ::timeBeginPeriod(1);
    const int64_t ms = SystemMs();
    ::timeEndPeriod(1);
    return ms;
  }
  bool CounterFrequency(int64_t* countsPerSecond) override {
    LARGE_INTEGER f;
    if (!::QueryPerformanceFrequency(&f)) return false;
    *countsPerSecond = f.QuadPart;
    return true;
  }
  int64_t Counter() override {
    LARGE_INTEGER c;
    ::QueryPerformanceCounter(&c);
    return c.QuadPart;
  }
  uint32_t TickCount() override { return ::GetTickCount(); }
};

}  // namespace

bool InitMainThreadTasks() {
  TaskMachinery& m = Machinery();
  CAutoLock hold(m.lock);
  if (m.window) return true;
  m.mainThreadId = ::GetCurrentThreadId();
  m.wakeMessage = ::RegisterWindowMessageW(msg::kMainThreadFiredName);

  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = TaskWindowProc;
  windowClass.lpszClassName = kWindowClass;
  // A class left registered by an earlier start-up in this process is reused.
  if (!::RegisterClassW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    return false;
  }
  m.window = ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               nullptr, nullptr);
  if (!m.window) return false;
  // Tasks posted before the window existed are waiting for their wake-up.
  if (!m.queue.empty()) PostWakeUp(m);
  return true;
}

void ClearMainThreadTasks() {
  TaskMachinery& m = Machinery();
  std::deque<TaskEntry> unrun;
  {
    CAutoLock hold(m.lock);
    unrun.swap(m.queue);
  }
  // Released outside the lock: a task's destructor may post again.
}

void DestroyMainThreadTaskWindow() {
  TaskMachinery& m = Machinery();
  CAutoLock hold(m.lock);
  if (m.window) {
    ::DestroyWindow(m.window);
    m.window = nullptr;
  }
  m.wakePending = false;
}

bool IsMainThread() {
  TaskMachinery& m = Machinery();
  CAutoLock hold(m.lock);
  return m.mainThreadId != 0 && m.mainThreadId == ::GetCurrentThreadId();
}

void PostTaskToMainThread(CRefPtr<MainThreadTaskBase> task) {
  if (!task) return;
  TaskMachinery& m = Machinery();
  CAutoLock hold(m.lock);
  m.queue.push_back(TaskEntry{RunTask, std::move(task)});
  // Posted under the lock, so the window cannot be destroyed between the test and the post.
  if (!m.wakePending) PostWakeUp(m);
}

double PreciseNow() {
  // Locked, so that a call from another thread cannot tear the calibration; never destroyed,
  // like the task machinery.
  struct SharedClock {
    CCriticalSection lock;
    PreciseClock clock;
    SystemClockSource source;
  };
  static SharedClock* const shared = new SharedClock();
  CAutoLock hold(shared->lock);
  return shared->clock.NowSeconds(shared->source);
}
