#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/PngWriter.h"
#include "ui/ImageDecoder.h"
#include "ui/PixelBlend.h"

using namespace SkinUI;
using testing_support::EncodePng;
using testing_support::SolidPng;

namespace {

bool Decode(const std::string& bytes, TDecodedImage& image) {
  return CImageDecoder::Decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), image);
}

// Sets the width and height fields of a PNG's header chunk.
std::string WithHeaderSize(std::string png, uint32_t width, uint32_t height) {
  for (int i = 0; i < 4; ++i) {
    png[16 + i] = static_cast<char>(width >> (24 - 8 * i));
    png[20 + i] = static_cast<char>(height >> (24 - 8 * i));
  }
  return png;
}

}  // namespace

TEST(PixelBlend, ColoursArePremultiplied) {
  EXPECT_EQ(CPixelBlend::Premultiply(0xFF123456u), 0xFF123456u);
  EXPECT_EQ(CPixelBlend::Premultiply(0x00FFFFFFu), 0x00000000u);
  EXPECT_EQ(CPixelBlend::Premultiply(0xF2FFFFFFu), 0xF2F2F2F2u);
  EXPECT_EQ(CPixelBlend::Premultiply(0x80FF0000u), 0x80800000u);
}

TEST(PixelBlend, SourceOverWithConstantAlpha) {
  // Opaque source replaces; transparent source keeps; half white over black gives grey.
  EXPECT_EQ(CPixelBlend::Over(0xFF000000u, 0xFF102030u, 255), 0xFF102030u);
  EXPECT_EQ(CPixelBlend::Over(0xFF405060u, 0x00000000u, 255), 0xFF405060u);
  EXPECT_EQ(CPixelBlend::Over(0xFF000000u, 0x80808080u, 255), 0xFF808080u);
  // Constant alpha scales the source first: white at alpha 242 over black.
  EXPECT_EQ(CPixelBlend::Over(0xFF000000u, 0xFFFFFFFFu, 242), 0xFFF2F2F2u);
  EXPECT_EQ(CPixelBlend::Over(0xFF0000FFu, 0xFFFF0000u, 0), 0xFF0000FFu);
}

TEST(PixelBlend, BlendScalesCutsAndClips) {
  // Source: 2 x 2 of four colours.
  const uint32_t src[4] = {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0xFFFFFFFFu};
  const TConstPixelView from{src, 2, 2, 2};
  std::vector<uint32_t> dst(8 * 8, 0xFF000000u);
  const TPixelView to{dst.data(), 8, 8, 8};
  CPixelBlend::Blend(to, TRect{0, 0, 4, 4}, TRect{0, 0, 8, 8}, from, TRect{0, 0, 2, 2}, 255);
  EXPECT_EQ(dst[0 * 8 + 0], src[0]);
  EXPECT_EQ(dst[1 * 8 + 1], src[0]);
  EXPECT_EQ(dst[0 * 8 + 3], src[1]);
  EXPECT_EQ(dst[3 * 8 + 0], src[2]);
  EXPECT_EQ(dst[3 * 8 + 3], src[3]);
  EXPECT_EQ(dst[4 * 8 + 4], 0xFF000000u);  // outside the destination

  // A clip keeps the mapping of the uncut destination.
  std::fill(dst.begin(), dst.end(), 0xFF000000u);
  CPixelBlend::Blend(to, TRect{0, 0, 4, 4}, TRect{2, 2, 4, 4}, from, TRect{0, 0, 2, 2}, 255);
  EXPECT_EQ(dst[0], 0xFF000000u);
  EXPECT_EQ(dst[2 * 8 + 2], src[3]);

  // Destinations reaching outside the target and sources reaching outside the image stay
  // inside both.
  std::fill(dst.begin(), dst.end(), 0xFF000000u);
  CPixelBlend::Blend(to, TRect{-100, -100, 100, 100}, TRect{-1000, -1000, 1000, 1000}, from,
                     TRect{-5, -5, 50, 50}, 255);
  CPixelBlend::Blend(to, TRect{6, 6, 10, 10}, TRect{0, 0, 8, 8}, from, TRect{0, 0, 2, 2}, 255);
  EXPECT_EQ(dst[7 * 8 + 7], src[0]);
}

TEST(ImageDecoder, PngDecodesAndPremultipliesWithTheMask) {
  // Opaque red, half-transparent white, fully transparent, opaque magenta (the mask).
  const std::string png = EncodePng(2, 2, {0xFF0000FFu, 0xFFFFFF80u, 0x12345600u, 0xFF00FFFFu});
  TDecodedImage image;
  ASSERT_TRUE(Decode(png, image));
  EXPECT_EQ(image.width, 2);
  EXPECT_EQ(image.height, 2);
  uint32_t out[4];
  EXPECT_TRUE(CImageDecoder::ToPremultipliedBgra(image, 0xFFFF00FFu, out));
  EXPECT_EQ(out[0], 0xFFFF0000u);
  EXPECT_EQ(out[1], 0x80808080u);
  EXPECT_EQ(out[2], 0x00000000u);
  EXPECT_EQ(out[3], 0x00000000u);  // masked

  const std::string opaque = SolidPng(3, 1, 0x336699FFu);
  ASSERT_TRUE(Decode(opaque, image));
  uint32_t row[3];
  EXPECT_FALSE(CImageDecoder::ToPremultipliedBgra(image, 0, row));
  EXPECT_EQ(row[2], 0xFF336699u);
  // The mask alone makes an opaque image need blending.
  EXPECT_TRUE(CImageDecoder::ToPremultipliedBgra(image, 0xFF336699u, row));
  EXPECT_EQ(row[0], 0u);
}

TEST(ImageDecoder, BadOrOversizedImagesAreRefusedBeforeAllocating) {
  TDecodedImage image;
  EXPECT_FALSE(Decode("", image));
  EXPECT_FALSE(Decode("not an image at all", image));
  const std::string png = SolidPng(4, 4, 0xFFFFFFFFu);
  EXPECT_FALSE(Decode(png.substr(0, png.size() / 2), image));
  EXPECT_FALSE(Decode(WithHeaderSize(png, 100000, 4), image));
  EXPECT_FALSE(Decode(WithHeaderSize(png, 8000, 8000), image));  // too many pixels in all
  EXPECT_EQ(image.rgba, nullptr);
  EXPECT_EQ(image.width, 0);
}
