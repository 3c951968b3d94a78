#include "ui/skin/DisplayScale.h"

#include <algorithm>

namespace SkinUI {

namespace {

// value * numerator / denominator, rounded half away from zero; the product fits in 64 bits
// for any 32-bit value and a dpi within the limits.
int64_t MulDivRounded(int64_t value, int64_t numerator, int64_t denominator) {
  const int64_t product = value * numerator;
  const int64_t half = denominator / 2;
  return product >= 0 ? (product + half) / denominator : -((-product + half) / denominator);
}

}  // namespace

TDisplayScale::TDisplayScale(int dpi) : dpi_(std::clamp(dpi, kBaseDpi, kMaxDpi)) {}

int TDisplayScale::Scale(int64_t value) const {
  return ClampCoordinate(MulDivRounded(std::clamp<int64_t>(value, -kCoordinateLimit,
                                                           kCoordinateLimit),
                                       dpi_, kBaseDpi));
}

int TDisplayScale::Unscale(int64_t value) const {
  return ClampCoordinate(MulDivRounded(std::clamp<int64_t>(value, -kCoordinateLimit,
                                                           kCoordinateLimit),
                                       kBaseDpi, dpi_));
}

TRect TDisplayScale::Scale(const TRect& rect) const {
  return TRect{Scale(rect.left), Scale(rect.top), Scale(rect.right), Scale(rect.bottom)};
}

std::wstring ImageSetFileName(const std::wstring& name, int setDpi) {
  if (setDpi <= kBaseDpi) return name;
  const std::wstring suffix = L"@" + std::to_wstring(setDpi / kBaseDpi) + L"x";
  const size_t dot = name.find_last_of(L'.');
  const size_t slash = name.find_last_of(L"\\/");
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) {
    return name + suffix;
  }
  return name.substr(0, dot) + suffix + name.substr(dot);
}

}  // namespace SkinUI
