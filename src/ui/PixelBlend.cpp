#include "ui/PixelBlend.h"

#include <algorithm>

namespace SkinUI {

namespace {

// x * a / 255, rounded, for x and a in 0..255.
inline uint32_t MulDiv255(uint32_t x, uint32_t a) {
  const uint32_t t = x * a + 128;
  return (t + (t >> 8)) >> 8;
}

}  // namespace

uint32_t CPixelBlend::Premultiply(uint32_t color) {
  const uint32_t a = color >> 24;
  const uint32_t r = MulDiv255((color >> 16) & 0xFF, a);
  const uint32_t g = MulDiv255((color >> 8) & 0xFF, a);
  const uint32_t b = MulDiv255(color & 0xFF, a);
  return (a << 24) | (r << 16) | (g << 8) | b;
}

uint32_t CPixelBlend::Over(uint32_t dst, uint32_t src, uint8_t constantAlpha) {
  uint32_t channels[4];
  const uint32_t srcAlpha = MulDiv255(src >> 24, constantAlpha);
  for (int shift = 0, i = 0; shift < 32; shift += 8, ++i) {
    const uint32_t s = MulDiv255((src >> shift) & 0xFF, constantAlpha);
    const uint32_t d = (dst >> shift) & 0xFF;
    channels[i] = std::min<uint32_t>(255, s + MulDiv255(d, 255 - srcAlpha));
  }
  return channels[0] | (channels[1] << 8) | (channels[2] << 16) | (channels[3] << 24);
}

void CPixelBlend::Blend(const TPixelView& to, const TRect& dest, const TRect& clip,
                        const TConstPixelView& from, const TRect& source,
                        uint8_t constantAlpha) {
  // Pass 1: the source pixels that exist (a source reaching outside its bitmap has nothing
  // to give there) and the part of the destination to write.
  if (!from.pixels || !to.pixels || dest.IsEmpty() || source.IsEmpty()) return;
  const TRect src = Intersection(source, TRect{0, 0, from.width, from.height});
  const TRect visible = Intersection(Intersection(dest, clip), TRect{0, 0, to.width, to.height});
  if (visible.IsEmpty() || src.IsEmpty()) return;

  // Pass 2: sample the centre of each destination pixel from the whole mapping of `source`
  // onto `dest`, so that a cut destination shows exactly the pixels of the uncut one.
  const int64_t dw = dest.Width(), dh = dest.Height();
  const int64_t sw = source.Width(), sh = source.Height();
  for (int y = visible.top; y < visible.bottom; ++y) {
    const int64_t sy = source.top + ((2 * (int64_t{y} - dest.top) + 1) * sh) / (2 * dh);
    if (sy < src.top || sy >= src.bottom) continue;
    const uint32_t* srcRow = from.pixels + sy * int64_t{from.stride};
    uint32_t* dstRow = to.pixels + y * int64_t{to.stride};
    for (int x = visible.left; x < visible.right; ++x) {
      const int64_t sx = source.left + ((2 * (int64_t{x} - dest.left) + 1) * sw) / (2 * dw);
      if (sx < src.left || sx >= src.right) continue;
      dstRow[x] = Over(dstRow[x], srcRow[sx], constantAlpha);
    }
  }
}

}  // namespace SkinUI
