// TestDnsServer: the fake DNS server (tests/support/test_server.py --dns) from a Windows
// test: answers UDP queries on 127.0.0.1 as scripted per name, and reports every query.
//
// Contract: as TestServerProcess's (TestHttpServer.h): one test thread; stopped by the
// destructor, gone by itself when the test process dies; false or an empty result, with
// error(), on failure.
#pragma once

#include <string>
#include <vector>

#include "support/TestHttpServer.h"

namespace testing_support {

// How to answer queries for one name ("*" for any), built with chained setters:
// DnsScript("dl.kelto.com").Cname("cdn.kelto.net").A("10.0.0.7").A("10.0.0.8").
class DnsScript : public RuleLine<DnsScript> {
 public:
  explicit DnsScript(const std::string& name) { Field("name", name); }

  DnsScript& Times(int queries) { return Field("times", queries); }
  // Records owned by the query name: the CNAME first, then the addresses in order.
  DnsScript& A(const std::string& address) { return Field("a", address); }
  DnsScript& Cname(const std::string& target) { return Field("cname", target); }
  // A further record in full: type 1 takes an address, 5 a name, others their data in hex.
  DnsScript& Record(int type, const std::string& owner, const std::string& data) {
    return Field("record", std::to_string(type) + " " + owner + " " + data);
  }
  DnsScript& Rcode(int rcode) { return Field("rcode", rcode); }
  DnsScript& Truncated() { return Field("truncated", 1); }
  DnsScript& WrongIdFirst(int copies) { return Field("wrong_id", copies); }
  DnsScript& Silent() { return Field("silent", 1); }
  DnsScript& DelayMs(int milliseconds) { return Field("delay_ms", milliseconds); }
  DnsScript& NoCompression() { return Field("compress", 0); }
  // Exactly these bytes (hex) as the reply; the query's identifier goes into the first two
  // unless `keepId`.
  DnsScript& RawReply(const std::string& hex, bool keepId = false) {
    return Field("raw", hex).Field("raw_keep_id", keepId ? 1 : 0);
  }
  // The script as the server reads it (once JSON, whence the name).
  std::string ToJson() const { return ToLine(); }
};

struct LoggedDnsQuery {
  std::string id;  // the identifier bytes in packet order, as 4 hex digits
  int flags = 0;
  int qdcount = 0;
  std::string name;
  int qtype = 0;
  int qclass = 0;
  std::string raw;  // the datagram in hex
};

class TestDnsServer : public TestServerProcess {
 public:
  bool Start() { return Launch({"--dns"}); }
  // "127.0.0.1:PORT", the form of an entry of the resolver's server list.
  std::string Address() const { return "127.0.0.1:" + std::to_string(port()); }
  bool Answer(const DnsScript& script) { return Control("rule " + script.ToLine()); }
  std::vector<LoggedDnsQuery> Queries();
};

}  // namespace testing_support
