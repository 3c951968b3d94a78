#include "support/FaultRule.h"

namespace testing_support {

FaultRule::FaultRule(const std::string& path) { fields_.Set("path", path); }

FaultRule& FaultRule::Method(const std::string& method) {
  fields_.Set("method", method);
  return *this;
}
FaultRule& FaultRule::Skip(int requests) {
  fields_.Set("skip", requests);
  return *this;
}
FaultRule& FaultRule::Times(int requests) {
  fields_.Set("times", requests);
  return *this;
}
FaultRule& FaultRule::Status(int status) {
  fields_.Set("status", status);
  return *this;
}
FaultRule& FaultRule::Body(const std::string& body, const std::string& contentType) {
  fields_.Set("body", body).Set("content_type", contentType);
  return *this;
}
FaultRule& FaultRule::Html() {
  fields_.Set("html", true);
  return *this;
}
FaultRule& FaultRule::Redirect(int hops, const std::string& to, int status) {
  fields_.Set("redirect", hops).Set("redirect_status", status);
  if (!to.empty()) fields_.Set("to", to);
  return *this;
}
FaultRule& FaultRule::ResetConnection() {
  fields_.Set("reset", true);
  return *this;
}
FaultRule& FaultRule::IgnoreRange() {
  fields_.Set("ignore_range", true);
  return *this;
}
FaultRule& FaultRule::LengthDelta(int64_t delta) {
  fields_.Set("length_delta", delta);
  return *this;
}
FaultRule& FaultRule::NoLength() {
  fields_.Set("no_length", true);
  return *this;
}
FaultRule& FaultRule::CloseAfter(int64_t bodyBytes) {
  fields_.Set("close_after", bodyBytes);
  return *this;
}
FaultRule& FaultRule::Stall(double seconds) {
  fields_.Set("stall", seconds);
  return *this;
}
FaultRule& FaultRule::StallAfter(int64_t bodyBytes, double seconds) {
  fields_.Set("stall_after", bodyBytes).Set("stall", seconds);
  return *this;
}
FaultRule& FaultRule::Drip(int bytesPerSecond) {
  fields_.Set("drip", bytesPerSecond);
  return *this;
}
FaultRule& FaultRule::Header(const std::string& name, const std::string& value) {
  headers_.Set(name, value);
  hasHeaders_ = true;
  return *this;
}

std::string FaultRule::ToJson() const {
  if (!hasHeaders_) return fields_.ToString();
  JsonObject all = fields_;
  all.SetRaw("headers", headers_.ToString());
  return all.ToString();
}

}  // namespace testing_support
