// DnsPacket: the wire format of the DNS fallback resolver: the A query it sends, the test an
// incoming datagram must pass to count as the answer, and the parse of that answer.
//
// Contract: pure functions over caller-owned byte buffers, no platform calls, safe on any
// thread. Every read is bounds-checked against the length given: a short, truncated or
// hostile datagram is refused through the return value, never read past its end; nothing
// throws. Compression pointers are followed at most kMaxPointerJumps times, so a pointer
// loop is refused instead of looping. Names in and out are narrow byte strings, copied
// byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dns {

// The resolver's query buffer: 12 header bytes, the encoded name, 4 bytes of type and class.
constexpr size_t kQueryBufferSize = 271;
constexpr size_t kMaxEncodedName = 255;  // with its final zero byte
constexpr size_t kMaxLabel = 63;         // a longer length byte would read as a pointer
// A decoded name fills at most 128 bytes with its terminator: 127 characters.
constexpr size_t kMaxDecodedName = 127;
constexpr size_t kAnswerBufferSize = 1024;
constexpr int kMaxPointerJumps = 64;
constexpr uint16_t kTypeA = 1;
constexpr uint16_t kTypeCname = 5;

enum class QueryError {
  kNone,
  kEmptyName,     // no label at all ("", ".", "..")
  kLabelTooLong,  // a label of more than 63 bytes
  kNameTooLong,   // the encoded name would exceed 255 bytes
};

// Builds the A/IN query for `host` with recursion desired. The identifier is stored
// little-endian, as the resolver matches it against the same bytes in the answer. Empty
// labels (two dots in a row, a leading or final dot) are left out. On failure `query` is
// cleared and the reason returned.
QueryError BuildQuery(const std::string& host, uint16_t identifier, std::vector<uint8_t>* query);

enum class AnswerCheck {
  kAccepted,
  kTooShort,         // less than a DNS header
  kWrongIdentifier,  // not the answer to our query: keep waiting
  kBadFlags,         // not a response, truncated, an error code, or another opcode
  kNoAnswers,        // answer count 0
};

// Whether a received datagram is the answer to the query with `identifier`: same identifier
// bytes, flags & 0xFB7F == 0x8100, at least one answer record.
AnswerCheck CheckAnswer(const uint8_t* data, size_t size, uint16_t identifier);

struct Ipv4Address {
  uint8_t bytes[4];
};

struct DnsAnswer {
  std::vector<Ipv4Address> addresses;  // A records, in answer order
  std::vector<std::string> aliases;    // CNAME targets, when asked for
};

// Parses an accepted answer: skips the questions, collects A records (their data must be 4
// bytes), decodes CNAME targets (kept only when `collectAliases`), skips other records by
// their length. False, with `answer` holding what was read so far, when any part of the
// packet is malformed or runs past `size`.
bool ParseAnswer(const uint8_t* data, size_t size, bool collectAliases, DnsAnswer* answer);

// Decodes the name at `*offset`, following compression pointers, and moves `*offset` past the
// name as it stands at that place (a pointer ends it after 2 bytes). False when the name runs
// past `size`, loops, or decodes to more than kMaxDecodedName characters.
bool DecodeName(const uint8_t* data, size_t size, size_t* offset, std::string* name);

// "a.b.c.d" for each address, joined with ";"; "" for none.
std::string FormatAddresses(const std::vector<Ipv4Address>& addresses);

}  // namespace dns
