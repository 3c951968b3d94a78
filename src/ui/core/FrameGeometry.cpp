#include "ui/core/FrameGeometry.h"

#include <cstdint>
#include <cwchar>

namespace SkinUI {

int CFrameGeometry::HitTest(TPoint point, const TRect& client, const TFrameRules& rules,
                            bool maximised) {
  // Sums in 64 bits: markup values are clamped, but a client rectangle need not be.
  const int64_t x = point.x;
  const int64_t y = point.y;
  // Pass 1: a maximised window cannot be resized, so it skips passes 2 and 3.
  if (!maximised) {
    // Pass 2: the size grip, measured from the bottom-right corner.
    const TSize& grip = rules.sizeGrip;
    if (grip.cx >= 1 && grip.cy >= 1 && x >= int64_t{client.right} - grip.cx &&
        y >= int64_t{client.bottom} - grip.cy) {
      return kHitBottomRight;
    }
    // Pass 3: the resizing borders; corners where two of them meet.
    const TRect& box = rules.sizeBox;
    const bool left = x < int64_t{client.left} + box.left;
    const bool right = x >= int64_t{client.right} - box.right;
    if (y < int64_t{client.top} + box.top) {
      return left ? kHitTopLeft : right ? kHitTopRight : kHitTop;
    }
    if (y >= int64_t{client.bottom} - box.bottom) {
      return left ? kHitBottomLeft : right ? kHitBottomRight : kHitBottom;
    }
    if (left) return kHitLeft;
    if (right) return kHitRight;
  }
  // Pass 4: the caption.
  const TRect& caption = rules.caption;
  if (x >= int64_t{client.left} + caption.left && x < int64_t{client.right} - caption.right &&
      y >= int64_t{client.top} + caption.top && y < int64_t{client.top} + caption.bottom) {
    return kHitCaption;
  }
  return kHitClient;
}

bool CFrameGeometry::LetsDragThrough(const wchar_t* controlClass) {
  if (!controlClass) return false;
  static const wchar_t* const kDragThrough[] = {
      L"VerticalLayoutUI", L"HorizontalLayoutUI", L"TileLayoutUI", L"TabLayoutUI",
      L"ChildLayoutUI",    L"ControlUI",          L"ContainerUI",  L"ProgressUI",
      L"LabelUI"};
  for (const wchar_t* name : kDragThrough) {
    if (std::wcscmp(controlClass, name) == 0) return true;
  }
  return false;
}

namespace {

// Centres a span of `length` over [overStart, overEnd), then moves it into
// [areaStart, areaEnd); the start edge wins when the span is longer than the area.
int CenterSpan(int64_t length, int64_t overStart, int64_t overEnd, int64_t areaStart,
               int64_t areaEnd) {
  int64_t start = overStart + (overEnd - overStart - length) / 2;
  if (start + length > areaEnd) start = areaEnd - length;
  if (start < areaStart) start = areaStart;
  return ClampCoordinate(start);
}

}  // namespace

TPoint CFrameGeometry::CenterOver(TSize size, const TRect& over, const TRect& workArea) {
  return TPoint{CenterSpan(size.cx, over.left, over.right, workArea.left, workArea.right),
                CenterSpan(size.cy, over.top, over.bottom, workArea.top, workArea.bottom)};
}

}  // namespace SkinUI
