#include "http/HttpCommand.h"

#include <windows.h>

#include <memory>

#include "http/BufferStream.h"
#include "http/HttpEngine.h"
#include "http/HttpMgr.h"
#include "http/WebPageCheck.h"
#include "runtime/Logging.h"

CHttpCommand::CHttpCommand()
    : CHttpBase(CHttpEngine::CommandScheduler(), CHttpEngine::CommandWorkshop()) {}

bool CHttpCommand::Start() {
  TraceLogger::Instance().Log(0, L"CHttpCommand::Start");
  if (running) return false;
  ReleaseTransfer();
  curl = new CCurlHttp(owner);
  curl->SetOutput(std::make_unique<OBufferStream>(maxReplyBytes));
  if (method == kPost && !postData.empty()) {
    curl->SetInput(std::make_unique<IBufferStream>(postData.data(),
                                                   static_cast<uint32_t>(postData.size())));
  }
  return CHttpBase::Start();
}

void CHttpCommand::OnHttpCode(int status) { http_result::SetCode(result, http_result::kHttp, status); }

void CHttpCommand::Done(CURLcode code) {
  if (!running) return;
  // 1. What ended the run.
  http_result::SetCode(result, http_result::kCurl, code);
  std::string body;
  if (auto* output = curl ? dynamic_cast<OBufferStream*>(curl->output()) : nullptr) {
    if (output->errorCode != 0 || output->errorKind != 0) {
      http_result::SetCode(result, output->errorKind, output->errorCode);
    }
    // 2.
    if (output->size() != 0) body.assign(output->data(), output->size());
  }
  if (refuseWebPages && code == CURLE_OK && http_result::GetError(result).type == 0 && curl &&
      web_page::IsPage(curl->HeaderValue(L"Content-Type"), body)) {
    // A captive portal's or a proxy's page: a network failure, its text no answer.
    LOG_TRACE(2, 2, L"CHttpCommand::Done() the answer is a web page (a captive portal or a "
                    L"proxy's page?)  url:%ls ", GetUrl().c_str());
    http_result::SetCode(result, http_result::kHttp, http_result::kStatusWebPage);
    body.clear();
  }
  // 3. The transfer goes and the command leaves the scheduler.
  Stop();
  // 4. Each attempt starts with an empty record.
  const http_result::Error error = GetError();
  result = ProtoValue(ProtoValue::kMap);
  const std::wstring address = GetUrl();

  // 5. Only libcurl failures are tried again, after the scheduler's pause.
  if (attempts <= maxRetries && error.type == http_result::kCurl && error.code != 0) {
    LOG_TRACE(0, 0, L"CHttpCommand::Done() 重试.... code:%d errtype:%d  url:%ls ", error.code,
              error.type, address.c_str());
    if (WaitForRetry(&CHttpEngine::JoinCommandScheduler)) return;
  }

  // 6.
  if (error.type != http_result::kNone) {
    LOG_TRACE(0, 0, L"CHttpCommand::Done()  code:%d errtype:%d  url:%ls ", error.code,
              error.type, address.c_str());
  }
  attempts = 0;
  if (onDone) onDone(userData, body, error.type, error.code);
}
