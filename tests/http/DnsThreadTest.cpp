// The DNS fallback resolver under Wine: its own worker thread, real UDP on 127.0.0.1 against
// the scripted fake DNS server (answers, CNAMEs, wrong identifiers, truncation, error codes,
// silence, hostile replies), and its one report posted to this thread, which pumps messages
// as the user-interface thread does.
#include "http/DNSThread.h"

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "http/DnsPacket.h"
#include "runtime/MainThreadTask.h"
#include "support/MessagePump.h"
#include "support/TestDnsServer.h"
#include "support/TestHttpClient.h"

using testing_support::DnsScript;
using testing_support::LoggedDnsQuery;
using testing_support::ScopedSocket;

namespace {

struct Report {
  int calls = 0;
  int elapsed = -2;
  void* context = nullptr;
  std::string host;
  std::string addresses;
};

void Record(int elapsed, void* context, const std::string& host, const std::string& addresses) {
  Report* report = static_cast<Report*>(context);
  ++report->calls;
  report->elapsed = elapsed;
  report->context = context;
  report->host = host;
  report->addresses = addresses;
}

// The identifier's bytes as the fake server logs them: the low 16 bits of the process id,
// low byte first.
std::string OurIdentifier() {
  const DWORD pid = ::GetCurrentProcessId();
  char text[8];
  std::snprintf(text, sizeof(text), "%02x%02x", static_cast<unsigned>(pid & 0xFF),
                static_cast<unsigned>((pid >> 8) & 0xFF));
  return text;
}

class DnsResolver : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitMainThreadTasks());
    ASSERT_TRUE(server_.Start()) << server_.error();
    resolver_.SetServers(server_.Address());
  }

  void TearDown() override {
    resolver_.StopThread(CDNSThread::kStopWaitMs);
    ClearMainThreadTasks();
  }

  bool Answer(const DnsScript& script) {
    const bool added = server_.Answer(script);
    EXPECT_TRUE(added) << server_.error();
    return added;
  }

  // Runs the resolver for `host` and waits for its one report.
  testing::AssertionResult Resolve(const std::string& host) {
    report_ = Report();
    resolver_.host = host;
    resolver_.callback = Record;
    resolver_.context = &report_;
    if (!resolver_.StartThread()) return testing::AssertionFailure() << "no thread";
    if (!testing_support::PumpMessagesUntil([&] { return report_.calls > 0; }, 30000)) {
      return testing::AssertionFailure() << "no report within 30 s";
    }
    // The thread ends right after posting; no second report may follow.
    testing_support::PumpMessagesUntil([&] { return !resolver_.IsRunning(); }, 10000);
    testing_support::PumpMessagesFor(50);
    if (report_.calls != 1) return testing::AssertionFailure() << report_.calls << " reports";
    if (report_.context != &report_ || report_.host != host) {
      return testing::AssertionFailure() << "report for another request: " << report_.host;
    }
    return testing::AssertionSuccess();
  }

  void ExpectAnswered(const std::string& addresses) {
    EXPECT_EQ(report_.addresses, addresses);
    EXPECT_GE(report_.elapsed, 0);
    EXPECT_LT(report_.elapsed, static_cast<int>(CDNSThread::kAnswerWaitMs));
  }

  void ExpectNoAnswer() {
    EXPECT_EQ(report_.elapsed, -1);
    EXPECT_EQ(report_.addresses, "");
  }

  CDNSThread resolver_;
  testing_support::TestDnsServer server_;
  Report report_;
};

TEST_F(DnsResolver, OneQueryOnTheWireAndEveryAddressInAnswerOrder) {
  Answer(DnsScript("dl.kelto.test").A("10.0.0.7").A("10.0.0.8").A("192.168.1.255"));
  ASSERT_TRUE(Resolve("dl.kelto.test"));
  ExpectAnswered("10.0.0.7;10.0.0.8;192.168.1.255");

  const std::vector<LoggedDnsQuery> queries = server_.Queries();
  ASSERT_EQ(queries.size(), 1u);
  EXPECT_EQ(queries[0].id, OurIdentifier());
  EXPECT_EQ(queries[0].flags, 0x0100);
  EXPECT_EQ(queries[0].qdcount, 1);
  EXPECT_EQ(queries[0].name, "dl.kelto.test");
  EXPECT_EQ(queries[0].qtype, 1);
  EXPECT_EQ(queries[0].qclass, 1);
  // Header, "\2dl\5kelto\4test\0", type and class: nothing more is sent.
  EXPECT_EQ(queries[0].raw.size(), 2u * (12 + 15 + 4));
}

