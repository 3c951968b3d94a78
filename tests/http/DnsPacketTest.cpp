// The resolver's packets: what it sends, which datagrams it takes for its answer, and that no
// reply, however malformed, is read past its end (AddressSanitizer watches the native run).
#include "http/DnsPacket.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Label(const std::string& s) {
  Bytes out = {static_cast<uint8_t>(s.size())};
  out.insert(out.end(), s.begin(), s.end());
  return out;
}

Bytes Header(uint16_t flags, uint16_t answers) {
  return {0x34, 0x12, uint8_t(flags >> 8), uint8_t(flags), 0, 1, 0, uint8_t(answers), 0, 0, 0, 0};
}

// One resource record of class IN, TTL 60.
Bytes Record(const Bytes& owner, uint16_t type, const Bytes& data) {
  return Concat({owner, {0, uint8_t(type), 0, 1, 0, 0, 0, 60, 0, uint8_t(data.size())}, data});
}

const Bytes kQuestion = Concat({Label("dl"), Label("kelto"), Label("com"), {0, 0, 1, 0, 1}});
const Bytes kToQuestion = {0xC0, 0x0C};

// dl.kelto.com as public resolvers answer it: a CNAME "cdn" + a pointer to "kelto.com", then
// two addresses owned by that alias.
Bytes CdnAnswer() {
  const Bytes toAlias = {0xC0, uint8_t(12 + kQuestion.size() + 12)};
  return Concat({Header(0x8180, 3), kQuestion,
                 Record(kToQuestion, dns::kTypeCname, Concat({Label("cdn"), {0xC0, 0x0F}})),
                 Record(toAlias, dns::kTypeA, {10, 0, 0, 7}),
                 Record(toAlias, dns::kTypeA, {192, 168, 200, 255})});
}

// Parsed from a heap block of exactly the packet's size, so a read past it is caught.
bool Parse(const Bytes& packet, dns::DnsAnswer* answer) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[std::max<size_t>(packet.size(), 1)]);
  std::copy(packet.begin(), packet.end(), exact.get());
  return dns::ParseAnswer(exact.get(), packet.size(), true, answer);
}

TEST(DnsQuery, BytesAndNamesThatCannotBeAsked) {
  Bytes query, dotted;
  ASSERT_EQ(dns::BuildQuery("dl.kelto.com", 0x1234, &query), dns::QueryError::kNone);
  EXPECT_EQ(query, Concat({{0x34, 0x12, 0x01, 0x00, 0, 1, 0, 0, 0, 0, 0, 0}, kQuestion}));
  ASSERT_EQ(dns::BuildQuery(".dl..kelto.com.", 0x1234, &dotted), dns::QueryError::kNone);
  EXPECT_EQ(dotted, query);

  const std::string label63(63, 'a');
  EXPECT_EQ(dns::BuildQuery("..", 1, &query), dns::QueryError::kEmptyName);
  EXPECT_EQ(dns::BuildQuery(label63 + "a.com", 1, &query), dns::QueryError::kLabelTooLong);
  EXPECT_TRUE(query.empty());
  // 3 x (1 + 63) + (1 + 61) + 1 = 255 bytes: the longest name there is.
  const std::string longest = label63 + "." + label63 + "." + label63 + "." + std::string(61, 'c');
  ASSERT_EQ(dns::BuildQuery(longest, 1, &query), dns::QueryError::kNone);
  EXPECT_EQ(query.size(), dns::kQueryBufferSize);
  EXPECT_EQ(dns::BuildQuery(longest + "c", 1, &query), dns::QueryError::kNameTooLong);
}

TEST(DnsAnswer, OnlyTheAnswerToOurQueryIsTaken) {
  auto check = [](const Bytes& packet) {
    return dns::CheckAnswer(packet.data(), packet.size(), 0x1234);
  };
  EXPECT_EQ(check(CdnAnswer()), dns::AnswerCheck::kAccepted);
  EXPECT_EQ(check(Concat({Header(0x8500, 1), kQuestion})), dns::AnswerCheck::kAccepted);
  EXPECT_EQ(check(Bytes(11, 0)), dns::AnswerCheck::kTooShort);
  Bytes otherId = CdnAnswer();
  std::swap(otherId[0], otherId[1]);
  EXPECT_EQ(check(otherId), dns::AnswerCheck::kWrongIdentifier);
  // A query, truncated, name error, server failure, another opcode, no recursion, reserved.
  for (uint16_t flags : {0x0100, 0x8380, 0x8183, 0x8182, 0x8980, 0x8080, 0x81C0}) {
    EXPECT_EQ(check(Concat({Header(flags, 1), kQuestion})), dns::AnswerCheck::kBadFlags) << flags;
  }
  EXPECT_EQ(check(Concat({Header(0x8180, 0), kQuestion})), dns::AnswerCheck::kNoAnswers);
}

TEST(DnsAnswer, AddressesAliasesAndMalformedRecords) {
  dns::DnsAnswer answer;
  ASSERT_TRUE(Parse(CdnAnswer(), &answer));
  EXPECT_EQ(dns::FormatAddresses(answer.addresses), "10.0.0.7;192.168.200.255");
  EXPECT_EQ(answer.aliases, std::vector<std::string>{"cdn.kelto.com"});
  const Bytes full = CdnAnswer();
  for (size_t cut = 0; cut < full.size(); ++cut) {
    EXPECT_FALSE(Parse(Bytes(full.begin(), full.begin() + cut), &answer)) << "cut at " << cut;
  }
  const Bytes a = Record(kToQuestion, dns::kTypeA, {1, 2, 3, 4});
  EXPECT_FALSE(Parse(Concat({Header(0x8180, 2), kQuestion, a}), &answer));
  EXPECT_FALSE(Parse(Concat({Header(0x8180, 1), kQuestion,
                             Record(kToQuestion, dns::kTypeA, {1, 2, 3, 4, 5})}),
                     &answer));
  // A CNAME whose name runs on past its data length.
  EXPECT_FALSE(Parse(Concat({Header(0x8180, 1), kQuestion,
                             Record(kToQuestion, dns::kTypeCname, {3, 'a', 'b'}), {'c', 0}}),
                     &answer));
}

TEST(DnsAnswer, NamesThatLoopOverrunOrGrowTooLong) {
  std::string name;
  auto decodes = [&name](const Bytes& packet, size_t at) {
    return dns::DecodeName(packet.data(), packet.size(), &at, &name);
  };
  const Bytes resumed = Concat({Label("kelto"), {0}, Label("dl"), {0xC0, 0x00}, Label("x"), {0}});
  size_t offset = 7;
  ASSERT_TRUE(dns::DecodeName(resumed.data(), resumed.size(), &offset, &name));
  EXPECT_EQ(name, "dl.kelto");
  EXPECT_EQ(offset, 12u);  // past the pointer, not past the name it points at
  EXPECT_FALSE(decodes({0xC0, 0x00}, 0));
  EXPECT_FALSE(decodes({0xC0, 0x02, 0xC0, 0x00}, 0));
  EXPECT_FALSE(decodes({0xC0, 0x40}, 0));
  EXPECT_FALSE(decodes({0xC0}, 0));
  EXPECT_FALSE(decodes({5, 'a', 'b'}, 0));
  EXPECT_FALSE(decodes(Label("abc"), 0));
  const Bytes label63 = Label(std::string(63, 'a'));
  EXPECT_TRUE(decodes(Concat({label63, label63, {0}}), 0));  // 127 characters
  EXPECT_FALSE(decodes(Concat({label63, label63, Label("b"), {0}}), 0));
}

}  // namespace
