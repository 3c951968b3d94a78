// The DNS fallback resolver's server list: the deployment setting's text ("a.b.c.d" or
// "a.b.c.d:port" entries separated by ";") read into addresses, and the dotted IPv4 form that
// the resolver's answers and the download's address texts use.
//
// Contract: pure functions of their arguments, callable from any thread, no platform calls;
// nothing throws (allocation failure aside). Bad entries are never guessed at: they are
// handed back in `rejected`, word for word, so the caller can report them, and the entries
// around them still count.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dns {

constexpr uint16_t kDnsPort = 53;

struct ServerAddress {
  uint8_t bytes[4] = {0, 0, 0, 0};  // in the order written
  uint16_t port = kDnsPort;

  // "a.b.c.d:port".
  std::string ToString() const;
  bool IsLoopback() const { return bytes[0] == 127; }
};

struct ServerList {
  std::vector<ServerAddress> servers;  // in the order written
  std::vector<std::string> rejected;   // entries that are not an address with a valid port
};

// Reads the ";"-separated list. Blanks around entries are ignored and empty entries (a
// trailing ";") skipped. Each entry is four decimal numbers 0..255 joined by "." and,
// optionally, ":" and a port 1..65535.
ServerList ParseServerList(const std::string& text);

// Whether `text` is exactly a dotted IPv4 address ("192.0.2.8", not "8.8.8", "1.2.3.256",
// " 1.2.3.4" or "1.2.3.4x"); its bytes go to `bytes` when given.
bool ParseIpv4(const std::string& text, uint8_t* bytes = nullptr);

}  // namespace dns
