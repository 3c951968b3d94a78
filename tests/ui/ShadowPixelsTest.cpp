// The shadow's profile, placement and pixels, checked to the exact value. Runs natively under
// the sanitizers (which catch any write outside the image) and under Wine, whose C runtime
// computes sin and pow on its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "ui/ShadowPixels.h"

using SkinUI::CShadowPixels;
using SkinUI::TPixelView;
using SkinUI::TRect;

namespace {

constexpr uint32_t kGrey = 0x505050;  // the dialogs' shadow colour

// A top-down image in a vector, filled through a pixel view.
struct Image {
  Image(int width, int height) : width(width), height(height), pixels(width * height, 0xDEADBEEF) {}

  TPixelView View() { return TPixelView{pixels.data(), width, height, width}; }
  uint32_t At(int x, int y) const { return pixels[y * width + x]; }
  int Alpha(int x, int y) const { return static_cast<int>(At(x, y) >> 24); }

  int width;
  int height;
  std::vector<uint32_t> pixels;
};

Image DialogShadow() {
  Image image(568, 383);
  EXPECT_TRUE(CShadowPixels::Fill(image.View(), 14, kGrey));
  return image;
}

TEST(ShadowProfile, ValuesForTheDialogsSize) {
  EXPECT_EQ(CShadowPixels::Profile(14),
            (std::vector<int>{0, 1, 3, 6, 11, 18, 27, 38, 51, 66, 84, 103, 124, 146}));
  EXPECT_EQ(CShadowPixels::Profile(1), std::vector<int>{115});
}

TEST(ShadowProfile, SizesOutsideTheByteRangeAreClamped) {
  EXPECT_TRUE(CShadowPixels::Profile(0).empty());
  EXPECT_TRUE(CShadowPixels::Profile(-20).empty());
  const std::vector<int> widest = CShadowPixels::Profile(1000);
  ASSERT_EQ(widest.size(), 127u);
  for (size_t i = 1; i < widest.size(); ++i) {
    EXPECT_LE(widest[i - 1], widest[i]) << "at " << i;
  }
  EXPECT_GT(widest.back(), 0);
  EXPECT_LT(widest.back(), 256);
}

TEST(ShadowBounds, SurroundsTheParentBySizeAndOffset) {
  const TRect parent{100, 50, 640, 405};
  EXPECT_EQ(CShadowPixels::Bounds(parent, 14, 0, 0), (TRect{86, 36, 654, 419}));
  EXPECT_EQ(CShadowPixels::Bounds(parent, 6, 2, -3), (TRect{96, 41, 648, 408}));
  // A rectangle turned inside out is an empty parent; the size is clamped to a byte.
  EXPECT_EQ(CShadowPixels::Bounds(TRect{10, 10, 0, 5}, 500, 0, 0),
            (TRect{10 - 127, 10 - 127, 10 + 127, 10 + 127}));
  // Coordinates stay within the skin's limit.
  const TRect far = CShadowPixels::Bounds(TRect{0, 0, 2000000000, 10}, 14, 0, 0);
  EXPECT_EQ(far.right, SkinUI::kCoordinateLimit);
}

TEST(ShadowPixel, PremultipliesTheBgrColourIntoArgb) {
  // Red 0xFF, green 0, blue 0x80 at half alpha.
  EXPECT_EQ(CShadowPixels::Premultiplied(0x008000FF, 128), 0x80800040u);
  EXPECT_EQ(CShadowPixels::Premultiplied(kGrey, 255), 0xFF505050u);
  EXPECT_EQ(CShadowPixels::Premultiplied(kGrey, 0), 0u);
  EXPECT_EQ(CShadowPixels::Premultiplied(kGrey, 400), 0xFF505050u);
  EXPECT_EQ(CShadowPixels::Premultiplied(kGrey, -3), 0u);
}

TEST(ShadowPixels, RingsCornersAndFadesOfTheDialogsShadow) {
  const Image image = DialogShadow();
  // Innermost ring, left and right sides halfway down: alpha 67, each component
  // 80 * 67 / 255 = 21.
  EXPECT_EQ(image.At(13, 191), 0x43151515u);
  EXPECT_EQ(image.At(554, 191), 0x43151515u);
  // The bottom side is as dark as the sides; the top one is lighter: alpha 29, components 9.
  EXPECT_EQ(image.At(284, 369), 0x43151515u);
  EXPECT_EQ(image.At(284, 13), 0x1D090909u);
  // The next ring out is lighter.
  EXPECT_EQ(image.Alpha(12, 191), 57);

  // Corners carry the top and bottom values (the left side would give 32 at row 13 and 34 at
  // row 369).
  EXPECT_EQ(image.Alpha(13, 13), 14);    // top, faded at column 13
  EXPECT_EQ(image.Alpha(554, 13), 15);   // top, faded at 14 columns from the right
  EXPECT_EQ(image.Alpha(13, 369), 32);   // bottom, faded at column 13

  // Sides fade over three sizes at both ends.
  const std::vector<int> expected = {34, 37, 39, 41, 43, 45, 47, 48, 50, 52, 53, 55, 56, 58, 59,
                                     60, 61, 62, 63, 64, 65, 65, 66, 66, 66, 66, 66, 66, 67};
  for (int y = 14; y <= 42; ++y) {
    EXPECT_EQ(image.Alpha(13, y), expected[y - 14]) << "row " << y;
    // The far end measures from the image's height: row 383 - y mirrors row y (row 369 is
    // the bottom side's corner).
    if (y > 14) {
      EXPECT_EQ(image.Alpha(13, 383 - y), expected[y - 14]) << "row " << 383 - y;
    }
  }
  for (int x = 42; x <= 568 - 42; ++x) {
    ASSERT_EQ(image.Alpha(x, 369), 67) << "bottom, column " << x;
  }
}

TEST(ShadowPixels, OutermostRingAndParentAreaAreTransparent) {
  const Image image = DialogShadow();
  for (int x = 0; x < image.width; ++x) {
    ASSERT_EQ(image.At(x, 0), 0u) << "top, x " << x;
    ASSERT_EQ(image.At(x, image.height - 1), 0u) << "bottom, x " << x;
  }
  for (int y = 0; y < image.height; ++y) {
    ASSERT_EQ(image.At(0, y), 0u) << "left, y " << y;
    ASSERT_EQ(image.At(image.width - 1, y), 0u) << "right, y " << y;
  }
  for (int y = 14; y < image.height - 14; ++y) {
    for (int x = 14; x < image.width - 14; ++x) {
      ASSERT_EQ(image.At(x, y), 0u) << "parent area at " << x << "," << y;
    }
  }
}

TEST(ShadowPixels, EveryPixelIsPremultipliedGrey) {
  const Image image = DialogShadow();
  for (uint32_t pixel : image.pixels) {
    const uint32_t alpha = pixel >> 24;
    const uint32_t grey = 0x50 * alpha / 255;
    ASSERT_EQ(pixel, (alpha << 24) | (grey << 16) | (grey << 8) | grey);
  }
}

TEST(ShadowPixels, BottomUpRowsHoldTheSameImageUpsideDown) {
  const Image topDown = DialogShadow();
  Image bottomUp(568, 383);
  TPixelView view = bottomUp.View();
  view.pixels = bottomUp.pixels.data() + 382 * 568;
  view.stride = -568;
  ASSERT_TRUE(CShadowPixels::Fill(view, 14, kGrey));
  for (int y = 0; y < 383; ++y) {
    for (int x = 0; x < 568; ++x) {
      ASSERT_EQ(bottomUp.pixels[(382 - y) * 568 + x], topDown.At(x, y)) << x << "," << y;
    }
  }
}

// Any size with any image, down to images smaller than the rings: nothing is written outside
// the image (the sanitizers watch), no alpha exceeds its ring's side alpha or turns negative,
// and nothing inside the rings is drawn.
TEST(ShadowPixels, TinyAndOddImagesStaySound) {
  for (int size : {-5, 0, 1, 2, 3, 4, 7, 14, 16, 40, 127, 300}) {
    const int s = size < 0 ? 0 : (size > 127 ? 127 : size);
    const std::vector<int> profile = CShadowPixels::Profile(size);
    const int sides[] = {1, 2, 3, s, s + 1, 2 * s - 1, 2 * s, 2 * s + 1, 3 * s, 6 * s + 1, 300};
    for (int width : sides) {
      for (int height : sides) {
        if (width <= 0 || height <= 0) continue;
        Image image(width, height);
        ASSERT_TRUE(CShadowPixels::Fill(image.View(), size, kGrey)) << width << "x" << height;
        for (int y = 0; y < height; ++y) {
          for (int x = 0; x < width; ++x) {
            const int ring = std::min(std::min(x, y), std::min(width - 1 - x, height - 1 - y));
            const int alpha = image.Alpha(x, y);
            if (ring >= s) {
              ASSERT_EQ(image.At(x, y), 0u) << "size " << size << " " << width << "x" << height;
            } else {
              ASSERT_LE(alpha, profile[ring] * 46 / 100)
                  << "size " << size << " " << width << "x" << height << " at " << x << "," << y;
            }
          }
        }
      }
    }
  }
}

TEST(ShadowPixels, SizeOneKeepsItsSingleRingNonNegative) {
  // Size 1 takes the end fade up to sin(pi): the row two from the top gets 0, not a wrapped
  // negative alpha, and the rows past the fade get the full side alpha 115 * 0.46 = 52.
  Image image(10, 10);
  ASSERT_TRUE(CShadowPixels::Fill(image.View(), 1, kGrey));
  EXPECT_EQ(image.Alpha(0, 1), 52);
  EXPECT_EQ(image.Alpha(0, 2), 0);
  EXPECT_EQ(image.Alpha(0, 5), 52);
  EXPECT_EQ(image.Alpha(0, 9), 0);  // bottom side, column 0
}

TEST(ShadowPixels, RefusesViewsWithoutPixels) {
  Image image(4, 4);
  TPixelView view = image.View();
  view.pixels = nullptr;
  EXPECT_FALSE(CShadowPixels::Fill(view, 14, kGrey));
  view = image.View();
  view.width = 0;
  EXPECT_FALSE(CShadowPixels::Fill(view, 14, kGrey));
  view = image.View();
  view.stride = 3;  // shorter than a row
  EXPECT_FALSE(CShadowPixels::Fill(view, 14, kGrey));
  for (uint32_t pixel : image.pixels) ASSERT_EQ(pixel, 0xDEADBEEFu);
}

}  // namespace
