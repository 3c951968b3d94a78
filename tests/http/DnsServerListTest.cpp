#include "http/DnsServerList.h"

#include <gtest/gtest.h>

#include <string>

#include "DeploymentConfig.h"

namespace {

std::string Bytes(const dns::ServerAddress& server) {
  return std::to_string(server.bytes[0]) + "." + std::to_string(server.bytes[1]) + "." +
         std::to_string(server.bytes[2]) + "." + std::to_string(server.bytes[3]);
}

TEST(DnsServerList, EntriesWithAndWithoutPortInOrder) {
  const dns::ServerList list =
      dns::ParseServerList("198.51.100.14;203.0.113.5:5353; 192.0.2.8 ;127.0.0.1:18653");
  ASSERT_EQ(list.servers.size(), 4u);
  EXPECT_TRUE(list.rejected.empty());
  EXPECT_EQ(Bytes(list.servers[0]), "198.51.100.14");
  EXPECT_EQ(list.servers[0].port, 53);
  EXPECT_EQ(Bytes(list.servers[1]), "203.0.113.5");
  EXPECT_EQ(list.servers[1].port, 5353);
  EXPECT_EQ(Bytes(list.servers[2]), "192.0.2.8");
  EXPECT_EQ(list.servers[3].ToString(), "127.0.0.1:18653");
  EXPECT_TRUE(list.servers[3].IsLoopback());
  EXPECT_FALSE(list.servers[2].IsLoopback());
}

TEST(DnsServerList, EmptyEntriesAreSkippedBadOnesHandedBack) {
  EXPECT_TRUE(dns::ParseServerList("").servers.empty());
  EXPECT_TRUE(dns::ParseServerList(" ; ;").rejected.empty());

  const dns::ServerList list = dns::ParseServerList(
      "1.2.3.4;;dns.example;1.2.3;1.2.3.4.5;1.2.3.256;1.2.3.4:0;1.2.3.4:65536;1.2.3.4:;"
      "1.2.3.4:53x;-1.2.3.4;1.2.3.4:65535;");
  ASSERT_EQ(list.servers.size(), 2u);
  EXPECT_EQ(list.servers[0].ToString(), "1.2.3.4:53");
  EXPECT_EQ(list.servers[1].ToString(), "1.2.3.4:65535");
  const std::vector<std::string> rejected = {"dns.example", "1.2.3",       "1.2.3.4.5",
                                             "1.2.3.256",   "1.2.3.4:0",   "1.2.3.4:65536",
                                             "1.2.3.4:",    "1.2.3.4:53x", "-1.2.3.4"};
  EXPECT_EQ(list.rejected, rejected);
}

TEST(DnsServerList, DottedAddresses) {
  uint8_t bytes[4] = {};
  ASSERT_TRUE(dns::ParseIpv4("192.0.2.8", bytes));
  EXPECT_EQ(bytes[0], 192);
  EXPECT_EQ(bytes[3], 8);
  ASSERT_TRUE(dns::ParseIpv4("255.0.10.1", bytes));
  EXPECT_EQ(bytes[0], 255);
  EXPECT_EQ(bytes[2], 10);
  EXPECT_TRUE(dns::ParseIpv4("0.0.0.0"));
  for (const char* text : {"", "8.8.8", "192.0.2.8.", ".8.8.8", "8..8.8", "1.2.3.4x", " 1.2.3.4",
                           "1.2.3.1000", "1.2.3.+4", "a.b.c.d", "1.2.3.4:53"}) {
    EXPECT_FALSE(dns::ParseIpv4(text)) << text;
  }
}

// Whatever this build's deployment setting says, every entry must be usable; and unless a
// release build replaced it, every entry is on loopback, so no test can reach the public
// servers.
TEST(DnsServerList, DeploymentSettingOfThisBuild) {
  const dns::ServerList list = dns::ParseServerList(deployment::kDnsServers);
  EXPECT_TRUE(list.rejected.empty()) << list.rejected.front();
  ASSERT_FALSE(list.servers.empty());
  for (const dns::ServerAddress& server : list.servers) {
    EXPECT_TRUE(server.IsLoopback()) << server.ToString();
  }
}

}  // namespace