TEST_F(DnsResolver, EmptyLabelsAreLeftOutOfTheQuery) {
  Answer(DnsScript("dl.kelto.test").A("10.0.0.7"));
  ASSERT_TRUE(Resolve("dl..kelto.test."));
  ExpectAnswered("10.0.0.7");
  ASSERT_EQ(server_.Queries().size(), 1u);
  EXPECT_EQ(server_.Queries()[0].name, "dl.kelto.test");
}

TEST_F(DnsResolver, CanonicalNames) {
  // A CNAME before the addresses, names compressed ...
  Answer(
      DnsScript("cdn.kelto.test").Times(1).Cname("edge.cdn.example").A("10.1.0.1").A("10.1.0.2"));
  ASSERT_TRUE(Resolve("cdn.kelto.test"));
  ExpectAnswered("10.1.0.1;10.1.0.2");

  // ... or written out in full, the addresses owned by the canonical name.
  Answer(DnsScript("cdn.kelto.test")
             .Times(1)
             .NoCompression()
             .Record(5, "cdn.kelto.test", "edge.cdn.example")
             .Record(1, "edge.cdn.example", "10.1.0.3"));
  ASSERT_TRUE(Resolve("cdn.kelto.test"));
  ExpectAnswered("10.1.0.3");

  // Only a CNAME: an answer all the same, without addresses.
  Answer(DnsScript("cdn.kelto.test").Cname("edge.cdn.example"));
  ASSERT_TRUE(Resolve("cdn.kelto.test"));
  EXPECT_GE(report_.elapsed, 0);
  EXPECT_EQ(report_.addresses, "");
  EXPECT_EQ(server_.Queries().size(), 3u);
}

// Copies with another identifier are someone else's answers: the wait goes on for ours.
TEST_F(DnsResolver, AnswersWithAnotherIdentifierAreIgnored) {
  Answer(DnsScript("dl.kelto.test").WrongIdFirst(3).A("10.0.0.7"));
  ASSERT_TRUE(Resolve("dl.kelto.test"));
  ExpectAnswered("10.0.0.7");
  EXPECT_EQ(server_.Queries().size(), 1u);
}

// A truncated answer, an error code, an answer without records, an answer that cannot be
// parsed: that server has failed, and the next one of the list is asked.
TEST_F(DnsResolver, FailedServerPassesToTheNext) {
  // The answer record's name points past the end of the packet.
  const std::string unparsable =
      "0000818000010001000000000264"
      "6c0000010001"
      "c0ff";
  const DnsScript failures[] = {
      DnsScript("*").Times(1).Truncated().A("10.6.6.6"),
      DnsScript("*").Times(1).Rcode(2),
      DnsScript("*").Times(1),
      DnsScript("*").Times(1).RawReply(unparsable),
  };
  resolver_.SetServers(server_.Address() + ";" + server_.Address());
  for (const DnsScript& failure : failures) {
    ASSERT_TRUE(server_.Reset());
    Answer(failure);
    Answer(DnsScript("dl").A("10.0.0.7"));
    ASSERT_TRUE(Resolve("dl"));
    ExpectAnswered("10.0.0.7");
    EXPECT_EQ(server_.Queries().size(), 2u) << failure.ToJson();
  }
}

TEST_F(DnsResolver, NoServerAnswers) {
  // A port where nobody listens (the system reports it on the next read) and a silent server.
  uint16_t closedPort = 0;
  { ScopedSocket gone = testing_support::BindLoopback(SOCK_DGRAM, &closedPort); }
  Answer(DnsScript("*").Silent());
  resolver_.SetServers("127.0.0.1:" + std::to_string(closedPort) + ";" + server_.Address());
  ASSERT_TRUE(Resolve("dl.kelto.test"));
  ExpectNoAnswer();
  EXPECT_EQ(server_.Queries().size(), 1u);

  // The closed port does not keep the next server from answering.
  ASSERT_TRUE(server_.Reset());
  Answer(DnsScript("*").A("10.0.0.7"));
  ASSERT_TRUE(Resolve("dl.kelto.test"));
  ExpectAnswered("10.0.0.7");
}

