#include "http/DownloadRules.h"

#include <algorithm>

#include "http/DnsServerList.h"

namespace download_rules {

namespace {

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
  std::vector<std::wstring> pieces;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    pieces.push_back(
        text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
    if (end == std::wstring::npos) return pieces;
    start = end + 1;
  }
}

bool IsHostCharacter(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
         c == L'.' || c == L'-' || c == L'_';
}

// Where the host of `url` lies: [*begin, *end). False when there is no acceptable host.
bool FindHost(const std::wstring& url, size_t* begin, size_t* end) {
  // "://" counts only before any "/", "?" or "#": later it belongs to the path or the query.
  const size_t scheme = url.find(L"://");
  const bool hasScheme = scheme != std::wstring::npos && url.find_first_of(L"/?#") == scheme + 1;
  const size_t authority = hasScheme ? scheme + 3 : 0;
  size_t authorityEnd = url.find_first_of(L"/?#", authority);
  if (authorityEnd == std::wstring::npos) authorityEnd = url.size();
  // The user's part ends at the last "@" of the authority.
  const size_t at = url.rfind(L'@', authorityEnd == 0 ? 0 : authorityEnd - 1);
  const size_t hostBegin = at != std::wstring::npos && at >= authority ? at + 1 : authority;
  size_t hostEnd = url.find(L':', hostBegin);
  if (hostEnd == std::wstring::npos || hostEnd > authorityEnd) hostEnd = authorityEnd;
  if (hostEnd <= hostBegin) return false;
  if (!std::all_of(url.begin() + hostBegin, url.begin() + hostEnd, IsHostCharacter)) {
    return false;
  }
  *begin = hostBegin;
  *end = hostEnd;
  return true;
}

std::wstring TrimBlanks(const std::wstring& text) {
  const wchar_t* const kBlanks = L" \t\r\n";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::wstring::npos) return std::wstring();
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

std::vector<std::wstring> MakeUrlList(const std::wstring& backupUrls, const std::wstring& primary) {
  std::vector<std::wstring> urls;
  if (!primary.empty()) urls.push_back(primary);
  if (backupUrls.empty()) return urls;
  for (std::wstring& piece : Split(backupUrls, L';')) {
    if (piece.size() < kMinUrlLength || piece == primary) continue;
    urls.push_back(std::move(piece));
  }
  return urls;
}

ResumePlan PlanResume(int64_t fileSize, uint64_t expectedSize) {
  const uint64_t size = fileSize < 0 ? 0 : static_cast<uint64_t>(fileSize);
  if (expectedSize == 0) return {ResumeAction::kWholeFileUnknownSize, 0};
  if (size > expectedSize) return {ResumeAction::kRestartTooLarge, 0};
  if (size == expectedSize) return {ResumeAction::kComplete, size};
  if (size == 0) return {ResumeAction::kFromStart, 0};
  return {ResumeAction::kContinue, size};
}

bool ParseContentLength(const std::wstring& text, uint64_t* length) {
  const std::wstring digits = TrimBlanks(text);
  // 18 digits always fit in 63 bits; longer values are no sane length.
  if (digits.empty() || digits.size() > 18) return false;
  uint64_t value = 0;
  for (wchar_t c : digits) {
    if (c < L'0' || c > L'9') return false;
    value = value * 10 + static_cast<uint64_t>(c - L'0');
  }
  *length = value;
  return true;
}

bool ParseContentRange(const std::wstring& text, uint64_t* first, uint64_t* last,
                       uint64_t* total) {
  const std::wstring value = TrimBlanks(text);
  const std::wstring unit = L"bytes ";
  if (value.compare(0, unit.size(), unit) != 0) return false;
  const size_t dash = value.find(L'-', unit.size());
  const size_t slash = value.find(L'/', unit.size());
  if (dash == std::wstring::npos || slash == std::wstring::npos || slash < dash) return false;
  uint64_t from = 0, to = 0, whole = 0;
  if (!ParseContentLength(value.substr(unit.size(), dash - unit.size()), &from) ||
      !ParseContentLength(value.substr(dash + 1, slash - dash - 1), &to) || to < from) {
    return false;
  }
  const std::wstring totalText = value.substr(slash + 1);
  if (totalText != L"*" && !ParseContentLength(totalText, &whole)) return false;
  *first = from;
  *last = to;
  *total = whole;
  return true;
}

std::wstring HostOfUrl(const std::wstring& url) {
  size_t begin = 0, end = 0;
  if (!FindHost(url, &begin, &end)) return std::wstring();
  return url.substr(begin, end - begin);
}

std::wstring ReplaceUrlHost(const std::wstring& url, const std::wstring& host) {
  size_t begin = 0, end = 0;
  if (!FindHost(url, &begin, &end)) return std::wstring();
  return url.substr(0, begin) + host + url.substr(end);
}

std::vector<std::wstring> ResolvedAddresses(const std::wstring& text) {
  std::vector<std::wstring> addresses;
  if (text.empty()) return addresses;
  for (std::wstring& piece : Split(text, L';')) {
    // Only ASCII can form an address; anything wider is no address.
    if (!std::all_of(piece.begin(), piece.end(), [](wchar_t c) { return c > 0 && c < 0x80; })) {
      continue;
    }
    if (dns::ParseIpv4(std::string(piece.begin(), piece.end()))) {
      addresses.push_back(std::move(piece));
    }
  }
  return addresses;
}

}  // namespace download_rules
