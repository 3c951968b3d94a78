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
  Bytes out(s.size() + 1);
  out[0] = static_cast<uint8_t>(s.size());
  std::copy(s.begin(), s.end(), out.begin() + 1);
  return out;
}

Bytes Header(uint8_t id0, uint8_t id1, uint16_t flags, uint16_t questions, uint16_t answers) {
  return {id0, id1, uint8_t(flags >> 8), uint8_t(flags), uint8_t(questions >> 8),
          uint8_t(questions), uint8_t(answers >> 8), uint8_t(answers), 0, 0, 0, 0};
}

// One resource record: owner name bytes, type, class IN, TTL 60, data.
Bytes Record(const Bytes& owner, uint16_t type, const Bytes& data) {
  Bytes fixed = {uint8_t(type >> 8), uint8_t(type), 0, 1, 0, 0, 0, 60,
                 uint8_t(data.size() >> 8), uint8_t(data.size())};
  return Concat({owner, fixed, data});
}

const Bytes kQuestionName = Concat({Label("dl"), Label("kelto"), Label("com"), {0}});
const Bytes kQuestion = Concat({kQuestionName, {0, 1, 0, 1}});
const Bytes kPointerToQuestion = {0xC0, 0x0C};

// The answer a public resolver gives for dl.kelto.com: a CNAME, then two addresses owned by
// the alias, which points back into the question for its suffix.
Bytes CdnAnswer() {
  const Bytes alias = Concat({Label("cdn"), {0xC0, 0x0F}});  // "cdn" + "kelto.com"
  const size_t aliasOffset = 12 + kQuestion.size() + 2 + 10;
  const Bytes pointerToAlias = {0xC0, uint8_t(aliasOffset)};
  return Concat({Header(0x34, 0x12, 0x8180, 1, 3), kQuestion,
                 Record(kPointerToQuestion, dns::kTypeCname, alias),
                 Record(pointerToAlias, dns::kTypeA, {10, 0, 0, 7}),
                 Record(pointerToAlias, dns::kTypeA, {192, 168, 200, 255})});
}

// The packet in a heap block of exactly its size, so that AddressSanitizer catches a read
// one byte past the end.
bool Parse(const Bytes& packet, dns::DnsAnswer* answer, bool aliases = true) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[packet.size() ? packet.size() : 1]);
  std::copy(packet.begin(), packet.end(), exact.get());
  return dns::ParseAnswer(exact.get(), packet.size(), aliases, answer);
}

TEST(DnsQuery, EncodesHeaderNameTypeAndClassWithTheIdentifierLittleEndian) {
  Bytes query;
  ASSERT_EQ(dns::BuildQuery("dl.kelto.com", 0x1234, &query), dns::QueryError::kNone);
  const Bytes expected = Concat({{0x34, 0x12, 0x01, 0x00, 0, 1, 0, 0, 0, 0, 0, 0}, kQuestion});
  EXPECT_EQ(query, expected);
  EXPECT_EQ(query.size(), 12u + 14u + 4u);
}

TEST(DnsQuery, LeavesOutEmptyLabels) {
  Bytes plain, doubled, dotted;
  ASSERT_EQ(dns::BuildQuery("dl.kelto.com", 7, &plain), dns::QueryError::kNone);
  ASSERT_EQ(dns::BuildQuery("dl..kelto.com", 7, &doubled), dns::QueryError::kNone);
  ASSERT_EQ(dns::BuildQuery(".dl.kelto...com.", 7, &dotted), dns::QueryError::kNone);
  EXPECT_EQ(doubled, plain);
  EXPECT_EQ(dotted, plain);
}

TEST(DnsQuery, RefusesNamesThatDoNotFitTheQuery) {
  Bytes query = {1, 2, 3};
  EXPECT_EQ(dns::BuildQuery("", 1, &query), dns::QueryError::kEmptyName);
  EXPECT_TRUE(query.empty());
  EXPECT_EQ(dns::BuildQuery("..", 1, &query), dns::QueryError::kEmptyName);

  const std::string label63(63, 'a'), label64(64, 'b');
  EXPECT_EQ(dns::BuildQuery(label63 + ".com", 1, &query), dns::QueryError::kNone);
  EXPECT_EQ(dns::BuildQuery(label64 + ".com", 1, &query), dns::QueryError::kLabelTooLong);
  EXPECT_TRUE(query.empty());

  // 3 x (1 + 63) + (1 + 61) + 1 = 255 bytes: the largest name the buffer holds.
  const std::string longest = label63 + "." + label63 + "." + label63 + "." + std::string(61, 'c');
  ASSERT_EQ(dns::BuildQuery(longest, 1, &query), dns::QueryError::kNone);
  EXPECT_EQ(query.size(), dns::kQueryBufferSize);
  EXPECT_EQ(dns::BuildQuery(longest + "c", 1, &query), dns::QueryError::kNameTooLong);
  EXPECT_EQ(dns::BuildQuery(longest + ".x", 1, &query), dns::QueryError::kNameTooLong);
  EXPECT_EQ(dns::BuildQuery(std::string(100000, '.') + "x", 1, &query), dns::QueryError::kNone);
}

