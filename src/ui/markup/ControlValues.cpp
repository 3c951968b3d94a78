#include "ui/markup/ControlValues.h"

#include <algorithm>
#include <cwchar>

#include "runtime/WideFormat.h"

namespace SkinUI {

namespace {

bool Contains(const wchar_t* text, const wchar_t* word) {
  return std::wcsstr(text, word) != nullptr;
}

uint32_t Mix(uint32_t from, uint32_t to, int64_t step, int64_t steps) {
  uint32_t mixed = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int64_t a = (from >> shift) & 0xFF, b = (to >> shift) & 0xFF;
    const int64_t channel = steps > 0 ? a + (b - a) * step / steps : a;
    mixed |= static_cast<uint32_t>(channel) << shift;
  }
  return mixed;
}

}  // namespace

uint32_t ApplyAlignWords(uint32_t style, const wchar_t* value) {
  if (!value) return style;
  if (Contains(value, L"left")) {
    style &= ~(kTextCenter | kTextRight | kTextVCenter | kTextSingleLine);
  }
  if (Contains(value, L"center")) {
    style &= ~kTextRight;
    style |= kTextCenter;
  }
  if (Contains(value, L"right")) {
    style &= ~(kTextCenter | kTextVCenter | kTextSingleLine);
    style |= kTextRight;
  }
  if (Contains(value, L"top")) {
    style &= ~(kTextVCenter | kTextBottom);
    style |= kTextSingleLine;
  }
  if (Contains(value, L"vcenter")) {
    style &= ~kTextBottom;
    style |= kTextCenter | kTextVCenter | kTextSingleLine;
  }
  if (Contains(value, L"bottom")) {
    style &= ~kTextVCenter;
    style |= kTextBottom | kTextSingleLine;
  }
  if (Contains(value, L"vleft")) {
    style &= ~(kTextCenter | kTextRight | kTextSingleLine);
    style |= kTextVCenter;
  }
  return style;
}

std::wstring ExpandLineBreaks(const wchar_t* text) {
  std::wstring result;
  if (!text) return result;
  for (const wchar_t* p = text; *p;) {
    if (p[0] == L'<' && p[1] == L'n' && p[2] == L'>') {
      result += L"\r\n";
      p += 3;
    } else {
      result += *p++;
    }
  }
  return result;
}

int ForEachListedAttribute(const wchar_t* list,
                           const std::function<void(const std::wstring&, const std::wstring&)>& apply) {
  int applied = 0;
  if (!list) return applied;
  const wchar_t* p = list;
  while (*p) {
    const wchar_t* name = p;
    while (*p > L' ' && *p != L'=') ++p;
    if (*p != L'=' || p == name) break;
    const std::wstring key(name, p);
    if (*++p != L'"') break;
    const wchar_t* value = ++p;
    while (*p && *p != L'"') ++p;
    if (*p != L'"') break;
    apply(key, std::wstring(value, p));
    ++applied;
    if (*++p != L' ') break;
    ++p;
  }
  return applied;
}

TRect ProgressFillRect(int minimum, int maximum, int value, TSize size, bool horizontal) {
  const int64_t low = minimum;
  const int64_t high = maximum <= minimum ? low + 1 : int64_t{maximum};
  const int64_t v = std::clamp<int64_t>(value, low, high);
  const int64_t width = std::max(0, size.cx), height = std::max(0, size.cy);
  if (horizontal) {
    return TRect{0, 0, ClampCoordinate((v - low) * width / (high - low)),
                 ClampCoordinate(height)};
  }
  return TRect{0, ClampCoordinate(height * (high - v) / (high - low)), ClampCoordinate(width),
               ClampCoordinate(height)};
}

std::wstring ProgressForeModifier(const TRect& fill, bool stretch, bool roundCorner) {
  if (roundCorner) {
    return wide_format::Format(L"dest='%d,%d,%d,%d' source='%d,%d,%d,%d' roundcorner='3,3,3,3'",
                               fill.left, fill.top, fill.right, fill.bottom, fill.left,
                               fill.top, fill.right, fill.bottom);
  }
  if (stretch) {
    return wide_format::Format(L"dest='%d,%d,%d,%d'", fill.left, fill.top, fill.right,
                               fill.bottom);
  }
  return wide_format::Format(L"dest='%d,%d,%d,%d' source='%d,%d,%d,%d'", fill.left, fill.top,
                             fill.right, fill.bottom, fill.left, fill.top, fill.right,
                             fill.bottom);
}

void ForEachGradientBand(const TRect& rect, uint32_t from, uint32_t to, int maxBands,
                         const std::function<void(const TRect&, uint32_t)>& paint) {
  const int64_t height = rect.Height();
  if (height <= 0 || rect.Width() <= 0 || maxBands <= 0) return;
  const int64_t bands = std::min<int64_t>(height, maxBands);
  for (int64_t i = 0; i < bands; ++i) {
    TRect band = rect;
    band.top = static_cast<int>(rect.top + height * i / bands);
    band.bottom = static_cast<int>(rect.top + height * (i + 1) / bands);
    paint(band, Mix(from, to, i, bands > 1 ? bands - 1 : 0));
  }
}

}  // namespace SkinUI
