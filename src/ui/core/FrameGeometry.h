// CFrameGeometry: the frame rules of a borderless skinned window, free of any platform call:
// which part of the window a point is over (size grip, resizing borders, caption), which
// controls let a caption drag pass through them, and where a centred window goes.
//
// Contract: pure functions of their arguments, any thread; nothing fails. Points and
// rectangles of HitTest are client coordinates of one window; those of CenterOver are screen
// coordinates. Values from markup are taken as they are: a zero border or caption simply
// never matches.
#pragma once

#include "ui/markup/SkinGeometry.h"

namespace SkinUI {

struct TPoint {
  int x = 0;
  int y = 0;
};

// The platform's hit-test answers that a skinned window gives.
enum THitArea : int {
  kHitClient = 1,
  kHitCaption = 2,
  kHitLeft = 10,
  kHitRight = 11,
  kHitTop = 12,
  kHitTopLeft = 13,
  kHitTopRight = 14,
  kHitBottom = 15,
  kHitBottomLeft = 16,
  kHitBottomRight = 17,
};

// The layout's "sizebox", "caption" and "sizegrip".
struct TFrameRules {
  TRect sizeBox;   // widths of the resizing borders, left, top, right, bottom
  TRect caption;   // left and right: insets from the sides; top and bottom: from the top
  TSize sizeGrip;  // width and height at the bottom-right corner; unused below 1 x 1
};

class CFrameGeometry {
 public:
  // The part of the window under `point`. kHitCaption means only that the point lies in the
  // caption rectangle: the caller still asks the controls under it (LetsDragThrough). A
  // maximised window has no resizing borders and no size grip.
  static int HitTest(TPoint point, const TRect& client, const TFrameRules& rules,
                     bool maximised);

  // Plain layouts, labels and progress bars under the caption let it drag the window; any
  // other control (a button, an option, an edit box) keeps the mouse for itself.
  static bool LetsDragThrough(const wchar_t* controlClass);

  // The top-left corner of a window of `size` centred over `over`, then moved into
  // `workArea` as far as it fits (its left and top edges win when it is larger).
  static TPoint CenterOver(TSize size, const TRect& over, const TRect& workArea);
};

}  // namespace SkinUI
