#include "http/DnsPacket.h"

#include <cstdio>

namespace dns {

namespace {

constexpr size_t kHeaderSize = 12;
constexpr uint16_t kQueryFlags = 0x0100;      // recursion desired
constexpr uint16_t kAnswerFlagMask = 0xFB7F;  // all but authoritative and recursion available
constexpr uint16_t kAnswerFlags = 0x8100;     // a response to a standard query, RD, no error
constexpr uint16_t kClassIn = 1;

void PutBig16(std::vector<uint8_t>* out, uint16_t value) {
  out->push_back(static_cast<uint8_t>(value >> 8));
  out->push_back(static_cast<uint8_t>(value & 0xFF));
}

uint16_t Big16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

// A cursor over the packet that refuses to move past its end.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size, size_t offset)
      : data_(data), size_(size), offset_(offset) {}

  bool Skip(size_t count) {
    if (count > size_ - offset_) return false;
    offset_ += count;
    return true;
  }
  bool Read16(uint16_t* value) {
    if (size_ - offset_ < 2) return false;
    *value = Big16(data_ + offset_);
    offset_ += 2;
    return true;
  }
  bool Name(std::string* name) { return DecodeName(data_, size_, &offset_, name); }
  size_t offset() const { return offset_; }
  const uint8_t* here() const { return data_ + offset_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t offset_;
};

}  // namespace

QueryError BuildQuery(const std::string& host, uint16_t identifier, std::vector<uint8_t>* query) {
  query->clear();
  // Pass 1: the name, label by label, leaving out empty ones.
  std::vector<uint8_t> name;
  size_t start = 0;
  while (start <= host.size()) {
    size_t dot = host.find('.', start);
    if (dot == std::string::npos) dot = host.size();
    const size_t length = dot - start;
    if (length > kMaxLabel) return QueryError::kLabelTooLong;
    if (length > 0) {
      if (name.size() + 1 + length + 1 > kMaxEncodedName) return QueryError::kNameTooLong;
      name.push_back(static_cast<uint8_t>(length));
      name.insert(name.end(), host.begin() + start, host.begin() + dot);
    }
    start = dot + 1;
  }
  if (name.empty()) return QueryError::kEmptyName;
  name.push_back(0);

  // Pass 2: header, name, type and class.
  query->reserve(kHeaderSize + name.size() + 4);
  query->push_back(static_cast<uint8_t>(identifier & 0xFF));
  query->push_back(static_cast<uint8_t>(identifier >> 8));
  PutBig16(query, kQueryFlags);
  PutBig16(query, 1);  // one question
  for (int i = 0; i < 3; ++i) PutBig16(query, 0);
  query->insert(query->end(), name.begin(), name.end());
  PutBig16(query, kTypeA);
  PutBig16(query, kClassIn);
  return QueryError::kNone;
}

AnswerCheck CheckAnswer(const uint8_t* data, size_t size, uint16_t identifier) {
  if (size < kHeaderSize) return AnswerCheck::kTooShort;
  if (data[0] != (identifier & 0xFF) || data[1] != (identifier >> 8)) {
    return AnswerCheck::kWrongIdentifier;
  }
  if ((Big16(data + 2) & kAnswerFlagMask) != kAnswerFlags) return AnswerCheck::kBadFlags;
  if (Big16(data + 6) == 0) return AnswerCheck::kNoAnswers;
  return AnswerCheck::kAccepted;
}

bool DecodeName(const uint8_t* data, size_t size, size_t* offset, std::string* name) {
  name->clear();
  size_t at = *offset;
  size_t resume = 0;  // where the caller's cursor goes; set at the first pointer
  bool jumped = false;
  int jumps = 0;
  for (;;) {
    if (at >= size) return false;
    const uint8_t length = data[at];
    if (length & 0xC0) {
      if (size - at < 2) return false;
      if (++jumps > kMaxPointerJumps) return false;
      if (!jumped) {
        resume = at + 2;
        jumped = true;
      }
      at = Big16(data + at) & 0x3FFF;
      continue;
    }
    ++at;
    if (length == 0) break;
    if (length > size - at) return false;
    // Each label is followed by a "." in the text; the last one becomes the terminator.
    if (name->size() + length + 1 > kMaxDecodedName + 1) return false;
    name->append(reinterpret_cast<const char*>(data + at), length);
    name->push_back('.');
    at += length;
  }
  if (!name->empty()) name->pop_back();
  *offset = jumped ? resume : at;
  return true;
}

bool ParseAnswer(const uint8_t* data, size_t size, bool collectAliases, DnsAnswer* answer) {
  answer->addresses.clear();
  answer->aliases.clear();
  if (size < kHeaderSize) return false;
  const uint16_t questions = Big16(data + 4);
  const uint16_t records = Big16(data + 6);
  Reader reader(data, size, kHeaderSize);
  std::string name;

  // Pass 1: the question section, each a name with its type and class.
  for (uint16_t i = 0; i < questions; ++i) {
    if (!reader.Name(&name) || !reader.Skip(4)) return false;
  }

  // Pass 2: the answer records.
  for (uint16_t i = 0; i < records; ++i) {
    uint16_t type = 0, klass = 0, ttlHigh = 0, ttlLow = 0, dataLength = 0;
    if (!reader.Name(&name) || !reader.Read16(&type) || !reader.Read16(&klass) ||
        !reader.Read16(&ttlHigh) || !reader.Read16(&ttlLow) || !reader.Read16(&dataLength)) {
      return false;
    }
    const size_t dataStart = reader.offset();
    if (dataLength > size - dataStart) return false;
    if (type == kTypeA) {
      if (dataLength != 4) return false;
      const uint8_t* p = reader.here();
      answer->addresses.push_back(Ipv4Address{{p[0], p[1], p[2], p[3]}});
    } else if (type == kTypeCname) {
      size_t at = dataStart;
      std::string alias;
      if (!DecodeName(data, size, &at, &alias) || at - dataStart > dataLength) return false;
      if (collectAliases) answer->aliases.push_back(alias);
    }
    reader.Skip(dataLength);
  }
  return true;
}

std::string FormatAddresses(const std::vector<Ipv4Address>& addresses) {
  std::string text;
  for (const Ipv4Address& a : addresses) {
    char one[16];
    std::snprintf(one, sizeof(one), "%d.%d.%d.%d", a.bytes[0], a.bytes[1], a.bytes[2],
                  a.bytes[3]);
    if (!text.empty()) text += ';';
    text += one;
  }
  return text;
}

}  // namespace dns
