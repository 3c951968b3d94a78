#include "http/HttpDownloadFile.h"

#include <windows.h>

#include <algorithm>
#include <memory>

#include "http/AnsiText.h"
#include "http/DownloadRules.h"
#include "http/DownloadWriteFile.h"
#include "http/HttpEngine.h"
#include "http/HttpLog.h"
#include "http/HttpMgr.h"
#include "http/RangedDownload.h"
#include "runtime/FileEx.h"
#include "runtime/MainThreadTask.h"

using download_rules::ResumeAction;

namespace {

// A download's transfer object. For an address of the DNS step it also holds the list that
// routes its connections there; libcurl reads that list for as long as the easy handle
// lives, so the list lives exactly as long as the handle.
class CDownloadTransfer : public CCurlHttp {
 public:
  using CCurlHttp::CCurlHttp;

  // Connections to `host` (any port) go to `address` (the same port).
  void RouteTo(const std::string& host, const std::string& address) {
    if (!easy || connectTo_) return;
    connectTo_ = curl_slist_append(nullptr, (host + "::" + address + ":").c_str());
    if (connectTo_) curl_easy_setopt(easy, CURLOPT_CONNECT_TO, connectTo_);
  }

 protected:
  ~CDownloadTransfer() override {
    if (easy) {
      curl_easy_cleanup(easy);
      easy = nullptr;
    }
    curl_slist_free_all(connectTo_);
  }

 private:
  curl_slist* connectTo_ = nullptr;
};

// The downloads that exist, so that a resolver's report that arrives after its download
// was destroyed finds nobody. User-interface thread only.
std::vector<CHttpDownloadFile*>& LiveDownloads() {
  // Never destroyed: a report may still be queued at exit.
  static auto* const live = new std::vector<CHttpDownloadFile*>();
  return *live;
}

// Cuts the file back to `size` bytes; a missing file is left missing. Logged on failure.
void CutFile(const std::wstring& path, uint64_t size) {
  CFileEx file;
  if (!file.Open(path, DownloadWriteFile::kOpenFlags & ~CFileEx::Create)) return;
  try {
    if (file.SeekToEnd() > size) file.SetLength(size);
    file.Close();
  } catch (const CFileExException& e) {
    LOG_FILE(2, L"CHttpDownloadFile: cutting %ls to %lld bytes failed: %d", path.c_str(),
             static_cast<long long>(size), e.osError);
  }
}

void LogLengthMismatch(uint64_t expected, uint64_t actual) {
  LOG_TRACE(2, 2, L"长度不一致 预期值:%lld 实际值:%lld", static_cast<long long>(expected),
            static_cast<long long>(actual));
}

bool IsTransferError(const http_result::Error& error) {
  return (error.type == http_result::kHttp || error.type == http_result::kCurl) && error.code != 0;
}

}  // namespace

CHttpDownloadFile::CHttpDownloadFile()
    : CHttpBase(CHttpEngine::DownloadScheduler(), CHttpEngine::DownloadWorkshop()) {
  // A page in place of the file would be written into the partial file and continued.
  refuseWebPages = true;
  LiveDownloads().push_back(this);
}

CHttpDownloadFile::~CHttpDownloadFile() {
  std::vector<CHttpDownloadFile*>& live = LiveDownloads();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
  CancelResolver();
  ranged_.reset();
  // CHttpBase's destructor ends the run and leaves the scheduler.
}

bool CHttpDownloadFile::ranged() const { return ranged_ && ranged_->active(); }

void CHttpDownloadFile::OnRangesEnded(bool complete) {
  result = ProtoValue(ProtoValue::kMap);
  if (complete) {
    CheckCompleteFile();
    const http_result::Error error = GetError();
    Finish(error.type, error.code);
    return;
  }
  // One stream from the bytes there are, with every retry, address and the DNS step.
  attempts = 0;
  if (!Join()) Finish(http_result::kCurl, CURLE_FAILED_INIT);
}

bool CHttpDownloadFile::Setup(const std::wstring& backupUrls, const std::wstring& primary,
                              const std::wstring& path, uint64_t size, void* user,
                              DoneCallback done, ProgressCallback progress) {
  // Asked first, so that a download under way keeps its addresses.
  if (running || dnsPending_ || ranged()) return false;
  urls = download_rules::MakeUrlList(backupUrls, primary);
  primaryUrl = primary;
  localPath = path;
  expectedSize = size;
  onDone = done;
  onProgress = progress;
  userData = user;
  attempts = 0;
  // A retry the last run left waiting (its DNS step stopped, say) is not this run's.
  retryPending = false;
  result = ProtoValue(ProtoValue::kMap);
  speedSamples.Clear();
  dnsRoutes_.clear();
  digest = wantDigest ? std::make_shared<CPrefixDigest>(localPath, wantSha256) : nullptr;
  if (parallelRanges > 1 && expectedSize >= rangeThreshold && !urls.empty()) {
    if (!ranged_) ranged_ = std::make_unique<CRangedDownload>(*this);
    if (ranged_->Begin(parallelRanges, rangeTag)) return true;
  }
  return Join();
}

