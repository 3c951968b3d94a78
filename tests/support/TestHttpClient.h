// Test helper: the few socket operations of the Windows tests: a loopback socket on a free
// port, a connection with a read time limit, a request answered until the peer closes, and a
// plain HTTP GET.
//
// Contract: free functions, callable from any thread; the caller owns the sockets returned
// (ScopedSocket closes its socket). Failures come back as an invalid socket, an empty reply
// or status 0; nothing throws.
#pragma once

#include <winsock2.h>

#include <cstdint>
#include <string>

#include "runtime/Win32Handles.h"

namespace testing_support {

struct SocketTraits {
  static bool IsValid(SOCKET s) { return s != INVALID_SOCKET; }
  static void Close(SOCKET s) { ::closesocket(s); }
  static SOCKET Invalid() { return INVALID_SOCKET; }
};
using ScopedSocket = win::ScopedHandleT<SOCKET, SocketTraits>;

// A socket of `type` (SOCK_STREAM, SOCK_DGRAM) bound to 127.0.0.1 on a port the system picks,
// written to `port`; invalid (port 0) when that fails.
ScopedSocket BindLoopback(int type, uint16_t* port);

// A TCP connection to 127.0.0.1:port whose reads give up after `timeoutMs`.
ScopedSocket ConnectLoopback(uint16_t port, uint32_t timeoutMs = 15000);

// Sends `request` on a connection of its own; returns what came back until the peer closed.
std::string Exchange(uint16_t port, const std::string& request, uint32_t timeoutMs = 15000);

struct HttpReply {
  int status = 0;  // 0 when no status line and header block arrived
  std::string body;
};

// GET of `target`, with a Range header unless `range` is empty, on a connection of its own.
HttpReply HttpGet(uint16_t port, const std::string& target, const std::string& range = "",
                  uint32_t timeoutMs = 15000);

}  // namespace testing_support
