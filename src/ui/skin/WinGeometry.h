// Conversions between the platform's RECT, SIZE and POINT and the pure code's TRect and
// TSize, which share their layout field by field.
//
// Contract: inline value conversions, any thread.
#pragma once

#include <windows.h>

#include "ui/markup/SkinGeometry.h"

namespace SkinUI {

inline TRect ToTRect(const RECT& r) { return TRect{r.left, r.top, r.right, r.bottom}; }
inline RECT ToRECT(const TRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }
inline TSize ToTSize(const SIZE& s) { return TSize{s.cx, s.cy}; }
inline SIZE ToSIZE(const TSize& s) { return SIZE{s.cx, s.cy}; }

// Every coordinate within +/- kCoordinateLimit.
inline RECT ClampRect(const RECT& r) {
  return RECT{ClampCoordinate(r.left), ClampCoordinate(r.top), ClampCoordinate(r.right),
              ClampCoordinate(r.bottom)};
}

inline bool RectContains(const RECT& r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

}  // namespace SkinUI
