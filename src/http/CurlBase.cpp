#include "http/CurlBase.h"

#include "runtime/CriticalSection.h"
#include "runtime/MainThreadTask.h"

// Every live transfer, so that a listener that goes away can be detached from the transfers
// whose notifications are still queued. Never destroyed: transfers may die on worker threads
// while the process exits.
struct LiveTransfers {
  CCriticalSection lock;
  CCurlBase* head = nullptr;
  int32_t count = 0;

  static LiveTransfers& Get() {
    static LiveTransfers* const live = new LiveTransfers();
    return *live;
  }

  void Insert(CCurlBase* transfer) {
    CAutoLock hold(lock);
    transfer->nextLive_ = head;
    if (head) head->previousLive_ = transfer;
    head = transfer;
    ++count;
  }

  void Erase(CCurlBase* transfer) {
    CAutoLock hold(lock);
    if (transfer->previousLive_) {
      transfer->previousLive_->nextLive_ = transfer->nextLive_;
    } else {
      head = transfer->nextLive_;
    }
    if (transfer->nextLive_) transfer->nextLive_->previousLive_ = transfer->previousLive_;
    --count;
  }
};

namespace {

// The bodies of the notification tasks, on the user-interface thread.
void RunDone(const CRefPtr<CCurlBase>& t, CURLcode code) {
  if (t && t->listener()) t->listener()->OnDone(t, code);
}
void RunRecieveData(const CRefPtr<CCurlBase>& t, unsigned int bytes) {
  if (t && t->listener()) t->listener()->OnRecieveData(t, bytes);
}
void RunSendData(const CRefPtr<CCurlBase>& t, unsigned int bytes) {
  if (t && t->listener()) t->listener()->OnSendData(t, bytes);
}
void RunHttpCode(const CRefPtr<CCurlBase>& t, int status) {
  if (t && t->listener()) t->listener()->OnHttpCode(t, status);
}
void RunRemoved(const CRefPtr<CCurlBase>& t, int value) {
  if (t && t->listener()) t->listener()->OnRemoved(t, value);
}
void RunAdded(const CRefPtr<CCurlBase>& t, int value) {
  if (t && t->listener()) t->listener()->OnAdded(t, value);
}

}  // namespace

void PrepareCurl() {
  static const CURLcode prepared = curl_global_init(CURL_GLOBAL_ALL);
  (void)prepared;
}

CCurlBase::CCurlBase(CurlListener* listener) : listener_(listener) {
  LiveTransfers::Get().Insert(this);
}

CCurlBase::~CCurlBase() {
  if (easy) {
    curl_easy_cleanup(easy);
    easy = nullptr;
  }
  LiveTransfers::Get().Erase(this);
}

void CCurlBase::PostDone(CURLcode code) {
  if (peerRejected() && code != CURLE_OK) code = CURLE_PEER_FAILED_VERIFICATION;
  PostToMainThread(RunDone, CRefPtr<CCurlBase>(this), code);
}

void CCurlBase::PostRecieveData(unsigned int bytes) {
  PostToMainThread(RunRecieveData, CRefPtr<CCurlBase>(this), bytes);
}

void CCurlBase::PostSendData(unsigned int bytes) {
  PostToMainThread(RunSendData, CRefPtr<CCurlBase>(this), bytes);
}

void CCurlBase::PostHttpCode(int status) {
  PostToMainThread(RunHttpCode, CRefPtr<CCurlBase>(this), status);
}

void CCurlBase::PostRemoved() { PostToMainThread(RunRemoved, CRefPtr<CCurlBase>(this), 0); }

void CCurlBase::PostAdded() { PostToMainThread(RunAdded, CRefPtr<CCurlBase>(this), 0); }

int32_t CCurlBase::LiveCount() {
  LiveTransfers& live = LiveTransfers::Get();
  CAutoLock hold(live.lock);
  return live.count;
}

void CCurlBase::ForgetListener(const CurlListener* listener) {
  if (!listener) return;
  LiveTransfers& live = LiveTransfers::Get();
  CAutoLock hold(live.lock);
  for (CCurlBase* t = live.head; t; t = t->nextLive_) {
    if (t->listener_.load() == listener) t->listener_.store(nullptr);
  }
}
