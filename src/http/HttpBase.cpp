#include "http/HttpBase.h"

#include <algorithm>
#include <vector>

#include "http/AnsiText.h"
#include "http/CurlWorkshop.h"
#include "http/HttpMgr.h"
#include "http/HttpText.h"
#include "http/SystemProxy.h"

namespace {

// Every request alive in the process, so that a family going down can take its scheduler and
// workshop out of requests that are not in its task list at that moment (an idle request
// still points at the scheduler it was made for). User-interface thread only.
std::vector<CHttpBase*>& LiveRequests() {
  static std::vector<CHttpBase*>* const requests = new std::vector<CHttpBase*>();
  return *requests;
}

}  // namespace

CHttpBase::CHttpBase(CHttpMgr* owner, CCurlWorkshop* workshop)
    : owner(owner), workshop(workshop), result(ProtoValue::kMap) {
  LiveRequests().push_back(this);
}

CHttpBase::~CHttpBase() {
  CHttpBase::Stop();
  auto& live = LiveRequests();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

void CHttpBase::ForgetEngineParts(const CHttpMgr* scheduler, const CCurlWorkshop* gone) {
  for (CHttpBase* request : LiveRequests()) {
    if (request->owner == scheduler) request->owner = nullptr;
    if (request->workshop == gone) request->workshop = nullptr;
  }
}

void CHttpBase::Prepare() {
  proxyPending = false;
  if (!curl) return;
  PrepareCurl();
  if (!curl->easy) {
    curl->easy = curl_easy_init();
  } else {
    curl_easy_reset(curl->easy);
  }
  curl->ResetResponse();
  CURL* const easy = curl->easy;
  // Without a handle the workshop reports the run as failed (CURLE_FAILED_INIT).
  if (!easy) return;

  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
  const std::string url = WideToAnsi(GetUrl());
  // libcurl copies the texts.
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, http_text::RedirectProtocols(url));
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CCurlHttp::HeaderTrampoline);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, curl.get());
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CCurlHttp::WriteTrampoline);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, curl.get());
  curl_easy_setopt(easy, CURLOPT_READFUNCTION, &CCurlHttp::ReadTrampoline);
  curl_easy_setopt(easy, CURLOPT_READDATA, curl.get());
  curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &CCurlHttp::PrereqTrampoline);
  curl_easy_setopt(easy, CURLOPT_PREREQDATA, curl.get());
  // A proxy's answer to the tunnel's CONNECT is no answer of the server: its status line
  // and fields would pass for the server's.
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, static_cast<long>(connectTimeout));
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, static_cast<long>(kStallSpeedLimit));
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(stallTimeout));
  // Where TLS is inspected, or the revocation servers cannot be reached, a certificate whose
  // revocation cannot be checked is still accepted; a revoked one is not.
  curl_easy_setopt(easy, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
  if (method == kPost) {
    IBaseStream* input = curl->input();
    const int64_t size = input ? input->GetSize() : 0;
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(size));
    curl->uploadSize = size;
  } else if (resumeOffset != 0) {
    curl_easy_setopt(easy, CURLOPT_RANGE, http_text::RangeFrom(resumeOffset).c_str());
  }
  // The player's proxy, which libcurl would not find in Windows' settings by itself.
  ApplyProxy(GetUrl());
}

void CHttpBase::ApplyProxy(const std::wstring& requestUrl) {
  if (!curl || !curl->easy) return;
  CSystemProxy& proxies = CSystemProxy::Instance();
  proxies.SetAnswerHook(&CHttpBase::OnProxyAnswer);
  CSystemProxy::Lookup lookup;
  proxyPending = !proxies.Peek(requestUrl, &lookup);
  proxyUrl = requestUrl;
  if (proxyPending || lookup.fromEnvironment) return;
  // libcurl copies the text.
  curl_easy_setopt(curl->easy, CURLOPT_PROXY, WideToAnsi(lookup.choice.proxy).c_str());
}

void CHttpBase::OnProxyAnswer() {
  // A copy: a run that joins its workshop changes no request, but the walk must not depend
  // on that.
  const std::vector<CHttpBase*> requests = LiveRequests();
  for (CHttpBase* request : requests) {
    if (!request->running || !request->proxyPending) continue;
    request->ApplyProxy(request->proxyUrl);
    if (!request->proxyPending && request->curl && request->workshop) {
      request->workshop->Add(request->curl);
    }
  }
}

bool CHttpBase::Start() {
  if (running) return false;
  ++attempts;
  running = true;
  Prepare();
  if (curl && workshop && !proxyPending) workshop->Add(curl);
  return true;
}

bool CHttpBase::Stop() {
  if (running) {
    running = false;
    if (curl && workshop && !proxyPending) workshop->Remove(curl);
  }
  proxyPending = false;
  ReleaseTransfer();
  if (owner && owner->RemoveTask(this)) owner = nullptr;
  return true;
}

bool CHttpBase::WaitForRetry(bool (*join)(CHttpBase*)) {
  retryPending = true;
  retryTick = ::GetTickCount();
  if (join(this)) return true;
  // Without a scheduler to wait in (the engine is down) the failure is final.
  retryPending = false;
  return false;
}

void CHttpBase::ReleaseTransfer() {
  if (!curl) return;
  curl->Deactivate();
  curl->Close();
  curl.reset();
}