std::wstring CHttpDownloadFile::GetUrl() const {
  return urls.empty() ? std::wstring() : urls.front();
}

void CHttpDownloadFile::Prepare() {
  CHttpBase::Prepare();
  if (!curl || !curl->easy) return;
  // Fewer, larger reads and writes: at libcurl's default of 16 KiB, the worker's turns (each
  // with its select) cap a loopback transfer under Wine far below what the link carries.
  curl_easy_setopt(curl->easy, CURLOPT_BUFFERSIZE, static_cast<long>(receiveBufferSize));
  const auto route = dnsRoutes_.find(GetUrl());
  if (route == dnsRoutes_.end()) return;
  // The request keeps the host's name (a virtual-hosted server or CDN needs it in the Host
  // header, TLS in the certificate check); only its connection goes to the address.
  curl_easy_setopt(curl->easy, CURLOPT_URL, WideToAnsi(route->second.namedUrl).c_str());
  static_cast<CDownloadTransfer*>(curl.get())->RouteTo(route->second.host, route->second.address);
  // The proxy of the address as it is asked for, by name.
  ApplyProxy(route->second.namedUrl);
}

bool CHttpDownloadFile::Start() {
  if (running) return false;
  // 1.
  ReleaseTransfer();
  CRefPtr<CCurlHttp> transfer = new CDownloadTransfer(owner);
  transfer->notifyProgress = true;
  transfer->refuseWebPages = refuseWebPages;

  // 2.
  auto writer = std::make_unique<DownloadWriteFile>();
  if (!writer->Open(localPath)) {
    EndInStart(writer->errorKind, writer->errorCode);
    return false;
  }
  DownloadWriteFile* const file = writer.get();
  file->digest = digest;
  transfer->SetOutput(std::move(writer));
  curl = transfer;

  // 3.
  LOG_FILE(0, L"CHttpDownloadFile::Start() localPath:%ls", localPath.c_str());

  // 4. to 8. What the partial file holds decides where this run starts.
  const int64_t size = CFileEx::SizeOf(localPath);
  if (size < 0) LOG_FILE(0, L"无需断点下载 %ls ", localPath.c_str());
  const long long shown = size < 0 ? 0 : size;
  const download_rules::ResumePlan plan = download_rules::PlanResume(size, expectedSize);
  switch (plan.action) {
    case ResumeAction::kRestartTooLarge:
      LOG_TRACE(2, 2, L"%ls文件大小(%lld)大于预期(%lld)大小  ", localPath.c_str(), shown,
                static_cast<long long>(expectedSize));
      [[fallthrough]];
    case ResumeAction::kWholeFileUnknownSize:
      curl->resuming = false;
      file->Truncate();
      if (file->errorKind != 0) {
        // Appending behind the old bytes would corrupt the file.
        EndInStart(file->errorKind, file->errorCode);
        return false;
      }
      break;
    case ResumeAction::kComplete:
      LOG_TRACE(2, 0, L"下载已完成 %ls pos:%lld", localPath.c_str(), shown);
      EndInStart(http_result::kNone, 0);
      return false;
    case ResumeAction::kFromStart:
      LOG_TRACE(2, 0, L"非断点 %ls pos:%lld", localPath.c_str(), shown);
      curl->resuming = false;
      break;
    case ResumeAction::kContinue:
      LOG_TRACE(2, 0, L"开始断点下载 %ls pos:%lld", localPath.c_str(), shown);
      curl->resuming = true;
      // Digested in the background while the rest arrives.
      if (digest) digest->Advance(static_cast<uint64_t>(size));
      break;
  }
  resumeOffset = plan.offset;
  // Each attempt's record is its own, so that its end reports its own error.
  result = ProtoValue(ProtoValue::kMap);

  // 9.
  return CHttpBase::Start();
}

bool CHttpDownloadFile::Stop() {
  received = 0;
  pendingBytes = 0;
  contentLength = 0;
  CancelResolver();
  if (ranged_) ranged_->Stop();
  return CHttpBase::Stop();
}

void CHttpDownloadFile::OnRecieveBytes(int64_t count) {
  pendingBytes += static_cast<uint32_t>(count);
}

void CHttpDownloadFile::Progress() {
  if (!running || !onProgress || contentLength == 0) return;
  speedSamples.Add(pendingBytes);
  received += pendingBytes;
  pendingBytes = 0;
  onProgress(userData, resumeOffset + contentLength, resumeOffset + received,
             speedSamples.BytesPerSecond());
}

