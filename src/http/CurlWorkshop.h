// CCurlWorkshop: where HTTP transfers run. One libcurl multi handle and one worker thread
// drive every transfer handed to the workshop.
//
// Contract:
// - The owner (the family start-up and shut-down of HttpEngine.h, on the user-interface
//   thread) calls Init, StartThread, and at the end StopThread (unlimited wait) and Cleanup.
// - Init opens the workshop for requests; the worker creates the multi handle when the first
//   transfer arrives, so that libcurl's costly start-up stays off the user-interface thread
//   and out of the program's start.
// - Add and Remove may be called from any thread; they only queue the request in a list under
//   the workshop's lock, wake the worker, and return false before Init and after Cleanup. The
//   worker applies queued requests at the start of each turn, so a transfer stopped before the
//   worker has added it is never added.
// - Between turns the worker sleeps: in curl_multi_poll once the multi handle exists (until a
//   socket is ready, a timer of libcurl's is due, or curl_multi_wakeup), before that on an
//   event of its own. Add, Remove and StopThread wake it from either.
// - Only the worker touches the multi handle while the thread runs. It reports what happens
//   to a transfer (added, removed, done) to the transfer's listener as main-thread tasks,
//   never by a direct call.
// - Every list holds its own reference on each transfer. A transfer whose easy handle cannot
//   join the multi handle is reported done with CURLE_FAILED_INIT, so its request is never
//   left waiting.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <list>

#include "http/CurlBase.h"
#include "runtime/CriticalSection.h"
#include "runtime/RefPtr.h"
#include "runtime/SimpleThread.h"
#include "runtime/Win32Handles.h"

class CCurlWorkshop : public CSimpleThread {
 public:
  CCurlWorkshop();
  ~CCurlWorkshop() override;

  // Opens the workshop for requests; later calls do nothing.
  void Init();
  bool Add(const CRefPtr<CCurlBase>& transfer);
  bool Remove(const CRefPtr<CCurlBase>& transfer);
  // After the thread has stopped: takes every transfer out and closes the multi handle.
  void Cleanup();

 protected:
  void Run() override;
  void WakeForStop() override;

 private:
  using TransferList = std::list<CRefPtr<CCurlBase>>;

  // Holds the lock and counts how deep it is held.
  class Hold {
   public:
    explicit Hold(CCurlWorkshop& workshop);
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    CCurlWorkshop& workshop_;
  };

  // The multi handle, by the worker, once a transfer waits to be added.
  void CreateMulti();
  // Ends the worker's present or next wait; under the lock.
  void Wake();
  // One wait for the sockets and one round of libcurl's work.
  void Pump();
  // Reports finished transfers.
  void CollectDone();
  // Applies the queued removals, then the queued additions.
  void ApplyPending();
  // Takes a transfer out of the multi handle (or out of the queue of additions); under the
  // lock. Returns 0 when the transfer has no easy handle left.
  int Detach(CCurlBase* transfer);
  // Whether a transfer with this easy handle is in the multi handle; under the lock.
  bool HoldsRunning(const CURL* easy) const;

  bool open_ = false;  // between Init and Cleanup; under the lock
  CURLM* multi_ = nullptr;
  win::ScopedHandle wakeEvent_;  // auto-reset; the worker's wait while there is no multi_
  TransferList pendingAdd_;
  TransferList running_;
  TransferList pendingRemove_;
  CCriticalSection lock_;
  int32_t lockDepth_ = 0;
};
