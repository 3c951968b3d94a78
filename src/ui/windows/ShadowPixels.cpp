#include "ui/windows/ShadowPixels.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>

namespace SkinUI {

namespace {

constexpr double kHalfPi = 1.57079632679489661923;
// 0.15 pi: with i^2.5 / s^2.4 it makes the profile rise slowly and steepen next to the parent.
constexpr double kProfileAngle = 0.4712388981;
// The top edge is lighter than the others, as if the light came from above.
constexpr double kSideFactor = 0.46;
constexpr double kTopFactor = 0.2;

// The fade toward the ends of a side reaches over 3 sizes while the sine's quarter period is
// size^1.4 pixels, so for sizes below 16 it runs past its crest, and for size 1 onto pi
// itself. A factor is clamped to [0, 1] so that no rounding of sin near pi can turn an alpha
// negative.
std::vector<double> FadeFactors(int size) {
  const double step = kHalfPi / std::pow(static_cast<double>(size), 1.4);
  std::vector<double> factors(static_cast<size_t>(3 * size));
  for (size_t d = 0; d < factors.size(); ++d) {
    factors[d] = std::clamp(std::sin(static_cast<double>(d) * step), 0.0, 1.0);
  }
  return factors;
}

int Scaled(int alpha, double factor) {
  return static_cast<int>(std::floor(static_cast<double>(alpha) * factor));
}

}  // namespace

int CShadowPixels::ClampSize(int size) { return std::clamp(size, 0, kMaxSize); }

std::vector<int> CShadowPixels::Profile(int size) {
  const int s = ClampSize(size);
  std::vector<int> profile(static_cast<size_t>(s));
  const double spread = std::pow(static_cast<double>(s), 2.4);
  for (int i = 1; i <= s; ++i) {
    const double angle = kProfileAngle * std::pow(static_cast<double>(i), 2.5) / spread;
    profile[static_cast<size_t>(i - 1)] =
        std::clamp(static_cast<int>(std::floor(255.0 * std::sin(angle))), 0, 255);
  }
  return profile;
}

TRect CShadowPixels::Bounds(const TRect& parent, int size, int offsetX, int offsetY) {
  const int s = ClampSize(size);
  const int64_t left = int64_t{parent.left} + offsetX - s;
  const int64_t top = int64_t{parent.top} + offsetY - s;
  const int64_t width = std::max<int64_t>(0, parent.Width()) + 2 * s;
  const int64_t height = std::max<int64_t>(0, parent.Height()) + 2 * s;
  return TRect{ClampCoordinate(left), ClampCoordinate(top), ClampCoordinate(left + width),
               ClampCoordinate(top + height)};
}

uint32_t CShadowPixels::Premultiplied(uint32_t bgrColor, int alpha) {
  const uint32_t a = static_cast<uint32_t>(std::clamp(alpha, 0, 255));
  const uint32_t red = (bgrColor & 0xFF) * a / 255;
  const uint32_t green = ((bgrColor >> 8) & 0xFF) * a / 255;
  const uint32_t blue = ((bgrColor >> 16) & 0xFF) * a / 255;
  return (a << 24) | (red << 16) | (green << 8) | blue;
}

bool CShadowPixels::Fill(const TPixelView& view, int size, uint32_t bgrColor) {
  if (!view.pixels || view.width <= 0 || view.height <= 0 || std::abs(view.stride) < view.width) {
    return false;
  }
  const int width = view.width;
  const int height = view.height;
  auto at = [&view](int x, int y) -> uint32_t& {
    return view.pixels[static_cast<std::ptrdiff_t>(y) * view.stride + x];
  };

  // 1. Everything transparent: the parent's area stays so.
  for (int y = 0; y < height; ++y) {
    std::fill_n(&at(0, y), width, 0u);
  }

  const int s = ClampSize(size);
  if (s == 0) return true;

  // 2. The profile and the fade factors, shared by every ring.
  const std::vector<int> profile = Profile(s);
  const std::vector<double> fade = FadeFactors(s);
  const int fadeLength = 3 * s;
  // Alpha of a side pixel at position `at` along a side of the image's full `length`.
  auto faded = [&](int alpha, int at, int length) {
    if (at < fadeLength) alpha = Scaled(alpha, fade[static_cast<size_t>(at)]);
    // at <= length - 1 on every side, so the index is 1 .. fadeLength - 1.
    if (at > length - fadeLength) alpha = Scaled(alpha, fade[static_cast<size_t>(length - at)]);
    return alpha;
  };

  // 3. The rings, outermost first. Within a ring the sides go left, right, top, bottom, so
  //    the corners carry the top and bottom values.
  for (int k = 0; k < s; ++k) {
    const int right = width - 1 - k;
    const int bottom = height - 1 - k;
    if (right < k || bottom < k) break;  // a view smaller than the rings: inner rings left out
    const int ringAlpha = profile[static_cast<size_t>(k)];
    const int sideAlpha = Scaled(ringAlpha, kSideFactor);
    const int topAlpha = Scaled(ringAlpha, kTopFactor);
    for (int y = k; y <= bottom; ++y) {
      const uint32_t pixel = Premultiplied(bgrColor, faded(sideAlpha, y, height));
      at(k, y) = pixel;
      at(right, y) = pixel;
    }
    for (int x = k; x <= right; ++x) {
      at(x, k) = Premultiplied(bgrColor, faded(topAlpha, x, width));
      at(x, bottom) = Premultiplied(bgrColor, faded(sideAlpha, x, width));
    }
  }
  return true;
}

}  // namespace SkinUI
