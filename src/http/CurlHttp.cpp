#include "http/CurlHttp.h"

#include <windows.h>

#include <algorithm>
#include <exception>

#include "http/AnsiText.h"
#include "http/DownloadRules.h"
#include "http/HttpResult.h"
#include "http/HttpText.h"
#include "http/HttpLog.h"
#include "http/TlsPeerCheck.h"
#include "http/WebPageCheck.h"

namespace {

// Progress notifications are posted at most this often.
constexpr DWORD kReportIntervalMs = 100;
// How much of a refused error body goes to the log.
constexpr size_t kLoggedErrorBody = 1000;
// What the status query counts as when there is no easy handle to ask:
// CURLE_NO_CONNECTION_AVAILABLE.
constexpr CURLcode kNoHandleToAsk = static_cast<CURLcode>(89);

bool ReportDue(uint32_t& lastTick) {
  const uint32_t now = ::GetTickCount();
  if (now - lastTick <= kReportIntervalMs) return false;
  lastTick = now;
  return true;
}

// Runs one callback for libcurl: 0 (libcurl then ends the transfer) for a missing or stopped
// transfer, and for an exception, which must never unwind into libcurl's C frames.
template <typename Callback>
size_t RunCallback(void* self, Callback callback) {
  CCurlHttp* transfer = static_cast<CCurlHttp*>(self);
  if (!transfer) return 0;
  try {
    return callback(transfer);
  } catch (const std::exception& e) {
    LOG_FILE(2, L"CCurlHttp callback threw: %s", e.what());
  } catch (...) {
    LOG_FILE(2, L"CCurlHttp callback threw");
  }
  return 0;
}

}  // namespace

CCurlHttp::CCurlHttp(CurlListener* listener)
    : CCurlBase(listener), httpCode(http_result::kStatusUnknown) {}

CCurlHttp::~CCurlHttp() { Close(); }

void CCurlHttp::SetOutput(std::unique_ptr<OBaseStream> output) {
  CAutoLock hold(streamLock_);
  output_ = std::move(output);
}

void CCurlHttp::SetInput(std::unique_ptr<IBaseStream> input) {
  CAutoLock hold(streamLock_);
  input_ = std::move(input);
}

void CCurlHttp::ResetResponse() {
  CAutoLock hold(streamLock_);
  uploadSize = 0;
  uploaded = 0;
  httpCode = http_result::kStatusUnknown;
  headers_ = ProtoValue(ProtoValue::kMap);
  judgingBody_ = false;
  heldBody_.clear();
  truncatePending_ = false;
  refusedWebPage_.store(false);
  rangeRefused_.store(false);
}

std::wstring CCurlHttp::HeaderValue(const std::wstring& name) const {
  CAutoLock hold(streamLock_);
  const ProtoValue::Map* fields = headers_.map();
  if (!fields) return std::wstring();
  for (const auto& field : *fields) {
    if (http_text::SameHeaderName(field.first, name) &&
        field.second.type() == ProtoValue::kString) {
      return field.second.string();
    }
  }
  return std::wstring();
}

void CCurlHttp::Close() {
  CAutoLock hold(streamLock_);
  // A 200 answer to a range request that ends without a body still replaces the file. Bytes
  // too few to judge are dropped with the answer: only white space or a lone "<" is held,
  // which no package or manifest consists of.
  if (truncatePending_ && heldBody_.empty() && !refusedWebPage_.load() && output_) {
    output_->Truncate();
  }
  truncatePending_ = false;
  judgingBody_ = false;
  heldBody_.clear();
  if (output_) output_->Close();
  if (input_) input_->Close();
}

size_t CCurlHttp::HeaderTrampoline(char* data, size_t size, size_t count, void* self) {
  return RunCallback(self, [&](CCurlHttp* t) {
    CAutoLock hold(t->streamLock_);
    return t->active() ? t->OnRecieveHeader(data, size * count) : 0;
  });
}