void CHttpDownloadFile::OnHttpCode(int status) {
  if (!running) return;
  // 1.
  if (status >= 300 && status <= 399) {
    LOG_CONSOLE(0, L"重定向中... url:%ls", GetUrl().c_str());
    LOG_FILE(0, L"重定向中...  url:%ls", GetUrl().c_str());
    return;
  }
  // 2.
  http_result::SetCode(result, http_result::kHttp, status);
  // 3. The transfer object empties the file: it starts again from its first byte.
  if (status == 200 && curl && curl->resuming) {
    LOG_CONSOLE_FILE(0, L"不支持断点续传 url:%ls", GetUrl().c_str());
    resumeOffset = 0;
  }
  // 4.
  uint64_t length = 0;
  if (!curl || !download_rules::ParseContentLength(curl->HeaderValue(L"Content-Length"), &length) ||
      length == 0) {
    return;
  }
  contentLength = length;
  if (expectedSize != 0 && expectedSize != resumeOffset + contentLength) {
    LogLengthMismatch(expectedSize, resumeOffset + contentLength);
    // The answer is not the file expected: bytes it already delivered must not be continued.
    const uint64_t keep = resumeOffset;
    Stop();
    CutFile(localPath, keep);
    if (digest) digest->Restart(keep);
    Finish(http_result::kApplication, http_result::kLengthMismatch);
    return;
  }
  if (onProgress) onProgress(userData, resumeOffset + contentLength, resumeOffset, 0);
}

void CHttpDownloadFile::CheckCompleteFile() {
  if (expectedSize == 0) return;
  const int64_t size = CFileEx::SizeOf(localPath);
  if (size >= 0 && static_cast<uint64_t>(size) == expectedSize) return;
  if (size >= 0 && static_cast<uint64_t>(size) > expectedSize) {
    LogLengthMismatch(expectedSize, static_cast<uint64_t>(size));
    http_result::SetCode(result, http_result::kApplication, http_result::kLengthMismatch);
    return;
  }
  // An answer without a length ends when the connection does, also when it breaks: the
  // rest is fetched like after any broken transfer.
  LOG_TRACE(2, 0, L"CHttpDownloadFile::Done() %ls holds %lld of %lld bytes", localPath.c_str(),
            static_cast<long long>(size), static_cast<long long>(expectedSize));
  http_result::SetCode(result, http_result::kCurl, CURLE_PARTIAL_FILE);
}

void CHttpDownloadFile::Done(CURLcode code) {
  if (!running) return;
  // 1. What ended the run. The file is closed with it, so its size can be read.
  http_result::SetCode(result, http_result::kCurl, code);
  const std::wstring address = GetUrl();
  if (curl && curl->refusedWebPage()) {
    // A network failure: the next address, the DNS step and the retries may get past it.
    LOG_TRACE(2, 2, L"CHttpDownloadFile::Done() the answer is a web page, not the file "
                    L"(a captive portal or a proxy's page?)  url:%ls ", address.c_str());
    http_result::SetCode(result, http_result::kHttp, http_result::kStatusWebPage);
  }
  Stop();
  if (code == CURLE_OK) CheckCompleteFile();
  const http_result::Error error = GetError();

  if (attempts <= maxRetries && error.type == http_result::kCurl && error.code != 0) {
    // 2. The same address again.
    LOG_TRACE(2, 0, L"CHttpDownloadFile::Done() 重试.... code:%d errtype:%d  url:%ls ", error.code,
              error.type, address.c_str());
    if (WaitForRetry()) return;
  } else if (IsTransferError(error) && urls.size() > 1) {
    // 3. The next backup address.
    attempts = 0;
    urls.erase(urls.begin());
    LOG_TRACE(2, 0,
              L"CHttpDownloadFile::Done() type:%d code:%d  url:%ls 下载失败，尝试使用备用地址:%ls",
              error.type, error.code, address.c_str(), GetUrl().c_str());
    if (WaitForRetry()) return;
  } else if (IsTransferError(error) && !primaryUrl.empty()) {
    // 4. The DNS step: the resolver looks the primary address's host up.
    attempts = 0;
    retryPending = true;
    LOG_TRACE(2, 0, L"CHttpDownloadFile::Done() 开始重试DNS解析.... type:%d code:%d  url:%ls ",
              error.type, error.code, primaryUrl.c_str());
    retryTick = ::GetTickCount();
    const std::wstring host = download_rules::HostOfUrl(primaryUrl);
    // A host that is an address already has nothing to look up: where the resolver's servers
    // cannot be reached, asking them would only add their waits before the last pass.
    const bool literal = !download_rules::ResolvedAddresses(host).empty();
    if (!host.empty() && !literal && StartResolver(host)) return;
    OnDNSResult(host, std::wstring());
    return;
  }

  // 5. The download is over.
  if (error.type != http_result::kNone) {
    LOG_TRACE(2, 0, L"CHttpDownloadFile::Done()  code:%d errtype:%d  url:%ls ", error.code,
              error.type, address.c_str());
  }
  Finish(error.type, error.code);
}

