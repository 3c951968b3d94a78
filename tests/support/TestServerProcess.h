// TestServerProcess: tests/support/test_server.py run as a Unix process from a Windows test
// under Wine, and its control port; the base of TestHttpServer and TestDnsServer.
//
// Contract: owned by one test thread. Launch() starts the script through /bin/sh (Wine cannot
// start the interpreter directly), waits for its port files and holds a tether open, so the
// server ends by itself when this process dies without stopping it. Stop(), also run by the
// destructor, asks it to stop and waits until its control port refuses connections. The
// port files and the server's stderr live in a temporary folder of this object. Failures
// come back as false (or an empty result) with the reason in error(); nothing throws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Winsock's header must come before <windows.h>, which TestFiles.h includes.
#include "support/TestHttpClient.h"

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
  // One control command; false, with the server's answer in error(), unless it says "ok".
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

}  // namespace testing_support
