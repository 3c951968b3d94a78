// The skin's arithmetic: the containers' placement, the progress bar's fill, the pieces of a
// tiled image, the sizes an image may have, the display scale and resampling, and the
// shadow's pixels. Natively the sanitizers catch any write outside an image; under Wine the C
// runtime computes sin and pow on its own.
// What pieces and shadows look like drawn: by pixels under Wine (ControlsTest, WindowTest).
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "support/PngWriter.h"
#include "ui/core/LayoutMath.h"
#include "ui/markup/ControlValues.h"
#include "ui/skin/DisplayScale.h"
#include "ui/skin/ImageDecoder.h"
#include "ui/skin/ImageLayout.h"
#include "ui/skin/PixelBlend.h"
#include "ui/windows/ShadowPixels.h"

using namespace SkinUI;

namespace {

TFlowChild Fixed(int length, TRect padding = {}) {
  TFlowChild child;
  child.fixedSize = TSize{0, length};
  child.padding = padding;
  child.estimate = [length](TSize) { return TSize{0, length}; };
  return child;
}

std::vector<int> Heights(int space, int gap, const std::vector<TFlowChild>& children) {
  std::vector<int> heights;
  const TRect area{0, 0, 10, space};
  for (const TRect& r : ComputeFlow(FlowAxis::kVertical, area, gap, 0, children).rects) {
    heights.push_back(static_cast<int>(r.Height()));
  }
  return heights;
}

constexpr uint32_t kGrey = 0x505050;  // the dialogs' shadow colour

struct Image {
  Image(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h, 0xDEADBEEF) {}
  TPixelView View() { return TPixelView{pixels.data(), width, height, width}; }
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  int Alpha(int x, int y) const { return static_cast<int>(At(x, y) >> 24); }

  int width;
  int height;
  std::vector<uint32_t> pixels;
};

}  // namespace

TEST(LayoutMath, StretchableChildrenShareWhatIsLeftAndNothingOverflows) {
  const TFlowChild stretch = Fixed(0);
  EXPECT_EQ(Heights(101, 0, {stretch, stretch}), (std::vector<int>{50, 51}));
  // Gaps are counted once: the last child ends at the edge.
  EXPECT_EQ(Heights(100, 10, {stretch, stretch}), (std::vector<int>{45, 45}));
  EXPECT_EQ(Heights(100, 0, {stretch, Fixed(500)}), (std::vector<int>{0, 500}));
  const TFlowResult flow =
      ComputeFlow(FlowAxis::kVertical, TRect{0, 100, 10, 0}, INT_MAX, INT_MIN,
                  {Fixed(INT_MAX), Fixed(0, TRect{INT_MIN, INT_MAX, INT_MAX, INT_MIN})});
  for (const TRect& rect : flow.rects) {
    EXPECT_LE(rect.bottom, kCoordinateLimit);
    EXPECT_GE(rect.top, -kCoordinateLimit);
  }
  // The progress bar's fill; a maximum not above the minimum counts as the minimum + 1.
  EXPECT_EQ(ProgressFillRect(10, 10, 11, TSize{500, 30}, true), (TRect{0, 0, 500, 30}));
  EXPECT_EQ(ProgressFillRect(INT_MIN, INT_MAX, INT_MAX, TSize{INT_MAX, 30}, true).right,
            kCoordinateLimit);
}

// Lengths written for 100 % at 125, 150 and 200 %: rounded half away from zero, back again
// unchanged, and never beyond the coordinate limit; 1x images up to 100 %, the 2x set above.
TEST(DisplayScale, LengthsRoundTripAndEachScaleTakesItsImageSet) {
  const struct {
    int dpi, setDpi;
    int scaled[4];  // 1, 3, -3, 540
  } cases[] = {{50, 96, {1, 3, -3, 540}},
               {120, 192, {1, 4, -4, 675}},
               {144, 192, {2, 5, -5, 810}},
               {192, 192, {2, 6, -6, 1080}}};
  for (const auto& c : cases) {
    const TDisplayScale scale(c.dpi);
    const int values[] = {1, 3, -3, 540};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(scale.Scale(values[i]), c.scaled[i]) << c.dpi << " dpi, " << values[i];
      EXPECT_EQ(scale.Unscale(scale.Scale(values[i])), values[i]) << c.dpi << " dpi";
    }
    EXPECT_EQ(scale.ImageSetDpi(), c.setDpi);
    EXPECT_EQ(scale.Scale(INT64_MAX), kCoordinateLimit);
    EXPECT_EQ(scale.Scale(INT64_MIN), -kCoordinateLimit);
  }
  EXPECT_EQ(TDisplayScale(100000).dpi(), kMaxDpi);
  EXPECT_EQ(ImageSetFileName(L"skin/btn.ok.png", 192), L"skin/btn.ok@2x.png");
  EXPECT_EQ(ImageSetFileName(L"v1.2/icon", 192), L"v1.2/icon@2x");
  EXPECT_EQ(ImageSetFileName(L"icon.png", 96), L"icon.png");
}