TEST(DnsAnswerCheck, AcceptsOnlyTheAnswerToOurQuery) {
  auto check = [](const Bytes& packet) {
    return dns::CheckAnswer(packet.data(), packet.size(), 0x1234);
  };
  EXPECT_EQ(check(CdnAnswer()), dns::AnswerCheck::kAccepted);
  // Authoritative-answer and recursion-available bits do not matter.
  EXPECT_EQ(check(Concat({Header(0x34, 0x12, 0x8500, 1, 1), kQuestion})),
            dns::AnswerCheck::kAccepted);
  EXPECT_EQ(check(Concat({Header(0x34, 0x12, 0x8100, 1, 1), kQuestion})),
            dns::AnswerCheck::kAccepted);

  EXPECT_EQ(check(Bytes(11, 0)), dns::AnswerCheck::kTooShort);
  // The identifier in network order is a different identifier.
  EXPECT_EQ(check(Concat({Header(0x12, 0x34, 0x8180, 1, 1), kQuestion})),
            dns::AnswerCheck::kWrongIdentifier);
  const uint16_t refused[] = {
      0x0100,  // a query, not a response
      0x8380,  // truncated
      0x8183,  // name error
      0x8182,  // server failure
      0x8980,  // another opcode
      0x8080,  // recursion not desired
      0x81C0,  // a reserved bit set
  };
  for (uint16_t flags : refused) {
    EXPECT_EQ(check(Concat({Header(0x34, 0x12, flags, 1, 1), kQuestion})),
              dns::AnswerCheck::kBadFlags)
        << std::hex << flags;
  }
  EXPECT_EQ(check(Concat({Header(0x34, 0x12, 0x8180, 1, 0), kQuestion})),
            dns::AnswerCheck::kNoAnswers);
}

TEST(DnsAnswerParse, CollectsAddressesInOrderAndDecodesAliases) {
  dns::DnsAnswer answer;
  ASSERT_TRUE(Parse(CdnAnswer(), &answer));
  EXPECT_EQ(dns::FormatAddresses(answer.addresses), "10.0.0.7;192.168.200.255");
  ASSERT_EQ(answer.aliases.size(), 1u);
  EXPECT_EQ(answer.aliases[0], "cdn.kelto.com");

  ASSERT_TRUE(Parse(CdnAnswer(), &answer, /*aliases=*/false));
  EXPECT_EQ(answer.addresses.size(), 2u);
  EXPECT_TRUE(answer.aliases.empty());
}

TEST(DnsAnswerParse, SkipsOtherRecordTypesAndExtraQuestions) {
  const Bytes ipv6(16, 0xAB);
  const Bytes packet = Concat({Header(1, 0, 0x8180, 2, 3), kQuestion, kQuestion,
                               Record(kPointerToQuestion, 28, ipv6),
                               Record(kPointerToQuestion, dns::kTypeA, {1, 2, 3, 4}),
                               Record(kQuestionName, 16, Concat({Label("v=1")}))});
  dns::DnsAnswer answer;
  ASSERT_TRUE(Parse(packet, &answer));
  EXPECT_EQ(dns::FormatAddresses(answer.addresses), "1.2.3.4");
}

TEST(DnsAnswerParse, AnAnswerOfAliasesOnlyHasNoAddresses) {
  const Bytes packet = Concat({Header(1, 0, 0x8180, 1, 1), kQuestion,
                               Record(kPointerToQuestion, dns::kTypeCname,
                                      Concat({Label("edge"), Label("example"), {0}}))});
  dns::DnsAnswer answer;
  ASSERT_TRUE(Parse(packet, &answer));
  EXPECT_EQ(dns::FormatAddresses(answer.addresses), "");
  EXPECT_EQ(answer.aliases, std::vector<std::string>{"edge.example"});
}

TEST(DnsAnswerParse, RefusesMalformedRecords) {
  dns::DnsAnswer answer;
  // An A record whose data is not 4 bytes.
  EXPECT_FALSE(Parse(Concat({Header(1, 0, 0x8180, 1, 1), kQuestion,
                             Record(kPointerToQuestion, dns::kTypeA, {1, 2, 3, 4, 5})}),
                     &answer));
  // More records announced than present.
  EXPECT_FALSE(Parse(Concat({Header(1, 0, 0x8180, 1, 2), kQuestion,
                             Record(kPointerToQuestion, dns::kTypeA, {1, 2, 3, 4})}),
                     &answer));
  // A data length reaching past the end.
  Bytes longData = Concat({Header(1, 0, 0x8180, 1, 1), kQuestion,
                           Record(kPointerToQuestion, dns::kTypeA, {1, 2, 3, 4})});
  longData[longData.size() - 5] = 200;
  EXPECT_FALSE(Parse(longData, &answer));
  // A CNAME whose name runs on past its data length.
  EXPECT_FALSE(Parse(Concat({Header(1, 0, 0x8180, 1, 1), kQuestion,
                             Record(kPointerToQuestion, dns::kTypeCname, {3, 'a', 'b'}),
                             {'c', 0, 0, 0}}),
                     &answer));
}

