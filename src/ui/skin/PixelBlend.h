// Pixel arithmetic of the skin's 32-bit premultiplied images: the software equivalent of the
// platform's AlphaBlend and the premultiplication of colours.
//
// Contract: pure, any thread, no allocation. Pixels are 32-bit values 0xAARRGGBB (bytes
// blue, green, red, alpha in memory) with colour already multiplied by alpha. Views do not
// own their pixels; callers pass views that really hold width x height pixels, and
// rectangles outside a view are cut to it.
#pragma once

#include <cstdint>

#include "ui/markup/SkinGeometry.h"

namespace SkinUI {

struct TPixelView {
  uint32_t* pixels = nullptr;  // row 0
  int width = 0;
  int height = 0;
  int stride = 0;  // in pixels, from one row to the next
};

struct TConstPixelView {
  const uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;
};

class CPixelBlend {
 public:
  // Source-over: `source` (a rectangle of `from`) is scaled to `dest` (a rectangle in the
  // coordinates of `to`) by nearest-pixel sampling, every source pixel first multiplied by
  // `constantAlpha`/255; only the part of `dest` inside `clip` and inside `to` is written.
  static void Blend(const TPixelView& to, const TRect& dest, const TRect& clip,
                    const TConstPixelView& from, const TRect& source, uint8_t constantAlpha);

  // `source` (a rectangle of `from`, cut to it) drawn anew at the whole size of `to`: each
  // pixel of `to` is the average of the source area it covers, each source pixel weighted by
  // how much of it lies there. Sharper than bilinear sampling when shrinking, and a pixel
  // never takes anything from outside `source` (such as the next state of a button strip).
  static void Resample(const TConstPixelView& from, const TRect& source, const TPixelView& to);

  // A colour 0xAARRGGBB as a premultiplied pixel.
  static uint32_t Premultiply(uint32_t color);

  // One source-over of a premultiplied pixel onto another.
  static uint32_t Over(uint32_t dst, uint32_t src, uint8_t constantAlpha);
};

}  // namespace SkinUI
