// CHttpMgr: the transfer scheduler of one family of requests (commands or downloads). It
// keeps the family's requests, starts them while fewer than `maxRunning` run, lets retries
// wait for the engine's timer, and routes the workshop's notifications to the request whose
// transfer they concern.
//
// Contract: single-threaded: everything runs on the user-interface thread (notifications
// arrive as main-thread tasks), so there is no lock. The scheduler holds its requests but
// does not own them; a request leaves through RemoveTask, which CHttpBase::Stop calls.
// Requests may stop, or be destroyed, from inside the calls the scheduler makes on them
// (Start, Progress, completion callbacks): the scheduler walks a copy of its list and skips
// requests that have left meanwhile. The process-wide families are in HttpEngine.h.
#pragma once

#include <cstdint>
#include <vector>

#include "http/CurlBase.h"

class CHttpBase;

class CHttpMgr : public CurlListener {
 public:
  static constexpr uint32_t kMaxRunning = 10;
  // A retry waits longer than this after it was asked for.
  static constexpr uint32_t kRetryDelayMs = 500;

  struct TaskStamp {
    int32_t id = 0;
    uint32_t tick = 0;
  };

  CHttpMgr() = default;
  CHttpMgr(const CHttpMgr&) = delete;
  CHttpMgr& operator=(const CHttpMgr&) = delete;

  void OnDone(const CRefPtr<CCurlBase>& transfer, CURLcode code) override;
  void OnRecieveData(const CRefPtr<CCurlBase>& transfer, unsigned int bytes) override;
  void OnSendData(const CRefPtr<CCurlBase>& transfer, unsigned int bytes) override {}
  void OnHttpCode(const CRefPtr<CCurlBase>& transfer, int status) override;
  void OnRemoved(const CRefPtr<CCurlBase>& transfer, int value) override {}
  void OnAdded(const CRefPtr<CCurlBase>& transfer, int value) override {}

  // Numbers and keeps the task and, unless it waits for a retry, schedules. A task that is
  // kept already keeps its number.
  virtual TaskStamp AddTask(CHttpBase* task);
  // Lets the task go; frees its slot when it had one. Always true.
  virtual bool RemoveTask(CHttpBase* task);
  // Drops every queued notification that would reach this scheduler.
  virtual ~CHttpMgr();

  // Makes the task one of this scheduler's and adds it; false for a task that belongs to
  // another scheduler.
  bool Join(CHttpBase* task);
  // Starts waiting tasks, front first, while slots are free.
  void Schedule();
  // The engine's timer: Progress of every running task (once a second, downloads only) ...
  void ReportProgress();
  // ... and the release of the retries whose pause is over, which are then scheduled.
  void ReleaseRetries();
  // Lets every task go without stopping it: the engine is shutting down.
  void ForgetTasks();

  const std::vector<CHttpBase*>& tasks() const { return tasks_; }
  uint32_t runningCount() const { return running_; }
  uint32_t maxRunning() const { return maxRunning_; }

 private:
  // A task that Schedule is starting; RemoveTask marks it when the task leaves meanwhile
  // (it may have been destroyed then).
  struct Watch {
    CHttpBase* task;
    bool left;
  };

  // The task whose current transfer object is `transfer`; null when none.
  CHttpBase* FindTask(const CCurlBase* transfer) const;
  bool Holds(const CHttpBase* task) const;
  uint32_t CountScheduled() const;

  std::vector<CHttpBase*> tasks_;
  std::vector<Watch*> watches_;  // innermost Schedule last
  uint32_t maxRunning_ = kMaxRunning;
  uint32_t running_ = 0;
};