TEST(DnsAnswerParse, EveryTruncationOfAValidAnswerIsRefusedWithoutReadingPastIt) {
  const Bytes full = CdnAnswer();
  dns::DnsAnswer answer;
  for (size_t cut = 0; cut < full.size(); ++cut) {
    EXPECT_FALSE(Parse(Bytes(full.begin(), full.begin() + cut), &answer)) << "cut at " << cut;
  }
  EXPECT_TRUE(Parse(full, &answer));
}

TEST(DnsNameDecoding, FollowsPointersAndResumesAfterThem) {
  // "kelto.com" at 0, then "dl" + pointer to 0 at 11, then "x" at 16.
  const Bytes packet = Concat({Label("kelto"), Label("com"), {0}, Label("dl"), {0xC0, 0x00},
                               Label("x"), {0}});
  size_t offset = 11;
  std::string name;
  ASSERT_TRUE(dns::DecodeName(packet.data(), packet.size(), &offset, &name));
  EXPECT_EQ(name, "dl.kelto.com");
  EXPECT_EQ(offset, 16u);  // past the pointer, not past the name it points at
  ASSERT_TRUE(dns::DecodeName(packet.data(), packet.size(), &offset, &name));
  EXPECT_EQ(name, "x");
  EXPECT_EQ(offset, packet.size());

  // Either top bit marks a pointer: 0x40 and 0x80 prefixes point as 0xC0 does.
  for (uint8_t high : {0x40, 0x80}) {
    const Bytes odd = Concat({Label("a"), {0}, {high, 0x00}});
    offset = 3;
    ASSERT_TRUE(dns::DecodeName(odd.data(), odd.size(), &offset, &name));
    EXPECT_EQ(name, "a");
  }

  const Bytes root = {0};
  offset = 0;
  ASSERT_TRUE(dns::DecodeName(root.data(), root.size(), &offset, &name));
  EXPECT_EQ(name, "");
  EXPECT_EQ(offset, 1u);
}

TEST(DnsNameDecoding, RefusesLoopsOverrunsAndOverlongNames) {
  std::string name;
  auto decodes = [&name](const Bytes& packet, size_t at) {
    size_t offset = at;
    return dns::DecodeName(packet.data(), packet.size(), &offset, &name);
  };
  EXPECT_FALSE(decodes({0xC0, 0x00}, 0));                            // points at itself
  EXPECT_FALSE(decodes({0xC0, 0x02, 0xC0, 0x00}, 0));                // two pointers in a ring
  EXPECT_FALSE(decodes(Concat({Label("ab"), {0xC0, 0x00}}), 0));     // a label and a ring
  EXPECT_FALSE(decodes({0xC0, 0x40}, 0));                            // points past the end
  EXPECT_FALSE(decodes({0xC0}, 0));                                  // half a pointer
  EXPECT_FALSE(decodes({5, 'a', 'b'}, 0));                           // label past the end
  EXPECT_FALSE(decodes(Label("abc"), 0));                            // no final zero
  EXPECT_FALSE(decodes({}, 0));

  // 127 characters is the most a name may decode to.
  const Bytes label63 = Label(std::string(63, 'a'));
  const Bytes fits = Concat({label63, label63, {0}});  // 63 + 1 + 63 = 127
  ASSERT_TRUE(decodes(fits, 0));
  EXPECT_EQ(name.size(), 127u);
  EXPECT_FALSE(decodes(Concat({label63, label63, Label("b"), {0}}), 0));  // 129
}

TEST(DnsAddresses, FormatsBytesAsUnsignedDecimalJoinedBySemicolons) {
  EXPECT_EQ(dns::FormatAddresses({}), "");
  EXPECT_EQ(dns::FormatAddresses({{{0, 0, 0, 0}}, {{255, 255, 255, 255}}, {{1, 22, 133, 4}}}),
            "0.0.0.0;255.255.255.255;1.22.133.4");
}

// A query as built, answered by echoing its header and question the way servers do, parses
// back to the addresses put in.
TEST(DnsRoundTrip, AnswerToABuiltQueryIsAcceptedAndParsed) {
  Bytes query;
  ASSERT_EQ(dns::BuildQuery("update.kelto.com", 0xBEEF, &query), dns::QueryError::kNone);
  Bytes reply = query;
  reply[2] = 0x81;
  reply[3] = 0x80;
  reply[7] = 2;
  reply = Concat({reply, Record(kPointerToQuestion, dns::kTypeA, {192, 0, 2, 44}),
                  Record(kPointerToQuestion, dns::kTypeA, {198, 51, 100, 14})});
  ASSERT_EQ(dns::CheckAnswer(reply.data(), reply.size(), 0xBEEF), dns::AnswerCheck::kAccepted);
  EXPECT_EQ(dns::CheckAnswer(reply.data(), reply.size(), 0xEFBE),
            dns::AnswerCheck::kWrongIdentifier);
  dns::DnsAnswer answer;
  ASSERT_TRUE(Parse(reply, &answer));
  EXPECT_EQ(dns::FormatAddresses(answer.addresses), "192.0.2.44;198.51.100.14");
}

}  // namespace
