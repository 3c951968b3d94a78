#include "http/WebPageCheck.h"

namespace web_page {

namespace {

bool IsWhiteSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool IsAsciiLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

wchar_t Lower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c; }

}  // namespace

bool IsPageType(const std::wstring& contentType) {
  size_t begin = 0;
  while (begin < contentType.size() && (contentType[begin] == L' ' || contentType[begin] == L'\t')) {
    ++begin;
  }
  size_t end = contentType.find(L';', begin);
  if (end == std::wstring::npos) end = contentType.size();
  while (end > begin && (contentType[end - 1] == L' ' || contentType[end - 1] == L'\t')) --end;
  std::wstring type;
  for (size_t i = begin; i < end; ++i) type += Lower(contentType[i]);
  return type == L"text/html" || type == L"application/xhtml+xml";
}

Verdict JudgeBodyStart(const char* data, size_t length) {
  if (!data) return Verdict::kNeedMore;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  size_t at = 0;
  // 1. A UTF-8 byte-order mark, whole or begun.
  static const unsigned char kMark[] = {0xEF, 0xBB, 0xBF};
  while (at < length && at < sizeof kMark && bytes[at] == kMark[at]) ++at;
  if (at > 0 && at < sizeof kMark) return at == length ? Verdict::kNeedMore : Verdict::kNotPage;
  // 2. White space, up to the limit.
  while (at < length && IsWhiteSpace(bytes[at])) ++at;
  if (at == length) return length < kSniffLimit ? Verdict::kNeedMore : Verdict::kNotPage;
  // 3. Markup: "<" and a tag's first character.
  if (bytes[at] != '<') return Verdict::kNotPage;
  if (at + 1 == length) return Verdict::kNeedMore;
  const unsigned char next = bytes[at + 1];
  return (IsAsciiLetter(next) || next == '!' || next == '?') ? Verdict::kPage : Verdict::kNotPage;
}

bool IsPage(const std::wstring& contentType, const std::string& body) {
  return IsPageType(contentType) || JudgeBodyStart(body.data(), body.size()) == Verdict::kPage;
}

}  // namespace web_page
