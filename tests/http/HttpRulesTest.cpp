// The engine's platform-free rules where a plain reading goes wrong: hosts of download
// addresses, Content-Length, 64-bit offsets, the resolver's server list, header names, error
// page excerpts, and the memory a command's answer may take.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DeploymentConfig.h"
#include "http/BufferStream.h"
#include "http/DnsServerList.h"
#include "http/DownloadRules.h"
#include "http/HttpText.h"

namespace {

using namespace download_rules;
using Urls = std::vector<std::wstring>;

TEST(DownloadRules, AddressesHostsLengthsAndOffsets) {
  // Copies of the primary address and pieces too short to be an address go.
  EXPECT_EQ(MakeUrlList(L"http://a/p;;x;http://m/p;http://a/p;", L"http://a/p"),
            (Urls{L"http://a/p", L"http://m/p"}));
  // The host is the authority's, without user or port; "-" and "_" belong to it.
  EXPECT_EQ(HostOfUrl(L"https://u:pw@dl-cdn.kelto_x.net:8080?x=1"), L"dl-cdn.kelto_x.net");
  EXPECT_EQ(HostOfUrl(L"dl.kelto.com/get?from=http://other/"), L"dl.kelto.com");
  for (const wchar_t* url : {L"http://", L"http://:80/x", L"http://[::1]/x", L"http://下载.com/"}) {
    EXPECT_EQ(HostOfUrl(url), L"") << url;
  }
  // Only the host is replaced, not the same text in the path or the query.
  EXPECT_EQ(ReplaceUrlHost(L"http://u@dl.kelto.com:8080/dl.kelto.com/?h=dl.kelto.com", L"1.2.3.4"),
            L"http://u@1.2.3.4:8080/dl.kelto.com/?h=dl.kelto.com");
  // Every dotted address is taken, short ones too.
  EXPECT_EQ(ResolvedAddresses(L";10.0.0.7;;bad;1.2.3;300.1.1.1;１.2.3.4;9.9.9.9"),
            (Urls{L"10.0.0.7", L"9.9.9.9"}));
  uint64_t length = 7;
  for (const wchar_t* text : {L"", L"-5", L"+5", L"12 34", L"12abc", L"0x10", L"1,5",
                              L"99999999999999999999"}) {
    EXPECT_FALSE(ParseContentLength(text, &length)) << text;
  }
  ASSERT_TRUE(ParseContentLength(L" 6000000000 ", &length));
  EXPECT_EQ(length, 6000000000ULL);
  // Packages beyond 4 GiB continue at their true offset.
  EXPECT_EQ(http_text::RangeFrom(PlanResume(5000000000LL, length).offset), "5000000000-");
}

// Unless a release build replaced the deployment setting, every resolver server is on
// loopback: no test can reach the public ones.
TEST(DnsServerList, PortsRejectsAndThisBuildsSetting) {
  const dns::ServerList list = dns::ParseServerList(" 198.51.100.14;203.0.113.5:5353; ;1.2.3.4:0");
  ASSERT_EQ(list.servers.size(), 2u);
  EXPECT_EQ(list.servers[0].ToString() + " " + list.servers[1].ToString(),
            "198.51.100.14:53 203.0.113.5:5353");
  EXPECT_EQ(list.rejected, std::vector<std::string>{"1.2.3.4:0"});
  const dns::ServerList deployed = dns::ParseServerList(deployment::kDnsServers);
  EXPECT_TRUE(deployed.rejected.empty());
  ASSERT_FALSE(deployed.servers.empty());
  for (const dns::ServerAddress& server : deployed.servers) {
    EXPECT_TRUE(server.IsLoopback()) << server.ToString();
  }
}

TEST(HttpText, HeaderNamesAndExcerpts) {
  EXPECT_TRUE(http_text::SameHeaderName(L"Content-Length", L"content-LENGTH"));
  EXPECT_FALSE(http_text::SameHeaderName(L"Content_Length", L"Content-Length"));
  // An error page's excerpt leaves out a character cut at its end, not stray bytes.
  EXPECT_EQ(http_text::WithoutCutUtf8Sequence("a\xf0\x9f\x98\x80", 4), 1u);
  EXPECT_EQ(http_text::WithoutCutUtf8Sequence("a\x80\x80\x80\x80", 5), 5u);
}

// A server that never stops sending cannot make a command take all the memory there is,
// nor a length that passes 4 GiB with what came before wrap round to a small one.
TEST(OBufferStream, RefusesABodyBeyondItsLimit) {
  OBufferStream out(3u << 20);
  const std::string piece(3u << 20, 'p');
  ASSERT_EQ(out.Write(piece.data(), 3u << 20), 3 << 20);
  EXPECT_EQ(out.Write("y", 1), -1);
  EXPECT_EQ(out.errorKind, 1);
  EXPECT_EQ(out.errorCode, OBufferStream::kOutOfMemoryError);
  OBufferStream fresh;
  ASSERT_EQ(fresh.Write("x", 1), 1);
  EXPECT_EQ(fresh.Write("y", 0xFFFFFFFFu), -1);
  EXPECT_EQ(fresh.size(), 1u);
}

}  // namespace
