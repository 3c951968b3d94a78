#include "http/DnsServerList.h"

#include <cstdio>

namespace dns {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal number of 1 to `maxDigits` digits, no sign, at most `limit`.
bool ParseDecimal(const std::string& text, size_t maxDigits, unsigned limit, unsigned* value) {
  if (text.empty() || text.size() > maxDigits) return false;
  unsigned number = 0;
  for (char c : text) {
    if (!IsDigit(c)) return false;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  if (number > limit) return false;
  *value = number;
  return true;
}

std::string Trim(const std::string& text) {
  const char* const kBlanks = " \t\r\n";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

}  // namespace

std::string ServerAddress::ToString() const {
  char text[32];
  std::snprintf(text, sizeof(text), "%u.%u.%u.%u:%u", bytes[0], bytes[1], bytes[2], bytes[3], port);
  return text;
}

bool ParseIpv4(const std::string& text, uint8_t* bytes) {
  uint8_t parsed[4];
  size_t start = 0;
  for (int part = 0; part < 4; ++part) {
    const size_t dot = part < 3 ? text.find('.', start) : text.size();
    if (dot == std::string::npos) return false;
    unsigned value = 0;
    if (!ParseDecimal(text.substr(start, dot - start), 3, 255, &value)) return false;
    parsed[part] = static_cast<uint8_t>(value);
    start = dot + 1;
  }
  if (bytes) {
    for (int i = 0; i < 4; ++i) bytes[i] = parsed[i];
  }
  return true;
}

ServerList ParseServerList(const std::string& text) {
  ServerList list;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    const std::string entry = Trim(text.substr(start, end - start));
    start = end + 1;
    if (entry.empty()) continue;

    ServerAddress server;
    const size_t colon = entry.find(':');
    unsigned port = kDnsPort;
    const bool portOk = colon == std::string::npos ||
                        (ParseDecimal(entry.substr(colon + 1), 5, 65535, &port) && port != 0);
    if (portOk && ParseIpv4(entry.substr(0, colon), server.bytes)) {
      server.port = static_cast<uint16_t>(port);
      list.servers.push_back(server);
    } else {
      list.rejected.push_back(entry);
    }
  }
  return list;
}

}  // namespace dns
