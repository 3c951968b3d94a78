// The DNS fallback resolver under Wine: its own worker thread, real UDP on 127.0.0.1 against
// the scripted fake DNS server, and its one report posted to this thread, which pumps
// messages as the user-interface thread does. The lookups of a test run side by side, so
// that the time each server is given passes once for all of them.
#include "http/DNSThread.h"

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <thread>

#include "http/DnsPacket.h"
#include "runtime/MainThreadTask.h"
#include "support/MessagePump.h"
#include "support/TestDnsServer.h"
#include "support/TestHttpClient.h"

using testing_support::DnsScript;
using testing_support::ScopedSocket;

namespace {

// One resolver's run and what it must report: `want` addresses, or no answer at all.
struct Lookup {
  CDNSThread resolver;
  bool answered = true;
  std::string want;
  int calls = 0;
  int elapsed = -2;
  std::string addresses;
};

class DnsResolver : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitMainThreadTasks());
    ASSERT_TRUE(server_.Start()) << server_.error();
  }
  void TearDown() override {
    for (Lookup& lookup : lookups_) lookup.resolver.StopThread(CDNSThread::kStopWaitMs);
    ClearMainThreadTasks();
  }

  Lookup& Add(const std::string& host, const std::string& want, const std::string& servers) {
    lookups_.emplace_back();
    Lookup& lookup = lookups_.back();
    lookup.resolver.host = host;
    lookup.resolver.SetServers(servers);
    lookup.resolver.context = &lookup;
    lookup.resolver.callback = [](int elapsed, void* context, const std::string&,
                                  const std::string& addresses) {
      Lookup* l = static_cast<Lookup*>(context);
      ++l->calls;
      l->elapsed = elapsed;
      l->addresses = addresses;
    };
    lookup.want = want;
    return lookup;
  }
  Lookup& Add(const std::string& host, const std::string& want) {
    return Add(host, want, server_.Address());
  }

  // Starts every lookup, then checks that each reported once, as it must.
  void RunAll() {
    for (Lookup& lookup : lookups_) ASSERT_TRUE(lookup.resolver.StartThread());
    ASSERT_TRUE(testing_support::PumpMessagesUntil([&] {
      for (Lookup& lookup : lookups_) {
        if (lookup.calls == 0 || lookup.resolver.IsRunning()) return false;
      }
      return true;
    }));
    testing_support::PumpMessagesFor(50);
    for (const Lookup& lookup : lookups_) {
      SCOPED_TRACE(lookup.resolver.host);
      EXPECT_EQ(lookup.calls, 1);
      EXPECT_EQ(lookup.addresses, lookup.want);
      if (lookup.answered) {
        EXPECT_GE(lookup.elapsed, 0);
        EXPECT_LT(lookup.elapsed, static_cast<int>(CDNSThread::kAnswerWaitMs));
      } else {
        EXPECT_EQ(lookup.elapsed, -1);
      }
    }
  }

  testing_support::TestDnsServer server_;
  std::deque<Lookup> lookups_;
};

