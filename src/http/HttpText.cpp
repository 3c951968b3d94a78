#include "http/HttpText.h"

#include <algorithm>
#include <cstdio>

namespace http_text {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string Trimmed(const char* begin, const char* end) {
  while (begin < end && IsBlank(*begin)) ++begin;
  while (end > begin && IsBlank(end[-1])) --end;
  return std::string(begin, end);
}

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c; }

}  // namespace

HeaderLine ParseHeaderLine(const char* data, size_t length, std::string* name,
                           std::string* value) {
  if (!data || length == 0) return HeaderLine::kIgnored;
  const std::string line(data, length);
  if (line == "\r\n" || line == "\n") return HeaderLine::kEnd;
  const size_t colon = line.find(':');
  if (colon == std::string::npos || colon == 0) return HeaderLine::kIgnored;
  *name = Trimmed(line.data(), line.data() + colon);
  *value = Trimmed(line.data() + colon + 1, line.data() + line.size());
  return HeaderLine::kField;
}

bool IsStatusLine(const char* data, size_t length) {
  static const char kPrefix[] = "HTTP/";
  constexpr size_t kPrefixLength = sizeof(kPrefix) - 1;
  return data && length >= kPrefixLength && std::string(data, kPrefixLength) == kPrefix;
}

std::string RangeFrom(uint64_t offset) {
  char text[32];
  std::snprintf(text, sizeof(text), "%llu-", static_cast<unsigned long long>(offset));
  return text;
}

size_t WithoutCutUtf8Sequence(const char* data, size_t length) {
  if (!data) return 0;
  // A lead byte among the last three bytes that announces more bytes than follow it.
  for (size_t back = 1; back <= 3 && back <= length; ++back) {
    const unsigned char byte = static_cast<unsigned char>(data[length - back]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    size_t needed = 0;
    if ((byte & 0xE0) == 0xC0) {
      needed = 2;
    } else if ((byte & 0xF0) == 0xE0) {
      needed = 3;
    } else if ((byte & 0xF8) == 0xF0) {
      needed = 4;
    }
    return needed > back ? length - back : length;
  }
  return length;
}

std::string UrlHost(const std::string& url) {
  const size_t scheme = url.find("://");
  if (scheme == std::string::npos) return std::string();
  const size_t start = scheme + 3;
  const size_t end = std::min(url.find_first_of("/?#", start), url.size());
  std::string authority = url.substr(start, end - start);
  const size_t at = authority.rfind('@');
  if (at != std::string::npos) authority.erase(0, at + 1);
  if (!authority.empty() && authority[0] == '[') {
    const size_t close = authority.find(']');
    return close == std::string::npos ? std::string() : authority.substr(1, close - 1);
  }
  return authority.substr(0, authority.find(':'));
}

bool IsHttpsUrl(const std::string& url) {
  static const char kScheme[] = "https://";
  constexpr size_t kLength = sizeof(kScheme) - 1;
  if (url.size() < kLength) return false;
  for (size_t i = 0; i < kLength; ++i) {
    if (static_cast<char>(AsciiLower(url[i])) != kScheme[i]) return false;
  }
  return true;
}

const char* RedirectProtocols(const std::string& url) {
  return IsHttpsUrl(url) ? "https" : "http,https";
}

bool SameHeaderName(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace http_text
