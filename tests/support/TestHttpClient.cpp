#include "support/TestHttpClient.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <mutex>

namespace testing_support {

namespace {

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string Trim(const std::string& s) {
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

bool HasNamedHeader(const HeaderList& headers, const std::string& name) {
  for (const auto& h : headers) {
    if (SameName(h.first, name)) return true;
  }
  return false;
}

// Milliseconds left until `deadline` (a GetTickCount value); 0 when it has passed.
uint32_t Remaining(uint32_t deadline) {
  const int32_t left = static_cast<int32_t>(deadline - ::GetTickCount());
  return left > 0 ? static_cast<uint32_t>(left) : 0;
}

ScopedSocket Connect(uint16_t port) {
  EnsureWinsock();
  ScopedSocket s(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!s) return s;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(s.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    s.reset();
    return s;
  }
  BOOL noDelay = TRUE;
  ::setsockopt(s.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
               sizeof(noDelay));
  return s;
}

}  // namespace

void EnsureWinsock() {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
  });
}

ScopedSocket BindLoopback(int type, uint16_t* port) {
  EnsureWinsock();
  *port = 0;
  ScopedSocket s(::socket(AF_INET, type, 0));
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int size = sizeof(address);
  if (!s.valid() || ::bind(s.get(), reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      ::getsockname(s.get(), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    return ScopedSocket();
  }
  *port = ntohs(address.sin_port);
  return s;
}

std::string HttpReply::Header(const std::string& name) const {
  for (const auto& h : headers) {
    if (SameName(h.first, name)) return h.second;
  }
  return std::string();
}

bool HttpReply::HasHeader(const std::string& name) const { return HasNamedHeader(headers, name); }

TestHttpConnection::TestHttpConnection(uint16_t port, uint32_t timeoutMs)
    : socket_(Connect(port)), timeoutMs_(timeoutMs) {}

bool TestHttpConnection::SendRaw(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size() && socket_.valid()) {
    const int n = ::send(socket_.get(), bytes.data() + done,
                         static_cast<int>(std::min<size_t>(bytes.size() - done, 1 << 20)), 0);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return done == bytes.size();
}

TestHttpConnection::ReadResult TestHttpConnection::ReadSome(uint32_t deadline) {
  const uint32_t wait = Remaining(deadline);
  if (wait == 0) return ReadResult::kTimeout;
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(socket_.get(), &readable);
  timeval tv = {static_cast<long>(wait / 1000), static_cast<long>((wait % 1000) * 1000)};
  const int ready = ::select(0, &readable, nullptr, nullptr, &tv);
  if (ready == 0) return ReadResult::kTimeout;
  if (ready < 0) return ReadResult::kReset;
  char buffer[64 * 1024];
  const int n = ::recv(socket_.get(), buffer, sizeof(buffer), 0);
  if (n > 0) {
    pending_.append(buffer, static_cast<size_t>(n));
    return ReadResult::kData;
  }
  if (n == 0) return ReadResult::kClosed;
  return ReadResult::kReset;
}

void TestHttpConnection::NoteEnd(ReadResult how, HttpReply* reply) {
  reply->timedOut = how == ReadResult::kTimeout;
  reply->resetByPeer = how == ReadResult::kReset;
  reply->closedByPeer = how == ReadResult::kClosed;
}

bool TestHttpConnection::ReadHeaders(HttpReply* reply) {
  const uint32_t deadline = ::GetTickCount() + timeoutMs_;
  for (;;) {
    size_t end;
    while ((end = pending_.find("\r\n\r\n")) == std::string::npos) {
      const ReadResult how = ReadSome(deadline);
      if (how != ReadResult::kData) {
        NoteEnd(how, reply);
        return false;
      }
    }
    const std::string block = pending_.substr(0, end);
    pending_.erase(0, end + 4);
    size_t lineEnd = block.find("\r\n");
    const std::string statusLine = block.substr(0, lineEnd);
    const size_t space = statusLine.find(' ');
    reply->status = space == std::string::npos ? 0 : std::atoi(statusLine.c_str() + space + 1);
    reply->headers.clear();
    while (lineEnd != std::string::npos) {
      const size_t start = lineEnd + 2;
      lineEnd = block.find("\r\n", start);
      const std::string line = block.substr(start, lineEnd == std::string::npos
                                                       ? std::string::npos
                                                       : lineEnd - start);
      const size_t colon = line.find(':');
      if (colon != std::string::npos) {
        reply->headers.emplace_back(line.substr(0, colon), Trim(line.substr(colon + 1)));
      }
    }
    if (reply->status >= 200 || reply->status < 100) break;  // skip "100 Continue"
  }
  reply->headersComplete = reply->status != 0;
  return reply->headersComplete;
}

void TestHttpConnection::ReadBody(HttpReply* reply, uint32_t deadline) {
  const std::string length = reply->Header("Content-Length");
  if (!length.empty()) {
    const size_t wanted = std::strtoull(length.c_str(), nullptr, 10);
    ReadResult how = ReadResult::kData;
    while (pending_.size() < wanted && (how = ReadSome(deadline)) == ReadResult::kData) {
    }
    const size_t take = std::min(wanted, pending_.size());
    reply->body = pending_.substr(0, take);
    pending_.erase(0, take);
    reply->bodyComplete = take == wanted;
    if (!reply->bodyComplete) NoteEnd(how, reply);
    return;
  }
  ReadResult how;
  while ((how = ReadSome(deadline)) == ReadResult::kData) {
  }
  reply->body.swap(pending_);
  pending_.clear();
  NoteEnd(how, reply);
  reply->bodyComplete = how == ReadResult::kClosed;
}

HttpReply TestHttpConnection::Exchange(const HttpRequest& request) {
  HttpReply reply;
  reply.connected = socket_.valid();
  if (!reply.connected) return reply;
  const uint32_t start = ::GetTickCount();
  std::string text = request.method + " " + request.target + " HTTP/1.1\r\n";
  if (!HasNamedHeader(request.headers, "Host")) text += "Host: 127.0.0.1\r\n";
  if ((!request.body.empty() || request.method == "POST") &&
      !HasNamedHeader(request.headers, "Content-Length") &&
      !HasNamedHeader(request.headers, "Transfer-Encoding")) {
    text += "Content-Length: " + std::to_string(request.body.size()) + "\r\n";
  }
  for (const auto& h : request.headers) text += h.first + ": " + h.second + "\r\n";
  text += "\r\n" + request.body;
  if (!SendRaw(text)) {
    reply.resetByPeer = true;
    return reply;
  }
  if (ReadHeaders(&reply)) {
    if (request.method == "HEAD" || reply.status == 204 || reply.status == 304) {
      reply.bodyComplete = true;
    } else {
      ReadBody(&reply, start + timeoutMs_);
    }
  }
  reply.elapsedMs = ::GetTickCount() - start;
  return reply;
}

bool TestHttpConnection::WaitForClose() {
  const uint32_t deadline = ::GetTickCount() + timeoutMs_;
  ReadResult how;
  while ((how = ReadSome(deadline)) == ReadResult::kData) pending_.clear();
  return how == ReadResult::kClosed || how == ReadResult::kReset;
}

HttpReply SendHttpRequest(uint16_t port, const HttpRequest& request, uint32_t timeoutMs) {
  TestHttpConnection connection(port, timeoutMs);
  return connection.Exchange(request);
}

HttpReply HttpGet(uint16_t port, const std::string& target, const std::string& range,
                  uint32_t timeoutMs) {
  HttpRequest request;
  request.target = target;
  if (!range.empty()) request.headers.emplace_back("Range", range);
  return SendHttpRequest(port, request, timeoutMs);
}

bool IsListening(uint16_t port) { return Connect(port).valid(); }

}  // namespace testing_support
