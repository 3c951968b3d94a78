#include "http/CurlWorkshop.h"

#include <cstdint>

#include "runtime/Logging.h"

namespace {

// Every wake-up the worker needs comes from a socket, a timer of libcurl's or Wake; this bound
// only limits how long a transfer stopped by its flag alone (Deactivate without Remove) stays
// in the multi handle. Once a second costs nothing measurable.
constexpr int kLongestWaitMs = 1000;

}  // namespace

CCurlWorkshop::Hold::Hold(CCurlWorkshop& workshop) : workshop_(workshop) {
  workshop_.lock_.Enter();
  ++workshop_.lockDepth_;
}

CCurlWorkshop::Hold::~Hold() {
  --workshop_.lockDepth_;
  workshop_.lock_.Leave();
}

CCurlWorkshop::CCurlWorkshop() : wakeEvent_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

CCurlWorkshop::~CCurlWorkshop() {
  // An owner that skipped the shut-down still leaves no thread on a freed object behind.
  StopThread(INFINITE);
  Cleanup();
}

void CCurlWorkshop::Wake() {
  // Both are sticky: a wake-up given while the worker is still busy ends its next wait at
  // once, so a request queued after the worker's last look at the lists is never slept over.
  // libcurl clears its event when a wait ends, whatever ended it; the worker looks at the
  // lists and the stop flag after every wait, so a request queued before that is seen then.
  if (multi_) curl_multi_wakeup(multi_);
  if (wakeEvent_) ::SetEvent(wakeEvent_.get());
}

void CCurlWorkshop::WakeForStop() {
  Hold hold(*this);
  Wake();
}

void CCurlWorkshop::Init() {
  Hold hold(*this);
  open_ = true;
}

void CCurlWorkshop::CreateMulti() {
  {
    Hold hold(*this);
    if (multi_ || !open_ || pendingAdd_.empty()) return;
  }
  // libcurl's first call starts Schannel's security packages: 7 to 20 ms and a series of
  // library loads under Wine. Made on the user-interface thread at start-up, it delayed the
  // install window's first frame; the first transfer is early enough. Only the worker uses
  // the handle while the thread runs; the lock covers the hand-over to Cleanup.
  PrepareCurl();
  CURLM* const multi = curl_multi_init();
  Hold hold(*this);
  multi_ = multi;
  LOG_FILE(0, L"CCurlWorkshop::Init() %x",
           static_cast<unsigned>(reinterpret_cast<uintptr_t>(multi_)));
}

bool CCurlWorkshop::Add(const CRefPtr<CCurlBase>& transfer) {
  Hold hold(*this);
  if (!open_ || !transfer) return false;
  pendingAdd_.push_back(transfer);
  for (auto it = pendingRemove_.begin(); it != pendingRemove_.end(); ++it) {
    if (*it == transfer) {
      pendingRemove_.erase(it);
      break;
    }
  }
  Wake();
  return true;
}

bool CCurlWorkshop::Remove(const CRefPtr<CCurlBase>& transfer) {
  Hold hold(*this);
  if (!open_ || !transfer) return false;
  pendingRemove_.push_back(transfer);
  Wake();
  return true;
}

void CCurlWorkshop::Cleanup() {
  TransferList released;
  {
    Hold hold(*this);
    for (const CRefPtr<CCurlBase>& transfer : running_) {
      if (!transfer->easy) continue;
      curl_multi_remove_handle(multi_, transfer->easy);
      curl_easy_cleanup(transfer->easy);
      transfer->easy = nullptr;
    }
    if (multi_) curl_multi_cleanup(multi_);
    multi_ = nullptr;
    open_ = false;
    released.splice(released.end(), pendingAdd_);
    released.splice(released.end(), running_);
    released.splice(released.end(), pendingRemove_);
  }
  // The references go outside the lock: a transfer's destructor closes its streams.
}

void CCurlWorkshop::Run() {
  while (!stopRequested()) {
    Pump();
    CollectDone();
  }
}

