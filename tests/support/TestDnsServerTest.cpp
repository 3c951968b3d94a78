// The fake DNS server's promises, checked with the resolver's own packet codec over real UDP:
// scripted answers, wrong identifiers, truncation, error codes, silence and hostile replies.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/DnsPacket.h"
#include "support/TestDnsServer.h"
#include "support/TestHttpClient.h"

namespace testing_support {
namespace {

class DnsServer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Start()) << server_.error(); }

  bool Answer(const DnsScript& script) {
    const bool added = server_.Answer(script);
    EXPECT_TRUE(added) << server_.error();
    return added;
  }

  // Sends the resolver's query for `host` and collects every datagram that arrives until
  // `quietMs` pass without one.
  std::vector<std::string> Ask(const std::string& host, uint16_t identifier = 0x1234,
                               uint32_t quietMs = 700) {
    EnsureWinsock();
    std::vector<std::string> replies;
    std::vector<uint8_t> query;
    EXPECT_EQ(dns::BuildQuery(host, identifier, &query), dns::QueryError::kNone);
    ScopedSocket s(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    EXPECT_TRUE(s.valid());
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(server_.port());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::sendto(s.get(), reinterpret_cast<const char*>(query.data()),
                       static_cast<int>(query.size()), 0, reinterpret_cast<sockaddr*>(&to),
                       sizeof(to)),
              static_cast<int>(query.size()));
    for (;;) {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(s.get(), &readable);
      timeval tv = {0, static_cast<long>(quietMs * 1000)};
      if (::select(0, &readable, nullptr, nullptr, &tv) != 1) break;
      char buffer[dns::kAnswerBufferSize];
      const int n = ::recv(s.get(), buffer, sizeof(buffer), 0);
      if (n <= 0) break;
      replies.emplace_back(buffer, static_cast<size_t>(n));
    }
    return replies;
  }

  static dns::AnswerCheck Check(const std::string& reply, uint16_t identifier = 0x1234) {
    return dns::CheckAnswer(reinterpret_cast<const uint8_t*>(reply.data()), reply.size(),
                            identifier);
  }

  static bool Parse(const std::string& reply, dns::DnsAnswer* answer) {
    return dns::ParseAnswer(reinterpret_cast<const uint8_t*>(reply.data()), reply.size(), true,
                            answer);
  }

  TestDnsServer server_;
};

TEST_F(DnsServer, AnswersScriptedAliasAndAddressesInOrder) {
  ASSERT_TRUE(Answer(DnsScript("dl.kelto.com").Cname("cdn.kelto.net").A("10.0.0.7").A("10.0.0.8")));
  const std::vector<std::string> replies = Ask("dl.kelto.com");
  ASSERT_EQ(replies.size(), 1u);
  ASSERT_EQ(Check(replies[0]), dns::AnswerCheck::kAccepted);
  dns::DnsAnswer answer;
  ASSERT_TRUE(Parse(replies[0], &answer));
  EXPECT_EQ(dns::FormatAddresses(answer.addresses), "10.0.0.7;10.0.0.8");
  EXPECT_EQ(answer.aliases, std::vector<std::string>{"cdn.kelto.net"});

  // Names compare without regard to case; owner names written in full parse the same.
  ASSERT_TRUE(Answer(DnsScript("full.kelto.com").NoCompression().A("1.2.3.4")));
  const std::vector<std::string> full = Ask("FULL.Kelto.com");
  ASSERT_EQ(full.size(), 1u);
  ASSERT_TRUE(Parse(full[0], &answer));
  EXPECT_EQ(dns::FormatAddresses(answer.addresses), "1.2.3.4");
}

TEST_F(DnsServer, LogsTheQueryAsSent) {
  ASSERT_TRUE(Answer(DnsScript("*").A("127.0.0.2")));
  Ask("a..b.example", 0xA1B2);
  const std::vector<LoggedDnsQuery> log = server_.Queries();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].id, "b2a1") << "the identifier travels little-endian";
  EXPECT_EQ(log[0].flags, 0x0100);
  EXPECT_EQ(log[0].qdcount, 1);
  EXPECT_EQ(log[0].name, "a.b.example");
  EXPECT_EQ(log[0].qtype, 1);
  EXPECT_EQ(log[0].qclass, 1);
  EXPECT_EQ(log[0].raw, "b2a10100000100000000000001610162076578616d706c650000010001");
  EXPECT_EQ(log[0].action, "answer");
  EXPECT_EQ(log[0].script, 0);
}

TEST_F(DnsServer, UnscriptedNamesGetNameError) {
  const std::vector<std::string> replies = Ask("nowhere.example");
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(Check(replies[0]), dns::AnswerCheck::kBadFlags);
  EXPECT_EQ(static_cast<uint8_t>(replies[0][3]) & 0x0F, 3);
  EXPECT_EQ(server_.Queries().at(0).action, "nxdomain");
}

