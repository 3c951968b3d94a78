// CShadowPixels: the arithmetic of the computed window shadow, free of any platform call, so
// that its exact pixel values are checked natively as well as under Windows.
//
// Contract: pure functions of their arguments, callable from any thread. Nothing here owns
// memory it was handed: Fill writes into the caller's pixels through a TPixelView, whose
// stride may be negative for bottom-up bitmaps (row 0 is the image's top row). Bad
// arguments never crash or write outside the view: a negative shadow size counts as 0, sizes
// above kMaxSize are clamped, negative extents count as empty, and Fill refuses (returns
// false, writes nothing) a view without pixels or with a stride shorter than a row.
//
// Pixels are 32-bit values 0xAARRGGBB with the colour premultiplied by the alpha, as layered
// windows take them. Colours come in the platform's blue-green-red order (0x00BBGGRR).
#pragma once

#include <cstdint>
#include <vector>

#include "ui/markup/SkinGeometry.h"
#include "ui/skin/PixelBlend.h"

namespace SkinUI {

class CShadowPixels {
 public:
  // The shadow's width is stored in a signed byte.
  static constexpr int kMaxSize = 127;

  // The fall-off profile p(1) .. p(size): alpha of each ring before the side factor,
  // darkest next to the parent. Element i - 1 holds p(i).
  static std::vector<int> Profile(int size);

  // The shadow window's rectangle around a parent window rectangle: `size` pixels larger on
  // every side, shifted by the offsets. A parent rectangle turned inside out counts as
  // empty; coordinates are clamped to the skin's coordinate limit.
  static TRect Bounds(const TRect& parent, int size, int offsetX, int offsetY);

  // Clears the whole view to transparent, then draws the `size` rings of the shadow along
  // its edges. The inside (the parent's area) stays transparent. Rings that do not fit a
  // view smaller than twice the size are left out.
  static bool Fill(const TPixelView& view, int size, uint32_t bgrColor);

  // One premultiplied pixel of `bgrColor` with the given alpha (0..255). Unlike the skin's
  // blending, which rounds, the shadow truncates: component x alpha / 255.
  static uint32_t Premultiplied(uint32_t bgrColor, int alpha);

 private:
  static int ClampSize(int size);
};

}  // namespace SkinUI
