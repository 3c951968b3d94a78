#include "platform/CommonText.h"

#include <cstdarg>

#include "runtime/WideFormat.h"

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

wchar_t FoldAsciiCase(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c; }

// Whether `path` begins with `base` (not longer than it), A-Z without regard to case and any
// separator matching any other.
bool StartsWithPath(const std::wstring& path, const std::wstring& base) {
  for (std::size_t i = 0; i < base.size(); ++i) {
    const wchar_t a = path[i], b = base[i];
    if (IsSeparator(a) && IsSeparator(b)) continue;
    if (FoldAsciiCase(a) != FoldAsciiCase(b)) return false;
  }
  return true;
}

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

}  // namespace

std::wstring FormatSize(std::uint64_t bytes) {
  static const wchar_t* const kUnits[] = {L"%.0fB", L"%.2fKB", L"%.2fMB", L"%.2fGB", L"%.2fTB"};
  constexpr std::size_t kUnitCount = sizeof(kUnits) / sizeof(kUnits[0]);
  // The divisor is kept as a double: 1024^4 fits, and comparing 1000 x divisor in double
  // avoids overflowing 64 bits near the top of the range.
  double divisor = 1.0;
  std::size_t unit = 0;
  const double value = static_cast<double>(bytes);
  while (value >= 1000.0 * divisor && unit + 1 < kUnitCount) {
    divisor *= 1024.0;
    ++unit;
  }
  wchar_t text[260];
  const int written = wide_format::FormatBounded(text, 260, kUnits[unit], value / divisor);
  return written > 0 ? std::wstring(text, static_cast<std::size_t>(written)) : std::wstring();
}

std::wstring FormatString(const wchar_t* format, ...) {
  std::wstring text;
  if (!format) return text;
  va_list args;
  va_start(args, format);
  wide_format::AppendV(text, format, args);
  va_end(args);
  return text;
}

std::wstring ParentDir(const std::wstring& path) {
  if (path.empty()) return std::wstring();
  std::wstring text = path;
  for (wchar_t& c : text) {
    if (c == L'/') c = L'\\';
  }
  if (text.back() == L'\\') text.pop_back();
  const std::size_t last = text.rfind(L'\\');
  if (last == std::wstring::npos) return std::wstring();
  return text.substr(0, last);
}

std::wstring TrimTrailingSeparators(const std::wstring& path) {
  std::size_t end = path.size();
  while (end > 0 && IsSeparator(path[end - 1])) --end;
  return path.substr(0, end);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  return TrimTrailingSeparators(folder) + L"\\" + name;
}

bool IsPathInFolder(const std::wstring& path, const std::wstring& folder) {
  const std::wstring base = TrimTrailingSeparators(folder);
  if (base.empty() || path.size() <= base.size()) return false;
  return StartsWithPath(path, base) && IsSeparator(path[base.size()]);
}

bool EqualsIgnoringAsciiCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) return false;
  }
  return true;
}

bool IsSameFolder(const std::wstring& a, const std::wstring& b) {
  const std::wstring x = TrimTrailingSeparators(a), y = TrimTrailingSeparators(b);
  return !x.empty() && x.size() == y.size() && StartsWithPath(x, y);
}

bool IsDeletableTree(const std::wstring& folder) {
  const std::wstring path = TrimTrailingSeparators(folder);
  std::size_t rootEnd = 0;  // index just past the root's separator
  if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && IsSeparator(path[2])) {
    rootEnd = 3;
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    // \\server\share\ is the root of a network path.
    std::size_t server = path.find_first_of(L"\\/", 2);
    if (server == std::wstring::npos || server == 2) return false;
    std::size_t share = path.find_first_of(L"\\/", server + 1);
    if (share == std::wstring::npos || share == server + 1) return false;
    rootEnd = share + 1;
  } else {
    return false;
  }
  // At least one real name below the root; any ".." could climb back to it.
  bool named = false;
  std::size_t start = rootEnd;
  while (start < path.size()) {
    std::size_t end = path.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = path.size();
    const std::wstring piece = path.substr(start, end - start);
    if (piece == L"..") return false;
    if (!piece.empty() && piece != L".") named = true;
    start = end + 1;
  }
  return named;
}
