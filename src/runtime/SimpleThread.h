// CSimpleThread: the base of an object that owns one worker thread running one work routine
// (Run). The owner starts the thread, asks whether it still runs, asks it to stop and, should
// it not stop in time, ends it by force.
//
// Contract:
// - The owner calls StartThread, StopThread, IsRunning and DestroyThread from its own thread;
//   Run executes on the worker thread and polls stopRequested() to return early. A worker that
//   sleeps in a wait of its own overrides WakeForStop, which StopThread calls on the owner's
//   thread after raising the flag, to end that wait.
// - The thread handle is closed exactly once: the worker (when Run returns) and the owner
//   (when it polls or stops the thread) each take the handle out of its field atomically, and
//   only the side that took it closes it or waits on it. A worker whose Run let go of its
//   thread (DestroyThread) leaves the handle and id of a successor the owner started alone.
// - A worker that ignores the stop request past the timeout is terminated after an error
//   diagnostic; the call still returns true. Termination is a last resort: a thread ended in
//   the middle of a call may leave that call's locks and memory behind.
// - The destructor does not stop the thread: the owner stops it first. Run must not throw;
//   an exception that escapes it is caught and written to the file log.
#pragma once

#include <windows.h>

#include <atomic>

class CSimpleThread {
 public:
  CSimpleThread() = default;
  virtual ~CSimpleThread();

  CSimpleThread(const CSimpleThread&) = delete;
  CSimpleThread& operator=(const CSimpleThread&) = delete;

  // Asks the worker to stop and waits up to `timeoutMs` (INFINITE allowed) before forcing it.
  // True when no thread runs afterwards.
  virtual bool StopThread(DWORD timeoutMs);
  // Starts the worker unless it runs already (then nothing happens); false when the thread
  // cannot be created.
  virtual bool StartThread();

  // Waits up to `timeoutMs` for the worker to end, terminates it after that, and releases the
  // handle. Called on the worker itself it only releases the handle. False when there is no
  // thread handle.
  bool DestroyThread(DWORD timeoutMs);
  bool IsRunning();

  DWORD threadId() const { return threadId_; }

 protected:
  // The work, on the worker thread.
  virtual void Run() = 0;
  bool stopRequested() const { return stopRequested_; }
  // On the owner's thread, once stopRequested() is true and before StopThread waits.
  virtual void WakeForStop() {}

 private:
  static unsigned __stdcall ThreadProc(void* self);

  std::atomic<HANDLE> threadHandle_{nullptr};
  std::atomic<DWORD> threadId_{0};
  std::atomic<bool> stopRequested_{false};
};