// A part of an image drawn at another size takes only its own pixels, each weighted by how
// much of it a target pixel covers: 2x drawn down to 1.5x, a 2 px part to 3 px.
TEST(PixelBlend, ResamplingAPartAveragesItsOwnPixelsOnly) {
  Image from(4, 1);
  from.pixels = {0xFF000000, 0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF};
  Image to(3, 1);
  CPixelBlend::Resample(TConstPixelView{from.pixels.data(), 4, 1, 4}, TRect{0, 0, 4, 1},
                        to.View());
  EXPECT_EQ(to.pixels, (std::vector<uint32_t>{0xFF000000, 0xFF808080, 0xFFFFFFFF}));
  Image part(3, 2);
  CPixelBlend::Resample(TConstPixelView{from.pixels.data(), 4, 1, 4}, TRect{2, 0, 4, 1},
                        part.View());
  EXPECT_EQ(part.pixels, std::vector<uint32_t>(6, 0xFFFFFFFF));
}

TEST(ImageLayout, OnlyTilesReachingThePaintRectangleAreMade) {
  TNineSlice slice;
  slice.dest = TRect{0, 0, 1 << 20, 1 << 20};
  slice.paint = TRect{500, 500, 503, 502};
  slice.source = TRect{0, 0, 1, 1};
  slice.xtiled = slice.ytiled = true;
  int pieces = 0;
  CImageLayout::ForEachNineSlicePiece(slice, [&](const TImagePiece&) { ++pieces; });
  EXPECT_EQ(pieces, 6);
}

// Sizes are read from the header and refused before anything is allocated.
TEST(ImageDecoder, OversizedOrCutImagesAreRefused) {
  const std::string png = testing_support::SolidPng(2, 2, 0xFF0000FFu);
  const uint32_t sizes[][2] = {{100000, 4}, {8000, 8000}, {2, 2}};  // too wide, too many, cut
  for (const auto& size : sizes) {
    std::string bad = png.substr(0, size[0] == 2 ? png.size() / 2 : png.size());
    for (int i = 0; i < 4; ++i) {
      bad[16 + i] = static_cast<char>(size[0] >> (24 - 8 * i));
      bad[20 + i] = static_cast<char>(size[1] >> (24 - 8 * i));
    }
    TDecodedImage image;
    EXPECT_FALSE(
        CImageDecoder::Decode(reinterpret_cast<const uint8_t*>(bad.data()), bad.size(), image));
    EXPECT_EQ(image.rgba, nullptr);
  }
}

// Any size on any image, down to images smaller than the rings: nothing written outside the
// image, premultiplied grey, no alpha above its ring's side value or below zero, nothing
// inside the rings. The exact rings of the dialogs' shadow, on the screen: WindowTest.
TEST(ShadowPixels, AnySizeOnAnyImageStaysSound) {
  EXPECT_EQ(CShadowPixels::Profile(14),
            (std::vector<int>{0, 1, 3, 6, 11, 18, 27, 38, 51, 66, 84, 103, 124, 146}));
  EXPECT_TRUE(CShadowPixels::Profile(-20).empty());
  EXPECT_EQ(CShadowPixels::Profile(1000).size(), 127u);
  for (int size : {-5, 0, 1, 2, 3, 7, 14, 40, 300}) {
    const int s = std::clamp(size, 0, 127);
    const std::vector<int> profile = CShadowPixels::Profile(size);
    for (int width : {1, 2, s, s + 1, 2 * s - 1, 2 * s + 1, 3 * s}) {
      for (int height : {1, 3, s, 2 * s, 2 * s + 1}) {
        if (width <= 0 || height <= 0) continue;
        Image image(width, height);
        ASSERT_TRUE(CShadowPixels::Fill(image.View(), size, kGrey)) << width << "x" << height;
        for (int y = 0; y < height; ++y) {
          for (int x = 0; x < width; ++x) {
            const int ring = std::min({x, y, width - 1 - x, height - 1 - y});
            const uint32_t alpha = image.At(x, y) >> 24, grey = 0x50 * alpha / 255;
            ASSERT_EQ(image.At(x, y), alpha << 24 | grey << 16 | grey << 8 | grey);
            ASSERT_LE(image.Alpha(x, y), ring < s ? profile[ring] * 46 / 100 : 0)
                << "size " << size << " " << width << "x" << height << " at " << x << "," << y;
          }
        }
      }
    }
  }
  // Size 1 fades up to sin(pi): the row two from the top gets 0, not a wrapped negative alpha.
  Image one(10, 10);
  ASSERT_TRUE(CShadowPixels::Fill(one.View(), 1, kGrey));
  EXPECT_EQ(one.Alpha(0, 1), 52);
  EXPECT_EQ(one.Alpha(0, 2), 0);
  EXPECT_EQ(one.Alpha(0, 5), 52);
}
