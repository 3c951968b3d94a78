#include "http/DNSThread.h"

#include <winsock2.h>  // before windows.h
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "DeploymentConfig.h"
#include "http/DnsPacket.h"
#include "runtime/Logging.h"
#include "runtime/MainThreadTask.h"

namespace {

// Datagrams read per readiness report at most: a flood cannot keep the thread from seeing
// its deadline or the stop request.
constexpr int kReadsPerWakeUp = 64;

// One run's Winsock, UDP socket and read-readiness event, released in reverse order.
class ResolverSocket {
 public:
  ResolverSocket() {
    WSADATA data;
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!started_) return;
    socket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    event_ = ::WSACreateEvent();
    ok_ = socket_ != INVALID_SOCKET && event_ != WSA_INVALID_EVENT &&
          ::WSAEventSelect(socket_, event_, FD_READ) == 0;
  }
  ~ResolverSocket() {
    if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
    if (event_ != WSA_INVALID_EVENT) ::WSACloseEvent(event_);
    if (started_) ::WSACleanup();
  }
  ResolverSocket(const ResolverSocket&) = delete;
  ResolverSocket& operator=(const ResolverSocket&) = delete;

  bool ok() const { return ok_; }
  SOCKET socket() const { return socket_; }
  WSAEVENT event() const { return event_; }

 private:
  bool started_ = false;
  bool ok_ = false;
  SOCKET socket_ = INVALID_SOCKET;
  WSAEVENT event_ = WSA_INVALID_EVENT;
};

sockaddr_in Endpoint(const dns::ServerAddress& server) {
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(server.port);
  std::memcpy(&address.sin_addr, server.bytes, 4);
  return address;
}

bool SameEndpoint(const sockaddr_in& a, const sockaddr_in& b) {
  return a.sin_port == b.sin_port && a.sin_addr.s_addr == b.sin_addr.s_addr;
}

enum class Outcome {
  kAnswered,
  kFailed,  // no answer in time, or one that cannot be parsed: the next server's turn
  kStopped,
  kWaiting,  // nothing of ours has arrived yet
};

// One run's conversation with its servers: the query, the servers asked so far (a late
// answer from one of them still counts), and the answer once there is one.
class Conversation {
 public:
  Conversation(const ResolverSocket& socket, std::vector<uint8_t> query, uint16_t identifier)
      : socket_(socket), query_(std::move(query)), identifier_(identifier) {}

