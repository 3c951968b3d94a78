// TestHttpClient: a deliberately small HTTP/1.1 client over Winsock, so that tests can check
// the test servers (and talk to their control routes) without the installer's own engine.
//
// Contract: a TestHttpConnection belongs to one thread and owns its socket (closed by the
// destructor). It reads exactly what the server sends and reports how the exchange ended:
// a reset, an early close, a timeout are results, not errors; nothing throws. Bodies are
// framed by Content-Length, or by the close of the connection when there is none; chunked
// replies are not understood (the test servers never send them).
#pragma once

#include <winsock2.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "runtime/Win32Handles.h"

namespace testing_support {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
  std::string method = "GET";
  std::string target = "/";
  HeaderList headers;  // Host and, with a body, Content-Length are added when missing
  std::string body;
};

struct HttpReply {
  bool connected = false;
  bool headersComplete = false;  // a whole status line and header block arrived
  bool bodyComplete = false;     // all of Content-Length arrived (or the close, without one)
  bool timedOut = false;
  bool resetByPeer = false;
  bool closedByPeer = false;
  int status = 0;
  HeaderList headers;
  std::string body;
  uint32_t elapsedMs = 0;

  // The first header of that name, compared without regard to case; "" when absent.
  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
};

struct SocketTraits {
  static bool IsValid(SOCKET s) { return s != INVALID_SOCKET; }
  static void Close(SOCKET s) { ::closesocket(s); }
  static SOCKET Invalid() { return INVALID_SOCKET; }
};
using ScopedSocket = win::ScopedHandleT<SOCKET, SocketTraits>;

// Starts Winsock once for the process; safe to call from any thread, any number of times.
void EnsureWinsock();

// A socket of `type` (SOCK_STREAM, SOCK_DGRAM) bound to 127.0.0.1 on a port the system picks,
// written to `port`; invalid (port 0) when that fails.
ScopedSocket BindLoopback(int type, uint16_t* port);

class TestHttpConnection {
 public:
  // Connects to 127.0.0.1:port; every later wait gives up after `timeoutMs`.
  TestHttpConnection(uint16_t port, uint32_t timeoutMs);
  TestHttpConnection(const TestHttpConnection&) = delete;
  TestHttpConnection& operator=(const TestHttpConnection&) = delete;

  bool connected() const { return socket_.valid(); }
  // Sends the request and reads its reply (HEAD: headers only).
  HttpReply Exchange(const HttpRequest& request);
  bool SendRaw(const std::string& bytes);
  // Reads up to the end of a header block into `reply`; for replies whose body never ends.
  bool ReadHeaders(HttpReply* reply);
  // Waits for the server to close the connection; true when it did within the timeout.
  bool WaitForClose();
  void Close() { socket_.reset(); }

 private:
  enum class ReadResult { kData, kClosed, kReset, kTimeout };
  ReadResult ReadSome(uint32_t deadline);
  void ReadBody(HttpReply* reply, uint32_t deadline);
  void NoteEnd(ReadResult how, HttpReply* reply);

  ScopedSocket socket_;
  uint32_t timeoutMs_;
  std::string pending_;  // bytes received and not yet handed out
};

// One request on a connection of its own.
HttpReply SendHttpRequest(uint16_t port, const HttpRequest& request, uint32_t timeoutMs = 15000);
HttpReply HttpGet(uint16_t port, const std::string& target, const std::string& range = "",
                  uint32_t timeoutMs = 15000);

// True when something accepts TCP connections on 127.0.0.1:port.
bool IsListening(uint16_t port);

}  // namespace testing_support