TEST_F(DnsResolver, AnswersFailuresAndServersThatCannotBeAsked) {
  ASSERT_TRUE(server_.Answer(DnsScript("many.test").A("10.0.0.7").A("10.0.0.8").A("1.2.3.255")));
  ASSERT_TRUE(server_.Answer(DnsScript("alias.test").Cname("edge.cdn.example").A("10.1.0.1")));
  ASSERT_TRUE(server_.Answer(DnsScript("onlyalias.test").Cname("edge.cdn.example")));
  // Copies with another identifier are someone else's answers: the wait goes on for ours.
  ASSERT_TRUE(server_.Answer(DnsScript("wrongid.test").WrongIdFirst(3).A("10.0.0.7")));
  Add("many.test", "10.0.0.7;10.0.0.8;1.2.3.255");
  Add("alias.test", "10.1.0.1");
  Add("onlyalias.test", "");
  Add("wrongid.test", "10.0.0.7");

  // A truncated answer, an error code, an answer without records, one that cannot be
  // parsed: that server has failed, and the next one is asked.
  const std::string unparsable = "0000818000010001000000000264" "6c0000010001" "c0ff";
  const DnsScript failures[] = {
      DnsScript("truncated.test").Times(1).Truncated().A("10.6.6.6"),
      DnsScript("rcode.test").Times(1).Rcode(2),
      DnsScript("empty.test").Times(1),
      DnsScript("unparsable.test").Times(1).RawReply(unparsable),
  };
  for (const DnsScript& failure : failures) ASSERT_TRUE(server_.Answer(failure));
  for (const char* host : {"truncated.test", "rcode.test", "empty.test", "unparsable.test"}) {
    ASSERT_TRUE(server_.Answer(DnsScript(host).A("10.0.0.7")));
    Add(host, "10.0.0.7", server_.Address() + ";" + server_.Address());
  }

  // A port where nobody listens, which the system reports on the next read, does not keep
  // the next server from answering; a silent server is given up.
  uint16_t closed = 0;
  { ScopedSocket gone = testing_support::BindLoopback(SOCK_DGRAM, &closed); }
  ASSERT_TRUE(server_.Answer(DnsScript("closed.test").A("10.0.0.7")));
  Add("closed.test", "10.0.0.7", "127.0.0.1:" + std::to_string(closed) + ";" + server_.Address());
  ASSERT_TRUE(server_.Answer(DnsScript("silent.test").Silent()));
  Add("silent.test", "").answered = false;
  // Names that do not fit a query, and a list without a usable server, ask nobody.
  std::string tooLong;  // six labels of 50: 307 bytes encoded, the limit is 255
  for (int i = 0; i < 6; ++i) tooLong += std::string(50, 'a') + ".";
  for (const std::string& host : {std::string(".."), std::string(64, 'a') + ".test", tooLong}) {
    Add(host, "").answered = false;
  }
  Add("many.test", "", "not-an-address; ;").answered = false;
  ASSERT_NO_FATAL_FAILURE(RunAll());
  // One query for each name answered at once, two for each that failed first, one silent.
  EXPECT_EQ(server_.Queries().size(), 4u + 2 * 4 + 1 + 1);
}

// The answer must come from the server that was asked: a forged one from another port of the
// same machine, even with the right identifier, is ignored.
TEST_F(DnsResolver, AnswersFromAnotherAddressAreIgnored) {
  uint16_t serverPort = 0, forgerPort = 0;
  ScopedSocket server = testing_support::BindLoopback(SOCK_DGRAM, &serverPort);
  ScopedSocket forger = testing_support::BindLoopback(SOCK_DGRAM, &forgerPort);
  const DWORD limitMs = 20000;
  ::setsockopt(server.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limitMs),
               sizeof(limitMs));
  std::thread fake([&] {
    char query[dns::kAnswerBufferSize];
    sockaddr_in client = {};
    int clientSize = sizeof(client);
    const int size = ::recvfrom(server.get(), query, sizeof(query), 0,
                                reinterpret_cast<sockaddr*>(&client), &clientSize);
    if (size < 12) return;
    for (const char last : {'\x42', '\x07'}) {
      std::string reply(query, static_cast<size_t>(size));
      reply[2] = '\x81';
      reply[3] = '\x80';
      reply[7] = 1;
      reply += std::string("\xc0\x0c\0\x01\0\x01\0\0\0\x3c\0\x04\x0a\0\0", 15) + last;
      const SOCKET from = last == '\x42' ? forger.get() : server.get();
      ::sendto(from, reply.data(), static_cast<int>(reply.size()), 0,
               reinterpret_cast<sockaddr*>(&client), clientSize);
      ::Sleep(200);
    }
  });
  Add("dl.kelto.test", "10.0.0.7", "127.0.0.1:" + std::to_string(serverPort));
  RunAll();
  fake.join();
}

}  // namespace
