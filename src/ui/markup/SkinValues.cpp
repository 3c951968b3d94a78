#include "ui/markup/SkinValues.h"

#include <climits>
#include <cwchar>

namespace SkinUI {

namespace {

// The C library's white space: space, tab, line feed, vertical tab, form feed, return.
bool IsSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// Reads the magnitude in `base` with an optional sign. `overflow` is set once the magnitude
// passes `limit`; reading still consumes every digit, as the C library does.
uint64_t ReadMagnitude(const wchar_t* text, int base, uint64_t limit, bool& negative,
                       bool& overflow, const wchar_t** end) {
  negative = false;
  overflow = false;
  if (end) *end = text;
  if (!text) return 0;
  const wchar_t* p = text;
  while (IsSpace(*p)) ++p;
  if (*p == L'+' || *p == L'-') negative = (*p++ == L'-');
  if (base == 16 && p[0] == L'0' && (p[1] == L'x' || p[1] == L'X') && HexDigit(p[2]) >= 0) {
    p += 2;
  }
  const wchar_t* digits = p;
  uint64_t value = 0;
  for (int d; (d = HexDigit(*p)) >= 0 && d < base; ++p) {
    if (!overflow) {
      value = value * base + d;
      if (value > limit) overflow = true;
    }
  }
  if (p != digits && end) *end = p;
  return p == digits ? 0 : value;
}

}  // namespace

int ParseInt(const wchar_t* text, const wchar_t** end) {
  bool negative = false, overflow = false;
  uint64_t magnitude =
      ReadMagnitude(text, 10, uint64_t{INT_MAX} + 1, negative, overflow, end);
  if (negative) {
    if (overflow || magnitude > uint64_t{INT_MAX} + 1) return INT_MIN;
    return static_cast<int>(-static_cast<int64_t>(magnitude));
  }
  if (overflow || magnitude > INT_MAX) return INT_MAX;
  return static_cast<int>(magnitude);
}

uint32_t ParseHex(const wchar_t* text, const wchar_t** end) {
  bool negative = false, overflow = false;
  uint64_t magnitude = ReadMagnitude(text, 16, UINT32_MAX, negative, overflow, end);
  if (overflow) return UINT32_MAX;
  uint32_t value = static_cast<uint32_t>(magnitude);
  return negative ? 0u - value : value;
}

uint32_t ParseColor(const wchar_t* text) {
  if (!text) return 0;
  if (*text == L'#') ++text;
  return ParseHex(text);
}

namespace {

// Reads `count` numbers separated by any one character into `out`.
void ParseList(const wchar_t* text, int* out, int count) {
  const wchar_t* p = text;
  for (int i = 0; i < count; ++i) {
    if (!p || !*p) {
      out[i] = 0;
      continue;
    }
    const wchar_t* end = p;
    out[i] = ClampCoordinate(ParseInt(p, &end));
    // Step over the separator, but never over the terminator.
    p = *end ? end + 1 : end;
  }
}

}  // namespace

TRect ParseRect(const wchar_t* text) {
  int v[4];
  ParseList(text, v, 4);
  return TRect{v[0], v[1], v[2], v[3]};
}

TSize ParseSize(const wchar_t* text) {
  int v[2];
  ParseList(text, v, 2);
  return TSize{v[0], v[1]};
}

bool ParseBool(const wchar_t* text) { return text && std::wcscmp(text, L"true") == 0; }

}  // namespace SkinUI
