#include "http/WebPageCheck.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using web_page::JudgeBodyStart;
using web_page::Verdict;

Verdict Judge(const std::string& bytes) { return JudgeBodyStart(bytes.data(), bytes.size()); }

TEST(WebPageCheck, HtmlContentTypesWhateverTheirSpellingAndParameters) {
  EXPECT_TRUE(web_page::IsPageType(L"text/html"));
  EXPECT_TRUE(web_page::IsPageType(L"Text/HTML; charset=gb2312"));
  EXPECT_TRUE(web_page::IsPageType(L"  text/html ;charset=utf-8"));
  EXPECT_TRUE(web_page::IsPageType(L"application/xhtml+xml"));
  EXPECT_FALSE(web_page::IsPageType(L"application/octet-stream"));
  EXPECT_FALSE(web_page::IsPageType(L"application/x-msdownload"));
  EXPECT_FALSE(web_page::IsPageType(L"text/plain; charset=utf-8"));
  EXPECT_FALSE(web_page::IsPageType(L"text/htmlx"));
  EXPECT_FALSE(web_page::IsPageType(L""));
}

TEST(WebPageCheck, MarkupAtTheStartOfABodyIsAPage) {
  EXPECT_EQ(Judge("<!DOCTYPE html>\n<html>"), Verdict::kPage);
  EXPECT_EQ(Judge("<html><head>"), Verdict::kPage);
  EXPECT_EQ(Judge("\r\n \t<HTML>"), Verdict::kPage);
  EXPECT_EQ(Judge("\xef\xbb\xbf<html>"), Verdict::kPage);
  EXPECT_EQ(Judge("<?xml version=\"1.0\"?>"), Verdict::kPage);
  EXPECT_EQ(Judge("<!-- WISPr -->"), Verdict::kPage);
  EXPECT_EQ(Judge("<script>location='http://10.0.0.1/'</script>"), Verdict::kPage);
}

TEST(WebPageCheck, PackagesAndManifestsAreNoPages) {
  EXPECT_EQ(Judge(std::string("MZ\x90\0\x03", 5)), Verdict::kNotPage);
  EXPECT_EQ(Judge("[Install]\r\nUrl=http://x/pkg.exe"), Verdict::kNotPage);
  EXPECT_EQ(Judge("\xef\xbb\xbf[Install]"), Verdict::kNotPage);
  EXPECT_EQ(Judge("  \r\n[Install]"), Verdict::kNotPage);
  // "<" without a tag after it is no markup.
  EXPECT_EQ(Judge("<1>"), Verdict::kNotPage);
  EXPECT_EQ(Judge("< html"), Verdict::kNotPage);
  // A byte-order mark begun but not finished is no mark.
  EXPECT_EQ(Judge("\xef\xbb<html>"), Verdict::kNotPage);
}

// The first bytes can arrive one at a time: what cannot tell yet waits for more.
TEST(WebPageCheck, BytesThatCannotTellYetWaitForMore) {
  EXPECT_EQ(Judge(""), Verdict::kNeedMore);
  EXPECT_EQ(Judge("\xef"), Verdict::kNeedMore);
  EXPECT_EQ(Judge("\xef\xbb\xbf"), Verdict::kNeedMore);
  EXPECT_EQ(Judge(" \r\n"), Verdict::kNeedMore);
  EXPECT_EQ(Judge("  <"), Verdict::kNeedMore);
  EXPECT_EQ(JudgeBodyStart(nullptr, 0), Verdict::kNeedMore);
  // Past the limit, white space alone is no page: nothing is held for ever.
  EXPECT_EQ(Judge(std::string(web_page::kSniffLimit - 1, ' ')), Verdict::kNeedMore);
  EXPECT_EQ(Judge(std::string(web_page::kSniffLimit, ' ')), Verdict::kNotPage);
  EXPECT_EQ(Judge(std::string(web_page::kSniffLimit + 5, '\n') + "<html>"), Verdict::kPage);
}

TEST(WebPageCheck, AWholeAnswerIsAPageByItsTypeOrItsBody) {
  EXPECT_TRUE(web_page::IsPage(L"text/html", "[Install]"));
  EXPECT_TRUE(web_page::IsPage(L"text/plain", "<html>"));
  EXPECT_TRUE(web_page::IsPage(L"", "\n<!doctype html>"));
  EXPECT_FALSE(web_page::IsPage(L"text/plain", "[Install]\nUrl=x"));
  EXPECT_FALSE(web_page::IsPage(L"", ""));
  EXPECT_FALSE(web_page::IsPage(L"", "<"));
}

}  // namespace
