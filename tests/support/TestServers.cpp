// Winsock's header, through this one, must come before <windows.h>.
#include "support/TestDnsServer.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>

#include "support/ProcessRunner.h"

namespace testing_support {

namespace {

constexpr uint32_t kWaitMs = 30000;

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

std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// The number in a port file; 0 until the server has written it.
uint16_t PortIn(const std::wstring& file) {
  const std::string text = ReadBinaryFile(file);
  return text.empty() || text.back() != '\n' ? 0 : static_cast<uint16_t>(std::atoi(text.c_str()));
}

std::string PercentDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
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

std::string PercentEncode(const std::string& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (std::isalnum(c) || (c && std::strchr("-._~/*", c))) {
      out += static_cast<char>(c);
    } else {
      out += {'%', kHex[c >> 4], kHex[c & 15]};
    }
  }
  return out;
}

TestServerProcess::~TestServerProcess() { Stop(); }

bool TestServerProcess::Fail(const std::string& why) {
  error_ = why;
  return false;
}

bool TestServerProcess::Launch(const std::vector<std::string>& args) {
  if (tether_) return Fail("the server is already running");
  const std::string dir = UnixPathOf(workDir_.path());
  if (dir.empty()) return Fail("no Unix path for the server's work folder");
  std::string command = "exec " + ShellQuote(KELTO_PYTHON3) + " " +
                        ShellQuote(SourceFile("tests/support/test_server.py"));
  for (const std::string& arg : args) command += " " + ShellQuote(arg);
  command += " --port-file " + ShellQuote(dir + "/port") + " --control-port-file " +
             ShellQuote(dir + "/control") + " </dev/null 2>" + ShellQuote(dir + "/stderr");
  // Wine hands a Unix program its command line split by the Windows rules: the script is one
  // double-quoted argument, so it must not hold a double quote itself.
  if (command.find('"') != std::string::npos) return Fail("an argument holds a double quote");
  if (!StartDetached(L"Z:\\bin\\sh -c \"" + Utf8ToWide(command) + L"\"")) {
    return Fail("cannot start /bin/sh");
  }
  for (const uint32_t start = ::GetTickCount();; ::Sleep(20)) {
    port_ = PortIn(workDir_ / L"port");
    controlPort_ = PortIn(workDir_ / L"control");
    if (port_ && controlPort_) break;
    if (::GetTickCount() - start > kWaitMs) {
      return Fail("the server did not start: " + ReadBinaryFile(workDir_ / L"stderr"));
    }
  }
  tether_ = ConnectLoopback(controlPort_);
  char answer[3] = {};
  if (!tether_ || ::send(tether_.get(), "tether\n", 7, 0) != 7 ||
      ::recv(tether_.get(), answer, 3, 0) != 3) {
    tether_.reset();
    return Fail("the server refused its tether");
  }
  return true;
}

bool TestServerProcess::Stop() {
  if (!tether_) return true;
  Control("stop");
  tether_.reset();
  for (const uint32_t start = ::GetTickCount(); ConnectLoopback(controlPort_); ::Sleep(20)) {
    if (::GetTickCount() - start > kWaitMs) return Fail("the server did not stop");
  }
  return true;
}

bool TestServerProcess::Control(const std::string& command) {
  if (!tether_) return Fail("the server is not running");
  const std::string answer = Exchange(controlPort_, command + "\n");
  return answer == "ok\n" || Fail(command + ": " + answer);
}

std::vector<std::vector<std::string>> TestServerProcess::LogEntries(size_t fields) {
  std::vector<std::vector<std::string>> entries;
  std::istringstream lines(tether_ ? Exchange(controlPort_, "log\n") : std::string());
  for (std::string line; std::getline(lines, line);) {
    std::istringstream values(line);
    entries.emplace_back();
    for (std::string value; std::getline(values, value, '\t');) {
      entries.back().push_back(PercentDecode(value));
    }
    entries.back().resize(fields);  // empty fields at the end of a line are not split off
  }
  return entries;
}

bool TestHttpServer::Start(const std::wstring& root, const Options& options) {
  std::vector<std::string> args = {"--root", UnixPathOf(root)};
  if (args[1].empty()) return Fail("no Unix path for the folder to serve");
  tls_ = !options.tlsCertificate.empty();
  if (tls_) args.insert(args.end(), {"--tls", options.tlsCertificate, options.tlsKey});
  if (options.proxy) args.push_back("--proxy");
  if (options.port) args.insert(args.end(), {"--port", std::to_string(options.port)});
  return Launch(args);
}

std::string TestHttpServer::Url(const std::string& path) const {
  return (tls_ ? "https://localhost:" : "http://127.0.0.1:") + std::to_string(port()) + path;
}

std::vector<LoggedRequest> TestHttpServer::Requests() {
  std::vector<LoggedRequest> requests;
  for (const std::vector<std::string>& f : LogEntries(9)) {
    requests.push_back({std::atoi(f[0].c_str()), f[1], f[2], f[3], f[4], std::atoi(f[5].c_str()),
                        std::atoll(f[6].c_str()), f[7], f[8]});
  }
  return requests;
}

std::vector<LoggedRequest> TestHttpServer::RequestsFor(const std::string& path) {
  std::vector<LoggedRequest> requests;
  for (const LoggedRequest& r : Requests()) {
    if (r.path == path) requests.push_back(r);
  }
  return requests;
}

std::string LoggedRequest::Header(const std::string& name) const {
  std::istringstream lines(headers);
  for (std::string line; std::getline(lines, line);) {
    if (line.find(':') == name.size() && _strnicmp(line.c_str(), name.c_str(), name.size()) == 0) {
      return line.substr(name.size() + 2);
    }
  }
  return std::string();
}

std::vector<LoggedDnsQuery> TestDnsServer::Queries() {
  std::vector<LoggedDnsQuery> queries;
  for (const std::vector<std::string>& f : LogEntries(8)) {
    queries.push_back({f[1], std::atoi(f[2].c_str()), std::atoi(f[3].c_str()), f[4],
                       std::atoi(f[5].c_str()), std::atoi(f[6].c_str()), f[7]});
  }
  return queries;
}

}  // namespace testing_support
