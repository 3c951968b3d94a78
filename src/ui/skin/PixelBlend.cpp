#include "ui/skin/PixelBlend.h"

#include <algorithm>
#include <vector>

namespace SkinUI {

namespace {

// x * a / 255, rounded, for x and a in 0..255.
inline uint32_t MulDiv255(uint32_t x, uint32_t a) {
  const uint32_t t = x * a + 128;
  return (t + (t >> 8)) >> 8;
}

// How the pixels along one axis of a destination D pixels long cover a source S pixels long.
// Measured in a unit of 1/D source pixel, destination pixel i spans [i*S, (i+1)*S) and source
// pixel j spans [j*D, (j+1)*D): the weights of one destination pixel add up to S.
struct TCoverage {
  std::vector<int> first;        // per destination pixel: its first source pixel
  std::vector<size_t> begin;     // per destination pixel, and one more: into `weights`
  std::vector<int64_t> weights;  // per covered source pixel: the length it contributes
};

TCoverage AxisCoverage(int64_t sourceLength, int64_t destLength) {
  TCoverage c;
  c.first.reserve(destLength);
  c.begin.reserve(destLength + 1);
  for (int64_t i = 0; i < destLength; ++i) {
    const int64_t from = i * sourceLength, to = from + sourceLength;
    const int64_t j0 = from / destLength, j1 = (to - 1) / destLength;
    c.first.push_back(static_cast<int>(j0));
    c.begin.push_back(c.weights.size());
    for (int64_t j = j0; j <= j1; ++j) {
      c.weights.push_back(std::min(to, (j + 1) * destLength) - std::max(from, j * destLength));
    }
  }
  c.begin.push_back(c.weights.size());
  return c;
}

}  // namespace

void CPixelBlend::Resample(const TConstPixelView& from, const TRect& source,
                           const TPixelView& to) {
  if (!from.pixels || !to.pixels || to.width <= 0 || to.height <= 0) return;
  const TRect src = Intersection(source, TRect{0, 0, from.width, from.height});
  if (src.IsEmpty()) return;
  const TCoverage across = AxisCoverage(src.Width(), to.width);
  const TCoverage down = AxisCoverage(src.Height(), to.height);
  const int64_t total = src.Width() * src.Height();
  for (int y = 0; y < to.height; ++y) {
    uint32_t* out = to.pixels + int64_t{y} * to.stride;
    for (int x = 0; x < to.width; ++x) {
      int64_t sum[4] = {};
      for (size_t l = down.begin[y]; l < down.begin[y + 1]; ++l) {
        const int64_t sy = src.top + down.first[y] + static_cast<int64_t>(l - down.begin[y]);
        const uint32_t* row = from.pixels + sy * from.stride + src.left + across.first[x];
        for (size_t k = across.begin[x]; k < across.begin[x + 1]; ++k) {
          const int64_t w = down.weights[l] * across.weights[k];
          const uint32_t p = row[k - across.begin[x]];
          for (int c = 0; c < 4; ++c) sum[c] += w * ((p >> (8 * c)) & 0xFF);
        }
      }
      uint32_t pixel = 0;
      for (int c = 0; c < 4; ++c) {
        pixel |= static_cast<uint32_t>((sum[c] + total / 2) / total) << (8 * c);
      }
      out[x] = pixel;
    }
  }
}

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
