// Rules of the test servers (tests/support/test_server.py describes each field): FaultRule,
// one scripted misbehaviour of the HTTP server for the requests of one path, built with
// chained setters: FaultRule("/pkg.bin").Times(2).Status(503); and RuleLine, the base that
// writes a rule as the server reads it (DnsScript builds on it too).
//
// Contract: plain values, used on one thread. ToLine() gives the rule, each value
// percent-encoded byte for byte; a field set twice is sent twice and the server keeps the
// last. The server checks the rule when it is added.
#pragma once

#include <cstdint>
#include <string>

namespace testing_support {

std::string PercentEncode(const std::string& bytes);

template <typename Self>
class RuleLine {
 public:
  const std::string& ToLine() const { return line_; }

 protected:
  Self& Field(const char* name, const std::string& value) {
    line_ += (line_.empty() ? "" : "&") + std::string(name) + "=" + PercentEncode(value);
    return static_cast<Self&>(*this);
  }
  template <typename Number>
  Self& Field(const char* name, Number value) {
    return Field(name, std::to_string(value));
  }

 private:
  std::string line_;
};

class FaultRule : public RuleLine<FaultRule> {
 public:
  // `path` as the client sends it, without the query; "*" for every path.
  explicit FaultRule(const std::string& path) { Field("path", path); }

  FaultRule& Method(const std::string& method) { return Field("method", method); }
  FaultRule& Times(int requests) { return Field("times", requests); }

  FaultRule& Status(int status) { return Field("status", status); }
  // An empty `contentType` sends no Content-Type.
  FaultRule& Body(const std::string& body, const std::string& contentType = "text/plain") {
    return Field("body", body).Field("type", contentType);
  }
  FaultRule& Html() { return Field("html", 1); }
  // A chain of `hops` redirects ending at `to` ("" for the requested path again).
  FaultRule& Redirect(int hops, const std::string& to = std::string(), int status = 302) {
    if (!to.empty()) Field("to", to);
    return Field("redirect", hops).Field("redirect_status", status);
  }
  FaultRule& ResetConnection() { return Field("reset", 1); }
  FaultRule& IgnoreRange() { return Field("ignore_range", 1); }
  FaultRule& LengthDelta(int64_t delta) { return Field("length_delta", delta); }
  FaultRule& NoLength() { return Field("no_length", 1); }
  FaultRule& CloseAfter(int64_t bodyBytes) { return Field("close_after", bodyBytes); }
  // Stalls before the status line; a negative time lasts until the client goes away.
  FaultRule& Stall(double seconds) { return Field("stall", seconds); }
  FaultRule& StallAfter(int64_t bodyBytes, double seconds = -1) {
    return Field("stall_after", bodyBytes).Field("stall", seconds);
  }
  FaultRule& Drip(int bytesPerSecond) { return Field("drip", bytesPerSecond); }
};

}  // namespace testing_support