size_t CCurlHttp::WriteTrampoline(char* data, size_t size, size_t count, void* self) {
  return RunCallback(self, [&](CCurlHttp* t) -> size_t {
    CAutoLock hold(t->streamLock_);
    if (!t->active()) return 0;
    const size_t accepted = t->OnRecieveBody(data, size * count);
    t->bytesSinceReport_ += accepted;
    if (t->notifyProgress && ReportDue(t->lastReportTick_)) {
      t->PostRecieveData(static_cast<unsigned int>(t->bytesSinceReport_));
      t->bytesSinceReport_ = 0;
    }
    return accepted;
  });
}

size_t CCurlHttp::ReadTrampoline(char* buffer, size_t size, size_t count, void* self) {
  return RunCallback(self, [&](CCurlHttp* t) -> size_t {
    CAutoLock hold(t->streamLock_);
    if (!t->active()) return 0;
    const size_t supplied = t->OnSendBody(buffer, size * count);
    if (t->notifyProgress && ReportDue(t->lastReportTick_)) {
      t->PostSendData(static_cast<unsigned int>(supplied));
    }
    return supplied;
  });
}

int CCurlHttp::PrereqTrampoline(void* self, char*, char*, int, int) {
  const size_t verdict = RunCallback(self, [](CCurlHttp* t) -> size_t {
    if (!t->active()) return 0;
    std::wstring why;
    if (CTlsPeerCheck::Verify(t->easy, &why)) return 1;
    LOG_CONSOLE_FILE(2, L"CCurlHttp TLS: %ls; the transfer is refused", why.c_str());
    t->RejectPeer();
    return 0;
  });
  return verdict ? CURL_PREREQFUNC_OK : CURL_PREREQFUNC_ABORT;
}

void CCurlHttp::UpdateStatus() {
  long status = 0;
  const CURLcode query =
      easy ? curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) : kNoHandleToAsk;
  if (query == CURLE_OK) httpCode = static_cast<int32_t>(status);
  if (query != CURLE_OK || !http_result::IsAcceptedStatus(httpCode)) {
    LOG_CONSOLE_FILE(2, L"CCurlHttp::OnRecieveHeader HTTP error code:%d httpcode:%d ",
                     static_cast<int>(query), httpCode);
  }
  if (httpCode == 200 && resuming) {
    // The server ignored the range: the file starts again from its first byte, once the
    // answer is known to be the file (WriteBody, Close).
    LOG_CONSOLE_FILE(0, L"httpcode==200 不支持断点续传，清空文件");
    truncatePending_ = true;
  }
}

bool CCurlHttp::OnHeaderEnd() {
  const bool success = httpCode >= 200 && httpCode <= 299;
  if (success && rangeStart >= 0 && !AnswersRange()) {
    // Written at the range's place, a whole file (or another range) would corrupt it.
    LOG_CONSOLE_FILE(2, L"CCurlHttp: the answer %d is no range from byte %lld: refused", httpCode,
                     static_cast<long long>(rangeStart));
    rangeRefused_.store(true);
    PostHttpCode(httpCode);
    return false;
  }
  if (refuseWebPages && success) {
    const std::wstring type = HeaderValue(L"Content-Type");
    if (web_page::IsPageType(type)) {
      RefuseWebPage(type.c_str());
      return false;
    }
    // A continued body starts in the middle of the file, where any bytes may stand.
    if (httpCode != 206) {
      judgingBody_ = true;
      return true;
    }
  }
  PostHttpCode(httpCode);
  return true;
}

bool CCurlHttp::AnswersRange() const {
  uint64_t first = 0, last = 0, total = 0;
  return httpCode == 206 &&
         download_rules::ParseContentRange(HeaderValue(L"Content-Range"), &first, &last, &total) &&
         first == static_cast<uint64_t>(rangeStart);
}

void CCurlHttp::RefuseWebPage(const wchar_t* why) {
  refusedWebPage_.store(true);
  judgingBody_ = false;
  heldBody_.clear();
  truncatePending_ = false;
  LOG_CONSOLE_FILE(2, L"CCurlHttp: the answer is a web page, not the file (%ls): refused", why);
}

