// Rectangles and sizes of the skin framework's pure code (no windows.h), laid out like the
// platform's RECT and SIZE so that the Windows side converts them field by field.
//
// Contract: plain values, usable on any thread. Coordinates that come from markup are clamped
// to +/- kCoordinateLimit, so sums and differences of two of them never overflow 32 bits.
#pragma once

#include <cstdint>

namespace SkinUI {

// GDI's own coordinate space ends at 2^27; anything beyond is nonsense from a skin file.
constexpr int kCoordinateLimit = 1 << 28;

inline int ClampCoordinate(int64_t value) {
  if (value > kCoordinateLimit) return kCoordinateLimit;
  if (value < -kCoordinateLimit) return -kCoordinateLimit;
  return static_cast<int>(value);
}

struct TSize {
  int cx = 0;
  int cy = 0;

  bool operator==(const TSize& o) const { return cx == o.cx && cy == o.cy; }
  bool operator!=(const TSize& o) const { return !(*this == o); }
};

struct TRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int64_t Width() const { return int64_t{right} - left; }
  int64_t Height() const { return int64_t{bottom} - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool IsZero() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  bool operator==(const TRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
  bool operator!=(const TRect& o) const { return !(*this == o); }
};

// True when both rectangles are non-empty and share at least one pixel (the platform's
// IntersectRect answers the same).
inline bool Intersects(const TRect& a, const TRect& b) {
  if (a.IsEmpty() || b.IsEmpty()) return false;
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

inline TRect Intersection(const TRect& a, const TRect& b) {
  if (!Intersects(a, b)) return TRect{};
  return TRect{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
               a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
}

}  // namespace SkinUI