void CHttpDownloadFile::OnDNSResult(const std::wstring& host, const std::wstring& addresses) {
  // 1.
  Stop();
  const http_result::Error error = GetError();
  // 2.
  if (primaryUrl.empty()) {
    LOG_TRACE(2, 0, L"CHttpDownloadFile::OnDNSResult() 状态不对，忽略 type:%d code:%d  url:%ls ",
              error.type, error.code, GetUrl().c_str());
    FinishLater();
    return;
  }
  // 3. Each address goes to the front, as a URL in place of the primary one.
  const std::string namedHost = WideToAnsi(download_rules::HostOfUrl(primaryUrl));
  for (const std::wstring& address : download_rules::ResolvedAddresses(addresses)) {
    const std::wstring url = download_rules::ReplaceUrlHost(primaryUrl, address);
    if (url.empty()) continue;
    urls.insert(urls.begin(), url);
    dnsRoutes_[url] = DnsRoute{primaryUrl, namedHost, WideToAnsi(address)};
  }
  // 4. One more pass: over the addresses, else over the addresses there were.
  if (!host.empty() && !urls.empty()) {
    attempts = 0;
    LOG_TRACE(2, 0,
              L"CHttpDownloadFile::Done() 重试DNS解析到的ip列表.... type:%d code:%d  url:%ls ",
              error.type, error.code, GetUrl().c_str());
    primaryUrl.clear();
    if (WaitForRetry()) return;
  }
  // 5.
  LOG_TRACE(2, 0, L"CHttpDownloadFile::OnDNSResult() 解析DNS失败 type:%d code:%d  url:%ls ",
            error.type, error.code, GetUrl().c_str());
  FinishLater();
}

void CHttpDownloadFile::OnResolverAnswer(int elapsed, void* context, const std::string& host,
                                         const std::string& addresses) {
  std::vector<CHttpDownloadFile*>& live = LiveDownloads();
  auto* const download = static_cast<CHttpDownloadFile*>(context);
  if (std::find(live.begin(), live.end(), download) == live.end()) return;
  // A report for a step that was stopped, or for another host, is not this step's.
  if (!download->dnsPending_ || download->dnsHost_ != host) return;
  download->dnsPending_ = false;
  LOG_TRACE(2, 0, L"CHttpDownloadFile DNS %s: \"%s\" in %d ms", host.c_str(), addresses.c_str(),
            elapsed);
  download->OnDNSResult(AnsiToWide(host), AnsiToWide(addresses));
}

bool CHttpDownloadFile::StartResolver(const std::wstring& host) {
  // A thread of an earlier step may be on its way out; its fields change only once it is gone.
  dns.StopThread(CDNSThread::kStopWaitMs);
  dnsHost_ = WideToAnsi(host);
  dns.host = dnsHost_;
  dns.callback = &CHttpDownloadFile::OnResolverAnswer;
  dns.context = this;
  dnsPending_ = dns.StartThread();
  return dnsPending_;
}

void CHttpDownloadFile::CancelResolver() {
  if (!dnsPending_) return;
  dnsPending_ = false;
  dns.StopThread(CDNSThread::kStopWaitMs);
}

void CHttpDownloadFile::EndInStart(int type, int code) {
  // Out of the scheduler, which would otherwise offer Start, and so this report, again at
  // every turn.
  Stop();
  Finish(type, code);
}

void CHttpDownloadFile::Finish(int type, int code) {
  urls.clear();
  dnsRoutes_.clear();
  attempts = 0;
  // Complete: the digest reads to the end and lets the file go, before anyone waits for it.
  const int64_t size = type == http_result::kNone && digest ? CFileEx::SizeOf(localPath) : -1;
  if (size >= 0) digest->Complete(static_cast<uint64_t>(size));
  if (onDone) onDone(userData, type, code);
}

void CHttpDownloadFile::FinishLater() {
  urls.clear();
  dnsRoutes_.clear();
  attempts = 0;
  const http_result::Error error = GetError();
  if (onDone)
    PostToMainThread(onDone, userData, static_cast<int>(error.type), static_cast<int>(error.code));
}

bool CHttpDownloadFile::Join() { return CHttpEngine::JoinDownloadScheduler(this); }

bool CHttpDownloadFile::WaitForRetry() {
  return CHttpBase::WaitForRetry(&CHttpEngine::JoinDownloadScheduler);
}