bool CCurlHttp::WriteBody(const char* data, size_t length) {
  if (!output_ || length > INT32_MAX) return false;
  if (truncatePending_) {
    truncatePending_ = false;
    output_->Truncate();
    // The old bytes stay (another program maps the file, say): the answer written over them
    // would leave a file of two answers. It ends as a write failure, as the run's start would.
    if (output_->errorKind != 0) {
      LOG_CONSOLE_FILE(2, L"CCurlHttp: the output cannot be emptied for the whole answer (%d)",
                       output_->errorCode);
      return false;
    }
  }
  const int32_t written = output_->Write(data, static_cast<uint32_t>(length));
  if (written < 0) {
    LOG_CONSOLE_FILE(2, L"CCurlHttp::OnRecieveBody  Write file error %d", output_->errorCode);
    return false;
  }
  return static_cast<size_t>(written) == length;
}

size_t CCurlHttp::OnRecieveHeader(const char* data, size_t length) {
  // Each answer of a redirect chain brings its own fields and status: those of a redirect
  // (its Content-Length above all) or of a "100 Continue" must not pass for the final
  // answer's. libcurl knows an answer's status once its status line has come.
  if (http_text::IsStatusLine(data, length)) {
    headers_ = ProtoValue(ProtoValue::kMap);
    UpdateStatus();
  } else if (httpCode == http_result::kStatusUnknown) {
    UpdateStatus();
  }
  if (!http_result::IsAcceptedStatus(httpCode)) {
    PostHttpCode(httpCode);
    return length;
  }
  std::string name, value;
  switch (http_text::ParseHeaderLine(data, length, &name, &value)) {
    case http_text::HeaderLine::kEnd:
      if (!OnHeaderEnd()) return 0;
      break;
    case http_text::HeaderLine::kField:
      headers_[AnsiToWide(name)] = ProtoValue(AnsiToWide(value));
      break;
    case http_text::HeaderLine::kIgnored:
      break;
  }
  return length;
}

size_t CCurlHttp::OnRecieveBody(const char* data, size_t length) {
  if (!http_result::IsAcceptedStatus(httpCode)) {
    // Decoded here: a wide format's "%s" would take each byte of a UTF-8 or GBK page for a
    // character of its own.
    const std::wstring text = LogExcerpt(data, std::min(length, kLoggedErrorBody));
    LOG_FILE(2, L"CCurlHttp::OnRecieveBody HTTP error  httpcode:%d %ls", httpCode, text.c_str());
    return 0;
  }
  if (!judgingBody_) return WriteBody(data, length) ? length : 0;
  // The first bytes of a body that may be a web page wait until they tell.
  heldBody_.append(data, length);
  switch (web_page::JudgeBodyStart(heldBody_.data(), heldBody_.size())) {
    case web_page::Verdict::kNeedMore:
      return length;
    case web_page::Verdict::kPage:
      RefuseWebPage(L"markup");
      return 0;
    case web_page::Verdict::kNotPage:
      break;
  }
  judgingBody_ = false;
  PostHttpCode(httpCode);
  std::string held;
  held.swap(heldBody_);
  return WriteBody(held.data(), held.size()) ? length : 0;
}

size_t CCurlHttp::OnSendBody(char* buffer, size_t length) {
  if (!input_ || uploadSize == 0 || uploaded >= uploadSize) return 0;
  const uint64_t left = static_cast<uint64_t>(uploadSize - uploaded);
  const uint32_t wanted = static_cast<uint32_t>(std::min<uint64_t>({length, left, INT32_MAX}));
  const int32_t read = input_->Read(buffer, wanted);
  if (read < 0) {
    LOG_CONSOLE_FILE(2, L"CCurlHttp::OnSendBody  Read file error %d",
                     static_cast<int>(::GetLastError()));
    return 0;
  }
  uploaded += read;
  return static_cast<size_t>(read);
}
