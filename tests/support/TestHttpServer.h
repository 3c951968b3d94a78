// TestHttpServer: the fault-injecting HTTP test server (tests/support/http_server.py) from a
// Windows test: serves a folder on 127.0.0.1, takes fault rules, reports every request.
//
// Contract: owned by one test thread; RAII: the destructor stops the server, and a test that
// crashes leaves no server behind (see TestServerProcess). Every call returns false (or an
// empty result) on failure, with the reason in error(); nothing throws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/FaultRule.h"
#include "support/TestServerProcess.h"

namespace testing_support {

// One request as the server logged it, in arrival order.
struct LoggedRequest {
  int seq = 0;
  int conn = 0;     // equal numbers: the same kept-alive connection
  int attempt = 0;  // the n-th request for this path
  std::string method;
  std::string target;  // path and query as sent
  std::string path;
  std::string range;    // the Range header; "" without one
  std::string headers;  // "Name: value" lines
  std::string body;
  int status = 0;  // 0 for a connection reset
  int rule = -1;   // index of the applied rule, -1 for none
  std::string faults;
  long long sent = 0;  // body bytes written to the connection so far

  // A request header by name (case-insensitive); "" when absent.
  std::string Header(const std::string& name) const;
};

class TestHttpServer {
 public:
  struct Options {
    // TLS on the main port with this certificate and key (Unix paths); clients then use
    // Url(), which names "localhost".
    std::string tlsCertificate;
    std::string tlsKey;
    // Also a forward proxy, relaying to 127.0.0.1 whatever host a request names (see
    // http_server.py); its log shows a proxied request's absolute URL as its target.
    bool proxy = false;
    // A fixed port (the installer's own manifest addresses name one); 0 lets the system pick.
    uint16_t port = 0;
  };

  // Serves the files of `root` (a Windows path).
  bool Start(const std::wstring& root, const Options& options);
  bool Start(const std::wstring& root) { return Start(root, Options()); }
  bool Stop() { return process_.Stop(); }

  uint16_t port() const { return process_.port(); }
  // "http://127.0.0.1:PORT" + path ("https://localhost:PORT" in TLS mode).
  std::string Url(const std::string& path) const;
  std::wstring WideUrl(const std::string& path) const;

  bool AddRule(const FaultRule& rule);
  bool ClearRules();
  // Clears the rules, the attempt counters and the log.
  bool Reset();

  std::vector<LoggedRequest> Requests();
  std::vector<LoggedRequest> RequestsFor(const std::string& path);

  const std::string& error() const { return process_.error(); }
  TestServerProcess& process() { return process_; }

 private:
  TestServerProcess process_;
  bool tls_ = false;
};

}  // namespace testing_support
