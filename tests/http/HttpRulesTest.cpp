// The engine's platform-free rules where a plain reading of the protocol goes wrong: hosts of
// download addresses, Content-Length, 64-bit offsets, the resolver's server list, header
// lines, web pages where files are expected, and the memory a command's answer may take.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DeploymentConfig.h"
#include "http/BufferStream.h"
#include "http/DnsServerList.h"
#include "http/DownloadRules.h"
#include "http/HttpText.h"
#include "http/SpeedSamples.h"
#include "http/WebPageCheck.h"

namespace {

using namespace download_rules;
using Urls = std::vector<std::wstring>;

TEST(DownloadRules, AddressesHostsAndResolvedAddresses) {
  // Copies of the primary address and pieces too short to be an address go.
  EXPECT_EQ(MakeUrlList(L"http://a/p;;x;http://m/p;http://a/p;", L"http://a/p"),
            (Urls{L"http://a/p", L"http://m/p"}));
  EXPECT_EQ(MakeUrlList(L"http://m/p;", L""), Urls{L"http://m/p"});
  // The host is the authority's, without user or port; "-" and "_" belong to it.
  EXPECT_EQ(HostOfUrl(L"https://u:pw@dl-cdn.kelto_x.net:8080?x=1"), L"dl-cdn.kelto_x.net");
  EXPECT_EQ(HostOfUrl(L"dl.kelto.com/get?from=http://other/"), L"dl.kelto.com");
  for (const wchar_t* url : {L"http://", L"http://:80/x", L"http://[::1]/x", L"http://下载.com/"}) {
    EXPECT_EQ(HostOfUrl(url), L"") << url;
  }
  // Only the host is replaced, not the same text in the path or the query.
  EXPECT_EQ(ReplaceUrlHost(L"http://dl.kelto.com:8080/dl.kelto.com/q?h=dl.kelto.com", L"10.0.0.7"),
            L"http://10.0.0.7:8080/dl.kelto.com/q?h=dl.kelto.com");
  EXPECT_EQ(ReplaceUrlHost(L"http://u@dl-cdn.kelto.com/x", L"1.2.3.4"), L"http://u@1.2.3.4/x");
  // Every dotted address is taken, short ones too.
  EXPECT_EQ(ResolvedAddresses(L";10.0.0.7;;bad;1.2.3;300.1.1.1;１.2.3.4;9.9.9.9"),
            (Urls{L"10.0.0.7", L"9.9.9.9"}));
}

TEST(DownloadRules, LengthsOffsetsAndSpeed) {
  uint64_t length = 7;
  ASSERT_TRUE(ParseContentLength(L" 6000000000 ", &length));
  EXPECT_EQ(length, 6000000000ULL);
  for (const wchar_t* text : {L"", L"-5", L"+5", L"12 34", L"12abc", L"0x10", L"1,5",
                              L"99999999999999999999"}) {
    EXPECT_FALSE(ParseContentLength(text, &length)) << text;
  }
  EXPECT_EQ(length, 6000000000ULL);
  // Packages beyond 4 GiB continue at their true offset.
  const ResumePlan plan = PlanResume(5000000000LL, 6000000000ULL);
  EXPECT_EQ(plan.action, ResumeAction::kContinue);
  EXPECT_EQ(http_text::RangeFrom(plan.offset), "5000000000-");
  // Fewer than ten seconds so far are still divided by ten; the eleventh pushes out the first.
  CSpeedSamples speed;
  speed.Add(1009);
  EXPECT_EQ(speed.BytesPerSecond(), 100u);
  for (int i = 0; i < 10; ++i) speed.Add(0xFFFFFFFFu);
  EXPECT_EQ(speed.BytesPerSecond(), 0xFFFFFFFFu);
}

TEST(DnsServerList, EntriesPortsRejectsAndThisBuildsSetting) {
  const dns::ServerList list = dns::ParseServerList(
      " 198.51.100.14;203.0.113.5:5353; ;1.2.3;1.2.3.256;1.2.3.4:0;1.2.3.4:65536;1.2.3.4:53x;");
  ASSERT_EQ(list.servers.size(), 2u);
  EXPECT_EQ(list.servers[0].ToString(), "198.51.100.14:53");
  EXPECT_EQ(list.servers[1].ToString(), "203.0.113.5:5353");
  EXPECT_EQ(list.rejected, (std::vector<std::string>{"1.2.3", "1.2.3.256", "1.2.3.4:0",
                                                     "1.2.3.4:65536", "1.2.3.4:53x"}));
  // Unless a release build replaced it, every server is on loopback: no test can reach the
  // public ones.
  const dns::ServerList deployed = dns::ParseServerList(deployment::kDnsServers);
  EXPECT_TRUE(deployed.rejected.empty());
  ASSERT_FALSE(deployed.servers.empty());
  for (const dns::ServerAddress& server : deployed.servers) {
    EXPECT_TRUE(server.IsLoopback()) << server.ToString();
  }
}

TEST(HttpText, HeaderLinesNamesAndExcerpts) {
  std::string name, value;
  const std::string field = "Location:  http://127.0.0.1:8080/a \r\n";
  ASSERT_EQ(http_text::ParseHeaderLine(field.data(), field.size(), &name, &value),
            http_text::HeaderLine::kField);
  EXPECT_EQ(name + "|" + value, "Location|http://127.0.0.1:8080/a");
  EXPECT_EQ(http_text::ParseHeaderLine(": x\r\n", 5, &name, &value),
            http_text::HeaderLine::kIgnored);
  // Every answer of a redirect chain opens with a status line, and nothing else does.
  EXPECT_TRUE(http_text::IsStatusLine("HTTP/1.1 302 Found\r\n", 20));
  EXPECT_FALSE(http_text::IsStatusLine("Content-Length: 5\r\n", 19));
  EXPECT_TRUE(http_text::SameHeaderName(L"Content-Length", L"content-LENGTH"));
  EXPECT_FALSE(http_text::SameHeaderName(L"Content_Length", L"Content-Length"));
  // An https request is redirected to https only.
  EXPECT_STREQ(http_text::RedirectProtocols("HTTPS://localhost/x"), "https");
  EXPECT_STREQ(http_text::RedirectProtocols("http://127.0.0.1/x"), "http,https");
  EXPECT_EQ(http_text::UrlHost("https://u:pw@Update.Example.com:443/x"), "Update.Example.com");
  // An error page's excerpt leaves out a character cut at its end, not stray bytes.
  EXPECT_EQ(http_text::WithoutCutUtf8Sequence("a\xe7\xbd\x91", 3), 1u);
  EXPECT_EQ(http_text::WithoutCutUtf8Sequence("a\xf0\x9f\x98\x80", 4), 1u);
  EXPECT_EQ(http_text::WithoutCutUtf8Sequence("a\x80\x80\x80\x80", 5), 5u);
}

TEST(WebPageCheck, PagesByTheirTypeOrTheirFirstBytes) {
  using web_page::Verdict;
  auto judge = [](const std::string& bytes) {
    return web_page::JudgeBodyStart(bytes.data(), bytes.size());
  };
  EXPECT_TRUE(web_page::IsPageType(L"  Text/HTML ;charset=gb2312"));
  EXPECT_TRUE(web_page::IsPageType(L"application/xhtml+xml"));
  EXPECT_FALSE(web_page::IsPageType(L"text/htmlx"));
  EXPECT_EQ(judge("\xef\xbb\xbf\r\n <!-- WISPr -->"), Verdict::kPage);
  EXPECT_EQ(judge("<?xml version=\"1.0\"?>"), Verdict::kPage);
  EXPECT_EQ(judge(std::string("MZ\x90\0", 4)), Verdict::kNotPage);
  EXPECT_EQ(judge("\xef\xbb\xbf[Install]"), Verdict::kNotPage);
  EXPECT_EQ(judge("< html"), Verdict::kNotPage);
  EXPECT_EQ(judge("\xef\xbb<html>"), Verdict::kNotPage);
  EXPECT_EQ(judge("\xef\xbb\xbf \r\n<"), Verdict::kNeedMore);
  // Past the limit, white space alone is no page: nothing is held for ever.
  EXPECT_EQ(judge(std::string(web_page::kSniffLimit - 1, ' ')), Verdict::kNeedMore);
  EXPECT_EQ(judge(std::string(web_page::kSniffLimit, ' ')), Verdict::kNotPage);
}

// A server that never stops sending cannot make a command take all the memory there is,
// nor a length that passes 4 GiB with what came before wrap round to a small one.
TEST(OBufferStream, RefusesABodyBeyondItsLimit) {
  OBufferStream out(3u << 20);
  const std::string piece(1u << 20, 'p');
  for (int i = 0; i < 3; ++i) ASSERT_EQ(out.Write(piece.data(), 1u << 20), 1 << 20);
  EXPECT_EQ(out.Write("y", 1), -1);
  EXPECT_EQ(out.errorKind, 1);
  EXPECT_EQ(out.errorCode, OBufferStream::kOutOfMemoryError);
  EXPECT_EQ(out.size(), 3u << 20);
  OBufferStream fresh;
  ASSERT_EQ(fresh.Write("x", 1), 1);
  EXPECT_EQ(fresh.Write("y", 0xFFFFFFFFu), -1);
  EXPECT_EQ(fresh.size(), 1u);
}

}  // namespace