TEST_F(DnsResolver, HostsThatCannotBeAskedForAndNoServers) {
  Answer(DnsScript("*").A("10.0.0.7"));
  std::string tooLong;  // six labels of 50: 307 bytes encoded, the limit is 255
  for (int i = 0; i < 6; ++i) tooLong += std::string(50, 'a') + ".";
  for (const std::string& host :
       {std::string(), std::string(".."), std::string(64, 'a') + ".test", tooLong}) {
    ASSERT_TRUE(Resolve(host));
    ExpectNoAnswer();
  }
  EXPECT_TRUE(server_.Queries().empty());

  EXPECT_EQ(resolver_.SetServers("not-an-address; ;"), 1u);
  ASSERT_TRUE(Resolve("dl.kelto.test"));
  ExpectNoAnswer();
  EXPECT_TRUE(server_.Queries().empty());
}

TEST_F(DnsResolver, StoppedWhileWaitingReportsNothing) {
  Answer(DnsScript("*").Silent());
  resolver_.host = "dl.kelto.test";
  resolver_.callback = Record;
  resolver_.context = &report_;
  ASSERT_TRUE(resolver_.StartThread());
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return !server_.Queries().empty(); }));
  EXPECT_TRUE(resolver_.StopThread(CDNSThread::kStopWaitMs));
  EXPECT_FALSE(resolver_.IsRunning());
  testing_support::PumpMessagesFor(200);
  EXPECT_EQ(report_.calls, 0);

  // It can run again afterwards.
  ASSERT_TRUE(server_.Reset());
  Answer(DnsScript("*").A("10.0.0.7"));
  ASSERT_TRUE(Resolve("dl.kelto.test"));
  ExpectAnswered("10.0.0.7");
}

// The answer must come from the server that was asked: a forged one from another port of
// the same machine, even with the right identifier, is ignored.
TEST_F(DnsResolver, AnswersFromAnotherAddressAreIgnored) {
  uint16_t serverPort = 0, forgerPort = 0;
  ScopedSocket server = testing_support::BindLoopback(SOCK_DGRAM, &serverPort);
  ScopedSocket forger = testing_support::BindLoopback(SOCK_DGRAM, &forgerPort);
  std::thread fake([&] {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(server.get(), &readable);
    timeval limit = {20, 0};
    if (::select(0, &readable, nullptr, nullptr, &limit) != 1) return;
    char query[dns::kAnswerBufferSize];
    sockaddr_in client = {};
    int clientSize = sizeof(client);
    const int size = ::recvfrom(server.get(), query, sizeof(query), 0,
                                reinterpret_cast<sockaddr*>(&client), &clientSize);
    if (size < 12) return;
    auto answer = [&](int lastByte) {
      std::string reply(query, static_cast<size_t>(size));
      reply[2] = '\x81';
      reply[3] = '\x80';
      reply[7] = 1;
      const char record[] = {'\xc0', 12, 0, 1, 0,  1, 0, 0,
                             0,      60, 0, 4, 10, 0, 0, static_cast<char>(lastByte)};
      reply.append(record, sizeof(record));
      return reply;
    };
    const std::string forged = answer(66), genuine = answer(7);
    ::sendto(forger.get(), forged.data(), static_cast<int>(forged.size()), 0,
             reinterpret_cast<sockaddr*>(&client), clientSize);
    ::Sleep(200);
    ::sendto(server.get(), genuine.data(), static_cast<int>(genuine.size()), 0,
             reinterpret_cast<sockaddr*>(&client), clientSize);
  });
  resolver_.SetServers("127.0.0.1:" + std::to_string(serverPort));
  const testing::AssertionResult resolved = Resolve("dl.kelto.test");
  fake.join();
  ASSERT_TRUE(resolved);
  ExpectAnswered("10.0.0.7");
}

}  // namespace