void CCurlWorkshop::Pump() {
  if (!multi_) CreateMulti();
  // Without a multi handle (none wanted yet, or libcurl could not make one) the queued
  // transfers are settled all the same: stopped ones removed, new ones failed.
  ApplyPending();
  if (!multi_) {
    ::WaitForSingleObject(wakeEvent_.get(), kLongestWaitMs);
    return;
  }
  // Also without any socket (a name being resolved, a connection waiting for its next try)
  // this sleeps until libcurl's own timer is due rather than spinning.
  curl_multi_poll(multi_, nullptr, 0, kLongestWaitMs, nullptr);
  if (stopRequested()) return;
  int runningHandles = 0;
  while (curl_multi_perform(multi_, &runningHandles) == CURLM_CALL_MULTI_PERFORM) {
  }
}

void CCurlWorkshop::CollectDone() {
  int queued = 0;
  while (multi_ && !stopRequested()) {
    CURLMsg* message = curl_multi_info_read(multi_, &queued);
    if (!message) break;
    if (message->msg != CURLMSG_DONE) continue;
    // Read before Detach: the message belongs to the easy handle that Detach cleans up.
    CURL* const easy = message->easy_handle;
    const CURLcode code = message->data.result;
    Hold hold(*this);
    for (const CRefPtr<CCurlBase>& entry : running_) {
      if (entry->easy != easy) continue;
      CRefPtr<CCurlBase> transfer = entry;
      transfer->PostDone(code);
      Detach(transfer.get());
      break;
    }
  }
}

void CCurlWorkshop::ApplyPending() {
  Hold hold(*this);
  // 1, 2. Stopped transfers, queued or running, are to be removed (once each).
  auto queueRemoval = [this](const CRefPtr<CCurlBase>& transfer) {
    for (const CRefPtr<CCurlBase>& queued : pendingRemove_) {
      if (queued == transfer) return;
    }
    pendingRemove_.push_back(transfer);
  };
  for (const CRefPtr<CCurlBase>& transfer : pendingAdd_) {
    if (!transfer->active()) queueRemoval(transfer);
  }
  for (const CRefPtr<CCurlBase>& transfer : running_) {
    if (!transfer->active()) queueRemoval(transfer);
  }

  // 3. Removals.
  for (size_t n = pendingRemove_.size(); n > 0; --n) {
    CRefPtr<CCurlBase> transfer = pendingRemove_.front();
    pendingRemove_.pop_front();
    Detach(transfer.get());
    transfer->PostRemoved();
  }

  // 4. Additions. A transfer that runs already (its Add cancelled a removal) stays as it is;
  //    one that cannot join is reported done with an error rather than dropped, so that its
  //    request does not wait for ever.
  for (size_t n = pendingAdd_.size(); n > 0; --n) {
    CRefPtr<CCurlBase> transfer = pendingAdd_.front();
    pendingAdd_.pop_front();
    if (HoldsRunning(transfer->easy)) continue;
    if (transfer->easy && curl_multi_add_handle(multi_, transfer->easy) == CURLM_OK) {
      if (transfer->kind == 0 || transfer->kind == 1) transfer->PostAdded();
      running_.push_back(transfer);
    } else if (transfer->active()) {
      transfer->PostDone(CURLE_FAILED_INIT);
    }
  }
}

bool CCurlWorkshop::HoldsRunning(const CURL* easy) const {
  if (!easy) return false;
  for (const CRefPtr<CCurlBase>& entry : running_) {
    if (entry->easy == easy) return true;
  }
  return false;
}

int CCurlWorkshop::Detach(CCurlBase* transfer) {
  CURL* const easy = transfer->easy;
  if (!easy) return 0;
  for (auto it = running_.begin(); it != running_.end(); ++it) {
    if ((*it)->easy != easy) continue;
    curl_multi_remove_handle(multi_, easy);
    curl_easy_cleanup(easy);
    transfer->easy = nullptr;
    (*it)->easy = nullptr;
    running_.erase(it);
    return 1;
  }
  for (auto it = pendingAdd_.begin(); it != pendingAdd_.end(); ++it) {
    if ((*it)->easy == easy) {
      pendingAdd_.erase(it);
      break;
    }
  }
  return 1;
}
