// The arithmetic of control placement: where a floating control sits inside its container,
// how a vertical or horizontal layout shares its length among its flowing children, where a
// tab layout puts its page, and the "pos" attribute. The containers call these functions and
// hold no placement arithmetic of their own.
//
// Contract: pure functions over plain values, any thread. Every input is accepted; results
// are computed in 64 bits and clamped to +/- kCoordinateLimit, so no input overflows.
// Nothing fails: a child that does not fit gets an empty extent, never a negative one.
#pragma once

#include <functional>
#include <vector>

#include "ui/markup/SkinGeometry.h"

namespace SkinUI {

// A floating control that follows its container's size: when the container grows by (dx,
// dy), the control moves by move% and grows by zoom% of that.
struct TRelativePos {
  bool relative = false;
  TSize move;        // percentages
  TSize zoom;        // percentages
  TSize parentSize;  // the container's size when the control was last placed; 0 = not yet
};

// What the "pos" attribute "l,t,r,b" gives: the offset of a floating control (x = l when
// l >= 0, else r; y likewise) and its size r - l by b - t (-1 where negative: not set).
struct TPosValue {
  TSize fixedXY;
  int width = -1;
  int height = -1;
};
TPosValue ParsePosValue(const wchar_t* text);

// right < left becomes right = left; bottom < top likewise.
TRect NormalizeRect(TRect rect);

// `value` limited to [minimum, maximum]; the minimum wins when they cross.
int ClampExtent(int64_t value, int minimum, int maximum);

// `rect` shrunk by the four widths of `inset` (a rectangle of margins).
TRect ShrinkRect(const TRect& rect, const TRect& inset);

// The rectangle of a floating control with offset `fixedXY` and size `fixedSize` inside the
// container's item rectangle: a non-negative offset counts from the left / top edge, a
// negative one from the right / bottom edge. A relative control is then moved and zoomed by
// the container's change of size since it was last placed, and records the new size.
TRect PlaceFloating(const TRect& container, TSize fixedXY, TSize fixedSize,
                    TRelativePos& relative);

// The offset and size a floating control keeps after being placed at `item`: offsets stay
// measured from the edge they were measured from (left / top when non-negative).
void FloatingFixedFromItem(const TRect& container, const TRect& item, TSize& fixedXY,
                           TSize& fixedSize);

// A flowing child of a vertical or horizontal layout.
struct TFlowChild {
  TRect padding;            // outer spacing; the trailing one lies inside the child's rectangle
  TSize fixedSize;          // 0 across the flow: the child spans the layout
  TSize minSize;
  TSize maxSize{9999, 9999};
  // The child's wish for its size given the space available; 0 along the flow = stretch.
  std::function<TSize(TSize available)> estimate;
};

enum class FlowAxis { kVertical, kHorizontal };

struct TFlowResult {
  std::vector<TRect> rects;  // one per child, in order
  int needed = 0;            // the length the children take along the flow
};

// Stacks `children` top to bottom (or left to right) inside `inner`, `gap` pixels apart,
// starting `scrollOffset` pixels before the inner area's start. Children whose estimate is 0
// along the flow share what the others leave; the last of them takes the rounding remainder
// and exactly fills the layout.
TFlowResult ComputeFlow(FlowAxis axis, const TRect& inner, int gap, int scrollOffset,
                        const std::vector<TFlowChild>& children);

// The selected page of a tab layout: inside `inner` shrunk by the page's padding, from its
// top left corner, the estimated size or all of the area where the estimate is 0, limited to
// the page's minimum and maximum.
TRect PlaceTabPage(const TRect& inner, const TRect& padding, TSize estimated, TSize minSize,
                   TSize maxSize);

}  // namespace SkinUI
