// The engine's platform-free rules where a plain reading goes wrong: hosts of download
// addresses, Content-Length, 64-bit offsets, header names, error page excerpts, the memory a
// command's answer may take, the player's proxy settings; the resolver's servers of this build.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DeploymentConfig.h"
#include "http/BufferStream.h"
#include "http/DnsServerList.h"
#include "http/DownloadRules.h"
#include "http/HttpText.h"
#include "http/ProxyRules.h"
#include "http/RangePlan.h"

namespace {

using namespace download_rules;
using namespace proxy_rules;
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
// What one stream goes on from must be written without a gap: a finished range behind an
// unfinished one does not count, nor one behind a hole.
TEST(RangePlan, TheGapFreeStartAndTheSplit) {
  using range_plan::Range;
  EXPECT_EQ(range_plan::ContiguousPrefix({{5, 9, 9}, {0, 5, 5}, {9, 12, 20}, {20, 30, 30}}), 12u);
  EXPECT_EQ(range_plan::ContiguousPrefix({{0, 4, 4}, {6, 8, 8}}), 4u);
  const uint64_t mib = range_plan::kMinSplit;
  const std::vector<Range> ranges = range_plan::Split(mib, 10 * mib + 3, 4);
  ASSERT_EQ(ranges.size(), 9u);
  EXPECT_EQ(ranges.front().begin, mib);
  EXPECT_EQ(ranges.back().end, 10 * mib + 3);
  for (size_t n = 1; n < ranges.size(); ++n) EXPECT_EQ(ranges[n].begin, ranges[n - 1].end);
  // Front-first chunks: a package in ranges no longer than kMaxChunk, and never so many that
  // the record grows past a few pages.
  EXPECT_EQ(range_plan::Split(0, 1024 * mib, 4).size(), 64u);
  EXPECT_EQ(range_plan::Split(0, 64 * 1024 * mib, 4).size(), range_plan::kMaxChunks);
  // Too few bytes to be worth more connections.
  EXPECT_EQ(range_plan::Split(0, mib + 1, 8).size(), 1u);
  EXPECT_TRUE(range_plan::Split(5, 5, 4).empty());
}

TEST(DnsServerList, ThisBuildsSettingIsOnLoopback) {
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

// Windows' proxy settings turned into one request's proxy, in the cases the system proxy's
// test under Wine does not reach: bypass entries as Windows reads them (libcurl's own bypass
// matching differs, which is why the engine never hands it a list), per-scheme and SOCKS
// entries, malformed lists, and the order of precedence.
TEST(ProxyRules, ListsEntriesAndBypassesAsWindowsReadsThem) {
  EXPECT_EQ(OriginOf(L"http://host:99999/").port, 80) << "no port of that size";
  EXPECT_EQ(ProxyFor(L"HTTP=a.corp:81 https=b.corp:82", L"https"), L"http://b.corp:82");
  EXPECT_EQ(ProxyFor(L"ftp=f:21;socks=c.corp", L"http"), L"socks4://c.corp:1080");
  // Entries that name no host, or no scheme before "://", are skipped.
  EXPECT_EQ(ProxyFor(L"=;http=;:80;://p:8;1x://p:8;q", L"http"), L"http://q:80");
  const std::wstring list = L"*.kelto.local; 192.168.* ;<local>;http://intra.corp:8080;Exact.Host";
  for (const wchar_t* url : {L"http://cdn.kelto.local/p", L"http://192.168.1.20/p", L"http://fs/p",
                             L"http://intra.corp:8080/", L"https://exact.host/"}) {
    EXPECT_TRUE(Bypasses(list, OriginOf(url))) << url;
  }
  for (const wchar_t* url : {L"http://kelto.local/p", L"http://10.192.168.1/p", L"http://[::1]/p",
                             L"http://intra.corp.x:8080/", L"https://intra.corp:8080/",
                             L"http://intra.corp/", L"https://www.exact.host/"}) {
    EXPECT_FALSE(Bypasses(list, OriginOf(url))) << url;
  }
}

TEST(ProxyRules, DetectionThenScriptThenFixedProxyThenNone) {
  Settings settings{true, L"http://wpad.corp/proxy.pac", L"fixed:3128", L"*.corp"};
  const ScriptAnswer none, detected{true, L"detected:8080", L""};
  const ScriptAnswer configured{true, L"configured:8080", L""};
  const std::wstring url = L"http://update.kelto.com/qvinstall.txt";
  EXPECT_EQ(Decide(settings, detected, configured, url).proxy, L"http://detected:8080");
  EXPECT_EQ(Decide(settings, none, configured, url).proxy, L"http://configured:8080");
  // The fixed proxy's bypass list does not apply to what a script decides.
  EXPECT_EQ(Decide(settings, none, configured, L"http://files.corp/").proxy,
            L"http://configured:8080");
  EXPECT_EQ(Decide(settings, none, none, L"http://files.corp/").proxy, L"");
  // A script that says DIRECT, or bypasses the host, sends the request straight on.
  EXPECT_EQ(Decide(settings, ScriptAnswer{true, L"", L""}, configured, url).proxy, L"");
  EXPECT_EQ(Decide(settings, ScriptAnswer{true, L"p:1", L"update.kelto.com"}, none, url).proxy,
            L"");
  // Steps that are not set up are passed over, whatever a script would have said.
  EXPECT_EQ(Decide(Settings(), detected, configured, url).source, Source::kDirect);
}

}  // namespace
