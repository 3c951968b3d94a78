#include "http/HttpText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

TEST(HeaderLines, FieldsEndsAndIgnoredLines) {
  std::string name, value;
  const std::string field = "Content-Length:  1048576 \r\n";
  ASSERT_EQ(http_text::ParseHeaderLine(field.data(), field.size(), &name, &value),
            http_text::HeaderLine::kField);
  EXPECT_EQ(name, "Content-Length");
  EXPECT_EQ(value, "1048576");

  // Only the first ":" splits; the value keeps the others.
  const std::string location = "Location: http://127.0.0.1:8080/a\n";
  ASSERT_EQ(http_text::ParseHeaderLine(location.data(), location.size(), &name, &value),
            http_text::HeaderLine::kField);
  EXPECT_EQ(name, "Location");
  EXPECT_EQ(value, "http://127.0.0.1:8080/a");

  const std::string empty = "X-Empty:\r\n";
  ASSERT_EQ(http_text::ParseHeaderLine(empty.data(), empty.size(), &name, &value),
            http_text::HeaderLine::kField);
  EXPECT_EQ(value, "");

  for (const char* line : {"\r\n", "\n"}) {
    EXPECT_EQ(http_text::ParseHeaderLine(line, std::strlen(line), &name, &value),
              http_text::HeaderLine::kEnd);
  }
  for (const char* line : {"HTTP/1.1 200 OK\r\n", ": no name\r\n", "", "\r"}) {
    EXPECT_EQ(http_text::ParseHeaderLine(line, std::strlen(line), &name, &value),
              http_text::HeaderLine::kIgnored)
        << line;
  }
}

// Every answer of a redirect chain opens with a status line; nothing else does.
TEST(HeaderLines, StatusLines) {
  for (const char* line : {"HTTP/1.1 302 Found\r\n", "HTTP/1.0 200 OK\r\n", "HTTP/2 200\r\n"}) {
    EXPECT_TRUE(http_text::IsStatusLine(line, std::strlen(line))) << line;
  }
  for (const char* line : {"Content-Length: 5\r\n", "\r\n", "HTTP", "http/1.1 200 OK\r\n", ""}) {
    EXPECT_FALSE(http_text::IsStatusLine(line, std::strlen(line))) << line;
  }
  EXPECT_FALSE(http_text::IsStatusLine(nullptr, 10));
}

TEST(HeaderLines, RangesAndNames) {
  EXPECT_EQ(http_text::RangeFrom(0), "0-");
  EXPECT_EQ(http_text::RangeFrom(1024), "1024-");
  // Packages beyond 4 GiB resume at their true offset.
  EXPECT_EQ(http_text::RangeFrom(5000000000ULL), "5000000000-");
  EXPECT_EQ(http_text::RangeFrom(UINT64_MAX), "18446744073709551615-");

  EXPECT_TRUE(http_text::SameHeaderName(L"Content-Length", L"content-length"));
  EXPECT_TRUE(http_text::SameHeaderName(L"ETAG", L"ETag"));
  EXPECT_FALSE(http_text::SameHeaderName(L"Content-Length", L"Content-Length2"));
  EXPECT_FALSE(http_text::SameHeaderName(L"Content_Length", L"Content-Length"));
}

// An error page's excerpt is cut at a byte count; a character cut in two is left out whole.
TEST(ErrorBodyExcerpt, AnUnfinishedUtf8CharacterAtTheEndIsLeftOut) {
  const std::string page = "\xe7\xbd\x91\xe7\xbb\x9c";  // two characters of three bytes
  EXPECT_EQ(http_text::WithoutCutUtf8Sequence(page.data(), 6), 6u);
  EXPECT_EQ(http_text::WithoutCutUtf8Sequence(page.data(), 5), 3u);
  EXPECT_EQ(http_text::WithoutCutUtf8Sequence(page.data(), 4), 3u);
  EXPECT_EQ(http_text::WithoutCutUtf8Sequence(page.data(), 3), 3u);
  EXPECT_EQ(http_text::WithoutCutUtf8Sequence(page.data(), 1), 0u);
  const std::string four = "a\xf0\x9f\x98\x80";  // a character of four bytes
  EXPECT_EQ(http_text::WithoutCutUtf8Sequence(four.data(), 5), 5u);
  EXPECT_EQ(http_text::WithoutCutUtf8Sequence(four.data(), 4), 1u);
  EXPECT_EQ(http_text::WithoutCutUtf8Sequence("<html>", 6), 6u);
  EXPECT_EQ(http_text::WithoutCutUtf8Sequence("", 0), 0u);
  EXPECT_EQ(http_text::WithoutCutUtf8Sequence(nullptr, 4), 0u);
  // Stray continuation bytes are not an unfinished character: they are left for the decoder.
  EXPECT_EQ(http_text::WithoutCutUtf8Sequence("a\x80\x80\x80\x80", 5), 5u);
}

}  // namespace

TEST(UrlTexts, HostsOfAbsoluteUrls) {
  EXPECT_EQ(http_text::UrlHost("https://localhost:18611/qvinstall.txt"), "localhost");
  EXPECT_EQ(http_text::UrlHost("http://cdn.example.com/a?b=c:d"), "cdn.example.com");
  EXPECT_EQ(http_text::UrlHost("https://user:pw@Update.Example.com:443/x"), "Update.Example.com");
  EXPECT_EQ(http_text::UrlHost("http://127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(http_text::UrlHost("http://[::1]:8080/x"), "::1");
  EXPECT_EQ(http_text::UrlHost("http://host#frag"), "host");
  EXPECT_EQ(http_text::UrlHost("http://[::1/x"), "");
  EXPECT_EQ(http_text::UrlHost("localhost/qvinstall.txt"), "");
  EXPECT_EQ(http_text::UrlHost("http:///path"), "");
  EXPECT_EQ(http_text::UrlHost(""), "");
}

// An https request may be redirected to another https address only; plain http requests may
// move up to https.
TEST(UrlTexts, RedirectsNeverLeadFromHttpsToHttp) {
  EXPECT_TRUE(http_text::IsHttpsUrl("https://localhost/"));
  EXPECT_TRUE(http_text::IsHttpsUrl("HTTPS://LOCALHOST/"));
  EXPECT_FALSE(http_text::IsHttpsUrl("http://localhost/"));
  EXPECT_FALSE(http_text::IsHttpsUrl("https:/"));
  EXPECT_FALSE(http_text::IsHttpsUrl(" https://localhost/"));
  EXPECT_STREQ(http_text::RedirectProtocols("https://localhost/x"), "https");
  EXPECT_STREQ(http_text::RedirectProtocols("Https://localhost/x"), "https");
  EXPECT_STREQ(http_text::RedirectProtocols("http://127.0.0.1/x"), "http,https");
}
