// TestServerProcess: runs one of the Python test servers of tests/support as a Unix process
// from a Windows test under Wine, and ends it.
//
// Contract: owned by one test thread. Start() launches the script through /bin/sh (Wine
// cannot start the interpreter directly), waits for its port files and opens a tether: a
// control connection the server watches, so that the server ends by itself when this
// process dies without stopping it. Stop() (also run by the destructor) asks the server to
// stop and waits until its port refuses connections. The port files, the request log and
// the server's stderr live in a temporary folder owned by this object. Failures come back as
// false with the reason in error(); nothing throws.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Winsock's header must come before <windows.h>, which TestFiles.h includes.
#include "support/TestHttpClient.h"

#include "support/JsonLine.h"
#include "support/TestFiles.h"

namespace testing_support {

class TestServerProcess {
 public:
  TestServerProcess() = default;
  ~TestServerProcess();
  TestServerProcess(const TestServerProcess&) = delete;
  TestServerProcess& operator=(const TestServerProcess&) = delete;

  // `script` is a file of tests/support; `args` are its own arguments (Unix paths). The
  // server also gets --port-file, --control-port-file and --log in the work folder.
  bool Start(const std::string& script, const std::vector<std::string>& args);
  bool Stop();
  bool running() const { return tether_ != nullptr; }

  uint16_t port() const { return port_; }
  uint16_t controlPort() const { return controlPort_; }
  const std::string& error() const { return error_; }
  const TempFolder& workDir() const { return workDir_; }

  // One control request (route without the "/_control/" prefix); a reply other than 200
  // sets error() to its text and returns false.
  bool Control(const std::string& method, const std::string& route,
               const std::string& body = std::string(), std::string* replyBody = nullptr);
  // The server's log, entry by entry; empty (and error() set) when it cannot be read.
  std::vector<JsonLine> Log();
  // What the server wrote to its stderr so far.
  std::string StderrText() const;
  // Records why something failed, for error(); returns false.
  bool Fail(const std::string& why);

 private:
  bool WaitForPort(const std::wstring& file, uint16_t* port);

  TempFolder workDir_{L"server"};
  std::string unixWorkDir_;  // the same folder for the server
  uint16_t port_ = 0;
  uint16_t controlPort_ = 0;
  std::unique_ptr<TestHttpConnection> tether_;
  std::string error_;
};

}  // namespace testing_support
