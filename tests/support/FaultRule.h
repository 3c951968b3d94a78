// FaultRule: one scripted misbehaviour of the test HTTP server for the requests of one path,
// built with chained setters: FaultRule("/pkg.bin").Times(2).Status(503).
//
// Contract: a plain value; ToJson() gives the rule in the server's control format (see the
// head of tests/support/http_server.py for what each field does). Setting a field twice
// keeps the last value. The server checks the rule when it is added.
#pragma once

#include <cstdint>
#include <string>

#include "support/JsonLine.h"

namespace testing_support {

class FaultRule {
 public:
  // `path` as the client sends it, without the query; "*" for every path.
  explicit FaultRule(const std::string& path);

  FaultRule& Method(const std::string& method);
  FaultRule& Skip(int requests);
  FaultRule& Times(int requests);

  FaultRule& Status(int status);
  FaultRule& Body(const std::string& body, const std::string& contentType = "text/plain");
  FaultRule& Html();
  // A chain of `hops` redirects ending at `to` ("" for the requested path again).
  FaultRule& Redirect(int hops, const std::string& to = std::string(), int status = 302);
  FaultRule& ResetConnection();
  FaultRule& IgnoreRange();
  FaultRule& LengthDelta(int64_t delta);
  FaultRule& NoLength();
  FaultRule& CloseAfter(int64_t bodyBytes);
  // Stalls before the status line; a negative time lasts until the client goes away.
  FaultRule& Stall(double seconds);
  FaultRule& StallAfter(int64_t bodyBytes, double seconds = -1);
  FaultRule& Drip(int bytesPerSecond);
  FaultRule& Header(const std::string& name, const std::string& value);

  std::string ToJson() const;

 private:
  JsonObject fields_;
  JsonObject headers_;
  bool hasHeaders_ = false;
};

}  // namespace testing_support
