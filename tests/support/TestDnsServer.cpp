#include "support/TestDnsServer.h"

namespace testing_support {

DnsScript::DnsScript(const std::string& name) { fields_.Set("name", name); }

DnsScript& DnsScript::QueryType(int type) {
  fields_.Set("qtype", type);
  return *this;
}
DnsScript& DnsScript::Skip(int queries) {
  fields_.Set("skip", queries);
  return *this;
}
DnsScript& DnsScript::Times(int queries) {
  fields_.Set("times", queries);
  return *this;
}
DnsScript& DnsScript::A(const std::string& address) {
  addresses_.push_back(JsonObject::Quote(address));
  return *this;
}
DnsScript& DnsScript::Cname(const std::string& target) {
  fields_.Set("cname", target);
  return *this;
}
DnsScript& DnsScript::Record(int type, const std::string& owner, const std::string& data) {
  JsonObject record;
  record.Set("type", type).Set("name", owner);
  record.Set(type == 1 || type == 5 ? "data" : "data_hex", data);
  records_.push_back(record.ToString());
  return *this;
}
DnsScript& DnsScript::Rcode(int rcode) {
  fields_.Set("rcode", rcode);
  return *this;
}
DnsScript& DnsScript::Truncated() {
  fields_.Set("truncated", true);
  return *this;
}
DnsScript& DnsScript::Flags(int flags) {
  fields_.Set("flags", flags);
  return *this;
}
DnsScript& DnsScript::WrongIdFirst(int copies) {
  fields_.Set("wrong_id", copies);
  return *this;
}
DnsScript& DnsScript::Silent() {
  fields_.Set("silent", true);
  return *this;
}
DnsScript& DnsScript::DelayMs(int milliseconds) {
  fields_.Set("delay_ms", milliseconds);
  return *this;
}
DnsScript& DnsScript::NoCompression() {
  fields_.Set("compress", false);
  return *this;
}
DnsScript& DnsScript::RawReply(const std::string& hex, bool keepId) {
  fields_.Set("raw_hex", hex).Set("raw_keep_id", keepId);
  return *this;
}

std::string DnsScript::ToJson() const {
  JsonObject all = fields_;
  if (!addresses_.empty()) all.SetRaw("a", JsonObject::Array(addresses_));
  if (!records_.empty()) all.SetRaw("records", JsonObject::Array(records_));
  return all.ToString();
}

bool TestDnsServer::Start() { return process_.Start("dns_server.py", {}); }

std::string TestDnsServer::Address() const { return "127.0.0.1:" + std::to_string(port()); }

bool TestDnsServer::Answer(const DnsScript& script) {
  return process_.Control("POST", "answers", script.ToJson());
}

bool TestDnsServer::ClearAnswers() { return process_.Control("POST", "clear-answers"); }

bool TestDnsServer::Reset() { return process_.Control("POST", "reset"); }

std::vector<LoggedDnsQuery> TestDnsServer::Queries() {
  std::vector<LoggedDnsQuery> out;
  for (const JsonLine& line : process_.Log()) {
    LoggedDnsQuery q;
    q.seq = static_cast<int>(line.Int("seq"));
    q.id = line.Text("id");
    q.flags = static_cast<int>(line.Int("flags"));
    q.qdcount = static_cast<int>(line.Int("qdcount"));
    q.name = line.Text("name");
    q.qtype = static_cast<int>(line.Int("qtype"));
    q.qclass = static_cast<int>(line.Int("qclass"));
    q.raw = line.Text("raw");
    q.script = static_cast<int>(line.Int("script"));
    q.action = line.Text("action");
    out.push_back(q);
  }
  return out;
}

}  // namespace testing_support

