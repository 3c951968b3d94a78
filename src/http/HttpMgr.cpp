#include "http/HttpMgr.h"

#include <windows.h>

#include <algorithm>

#include "http/HttpBase.h"
#include "http/HttpLog.h"

namespace {

// Numbers the tasks of both schedulers; incremented before each use.
int32_t g_taskSerial = 0;

}  // namespace

CHttpMgr::~CHttpMgr() {
  CCurlBase::ForgetListener(this);
  for (CHttpBase* task : tasks_) {
    if (task->owner == this) task->owner = nullptr;
  }
}

void CHttpMgr::OnDone(const CRefPtr<CCurlBase>& transfer, CURLcode code) {
  if (CHttpBase* task = FindTask(transfer.get())) task->Done(code);
}

void CHttpMgr::OnRecieveData(const CRefPtr<CCurlBase>& transfer, unsigned int bytes) {
  if (CHttpBase* task = FindTask(transfer.get())) task->OnRecieveBytes(bytes);
}

void CHttpMgr::OnHttpCode(const CRefPtr<CCurlBase>& transfer, int status) {
  if (CHttpBase* task = FindTask(transfer.get())) task->OnHttpCode(status);
}

CHttpMgr::TaskStamp CHttpMgr::AddTask(CHttpBase* task) {
  if (Holds(task)) {
    LOG_CONSOLE_FILE(0, L"http请求重复添加 url:%ls", task->GetUrl().c_str());
    return {task->id, task->addTick};
  }
  task->id = ++g_taskSerial;
  task->addTick = ::GetTickCount();
  tasks_.push_back(task);
  // Taken before scheduling: a task that fails to start may be destroyed by its owner.
  const TaskStamp stamp = {task->id, task->addTick};
  if (!task->retryPending) Schedule();
  return stamp;
}

bool CHttpMgr::RemoveTask(CHttpBase* task) {
  tasks_.erase(std::remove(tasks_.begin(), tasks_.end(), task), tasks_.end());
  for (Watch* watch : watches_) {
    if (watch->task == task) watch->left = true;
  }
  const bool wasScheduled = task->scheduled;
  task->scheduled = false;
  if (wasScheduled) {
    --running_;
    Schedule();
  }
  return true;
}

bool CHttpMgr::Join(CHttpBase* task) {
  // A task of another scheduler stays where it is: its transfers report to that one, so here
  // it could never finish.
  if (!task || (task->owner && task->owner != this)) return false;
  task->owner = this;
  AddTask(task);
  return true;
}

void CHttpMgr::Schedule() {
  const uint32_t total = static_cast<uint32_t>(tasks_.size());
  // 1. A count that disagrees with the tasks' flags is made again from the flags.
  if (running_ > maxRunning_ || running_ > total) {
    LOG_CONSOLE_FILE(0,
                     L"CHttpMgr::Schedule() 正在运行的任务数计算出错，重新计算中 running:%d "
                     L"max:%d total:%d",
                     running_, maxRunning_, total);
    running_ = CountScheduled();
  }
  // 2.
  LOG_CONSOLE_FILE(0, L"CHttpMgr::Schedule() 调度任务 running:%d max:%d total:%d", running_,
                   maxRunning_, total);
  // 4.
  if (running_ >= maxRunning_) {
    LOG_CONSOLE_FILE(0, L"CHttpMgr::Schedule() 任务数超标 running:%d max:%d total:%d",
                     running_, maxRunning_, total);
    return;
  }
  // 3. Front first, until the slots are taken.
  const std::vector<CHttpBase*> snapshot = tasks_;
  for (CHttpBase* task : snapshot) {
    if (!Holds(task)) continue;
    if (!task->scheduled && !task->running) {
      Watch watch = {task, false};
      watches_.push_back(&watch);
      const bool started = task->Start();
      watches_.pop_back();
      if (watch.left) continue;
      if (started && !task->retryPending) {
        task->scheduled = true;
        ++running_;
      }
    }
    if (running_ >= maxRunning_) break;
  }
}

void CHttpMgr::ReportProgress() {
  const std::vector<CHttpBase*> snapshot = tasks_;
  for (CHttpBase* task : snapshot) {
    if (Holds(task) && task->running) task->Progress();
  }
}

void CHttpMgr::ReleaseRetries() {
  const DWORD now = ::GetTickCount();
  bool released = false;
  for (CHttpBase* task : tasks_) {
    // Signed, so that the tick counter's wrap after 49.7 days changes nothing.
    if (task->retryPending &&
        static_cast<int32_t>(now - task->retryTick) > static_cast<int32_t>(kRetryDelayMs)) {
      task->retryPending = false;
      released = true;
    }
  }
  if (released) Schedule();
}

void CHttpMgr::ForgetTasks() {
  for (CHttpBase* task : tasks_) {
    task->owner = nullptr;
    task->workshop = nullptr;
    // Its slot goes with this scheduler: rejoined to the next one, it is offered a start.
    task->scheduled = false;
  }
  tasks_.clear();
  running_ = 0;
}

CHttpBase* CHttpMgr::FindTask(const CCurlBase* transfer) const {
  if (!transfer) return nullptr;
  for (CHttpBase* task : tasks_) {
    if (task->curl.get() == transfer) return task;
  }
  return nullptr;
}

bool CHttpMgr::Holds(const CHttpBase* task) const {
  return std::find(tasks_.begin(), tasks_.end(), task) != tasks_.end();
}

uint32_t CHttpMgr::CountScheduled() const {
  return static_cast<uint32_t>(
      std::count_if(tasks_.begin(), tasks_.end(), [](const CHttpBase* t) { return t->scheduled; }));
}