  // Sends the query to `server` and waits for an answer up to CDNSThread::kAnswerWaitMs.
  template <typename StopRequested>
  Outcome Ask(const dns::ServerAddress& server, StopRequested stopRequested) {
    const sockaddr_in to = Endpoint(server);
    if (::sendto(socket_.socket(), reinterpret_cast<const char*>(query_.data()),
                 static_cast<int>(query_.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof(to)) == SOCKET_ERROR) {
      LOG_FILE(1, L"CDNSThread: sending to %s failed: %d", server.ToString().c_str(),
               ::WSAGetLastError());
      return Outcome::kFailed;
    }
    asked_.push_back(to);
    const DWORD start = ::GetTickCount();
    for (;;) {
      if (stopRequested()) return Outcome::kStopped;
      const DWORD passed = ::GetTickCount() - start;
      if (passed >= CDNSThread::kAnswerWaitMs) return Outcome::kFailed;
      const DWORD wait =
          std::min<DWORD>(CDNSThread::kEventWaitMs, CDNSThread::kAnswerWaitMs - passed);
      WSAEVENT event = socket_.event();
      if (::WSAWaitForMultipleEvents(1, &event, FALSE, wait, FALSE) != WSA_WAIT_EVENT_0) continue;
      WSANETWORKEVENTS events = {};
      if (::WSAEnumNetworkEvents(socket_.socket(), event, &events) != 0 ||
          !(events.lNetworkEvents & FD_READ)) {
        continue;
      }
      const Outcome outcome = ReadDatagrams(start);
      if (outcome != Outcome::kWaiting) return outcome;
    }
  }

  DWORD elapsed() const { return elapsed_; }
  const std::string& addresses() const { return addresses_; }

 private:
  // Reads what has arrived: kAnswered or kFailed when the answer came (parsed or not),
  // kWaiting when it has not.
  Outcome ReadDatagrams(DWORD start) {
    uint8_t buffer[dns::kAnswerBufferSize];
    for (int i = 0; i < kReadsPerWakeUp; ++i) {
      sockaddr_in from = {};
      int fromSize = sizeof(from);
      const int size = ::recvfrom(socket_.socket(), reinterpret_cast<char*>(buffer), sizeof(buffer),
                                  0, reinterpret_cast<sockaddr*>(&from), &fromSize);
      if (size == SOCKET_ERROR) {
        const int error = ::WSAGetLastError();
        // A port that is closed answers with ICMP, which Winsock reports on the next read;
        // a datagram longer than the buffer is no answer of ours. Both are skipped.
        if (error == WSAECONNRESET || error == WSAEMSGSIZE) continue;
        return Outcome::kWaiting;
      }
      const DWORD arrival = ::GetTickCount();
      if (!FromAskedServer(from)) continue;
      if (dns::CheckAnswer(buffer, static_cast<size_t>(size), identifier_) !=
          dns::AnswerCheck::kAccepted) {
        continue;
      }
      dns::DnsAnswer answer;
      if (!dns::ParseAnswer(buffer, static_cast<size_t>(size), false, &answer)) {
        return Outcome::kFailed;
      }
      elapsed_ = arrival - start;
      addresses_ = dns::FormatAddresses(answer.addresses);
      return Outcome::kAnswered;
    }
    return Outcome::kWaiting;
  }

  bool FromAskedServer(const sockaddr_in& from) const {
    for (const sockaddr_in& server : asked_) {
      if (SameEndpoint(server, from)) return true;
    }
    return false;
  }

  const ResolverSocket& socket_;
  const std::vector<uint8_t> query_;
  const uint16_t identifier_;
  std::vector<sockaddr_in> asked_;
  DWORD elapsed_ = 0;
  std::string addresses_;
};

}  // namespace

CDNSThread::CDNSThread() { SetServers(deployment::kDnsServers); }

CDNSThread::~CDNSThread() { StopThread(kStopWaitMs); }

size_t CDNSThread::SetServers(const std::string& list) {
  dns::ServerList parsed = dns::ParseServerList(list);
  for (const std::string& entry : parsed.rejected) {
    LOG_FILE(2, L"CDNSThread: \"%s\" is no DNS server address", entry.c_str());
  }
  servers = std::move(parsed.servers);
  return parsed.rejected.size();
}

void CDNSThread::Run() {
  // 1. The socket, and the query with this process's identifier.
  ResolverSocket socket;
  const uint16_t identifier = static_cast<uint16_t>(::GetCurrentProcessId() & 0xFFFF);
  std::vector<uint8_t> query;
  const dns::QueryError queryError = dns::BuildQuery(host, identifier, &query);
  if (queryError != dns::QueryError::kNone) {
    LOG_FILE(1, L"CDNSThread: \"%s\" cannot be asked for (%d)", host.c_str(),
             static_cast<int>(queryError));
  }

  // 2. The servers in turn, until one answers.
  int elapsed = -1;
  std::string addresses;
  if (socket.ok() && queryError == dns::QueryError::kNone) {
    Conversation conversation(socket, std::move(query), identifier);
    for (const dns::ServerAddress& server : servers) {
      const Outcome outcome = conversation.Ask(server, [this] { return stopRequested(); });
      if (outcome == Outcome::kStopped) break;
      if (outcome == Outcome::kAnswered) {
        elapsed = static_cast<int>(conversation.elapsed());
        addresses = conversation.addresses();
        break;
      }
    }
  }

  // 3. A stopped run reports nothing.
  if (stopRequested()) return;
  // 4. and 5. One report, answered or not.
  if (callback) PostToMainThread(callback, elapsed, context, host, addresses);
}
