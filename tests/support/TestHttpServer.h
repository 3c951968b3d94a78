// The fault-injecting HTTP test server (tests/support/test_server.py) from a Windows test:
// TestHttpServer serves a folder on 127.0.0.1, takes fault rules, reports every request.
// TestServerProcess, its base and TestDnsServer's, runs the script as a Unix process.
//
// Contract: a server object belongs to one test thread. Start launches the script through
// /bin/sh (Wine cannot start the interpreter directly), waits for its port files and holds
// a tether open, so the server ends by itself when this process dies without stopping it.
// Stop, also run by the destructor, waits until the control port refuses connections. Calls
// return false (or an empty result) with the reason in error(); nothing throws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Winsock's header must come before <windows.h>, which TestFiles.h includes.
#include "support/TestHttpClient.h"

#include "support/FaultRule.h"
#include "support/TestFiles.h"

namespace testing_support {

class TestServerProcess {
 public:
  TestServerProcess() = default;
  ~TestServerProcess();
  TestServerProcess(const TestServerProcess&) = delete;
  TestServerProcess& operator=(const TestServerProcess&) = delete;

  bool Stop();
  // Forgets the rules and the log.
  bool Reset() { return Control("reset"); }
  uint16_t port() const { return port_; }
  const std::string& error() const { return error_; }

 protected:
  // `args` are the script's own (Unix paths); the port files are added.
  bool Launch(const std::vector<std::string>& args);
  // One control command; false, with the server's answer in error(), unless it is "ok".
  bool Control(const std::string& command);
  // The log, one entry per request, each with `fields` decoded fields.
  std::vector<std::vector<std::string>> LogEntries(size_t fields);
  bool Fail(const std::string& why);

 private:
  TempFolder workDir_{L"server"};
  uint16_t port_ = 0;
  uint16_t controlPort_ = 0;
  ScopedSocket tether_;
  std::string error_;
};

// One request as the server logged it, in arrival order.
struct LoggedRequest {
  int seq = 0;
  std::string method;
  std::string target;  // path and query as sent; a proxied request's absolute URL
  std::string path;
  std::string range;    // the Range header; "" without one
  int status = 0;       // 0 for a connection reset
  long long sent = 0;   // body bytes written to the connection so far
  std::string headers;  // "Name: value" lines
  std::string body;

  // A request header by name (case-insensitive); "" when absent.
  std::string Header(const std::string& name) const;
};

class TestHttpServer : public TestServerProcess {
 public:
  struct Options {
    // TLS with this certificate and key (Unix paths); Url() then names "localhost".
    std::string tlsCertificate;
    std::string tlsKey;
    // Also a forward proxy that relays to 127.0.0.1 whatever host a request names.
    bool proxy = false;
    // A fixed port (the installer's own manifest addresses name one); 0 lets the system pick.
    uint16_t port = 0;
  };

  // Serves the files of `root` (a Windows path).
  bool Start(const std::wstring& root, const Options& options);
  bool Start(const std::wstring& root) { return Start(root, Options()); }

  // "http://127.0.0.1:PORT" + path ("https://localhost:PORT" with TLS).
  std::string Url(const std::string& path) const;
  std::wstring WideUrl(const std::string& path) const { return Utf8ToWide(Url(path)); }

  bool AddRule(const FaultRule& rule) { return Control("rule " + rule.ToLine()); }
  bool ClearRules() { return Control("clear"); }

  std::vector<LoggedRequest> Requests();
  std::vector<LoggedRequest> RequestsFor(const std::string& path);

 private:
  bool tls_ = false;
};

}  // namespace testing_support
