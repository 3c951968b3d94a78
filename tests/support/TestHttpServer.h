// TestHttpServer: the fault-injecting HTTP test server (tests/support/test_server.py) from a
// Windows test: serves a folder on 127.0.0.1, takes fault rules, reports every request.
//
// Contract: as TestServerProcess (one test thread; stopped by the destructor, gone by itself
// when the test process dies; false or an empty result with error() on failure).
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
  std::string method;
  std::string target;  // path and query as sent; a proxied request's absolute URL
  std::string path;
  std::string range;  // the Range header; "" without one
  int status = 0;     // 0 for a connection reset
  long long sent = 0;   // body bytes written to the connection so far
  std::string headers;  // "Name: value" lines
  std::string body;

  // A request header by name (case-insensitive); "" when absent.
  std::string Header(const std::string& name) const;
};

class TestHttpServer : public TestServerProcess {
 public:
  struct Options {
    // TLS on the port with this certificate and key (Unix paths); Url() then names
    // "localhost".
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
