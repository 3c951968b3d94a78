// Tasks posted to the main (user-interface) thread: the only way worker threads hand results
// to the thread that owns the windows.
//
// Contract:
// - InitMainThreadTasks runs once on the main thread during start-up; it records that thread
//   as the main thread and creates the message-only task window. ClearMainThreadTasks and then
//   DestroyMainThreadTaskWindow run on the main thread at shut-down.
// - PostToMainThread may be called from any thread at any time. It copies the function's
//   arguments into a reference-counted task (a CRefPtr argument keeps its object alive) and
//   queues it; the main thread runs queued tasks from its ordinary message loop, in posting
//   order, one at a time, in batches of at most about 50 ms. The task owns its arguments until
//   it has run; tasks still queued at shut-down are released without running.
// - Task bodies run only on the main thread and should not throw: an exception is caught, so
//   the remaining tasks still run, and written to the file log.
// - PreciseNow is a steady clock in seconds (see PreciseClock.h); its results never decrease.
#pragma once

#include <type_traits>
#include <utility>

#include "runtime/RefPtr.h"

class MainThreadTaskBase : public CRefThreadSafeBase<MainThreadTaskBase> {
 public:
  virtual void Run() = 0;

 protected:
  friend class CRefThreadSafeBase<MainThreadTaskBase>;
  ~MainThreadTaskBase() override = default;
};

// Each template stores one plain function and its arguments: per argument the type in which
// the value is kept (A) and the function's parameter type (P), typically a const reference to
// A.
template <typename A1, typename P1, typename A2, typename P2>
class MainThreadTask2 : public MainThreadTaskBase {
 public:
  using Function = void (*)(P1, P2);
  MainThreadTask2(Function function, A1 a1, A2 a2)
      : function_(function), a1_(std::move(a1)), a2_(std::move(a2)) {}
  void Run() override { function_(a1_, a2_); }

 private:
  Function function_;
  A1 a1_;
  A2 a2_;
};

template <typename A1, typename P1, typename A2, typename P2, typename A3, typename P3>
class MainThreadTask3 : public MainThreadTaskBase {
 public:
  using Function = void (*)(P1, P2, P3);
  MainThreadTask3(Function function, A1 a1, A2 a2, A3 a3)
      : function_(function), a1_(std::move(a1)), a2_(std::move(a2)), a3_(std::move(a3)) {}
  void Run() override { function_(a1_, a2_, a3_); }

 private:
  Function function_;
  A1 a1_;
  A2 a2_;
  A3 a3_;
};

template <typename A1, typename P1, typename A2, typename P2, typename A3, typename P3,
          typename A4, typename P4>
class MainThreadTask4 : public MainThreadTaskBase {
 public:
  using Function = void (*)(P1, P2, P3, P4);
  MainThreadTask4(Function function, A1 a1, A2 a2, A3 a3, A4 a4)
      : function_(function),
        a1_(std::move(a1)),
        a2_(std::move(a2)),
        a3_(std::move(a3)),
        a4_(std::move(a4)) {}
  void Run() override { function_(a1_, a2_, a3_, a4_); }

 private:
  Function function_;
  A1 a1_;
  A2 a2_;
  A3 a3_;
  A4 a4_;
};

// Start-up, on the main thread. Returns false when the task window cannot be created.
bool InitMainThreadTasks();
// Shut-down, on the main thread: releases every queued task without running it ...
void ClearMainThreadTasks();
// ... then destroys the task window under the queue's lock.
void DestroyMainThreadTaskWindow();
// Whether the caller runs on the thread that InitMainThreadTasks recorded.
bool IsMainThread();
// Queues a task; PostToMainThread is the usual way to make one.
void PostTaskToMainThread(CRefPtr<MainThreadTaskBase> task);
// Seconds on a steady clock that follows the wall clock; successive results never decrease.
double PreciseNow();

// Each argument is stored as the plain type of the function's parameter (a const
// CRefPtr<T>& parameter stores a CRefPtr<T>, a const std::string& one a std::string), so the
// task never points into the poster's stack.
template <typename P1, typename P2, typename V1, typename V2>
void PostToMainThread(void (*function)(P1, P2), V1&& v1, V2&& v2) {
  using Task = MainThreadTask2<std::decay_t<P1>, P1, std::decay_t<P2>, P2>;
  PostTaskToMainThread(new Task(function, std::forward<V1>(v1), std::forward<V2>(v2)));
}

template <typename P1, typename P2, typename P3, typename V1, typename V2, typename V3>
void PostToMainThread(void (*function)(P1, P2, P3), V1&& v1, V2&& v2, V3&& v3) {
  using Task = MainThreadTask3<std::decay_t<P1>, P1, std::decay_t<P2>, P2, std::decay_t<P3>, P3>;
  PostTaskToMainThread(
      new Task(function, std::forward<V1>(v1), std::forward<V2>(v2), std::forward<V3>(v3)));
}

template <typename P1, typename P2, typename P3, typename P4, typename V1, typename V2,
          typename V3, typename V4>
void PostToMainThread(void (*function)(P1, P2, P3, P4), V1&& v1, V2&& v2, V3&& v3, V4&& v4) {
  using Task = MainThreadTask4<std::decay_t<P1>, P1, std::decay_t<P2>, P2, std::decay_t<P3>, P3,
                               std::decay_t<P4>, P4>;
  PostTaskToMainThread(new Task(function, std::forward<V1>(v1), std::forward<V2>(v2),
                                std::forward<V3>(v3), std::forward<V4>(v4)));
}
