// CCurlBase: one HTTP transfer as a transfer workshop (CurlWorkshop.h) drives it: a libcurl
// easy handle, the callbacks libcurl feeds, and the listener its observations go to.
// CurlListener: the interface those observations arrive through, on the user-interface
// thread.
//
// Contract:
// - A transfer is reference-counted and always held through CRefPtr: by the request that
//   made it, by the workshop's lists, and by every notification still queued for it. It
//   deletes itself, on whichever thread lets go last.
// - The callbacks (OnRecieveHeader, OnRecieveBody, OnSendBody) run on the workshop's worker;
//   Close and everything before the transfer is handed to a workshop run on the
//   user-interface thread. `easy` is written by the user-interface thread before the
//   transfer is handed over and afterwards only by the worker, under the workshop's lock.
// - The worker never calls the listener: the Post* operations queue main-thread tasks
//   (MainThreadTask.h) that call it on the user-interface thread, and only while the
//   transfer still has a listener. A listener that goes away calls ForgetListener first, so
//   notifications still queued for it are dropped.
// - Nothing here throws into libcurl: callbacks report failure by the byte counts they return.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "runtime/RefPtr.h"

class CCurlBase;

// libcurl's process-wide start-up, made once; called on the user-interface thread before the
// first easy or multi handle is created (libcurl's own start-up is not thread-safe).
void PrepareCurl();

class CurlListener {
 public:
  virtual void OnDone(const CRefPtr<CCurlBase>& transfer, CURLcode code) = 0;
  virtual void OnRecieveData(const CRefPtr<CCurlBase>& transfer, unsigned int bytes) = 0;
  virtual void OnSendData(const CRefPtr<CCurlBase>& transfer, unsigned int bytes) = 0;
  virtual void OnHttpCode(const CRefPtr<CCurlBase>& transfer, int status) = 0;
  virtual void OnRemoved(const CRefPtr<CCurlBase>& transfer, int value) = 0;
  virtual void OnAdded(const CRefPtr<CCurlBase>& transfer, int value) = 0;

 protected:
  ~CurlListener() = default;
};

class CCurlBase : public CRefThreadSafeBase<CCurlBase> {
 public:
  explicit CCurlBase(CurlListener* listener);

  // Each returns the bytes it accepted or supplied; anything else than libcurl offered or
  // asked for makes libcurl end the transfer (a read of 0 ends the request body).
  virtual size_t OnRecieveHeader(const char* data, size_t length) = 0;
  virtual size_t OnRecieveBody(const char* data, size_t length) = 0;
  virtual size_t OnSendBody(char* buffer, size_t length) = 0;
  // Closes the output stream, then the input stream.
  virtual void Close() = 0;

  // Notifications for the listener, from any thread. A run that a refused server
  // certificate aborted (RejectPeer) ends as libcurl's certificate error, whatever code the
  // abort itself gave.
  void PostDone(CURLcode code);
  void PostRecieveData(unsigned int bytes);
  void PostSendData(unsigned int bytes);
  void PostHttpCode(int status);
  void PostRemoved();
  void PostAdded();

  CurlListener* listener() const { return listener_.load(); }
  // Cleared when the request is stopped; from then on every callback refuses its bytes.
  bool active() const { return active_.load(); }
  void Deactivate() { active_.store(false); }
  // The server's certificate was refused on the worker; the run is being aborted.
  void RejectPeer() { peerRejected_.store(true); }
  bool peerRejected() const { return peerRejected_.load(); }

  // Transfer objects alive in the process.
  static int32_t LiveCount();
  // Detaches `listener` from every live transfer; its queued notifications are dropped.
  static void ForgetListener(const CurlListener* listener);

  CURL* easy = nullptr;
  // Read by the workshop; no transfer of this engine sets it.
  int32_t kind = 0;

 protected:
  friend class CRefThreadSafeBase<CCurlBase>;
  // Cleans up the easy handle when no workshop has done so.
  ~CCurlBase() override;

 private:
  friend struct LiveTransfers;

  std::atomic<CurlListener*> listener_;
  std::atomic<bool> active_{true};
  std::atomic<bool> peerRejected_{false};
  // The process-wide list of live transfers.
  CCurlBase* previousLive_ = nullptr;
  CCurlBase* nextLive_ = nullptr;
};
