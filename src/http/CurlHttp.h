// CCurlHttp: the transfer object of one HTTP request: the easy handle's callbacks, the
// response's status and header fields, and the streams the bodies come from and go to.
//
// Contract (see CurlBase.h for the threads):
// - The user-interface thread makes a CCurlHttp for each start of a request, gives it its
//   streams (it owns and deletes them) and sets `resuming` and `notifyProgress`, all before
//   the transfer is handed to a workshop. CHttpBase::Prepare sets up the easy handle.
// - On the worker, libcurl calls the three trampolines with the object as user data; they
//   run the callbacks under the object's stream lock. Close takes the same lock, so the
//   user-interface thread never closes a stream under a write in progress.
// - `httpCode` and the header fields are written on the worker; the user-interface thread
//   reads the fields through HeaderValue (locked) and the status only after the end of the
//   header block or of the transfer has been posted.
// - A status outside 100..399 is posted with OnHttpCode and its body is refused, which ends
//   the transfer with libcurl's write error; a stream failure ends it the same way.
// - With `refuseWebPages` set, a successful answer that is a web page (WebPageCheck.h) is
//   refused the same way before any of it reaches the output, and refusedWebPage() tells so.
//   Its body is judged by its first bytes, which are held back until they decide; the end of
//   its header block is posted once they have. A 200 answer to a range request empties the
//   output only once its body is known to be no page (or, with no body, when it ends), so a
//   portal's page never costs a partial file its bytes; an output that cannot be emptied
//   then ends the transfer as a failed write, before any of the answer reaches it.
// - With `rangeStart` set (a request for a closed range of a file fetched in pieces), a
//   successful answer that is not a 206 starting at that byte is refused the same way before
//   any of it reaches the output, and rangeRefused() tells so: the server ignores ranges.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "http/BaseStream.h"
#include "http/CurlBase.h"
#include "runtime/CriticalSection.h"
#include "runtime/ProtoValue.h"

class CCurlHttp : public CCurlBase {
 public:
  explicit CCurlHttp(CurlListener* listener);

  size_t OnRecieveHeader(const char* data, size_t length) override;
  size_t OnRecieveBody(const char* data, size_t length) override;
  size_t OnSendBody(char* buffer, size_t length) override;
  void Close() override;

  // libcurl's header, write and read functions; `self` is the CCurlHttp.
  static size_t HeaderTrampoline(char* data, size_t size, size_t count, void* self);
  static size_t WriteTrampoline(char* data, size_t size, size_t count, void* self);
  static size_t ReadTrampoline(char* buffer, size_t size, size_t count, void* self);
  // libcurl's pre-request function: once connected, before anything is sent, an https
  // server's certificate must be trusted for its host (TlsPeerCheck.h), or the run ends with
  // libcurl's certificate error.
  static int PrereqTrampoline(void* self, char* remoteIp, char* localIp, int remotePort,
                              int localPort);

  // The streams, owned from here on; set before the transfer starts.
  void SetOutput(std::unique_ptr<OBaseStream> output);
  void SetInput(std::unique_ptr<IBaseStream> input);
  OBaseStream* output() const { return output_.get(); }
  IBaseStream* input() const { return input_.get(); }

  // Forgets the answer of an earlier run before the easy handle is prepared again.
  void ResetResponse();
  // The value of the last header field named `name` (ASCII case ignored); empty when none.
  std::wstring HeaderValue(const std::wstring& name) const;

  // Whether the answer was refused as a web page; read after the transfer's end was posted.
  bool refusedWebPage() const { return refusedWebPage_.load(); }
  // Whether a successful answer was refused as no answer to `rangeStart`'s range; likewise.
  bool rangeRefused() const { return rangeRefused_.load(); }

  bool notifyProgress = false;
  bool resuming = false;
  bool refuseWebPages = false;
  int64_t rangeStart = -1;  // -1: no closed range asked for
  int32_t httpCode;
  int64_t uploadSize = 0;
  int64_t uploaded = 0;

 protected:
  ~CCurlHttp() override;

 private:
  // Asks libcurl for the status while none is final yet.
  void UpdateStatus();
  // The end of a header block: whether the answer goes on (false: refused as a web page).
  bool OnHeaderEnd();
  // Whether the answer is the 206 of the range from `rangeStart`.
  bool AnswersRange() const;
  // Body bytes of an accepted answer: the pending truncation first, then the write. False
  // when the output refused them.
  bool WriteBody(const char* data, size_t length);
  void RefuseWebPage(const wchar_t* why);

  // The answer being judged, before its body is known to be no web page.
  bool judgingBody_ = false;
  std::string heldBody_;
  // The output is emptied before the answer's first byte (a 200 answer to a range request).
  bool truncatePending_ = false;
  std::atomic<bool> refusedWebPage_{false};
  std::atomic<bool> rangeRefused_{false};

  mutable CCriticalSection streamLock_;
  ProtoValue headers_;  // name -> value, under streamLock_
  uint64_t bytesSinceReport_ = 0;
  uint32_t lastReportTick_ = 0;
  std::unique_ptr<OBaseStream> output_;
  std::unique_ptr<IBaseStream> input_;
};
