#include "http/DownloadRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/SpeedSamples.h"

namespace {

using download_rules::ResumeAction;
using Urls = std::vector<std::wstring>;

TEST(DownloadUrls, PrimaryFirstThenBackupsInOrder) {
  EXPECT_EQ(download_rules::MakeUrlList(L"http://m1/p;http://m2/p", L"http://a/p"),
            (Urls{L"http://a/p", L"http://m1/p", L"http://m2/p"}));
  // Copies of the primary address and pieces too short to be an address go.
  EXPECT_EQ(download_rules::MakeUrlList(L"http://a/p;;x;http://m/p;http://a/p;", L"http://a/p"),
            (Urls{L"http://a/p", L"http://m/p"}));
  EXPECT_EQ(download_rules::MakeUrlList(L"", L"http://a/p"), (Urls{L"http://a/p"}));
}

// Without a primary address no empty address is tried first, and a trailing ";" adds none.
TEST(DownloadUrls, NoPrimaryAddress) {
  EXPECT_EQ(download_rules::MakeUrlList(L"http://m1/p;", L""), (Urls{L"http://m1/p"}));
  EXPECT_TRUE(download_rules::MakeUrlList(L"", L"").empty());
  EXPECT_TRUE(download_rules::MakeUrlList(L";;ab;", L"").empty());
}

TEST(DownloadResume, WhereTheNextRunStarts) {
  const uint64_t expected = 1000;
  struct Case {
    int64_t size;
    uint64_t expected;
    ResumeAction action;
    uint64_t offset;
  } cases[] = {
      {-1, expected, ResumeAction::kFromStart, 0},
      {0, expected, ResumeAction::kFromStart, 0},
      {400, expected, ResumeAction::kContinue, 400},
      {999, expected, ResumeAction::kContinue, 999},
      {1000, expected, ResumeAction::kComplete, 1000},
      {1001, expected, ResumeAction::kRestartTooLarge, 0},
      // Without an expected size a partial file cannot be trusted: it starts over.
      {400, 0, ResumeAction::kWholeFileUnknownSize, 0},
      {-1, 0, ResumeAction::kWholeFileUnknownSize, 0},
      // Packages beyond 4 GiB continue at their true offset.
      {5000000000LL, 6000000000ULL, ResumeAction::kContinue, 5000000000ULL},
  };
  for (const Case& c : cases) {
    const download_rules::ResumePlan plan = download_rules::PlanResume(c.size, c.expected);
    EXPECT_EQ(plan.action, c.action) << c.size << " of " << c.expected;
    EXPECT_EQ(plan.offset, c.offset) << c.size << " of " << c.expected;
  }
}

TEST(DownloadContentLength, OnlyPlainDecimalNumbers) {
  uint64_t length = 7;
  ASSERT_TRUE(download_rules::ParseContentLength(L"100000", &length));
  EXPECT_EQ(length, 100000u);
  ASSERT_TRUE(download_rules::ParseContentLength(L" 0 ", &length));
  EXPECT_EQ(length, 0u);
  ASSERT_TRUE(download_rules::ParseContentLength(L"6000000000", &length));
  EXPECT_EQ(length, 6000000000ULL);
  length = 7;
  for (const wchar_t* text :
       {L"", L"-5", L"+5", L"12 34", L"12abc", L"0x10", L"99999999999999999999", L"1,5"}) {
    EXPECT_FALSE(download_rules::ParseContentLength(text, &length)) << text;
    EXPECT_EQ(length, 7u);
  }
}

TEST(DownloadHosts, HostOfAnAddress) {
  EXPECT_EQ(download_rules::HostOfUrl(L"http://dl.kelto.com/pkg/qv.exe"), L"dl.kelto.com");
  EXPECT_EQ(download_rules::HostOfUrl(L"http://dl.kelto.com:8080/qv.exe"), L"dl.kelto.com");
  EXPECT_EQ(download_rules::HostOfUrl(L"https://user:pw@cdn-1.kelto_x.net?x=1"),
            L"cdn-1.kelto_x.net");
  EXPECT_EQ(download_rules::HostOfUrl(L"dl.kelto.com/qv.exe"), L"dl.kelto.com");
  EXPECT_EQ(download_rules::HostOfUrl(L"http://127.0.0.1:18601/a"), L"127.0.0.1");
  // "://" in the query belongs to the query.
  EXPECT_EQ(download_rules::HostOfUrl(L"dl.kelto.com/get?from=http://other/"), L"dl.kelto.com");
  for (const wchar_t* url : {L"", L"http://", L"http:///qv.exe", L"http://:80/x",
                             L"http://[::1]:80/x", L"http://下载.kelto.com/x", L"/qv.exe"}) {
    EXPECT_EQ(download_rules::HostOfUrl(url), L"") << url;
  }
}

TEST(DownloadHosts, OnlyTheHostIsReplaced) {
  EXPECT_EQ(download_rules::ReplaceUrlHost(
                L"http://dl.kelto.com:8080/dl.kelto.com/qv.exe?h=dl.kelto.com", L"10.0.0.7"),
            L"http://10.0.0.7:8080/dl.kelto.com/qv.exe?h=dl.kelto.com");
  EXPECT_EQ(download_rules::ReplaceUrlHost(L"http://u@dl-cdn.kelto.com/x", L"1.2.3.4"),
            L"http://u@1.2.3.4/x");
  EXPECT_EQ(download_rules::ReplaceUrlHost(L"http://kelto.com", L"1.2.3.4"), L"http://1.2.3.4");
  EXPECT_EQ(download_rules::ReplaceUrlHost(L"http://[::1]/x", L"1.2.3.4"), L"");
}

TEST(DownloadHosts, ResolvedAddressesAreDottedIpv4Only) {
  EXPECT_EQ(download_rules::ResolvedAddresses(L"10.0.0.7;192.0.2.8;1.2.3.4"),
            (Urls{L"10.0.0.7", L"192.0.2.8", L"1.2.3.4"}));
  EXPECT_EQ(download_rules::ResolvedAddresses(L";10.0.0.7;;bad;1.2.3;300.1.1.1;１.2.3.4;9.9.9.9"),
            (Urls{L"10.0.0.7", L"9.9.9.9"}));
  EXPECT_TRUE(download_rules::ResolvedAddresses(L"").empty());
}

TEST(DownloadSpeed, TenSampleAverage) {
  CSpeedSamples speed;
  EXPECT_EQ(speed.BytesPerSecond(), 0u);
  // Over the first seconds the sum is still divided by ten.
  speed.Add(1000);
  EXPECT_EQ(speed.BytesPerSecond(), 100u);
  speed.Add(1009);
  EXPECT_EQ(speed.BytesPerSecond(), 200u);  // 2009 / 10
  for (int i = 0; i < 8; ++i) speed.Add(1000);
  EXPECT_EQ(speed.size(), 10u);
  EXPECT_EQ(speed.BytesPerSecond(), 1000u);  // 10009 / 10
  // The eleventh sample pushes the first one out.
  speed.Add(2000);
  EXPECT_EQ(speed.size(), 10u);
  EXPECT_EQ(speed.BytesPerSecond(), 1100u);  // (10009 - 1000 + 2000) / 10
  for (int i = 0; i < 10; ++i) speed.Add(0xFFFFFFFFu);
  EXPECT_EQ(speed.BytesPerSecond(), 0xFFFFFFFFu);  // no overflow of the sum
  speed.Clear();
  EXPECT_EQ(speed.BytesPerSecond(), 0u);
}

}  // namespace
