// CHttpCommand: a small HTTP request whose answer is collected in memory: a GET, or a POST
// with a body held in memory. It runs in the command family (HttpEngine.h), retries libcurl
// failures and reports once, through `onDone`, with the body and the error pair.
//
// Contract: user-interface thread only. The creator sets `url`, `method`, `postData`,
// `onDone` and `userData`, then joins the command to the command scheduler
// (CHttpEngine::JoinCommandScheduler), which starts it. `onDone` runs on the user-interface
// thread with (userData, body, error type, error code); type 0 with code 0 is success. HTTP
// statuses outside 100..399, and a web page where `refuseWebPages` asks for none (status
// 511, see HttpBase.h), arrive as type 4 with an empty body and are not retried; local
// stream errors arrive as type 1 or 3; libcurl failures (type 5) are tried up to three times
// in all, the retries more than 500 ms apart. The callback is the command's last act: it may
// destroy the command. A command destroyed earlier reports nothing.
#pragma once

#include <string>

#include "http/BufferStream.h"
#include "http/HttpBase.h"

class CHttpCommand : public CHttpBase {
 public:
  using DoneCallback = void (*)(void* userData, const std::string& body, int type, int code);

  // A command of the command family (scheduler and workshop as they are now).
  CHttpCommand();
  ~CHttpCommand() override = default;

  bool Start() override;
  void Done(CURLcode code) override;
  void OnHttpCode(int status) override;

  std::string postData;  // the body of a POST
  // The longest answer taken; a longer one ends the command with the buffer's error (type 1,
  // code 8), not retried.
  uint32_t maxReplyBytes = OBufferStream::kDefaultMaxSize;
  DoneCallback onDone = nullptr;
  void* userData = nullptr;
};