TEST_F(DnsServer, WrongIdentifiersComeFirstThenTheAnswer) {
  ASSERT_TRUE(Answer(DnsScript("dl.kelto.com").WrongIdFirst(2).A("10.1.1.1")));
  const std::vector<std::string> replies = Ask("dl.kelto.com");
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(Check(replies[0]), dns::AnswerCheck::kWrongIdentifier);
  EXPECT_EQ(Check(replies[1]), dns::AnswerCheck::kWrongIdentifier);
  EXPECT_EQ(Check(replies[2]), dns::AnswerCheck::kAccepted);

  ASSERT_TRUE(Answer(DnsScript("only-wrong.kelto.com").WrongIdFirst(1).Silent().A("10.1.1.1")));
  const std::vector<std::string> wrong = Ask("only-wrong.kelto.com");
  ASSERT_EQ(wrong.size(), 1u);
  EXPECT_EQ(Check(wrong[0]), dns::AnswerCheck::kWrongIdentifier);
}

TEST_F(DnsServer, TruncationErrorCodesEmptyAnswersAndSilence) {
  ASSERT_TRUE(Answer(DnsScript("tc.example").Truncated().A("10.0.0.1")));
  ASSERT_TRUE(Answer(DnsScript("fail.example").Rcode(2)));
  ASSERT_TRUE(Answer(DnsScript("empty.example")));
  ASSERT_TRUE(Answer(DnsScript("quiet.example").Silent().A("10.0.0.1")));

  std::vector<std::string> r = Ask("tc.example");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(Check(r[0]), dns::AnswerCheck::kBadFlags);
  EXPECT_EQ(static_cast<uint8_t>(r[0][2]) & 0x02, 0x02);
  r = Ask("fail.example");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(Check(r[0]), dns::AnswerCheck::kBadFlags);
  r = Ask("empty.example");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(Check(r[0]), dns::AnswerCheck::kNoAnswers);
  EXPECT_TRUE(Ask("quiet.example").empty());
  EXPECT_EQ(server_.Queries().at(3).action, "silent");
}

TEST_F(DnsServer, ScriptsTakeTurnsBySkipAndTimes) {
  ASSERT_TRUE(Answer(DnsScript("dl.kelto.com").Times(1).Rcode(2)));
  ASSERT_TRUE(Answer(DnsScript("dl.kelto.com").A("10.9.9.9")));
  std::vector<std::string> r = Ask("dl.kelto.com");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(Check(r[0]), dns::AnswerCheck::kBadFlags);
  r = Ask("dl.kelto.com");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(Check(r[0]), dns::AnswerCheck::kAccepted);

  ASSERT_TRUE(server_.Reset());
  EXPECT_TRUE(server_.Queries().empty());
  EXPECT_EQ(Check(Ask("dl.kelto.com").at(0)), dns::AnswerCheck::kBadFlags) << "scripts cleared";
}

TEST_F(DnsServer, DelaysAnAnswerWhenAsked) {
  ASSERT_TRUE(Answer(DnsScript("slow.example").DelayMs(400).A("10.0.0.3")));
  const DWORD start = ::GetTickCount();
  const std::vector<std::string> r = Ask("slow.example", 0x1234, 1500);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_GE(::GetTickCount() - start, 350u);
  EXPECT_EQ(Check(r[0]), dns::AnswerCheck::kAccepted);
}

TEST_F(DnsServer, RawRepliesCarryHostilePacketsToTheParser) {
  // A valid header and question, then an answer whose owner name points at itself.
  const std::string loop = "0000818000010001000000000378797a0000010001c015";
  ASSERT_TRUE(Answer(DnsScript("xyz").RawReply(loop)));
  const std::vector<std::string> r = Ask("xyz");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].substr(0, 2), std::string("\x34\x12", 2)) << "the query's identifier is put in";
  EXPECT_EQ(Check(r[0]), dns::AnswerCheck::kAccepted);
  dns::DnsAnswer answer;
  EXPECT_FALSE(Parse(r[0], &answer));

  ASSERT_TRUE(Answer(DnsScript("keep").RawReply("beef8180", true)));
  const std::vector<std::string> kept = Ask("keep");
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0], std::string("\xbe\xef\x81\x80", 4));
  EXPECT_EQ(Check(kept[0]), dns::AnswerCheck::kTooShort);
}

TEST_F(DnsServer, RefusesMalformedScriptsWithAReason) {
  EXPECT_FALSE(server_.Answer(DnsScript("x").A("1.2")));
  EXPECT_NE(server_.error().find("1.2"), std::string::npos) << server_.error();
  EXPECT_FALSE(server_.Answer(DnsScript("x").Record(16, "x", "zz")));
  EXPECT_FALSE(server_.Answer(DnsScript("x").Cname(std::string(64, 'a') + ".com")));
  EXPECT_EQ(Ask("x").size(), 1u);
  EXPECT_EQ(server_.Queries().at(0).action, "nxdomain") << "nothing of the refused scripts stayed";
}

}  // namespace
}  // namespace testing_support
