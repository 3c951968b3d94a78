// TestDnsServer: the fake DNS server (tests/support/dns_server.py) from a Windows test:
// answers UDP queries on 127.0.0.1 as scripted per name, and reports every query.
//
// Contract: owned by one test thread; RAII like TestHttpServer (stopped by the destructor,
// gone by itself when the test process dies). Calls return false (or an empty result) on
// failure with the reason in error(); nothing throws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/JsonLine.h"
#include "support/TestServerProcess.h"

namespace testing_support {

// How to answer queries for one name, built with chained setters:
// DnsScript("dl.kelto.com").Cname("cdn.kelto.net").A("10.0.0.7").A("10.0.0.8").
// See the head of tests/support/dns_server.py for each field.
class DnsScript {
 public:
  explicit DnsScript(const std::string& name);  // "*" for any name

  DnsScript& QueryType(int type);
  DnsScript& Skip(int queries);
  DnsScript& Times(int queries);
  // Records owned by the query name: the CNAME first, then the addresses in order.
  DnsScript& A(const std::string& address);
  DnsScript& Cname(const std::string& target);
  // Further records in full: type 1 takes an address, 5 a name, others their data in hex.
  DnsScript& Record(int type, const std::string& owner, const std::string& data);
  DnsScript& Rcode(int rcode);
  DnsScript& Truncated();
  DnsScript& Flags(int flags);
  DnsScript& WrongIdFirst(int copies);
  DnsScript& Silent();
  DnsScript& DelayMs(int milliseconds);
  DnsScript& NoCompression();
  // Exactly these bytes (hex) as the reply; the query's identifier goes into the first two
  // unless `keepId`.
  DnsScript& RawReply(const std::string& hex, bool keepId = false);

  std::string ToJson() const;

 private:
  JsonObject fields_;
  std::vector<std::string> addresses_;
  std::vector<std::string> records_;
};

struct LoggedDnsQuery {
  int seq = 0;
  std::string id;  // the identifier bytes in packet order, as 4 hex digits
  int flags = 0;
  int qdcount = 0;
  std::string name;
  int qtype = 0;
  int qclass = 0;
  std::string raw;  // the datagram in hex
  int script = -1;
  std::string action;  // "answer", "nxdomain", "silent" or "malformed"
};

class TestDnsServer {
 public:
  bool Start();
  bool Stop() { return process_.Stop(); }

  uint16_t port() const { return process_.port(); }
  // "127.0.0.1:PORT", the form of an entry of the resolver's server list.
  std::string Address() const;

  bool Answer(const DnsScript& script);
  bool ClearAnswers();
  bool Reset();
  std::vector<LoggedDnsQuery> Queries();

  const std::string& error() const { return process_.error(); }

 private:
  TestServerProcess process_;
};

}  // namespace testing_support
