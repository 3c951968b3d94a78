// CHttpBase: an HTTP request as the program sees it: address, method, attempts, result
// record, and the transfer object (CCurlHttp) of its current run. CHttpCommand and
// CHttpDownloadFile specialise it; a transfer scheduler (CHttpMgr) starts and retries it.
//
// Contract:
// - Everything here runs on the user-interface thread. The request owns its transfer object
//   through a reference; the workshop and queued notifications hold their own.
// - A request belongs to its creator. It joins a scheduler (HttpEngine.h) instead of being
//   started directly; the scheduler calls Start when a slot is free and hands it the
//   workshop's notifications (Done, OnHttpCode, OnRecieveBytes).
// - Stop ends the current run, lets the transfer go and leaves the scheduler; the destructor
//   runs it, so a destroyed request leaves its workshop and its scheduler behind cleanly.
// - Failures come back as the error pair of the result record (GetError, HttpResult.h).
//   A connection that moves less than kStallSpeedLimit bytes per second for `stallTimeout`
//   seconds ends with libcurl's timeout code, as any other libcurl failure. With
//   `refuseWebPages` set, a successful answer that is a web page (a captive portal's, a
//   proxy's: WebPageCheck.h) ends as HTTP status kStatusWebPage (511), a network failure.
// - Each run goes through the player's proxy as Windows' settings or the environment name it
//   (SystemProxy.h). No proxy lookup holds this thread: a run whose origin has no known
//   answer yet waits (`proxyPending`) and joins its workshop once the lookup thread has one.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <string>

#include "http/CurlHttp.h"
#include "http/HttpResult.h"
#include "runtime/ProtoValue.h"
#include "runtime/RefPtr.h"

class CCurlWorkshop;
class CHttpMgr;

class CHttpBase {
 public:
  enum Method : int32_t { kGet = 1, kPost = 2 };
  static constexpr int32_t kDefaultMaxRetries = 2;
  static constexpr int32_t kDefaultConnectTimeout = 5;  // seconds
  // A dead link must not hold a transfer for ever: below this speed ...
  static constexpr int32_t kStallSpeedLimit = 1;  // bytes per second
  // ... for this long, the transfer ends with CURLE_OPERATION_TIMEDOUT.
  static constexpr int32_t kStallTimeoutSeconds = 30;

  CHttpBase(CHttpMgr* owner, CCurlWorkshop* workshop);
  CHttpBase(const CHttpBase&) = delete;
  CHttpBase& operator=(const CHttpBase&) = delete;

  virtual std::wstring GetUrl() const { return url; }
  virtual ~CHttpBase();

  // A family is going down: no request may keep pointing at its scheduler or workshop, also
  // those that are not in the scheduler's task list right now.
  static void ForgetEngineParts(const CHttpMgr* scheduler, const CCurlWorkshop* workshop);
  // Sets up the transfer object's easy handle for GetUrl(), `method` and `resumeOffset`.
  virtual void Prepare();
  // Starts a run unless one is going on (then false).
  virtual bool Start();
  virtual bool Stop();
  // The run ended with `code` (the workshop's report, on the user-interface thread).
  virtual void Done(CURLcode code) = 0;
  // The status of the answer: at the end of its header block, or an error status.
  virtual void OnHttpCode(int status) = 0;
  // Once a second while the request runs (the scheduler's timer).
  virtual void Progress() {}
  // Body bytes that arrived since the last report.
  virtual void OnRecieveBytes(int64_t count) {}

  http_result::Error GetError() const { return http_result::GetError(result); }

  CRefPtr<CCurlHttp> curl;
  CHttpMgr* owner;
  CCurlWorkshop* workshop;
  bool running = false;
  std::wstring url;
  int32_t id = 0;         // set by the scheduler
  uint32_t addTick = 0;   // set by the scheduler
  int32_t method = kGet;
  uint64_t resumeOffset = 0;
  int32_t attempts = 0;
  bool scheduled = false;  // kept by the scheduler: counts against its limit
  ProtoValue result;
  int32_t maxRetries = kDefaultMaxRetries;
  int32_t connectTimeout = kDefaultConnectTimeout;
  int32_t stallTimeout = kStallTimeoutSeconds;
  bool refuseWebPages = false;  // the resource is a file or a text, never a web page
  bool retryPending = false;  // waiting for the scheduler's timer
  uint32_t retryTick = 0;
  bool proxyPending = false;  // the run waits for its proxy's lookup (proxyUrl)
  std::wstring proxyUrl;

 protected:
  // Stops the transfer object's callbacks, closes its streams and lets it go.
  void ReleaseTransfer();
  // Back into its family's scheduler through `join` (HttpEngine.h) to run again after the
  // retry pause; false, with nothing waiting, when there is no scheduler to go back to.
  bool WaitForRetry(bool (*join)(CHttpBase*));
  // Sets the transfer's CURLOPT_PROXY for `requestUrl` ("" when the request goes straight to
  // its server, which also keeps libcurl from the environment's proxy); leaves the option
  // alone when the environment decides (SystemProxy.h). Without a known answer for its
  // origin, the run is left waiting for it (proxyPending).
  void ApplyProxy(const std::wstring& requestUrl);

 private:
  // The lookup thread found an answer: the runs waiting for one that is now known go on.
  static void OnProxyAnswer();
};
