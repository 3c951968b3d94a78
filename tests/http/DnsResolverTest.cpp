// The DNS fallback resolver under Wine: its own worker thread, real UDP on 127.0.0.1 against
// the scripted fake DNS server, and its one report posted to this thread, which pumps
// messages as the user-interface thread does. The lookups run side by side, so that the
// time each server is given passes once for all of them.
#include "http/DNSThread.h"

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <thread>

#include "runtime/MainThreadTask.h"
#include "support/MessagePump.h"
#include "support/TestDnsServer.h"
#include "support/TestHttpClient.h"

using testing_support::DnsScript;
using testing_support::ScopedSocket;

namespace {

// One lookup and its report; `want` is "-1" when no server may answer.
struct Lookup {
  CDNSThread resolver;
  std::string want;
  std::string got;
};

class DnsResolver : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitMainThreadTasks());
    ASSERT_TRUE(server_.Start()) << server_.error();
  }
  void TearDown() override {
    lookups_.clear();
    ClearMainThreadTasks();
  }

  void Add(const std::string& host, const std::string& want, const std::string& servers) {
    Lookup& lookup = lookups_.emplace_back();
    lookup.resolver.host = host;
    lookup.resolver.SetServers(servers);
    lookup.resolver.context = &lookup;
    // The elapsed time on the server that answered, within its wait, then the addresses.
    lookup.resolver.callback = [](int elapsed, void* context, const std::string&,
                                  const std::string& addresses) {
      const bool inTime = elapsed >= 0 && elapsed < static_cast<int>(CDNSThread::kAnswerWaitMs);
      static_cast<Lookup*>(context)->got +=
          (elapsed == -1 ? "-1" : inTime ? "" : "late ") + addresses + "|";
    };
    lookup.want = want + "|";
  }

  // Starts every lookup, then checks that each reported once, as it must.
  void RunAll() {
    for (Lookup& lookup : lookups_) ASSERT_TRUE(lookup.resolver.StartThread());
    ASSERT_TRUE(testing_support::PumpMessagesUntil([&] {
      for (Lookup& lookup : lookups_) {
        if (lookup.got.empty() || lookup.resolver.IsRunning()) return false;
      }
      return true;
    }));
    testing_support::PumpMessagesFor(50);
    for (const Lookup& lookup : lookups_) EXPECT_EQ(lookup.got, lookup.want) << lookup.resolver.host;
  }

  testing_support::TestDnsServer server_;
  std::deque<Lookup> lookups_;
};

TEST_F(DnsResolver, AnswersFailuresForgeriesAndNamesThatCannotBeAsked) {
  const std::string one = server_.Address(), two = one + ";" + one;
  ASSERT_TRUE(server_.Answer(DnsScript("cdn.test").Cname("edge.example").A("10.0.0.7").A("1.2.3.255")));
  Add("cdn.test", "10.0.0.7;1.2.3.255", one);
  // Copies with another identifier are someone else's answers: the wait goes on for ours.
  ASSERT_TRUE(server_.Answer(DnsScript("wrongid.test").WrongIdFirst(3).A("10.0.0.7")));
  Add("wrongid.test", "10.0.0.7", one);
  // A truncated answer, an error code, no records, an answer that cannot be parsed: that
  // server has failed, and the next one is asked; so is it after a port where nobody listens
  // (the system reports it on the next read). A silent server is given up.
  const DnsScript failures[] = {
      DnsScript("truncated.test").Times(1).Truncated().A("10.6.6.6"),
      DnsScript("rcode.test").Times(1).Rcode(2),
      DnsScript("empty.test").Times(1),
      DnsScript("bad.test").Times(1).RawReply("00008180000100010000000002646c0000010001c0ff"),
  };
  for (const DnsScript& failure : failures) ASSERT_TRUE(server_.Answer(failure));
  for (const char* host : {"truncated.test", "rcode.test", "empty.test", "bad.test"}) {
    ASSERT_TRUE(server_.Answer(DnsScript(host).A("10.0.0.7")));
    Add(host, "10.0.0.7", two);
  }
  ASSERT_TRUE(server_.Answer(DnsScript("closed.test").A("10.0.0.7")));
  uint16_t closed = 0;
  { ScopedSocket gone = testing_support::BindLoopback(SOCK_DGRAM, &closed); }
  Add("closed.test", "10.0.0.7", "127.0.0.1:" + std::to_string(closed) + ";" + one);
  ASSERT_TRUE(server_.Answer(DnsScript("silent.test").Silent()));
  Add("silent.test", "-1", one);
  // Names that do not fit a query, and a list without a usable server, ask nobody.
  std::string tooLong;  // six labels of 50: 307 bytes encoded, the limit is 255
  for (int i = 0; i < 6; ++i) tooLong += std::string(50, 'a') + ".";
  for (const std::string& host : {std::string(".."), std::string(64, 'a') + ".test", tooLong}) {
    Add(host, "-1", one);
  }
  Add("cdn.test", "-1", "not-an-address; ;");
  // The answer must come from the server that was asked: a forged one from another port of
  // the same machine, even with the right identifier, is ignored.
  uint16_t port = 0, forgerPort = 0;
  ScopedSocket asked = testing_support::BindLoopback(SOCK_DGRAM, &port);
  ScopedSocket forger = testing_support::BindLoopback(SOCK_DGRAM, &forgerPort);
  const DWORD limitMs = 20000;
  ::setsockopt(asked.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limitMs),
               sizeof(limitMs));
  std::thread fake([&] {
    char query[512];
    sockaddr_in client = {};
    int clientSize = sizeof(client);
    const int size = ::recvfrom(asked.get(), query, sizeof(query), 0,
                                reinterpret_cast<sockaddr*>(&client), &clientSize);
    for (const SOCKET from : {forger.get(), asked.get()}) {
      // The query as its answer, with one A record: 10.0.0.66 forged, 10.0.0.7 asked.
      std::string reply = std::string(query, size > 12 ? size : 0) + "\xc0\x0c" +
                          std::string("\0\x01\0\x01\0\0\0\x3c\0\x04\x0a\0\0", 13) +
                          (from == asked.get() ? "\x07" : "\x42");
      reply.replace(2, 6, std::string("\x81\x80\0\x01\0\x01", 6));
      ::sendto(from, reply.data(), static_cast<int>(reply.size()), 0,
               reinterpret_cast<sockaddr*>(&client), clientSize);
      ::Sleep(200);
    }
  });
  Add("forged.test", "10.0.0.7", "127.0.0.1:" + std::to_string(port));
  RunAll();
  fake.join();
  EXPECT_EQ(server_.Queries().size(), 2u + 2 * 4 + 1 + 1);
}

}  // namespace
