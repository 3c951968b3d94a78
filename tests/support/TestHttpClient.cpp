#include "support/TestHttpClient.h"

#include <cstdlib>
#include <mutex>

namespace testing_support {

namespace {

sockaddr_in Loopback(uint16_t port) {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
  });
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

ScopedSocket BindLoopback(int type, uint16_t* port) {
  sockaddr_in address = Loopback(0);
  ScopedSocket s(::socket(AF_INET, type, 0));
  int size = sizeof(address);
  *port = 0;
  if (!s || ::bind(s.get(), reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      ::getsockname(s.get(), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    return ScopedSocket();
  }
  *port = ntohs(address.sin_port);
  return s;
}

ScopedSocket ConnectLoopback(uint16_t port, uint32_t timeoutMs) {
  const sockaddr_in address = Loopback(port);
  ScopedSocket s(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!s || ::connect(s.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address))) {
    return ScopedSocket();
  }
  const DWORD timeout = timeoutMs;
  ::setsockopt(s.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof(timeout));
  return s;
}

std::string Exchange(uint16_t port, const std::string& request, uint32_t timeoutMs) {
  const ScopedSocket s = ConnectLoopback(port, timeoutMs);
  std::string reply;
  if (!s || ::send(s.get(), request.data(), static_cast<int>(request.size()), 0) !=
                static_cast<int>(request.size())) {
    return reply;
  }
  char buffer[64 * 1024];
  for (int n; (n = ::recv(s.get(), buffer, sizeof(buffer), 0)) > 0;) reply.append(buffer, n);
  return reply;
}

HttpReply HttpGet(uint16_t port, const std::string& target, const std::string& range,
                  uint32_t timeoutMs) {
  std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
  if (!range.empty()) request += "Range: " + range + "\r\n";
  const std::string text = Exchange(port, request + "\r\n", timeoutMs);
  const size_t end = text.find("\r\n\r\n");
  HttpReply reply;
  if (text.compare(0, 9, "HTTP/1.1 ") == 0 && end != std::string::npos) {
    reply.status = std::atoi(text.c_str() + 9);
    reply.body = text.substr(end + 4);
  }
  return reply;
}

}  // namespace testing_support
