#include "ui/core/LayoutMath.h"

#include <algorithm>

#include "ui/markup/SkinValues.h"

namespace SkinUI {

namespace {

// One axis of a flow: "main" runs along the flow, "cross" across it.
struct TAxis {
  bool vertical;

  int Main(const TSize& s) const { return vertical ? s.cy : s.cx; }
  int Cross(const TSize& s) const { return vertical ? s.cx : s.cy; }
  int MainBefore(const TRect& r) const { return vertical ? r.top : r.left; }
  int MainAfter(const TRect& r) const { return vertical ? r.bottom : r.right; }
  int CrossBefore(const TRect& r) const { return vertical ? r.left : r.top; }
  int CrossAfter(const TRect& r) const { return vertical ? r.right : r.bottom; }
  int64_t MainLength(const TRect& r) const { return vertical ? r.Height() : r.Width(); }
  int64_t CrossLength(const TRect& r) const { return vertical ? r.Width() : r.Height(); }
  TSize Size(int64_t main, int64_t cross) const {
    const int m = ClampCoordinate(main), c = ClampCoordinate(cross);
    return vertical ? TSize{c, m} : TSize{m, c};
  }
  TRect Rect(int64_t mainStart, int64_t mainEnd, int64_t crossStart, int64_t crossEnd) const {
    const int ms = ClampCoordinate(mainStart), me = ClampCoordinate(mainEnd);
    const int cs = ClampCoordinate(crossStart), ce = ClampCoordinate(crossEnd);
    return vertical ? TRect{cs, ms, ce, me} : TRect{ms, cs, me, ce};
  }
};

// One axis of a floating control: a non-negative offset counts from `start`, a negative one
// from `end`.
void PlaceAlong(int start, int end, int offset, int length, int64_t& low, int64_t& high) {
  if (offset >= 0) {
    low = int64_t{start} + offset;
    high = low + length;
  } else {
    high = int64_t{end} + offset;
    low = high - length;
  }
}

int64_t PaddingAlong(const TAxis& axis, const TRect& padding) {
  return int64_t{axis.MainBefore(padding)} + axis.MainAfter(padding);
}

}  // namespace

TPosValue ParsePosValue(const wchar_t* text) {
  const TRect r = ParseRect(text);
  TPosValue pos;
  pos.fixedXY.cx = r.left >= 0 ? r.left : r.right;
  pos.fixedXY.cy = r.top >= 0 ? r.top : r.bottom;
  if (r.Width() >= 0) pos.width = static_cast<int>(r.Width());
  if (r.Height() >= 0) pos.height = static_cast<int>(r.Height());
  return pos;
}

TRect NormalizeRect(TRect rect) {
  if (rect.right < rect.left) rect.right = rect.left;
  if (rect.bottom < rect.top) rect.bottom = rect.top;
  return rect;
}

int ClampExtent(int64_t value, int minimum, int maximum) {
  if (value > maximum) value = maximum;
  if (value < minimum) value = minimum;
  return ClampCoordinate(value);
}

TRect ShrinkRect(const TRect& rect, const TRect& inset) {
  return TRect{ClampCoordinate(int64_t{rect.left} + inset.left),
               ClampCoordinate(int64_t{rect.top} + inset.top),
               ClampCoordinate(int64_t{rect.right} - inset.right),
               ClampCoordinate(int64_t{rect.bottom} - inset.bottom)};
}

TRect PlaceFloating(const TRect& container, TSize fixedXY, TSize fixedSize,
                    TRelativePos& relative) {
  // Pass 1: the offset from the edge it names.
  int64_t left, top, right, bottom;
  PlaceAlong(container.left, container.right, fixedXY.cx, fixedSize.cx, left, right);
  PlaceAlong(container.top, container.bottom, fixedXY.cy, fixedSize.cy, top, bottom);
  // Pass 2: a relative control follows the container's change of size.
  if (relative.relative) {
    const TSize now{ClampCoordinate(container.Width()), ClampCoordinate(container.Height())};
    if (relative.parentSize.cx != 0 || relative.parentSize.cy != 0) {
      const int64_t dx = int64_t{now.cx} - relative.parentSize.cx;
      const int64_t dy = int64_t{now.cy} - relative.parentSize.cy;
      left += dx * relative.move.cx / 100;
      top += dy * relative.move.cy / 100;
      right = left + fixedSize.cx + dx * relative.zoom.cx / 100;
      bottom = top + fixedSize.cy + dy * relative.zoom.cy / 100;
    }
    relative.parentSize = now;
  }
  return NormalizeRect(TRect{ClampCoordinate(left), ClampCoordinate(top),
                             ClampCoordinate(right), ClampCoordinate(bottom)});
}

void FloatingFixedFromItem(const TRect& container, const TRect& item, TSize& fixedXY,
                           TSize& fixedSize) {
  fixedXY.cx = ClampCoordinate(fixedXY.cx >= 0 ? int64_t{item.left} - container.left
                                               : int64_t{item.right} - container.right);
  fixedXY.cy = ClampCoordinate(fixedXY.cy >= 0 ? int64_t{item.top} - container.top
                                               : int64_t{item.bottom} - container.bottom);
  fixedSize.cx = ClampCoordinate(item.Width());
  fixedSize.cy = ClampCoordinate(item.Height());
}

TFlowResult ComputeFlow(FlowAxis flowAxis, const TRect& inner, int gap, int scrollOffset,
                        const std::vector<TFlowChild>& children) {
  const TAxis axis{flowAxis == FlowAxis::kVertical};
  const int64_t mainLength = std::max<int64_t>(0, axis.MainLength(inner));
  const int64_t crossLength = std::max<int64_t>(0, axis.CrossLength(inner));
  const size_t count = children.size();
  TFlowResult result;
  result.rects.resize(count);
  if (count == 0) return result;

  // Pass 1: what the fixed children and every padding and gap take; the stretchable
  // children (0 along the flow) are counted.
  std::vector<int64_t> fixedMain(count, 0);
  int64_t fixedTotal = int64_t{gap} * static_cast<int64_t>(count - 1);
  size_t stretchable = 0;
  const TSize available = axis.Size(mainLength, crossLength);
  for (size_t i = 0; i < count; ++i) {
    const TFlowChild& child = children[i];
    const int wish = child.estimate ? axis.Main(child.estimate(available))
                                    : axis.Main(child.fixedSize);
    if (wish == 0) {
      ++stretchable;
    } else {
      fixedMain[i] = ClampExtent(wish, axis.Main(child.minSize), axis.Main(child.maxSize));
    }
    fixedTotal += fixedMain[i] + PaddingAlong(axis, child.padding);
  }
  // What the children after each one need, so that the last stretchable child ends exactly
  // where the fixed ones after it begin.
  std::vector<int64_t> neededAfter(count, 0);
  for (size_t i = count - 1; i > 0; --i) {
    neededAfter[i - 1] = neededAfter[i] + gap + fixedMain[i] + PaddingAlong(axis, children[i].padding);
  }
  const int64_t share =
      stretchable > 0 ? std::max<int64_t>(0, (mainLength - fixedTotal) / int64_t(stretchable)) : 0;

  // Pass 2: hand out the lengths in order.
  int64_t position = int64_t{axis.MainBefore(inner)} - scrollOffset;
  int64_t remaining = mainLength;
  int64_t needed = 0;
  size_t stretchSeen = 0;
  for (size_t i = 0; i < count; ++i) {
    const TFlowChild& child = children[i];
    const int before = axis.MainBefore(child.padding), after = axis.MainAfter(child.padding);
    remaining -= before;
    const TSize wish = child.estimate ? child.estimate(axis.Size(remaining, crossLength))
                                      : child.fixedSize;
    int64_t length = axis.Main(wish);
    if (length == 0) {
      ++stretchSeen;
      length = stretchSeen == stretchable
                   ? std::max<int64_t>(0, remaining - after - neededAfter[i])
                   : share;
    }
    length = ClampExtent(length, axis.Main(child.minSize), axis.Main(child.maxSize));
    int64_t across = axis.Cross(child.fixedSize);
    if (across == 0) {
      across = crossLength - axis.CrossBefore(child.padding) - axis.CrossAfter(child.padding);
    }
    across = ClampExtent(std::max<int64_t>(0, across), axis.Cross(child.minSize),
                         axis.Cross(child.maxSize));
    const int64_t crossStart = int64_t{axis.CrossBefore(inner)} + axis.CrossBefore(child.padding);
    result.rects[i] = axis.Rect(position + before, position + before + length + after,
                                crossStart, crossStart + across);
    position += length + gap + before + after;
    needed += length + before + after;
    remaining -= length + gap + after;
  }
  result.needed = ClampCoordinate(needed + int64_t{gap} * static_cast<int64_t>(count - 1));
  return result;
}

TRect PlaceTabPage(const TRect& inner, const TRect& padding, TSize estimated, TSize minSize,
                   TSize maxSize) {
  const TRect area = ShrinkRect(inner, padding);
  const int64_t width = estimated.cx != 0 ? estimated.cx : std::max<int64_t>(0, area.Width());
  const int64_t height = estimated.cy != 0 ? estimated.cy : std::max<int64_t>(0, area.Height());
  const int w = std::max(0, ClampExtent(width, minSize.cx, maxSize.cx));
  const int h = std::max(0, ClampExtent(height, minSize.cy, maxSize.cy));
  return TRect{area.left, area.top, ClampCoordinate(int64_t{area.left} + w),
               ClampCoordinate(int64_t{area.top} + h)};
}

}  // namespace SkinUI
