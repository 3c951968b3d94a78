#include "support/TestServerProcess.h"

#include <windows.h>

#include <cstdlib>


namespace testing_support {

namespace {

constexpr uint32_t kStartTimeoutMs = 30000;
constexpr uint32_t kStopTimeoutMs = 10000;
constexpr uint32_t kControlTimeoutMs = 15000;

std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

bool LaunchUnixShell(const std::string& command) {
  // Wine hands a Unix program its command line split by the Windows rules: the script is one
  // double-quoted argument, so it must not hold a double quote itself.
  std::wstring line = L"Z:\\bin\\sh -c \"" + Utf8ToWide(command) + L"\"";
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(0);
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  if (!::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi)) {
    return false;
  }
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return true;
}

}  // namespace

TestServerProcess::~TestServerProcess() { Stop(); }

bool TestServerProcess::Fail(const std::string& why) {
  error_ = why;
  return false;
}

bool TestServerProcess::Start(const std::string& script, const std::vector<std::string>& args) {
  if (running()) return Fail("the server is already running");
  unixWorkDir_ = UnixPathOf(workDir_.path());
  if (!FolderExists(workDir_.path()) || unixWorkDir_.empty()) {
    return Fail("cannot create a work folder with a Unix path");
  }
  std::string command = "exec " + ShellQuote(KELTO_PYTHON3) + " " +
                        ShellQuote(SourceFile("tests/support/" + script));
  for (const std::string& arg : args) command += " " + ShellQuote(arg);
  command += " --port-file " + ShellQuote(unixWorkDir_ + "/port") +
             " --control-port-file " + ShellQuote(unixWorkDir_ + "/control-port") +
             " --log " + ShellQuote(unixWorkDir_ + "/log.jsonl") +
             " </dev/null >" + ShellQuote(unixWorkDir_ + "/stderr.txt") + " 2>&1";
  if (command.find('"') != std::string::npos) {
    return Fail("a server argument holds a double quote: " + command);
  }
  if (!LaunchUnixShell(command)) return Fail("cannot start /bin/sh for " + script);
  if (!WaitForPort(workDir_ / L"port", &port_) ||
      !WaitForPort(workDir_ / L"control-port", &controlPort_)) {
    return false;
  }
  auto tether = std::make_unique<TestHttpConnection>(controlPort_, kControlTimeoutMs);
  HttpReply reply;
  if (!tether->SendRaw("GET /_control/tether HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") ||
      !tether->ReadHeaders(&reply) || reply.status != 200) {
    return Fail("the server refused its tether (control port " + std::to_string(controlPort_) +
                (tether->connected() ? ", connected" : ", no connection") + ", status " +
                std::to_string(reply.status) + "); stderr: " + StderrText());
  }
  tether_ = std::move(tether);
  return true;
}

bool TestServerProcess::WaitForPort(const std::wstring& file, uint16_t* port) {
  const uint32_t start = ::GetTickCount();
  uint32_t stderrSeen = 0;
  for (;;) {
    const std::string text = ReadBinaryFile(file);
    if (!text.empty() && text.back() == '\n') {
      const long value = std::strtol(text.c_str(), nullptr, 10);
      if (value > 0 && value < 65536) {
        *port = static_cast<uint16_t>(value);
        return true;
      }
      return Fail("unreadable port file: " + text);
    }
    const uint32_t now = ::GetTickCount();
    // A server that wrote to stderr and gave no port within a second has failed to start.
    if (!StderrText().empty()) {
      if (!stderrSeen) stderrSeen = now;
      if (now - stderrSeen > 1000) return Fail("the server did not start: " + StderrText());
    }
    if (now - start > kStartTimeoutMs) {
      return Fail("no port from the server within 30 s; stderr: " + StderrText());
    }
    ::Sleep(20);
  }
}

bool TestServerProcess::Stop() {
  if (!running()) return true;
  Control("POST", "stop");
  tether_.reset();
  const uint32_t start = ::GetTickCount();
  // The control port closes last (the main port may be UDP, and a TCP probe cannot tell).
  while (IsListening(controlPort_)) {
    if (::GetTickCount() - start > kStopTimeoutMs) {
      return Fail("the server still listens 10 s after the stop request");
    }
    ::Sleep(20);
  }
  return true;
}

bool TestServerProcess::Control(const std::string& method, const std::string& route,
                                const std::string& body, std::string* replyBody) {
  if (!running()) return Fail("the server is not running");
  HttpRequest request;
  request.method = method;
  request.target = "/_control/" + route;
  request.body = body;
  if (!body.empty()) request.headers.emplace_back("Content-Type", "application/json");
  const HttpReply reply = SendHttpRequest(controlPort_, request, kControlTimeoutMs);
  if (replyBody) *replyBody = reply.body;
  if (!reply.bodyComplete) return Fail("no reply to control request " + route);
  if (reply.status != 200) return Fail(route + ": " + reply.body);
  return true;
}

std::vector<JsonLine> TestServerProcess::Log() {
  std::string text;
  std::vector<JsonLine> lines;
  if (Control("GET", "log", std::string(), &text) && !JsonLine::ParseLines(text, &lines)) {
    Fail("unreadable log: " + text);
  }
  return lines;
}

std::string TestServerProcess::StderrText() const {
  return ReadBinaryFile(workDir_ / L"stderr.txt");
}

}  // namespace testing_support
