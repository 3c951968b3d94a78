// Drawing checked by pixels: image strings drawn into a 32-bit DIB under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestCanvas.h"
#include "support/PngWriter.h"
#include "support/ZipWriter.h"
#include "ui/AlphaBlender.h"
#include "ui/DibSection.h"
#include "ui/SkinPainter.h"
#include "ui/SkinStorage.h"

using namespace SkinUI;
using testing_support::EncodePng;
using testing_support::Near;
using testing_support::SolidPng;
using testing_support::TestCanvas;

namespace {

// Canvas colours, 0xAARRGGBB.
constexpr uint32_t kGrey = 0xFF808080, kBlack = 0xFF000000, kBlue = 0xFF0000FF;
constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlueRgb = 0x0000FF, kWhite = 0xFFFFFF;

// PNG pixels, 0xRRGGBBAA.
std::string Quad(int size) {
  std::vector<uint32_t> px(size * size);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const bool right = x >= size / 2, bottom = y >= size / 2;
      px[y * size + x] = bottom ? (right ? 0xFFFFFFFFu : 0x0000FFFFu)
                                : (right ? 0x00FF00FFu : 0xFF0000FFu);
    }
  }
  return EncodePng(size, size, px);
}

// 9 x 9: a 3-pixel red frame around a blue middle.
std::string Frame() {
  std::vector<uint32_t> px(81);
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 9; ++x) {
      const bool middle = x >= 3 && x < 6 && y >= 3 && y < 6;
      px[y * 9 + x] = middle ? 0x0000FFFFu : 0xFF0000FFu;
    }
  }
  return EncodePng(9, 9, px);
}

class SkinPainterTest : public testing::Test {
 protected:
  void SetUp() override {
    std::vector<uint32_t> centred(9, 0xFF0000FFu);
    centred[4] = 0x0000FFFFu;
    const auto zip = testing_support::BuildZip({
        {"quad.png", Quad(8), false},
        {"quad4.png", Quad(4), false},
        {"frame.png", Frame(), false},
        {"half.png", SolidPng(4, 4, 0xFFFFFF80u), false},
        {"white.png", SolidPng(4, 4, 0xFFFFFFFFu), false},
        {"icon.png", SolidPng(4, 4, 0xFF0000FFu), false},
        {"masked.png", EncodePng(2, 1, {0xFF00FFFFu, 0xFF0000FFu}), false},
        {"centred.png", EncodePng(3, 3, centred), false},
    });
    ASSERT_TRUE(CSkinStorage::SetSkinArchive(zip.bytes.data(), zip.bytes.size()));
  }
  void TearDown() override { CSkinStorage::CloseSkinArchive(); }

  void Draw(TestCanvas& canvas, const RECT& item, const wchar_t* image,
            const wchar_t* modifier = nullptr) {
    RECT paint = {0, 0, canvas.width(), canvas.height()};
    ASSERT_TRUE(CSkinPainter::DrawImageString(canvas.dc(), &cache_, item, paint, image, modifier));
  }

  CSkinResourceCache cache_;
};

}  // namespace

TEST_F(SkinPainterTest, BareNameStretchesTheWholeImageOverTheItem) {
  TestCanvas canvas(64, 64, kGrey);
  const RECT item = {8, 8, 48, 48};
  Draw(canvas, item, L"quad.png");
  EXPECT_EQ(canvas.Rgb(14, 14), kRed);
  EXPECT_EQ(canvas.Rgb(42, 14), kGreen);
  EXPECT_EQ(canvas.Rgb(14, 42), kBlueRgb);
  EXPECT_EQ(canvas.Rgb(42, 42), kWhite);
  EXPECT_EQ(canvas.Rgb(8, 8), kRed);
  EXPECT_EQ(canvas.Rgb(47, 47), kWhite);
  EXPECT_EQ(canvas.CountDiffering(item, kGrey, false), 0);
}

TEST_F(SkinPainterTest, SourceRectangleDrawsThatPartOfTheImage) {
  TestCanvas canvas(40, 40, kGrey);
  const RECT item = {4, 4, 36, 36};
  Draw(canvas, item, L"file='quad.png' source='4,0,8,4'");
  EXPECT_EQ(canvas.Rgb(20, 20), kGreen);
  EXPECT_EQ(canvas.Rgb(5, 5), kGreen);
  EXPECT_EQ(canvas.Rgb(34, 34), kGreen);
  EXPECT_EQ(canvas.CountDiffering(item, kGrey, false), 0);
}

TEST_F(SkinPainterTest, DestinationIsABoxInTheItemCutAtItsEdges) {
  TestCanvas canvas(80, 60, kGrey);
  Draw(canvas, RECT{10, 10, 60, 40}, L"file='icon.png' dest='0,4,16,20'");
  const RECT box = {10, 14, 26, 30};
  EXPECT_EQ(canvas.CountDiffering(box, kRed, true), 0);
  EXPECT_EQ(canvas.CountDiffering(box, kGrey, false), 0);

  canvas.Fill(kGrey);
  Draw(canvas, RECT{10, 10, 60, 40}, L"file='icon.png' dest='40,20,100,100'");
  const RECT cut = {50, 30, 60, 40};
  EXPECT_EQ(canvas.Rgb(55, 35), kRed);
  EXPECT_EQ(canvas.CountDiffering(cut, kGrey, false), 0);
}

TEST_F(SkinPainterTest, CornersStaySharpWhileTheMiddleStretches) {
  TestCanvas canvas(60, 30, kGrey);
  Draw(canvas, RECT{0, 0, 60, 30}, L"file='frame.png' corner='3,3,3,3'");
  for (int x : {0, 1, 2, 57, 58, 59}) EXPECT_EQ(canvas.Rgb(x, 15), kRed) << x;
  for (int y : {0, 2, 27, 29}) EXPECT_EQ(canvas.Rgb(30, y), kRed) << y;
  for (int x : {4, 30, 55}) EXPECT_EQ(canvas.Rgb(x, 15), kBlueRgb) << x;
  EXPECT_EQ(canvas.Rgb(30, 4), kBlueRgb);
  EXPECT_EQ(canvas.Rgb(0, 0), kRed);
  EXPECT_EQ(canvas.Rgb(59, 29), kRed);
}

TEST_F(SkinPainterTest, HoleLeavesTheMiddleUntouched) {
  TestCanvas canvas(60, 30, kGrey);
  Draw(canvas, RECT{0, 0, 60, 30}, L"file='frame.png' corner='3,3,3,3' hole='true'");
  EXPECT_EQ(canvas.CountDiffering(RECT{3, 3, 57, 27}, kGrey, true), 0);
  EXPECT_EQ(canvas.Rgb(1, 15), kRed);
  EXPECT_EQ(canvas.Rgb(30, 28), kRed);
}

TEST_F(SkinPainterTest, TilesRepeatAtNaturalSizeAndTheLastOneIsCut) {
  TestCanvas canvas(20, 20, kGrey);
  Draw(canvas, RECT{0, 0, 10, 10}, L"file='quad4.png' xtiled='true' ytiled='true'");
  for (int x : {0, 4, 8}) {
    EXPECT_EQ(canvas.Rgb(x, 0), kRed) << x;
    EXPECT_EQ(canvas.Rgb(x + 1, 2), kBlueRgb) << x;
  }
  EXPECT_EQ(canvas.Rgb(2, 0), kGreen);
  EXPECT_EQ(canvas.Rgb(6, 6), kWhite);
  EXPECT_EQ(canvas.Rgb(9, 9), kRed);  // the cut tile shows its top-left quarter
  EXPECT_EQ(canvas.CountDiffering(RECT{0, 0, 10, 10}, kGrey, false), 0);

  // Across only: each tile is stretched to the full height.
  canvas.Fill(kGrey);
  Draw(canvas, RECT{0, 0, 10, 20}, L"file='quad4.png' xtiled='true'");
  EXPECT_EQ(canvas.Rgb(4, 3), kRed);
  EXPECT_EQ(canvas.Rgb(6, 3), kGreen);
  EXPECT_EQ(canvas.Rgb(8, 16), kBlueRgb);
  EXPECT_EQ(canvas.Rgb(9, 16), kBlueRgb);
}

TEST_F(SkinPainterTest, UnstretchedImagesKeepProportionsOrCentre) {
  TestCanvas canvas(60, 60, kGrey);
  Draw(canvas, RECT{0, 0, 20, 20}, L"file='icon.png' stretch='false' center='true'");
  EXPECT_EQ(canvas.CountDiffering(RECT{8, 8, 12, 12}, kRed, true), 0);
  EXPECT_EQ(canvas.CountDiffering(RECT{8, 8, 12, 12}, kGrey, false), 0);

  canvas.Fill(kGrey);
  Draw(canvas, RECT{30, 30, 32, 32}, L"file='icon.png' stretch='false' center='true'");
  EXPECT_EQ(canvas.CountDiffering(RECT{30, 30, 32, 32}, kRed, true), 0);

  canvas.Fill(kGrey);
  Draw(canvas, RECT{0, 0, 40, 20}, L"file='quad4.png' stretch='false'");
  EXPECT_EQ(canvas.CountDiffering(RECT{10, 0, 30, 20}, kGrey, false), 0);
  EXPECT_EQ(canvas.Rgb(12, 2), kRed);
  EXPECT_EQ(canvas.Rgb(28, 18), kWhite);
}

TEST_F(SkinPainterTest, OnlyThePaintRectangleIsDrawn) {
  TestCanvas canvas(64, 64, kGrey);
  RECT item = {8, 8, 48, 48}, paint = {8, 8, 28, 48};
  ASSERT_TRUE(CSkinPainter::DrawImageString(canvas.dc(), &cache_, item, paint,
                                            L"file='frame.png' corner='3,3,3,3'"));
  EXPECT_EQ(canvas.Rgb(9, 20), kRed);
  EXPECT_EQ(canvas.Rgb(20, 20), kBlueRgb);
  // The right-hand pieces lie wholly outside the paint rectangle: not drawn.
  EXPECT_EQ(canvas.CountDiffering(RECT{45, 8, 48, 48}, kGrey, true), 0);
  // A destination outside the paint rectangle draws nothing at all.
  canvas.Fill(kGrey);
  paint = {0, 0, 4, 4};
  ASSERT_TRUE(CSkinPainter::DrawImageString(canvas.dc(), &cache_, item, paint, L"white.png"));
  EXPECT_EQ(canvas.CountDiffering(RECT{0, 0, 64, 64}, kGrey, true), 0);
}

TEST_F(SkinPainterTest, AlphaAndFadeBlend) {
  TestCanvas canvas(24, 8, kBlack);
  Draw(canvas, RECT{0, 0, 8, 8}, L"half.png");
  Draw(canvas, RECT{8, 0, 16, 8}, L"file='white.png' fade='128'");
  Draw(canvas, RECT{16, 0, 24, 8}, L"file='half.png' fade='128'");
  EXPECT_TRUE(Near(canvas.Rgb(4, 4), 0x808080, 2)) << std::hex << canvas.Rgb(4, 4);
  EXPECT_TRUE(Near(canvas.Rgb(12, 4), 0x808080, 2)) << std::hex << canvas.Rgb(12, 4);
  EXPECT_TRUE(Near(canvas.Rgb(20, 4), 0x404040, 2)) << std::hex << canvas.Rgb(20, 4);
}

TEST_F(SkinPainterTest, MaskColourBecomesTransparentAndTheFirstLoadDecides) {
  TestCanvas canvas(4, 4, kGrey);
  Draw(canvas, RECT{0, 0, 2, 1}, L"file='masked.png' mask='#ffff00ff'");
  EXPECT_EQ(canvas.Rgb(0, 0), 0x808080u);
  EXPECT_EQ(canvas.Rgb(1, 0), kRed);
  const TImageRecord* first = cache_.GetImage(L"masked.png");
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->alpha);
  EXPECT_EQ(first->mask, 0xFFFF00FFu);
  EXPECT_EQ(cache_.FindOrLoadImage(L"masked.png", nullptr, 0), first);
  EXPECT_EQ(first->mask, 0xFFFF00FFu);
}

TEST_F(SkinPainterTest, SeveralImagesInOneStringShareTheirState) {
  TestCanvas canvas(30, 10, kGrey);
  Draw(canvas, RECT{0, 0, 20, 10}, L"file='white.png' file='icon.png' dest='0,0,10,10'");
  EXPECT_EQ(canvas.Rgb(15, 5), kWhite);
  EXPECT_EQ(canvas.Rgb(5, 5), kRed);
  // Progress-bar style: the fore image's width comes from the modifier.
  canvas.Fill(kGrey);
  Draw(canvas, RECT{0, 0, 20, 10}, L"icon.png", L"dest='0,0,5,10'");
  EXPECT_EQ(canvas.CountDiffering(RECT{0, 0, 5, 10}, kRed, true), 0);
  EXPECT_EQ(canvas.CountDiffering(RECT{0, 0, 5, 10}, kGrey, false), 0);
}

TEST_F(SkinPainterTest, RoundCornerClipsTheImage) {
  TestCanvas canvas(60, 50, kBlue);
  Draw(canvas, RECT{10, 10, 50, 40}, L"file='icon.png' roundcorner='8,8'");
  EXPECT_EQ(canvas.Rgb(10, 10), kBlueRgb);
  EXPECT_EQ(canvas.Rgb(49, 10), kBlueRgb);
  EXPECT_EQ(canvas.Rgb(10, 39), kBlueRgb);
  EXPECT_EQ(canvas.Rgb(49, 39), kBlueRgb);
  EXPECT_EQ(canvas.Rgb(30, 25), kRed);
  EXPECT_EQ(canvas.Rgb(30, 11), kRed);
  EXPECT_EQ(canvas.Rgb(11, 25), kRed);
  EXPECT_EQ(canvas.CountDiffering(RECT{10, 10, 50, 40}, kBlue, false), 0);
}

TEST_F(SkinPainterTest, CentreRectangleKeepsItsNaturalSize) {
  TestCanvas canvas(21, 21, kGrey);
  Draw(canvas, RECT{0, 0, 21, 21}, L"file='centred.png' centerrect='1,1,2,2'");
  EXPECT_EQ(canvas.Rgb(10, 10), kBlueRgb);
  for (const POINT p : {POINT{9, 10}, POINT{11, 10}, POINT{10, 9}, POINT{10, 11}, POINT{0, 0}}) {
    EXPECT_EQ(canvas.Rgb(p.x, p.y), kRed) << p.x << "," << p.y;
  }
}

TEST_F(SkinPainterTest, MissingImagesAndMissingCacheDrawNothing) {
  TestCanvas canvas(10, 10, kGrey);
  Draw(canvas, RECT{0, 0, 10, 10}, L"file='nothere.png'");
  Draw(canvas, RECT{0, 0, 10, 10}, L"");
  EXPECT_EQ(canvas.CountDiffering(RECT{0, 0, 10, 10}, kGrey, true), 0);
  const RECT r = {0, 0, 10, 10};
  EXPECT_FALSE(CSkinPainter::DrawImageString(canvas.dc(), nullptr, r, r, L"white.png"));
  EXPECT_FALSE(CSkinPainter::DrawImageString(nullptr, &cache_, r, r, L"white.png"));
}

TEST(SkinPainterColor, TransparentOpaqueAndBlendedColours) {
  TestCanvas canvas(30, 10, kBlack);
  CSkinPainter::DrawColor(canvas.dc(), RECT{0, 0, 10, 10}, 0x00C0C0C0);
  EXPECT_EQ(canvas.CountDiffering(RECT{0, 0, 30, 10}, kBlack, true), 0);
  CSkinPainter::DrawColor(canvas.dc(), RECT{0, 0, 10, 10}, 0xFFFF0000);
  EXPECT_EQ(canvas.CountDiffering(RECT{0, 0, 10, 10}, 0xFF0000, true), 0);
  CSkinPainter::DrawColor(canvas.dc(), RECT{10, 0, 20, 10}, 0xF2FFFFFF);
  EXPECT_TRUE(Near(canvas.Rgb(15, 5), 0xF2F2F2, 1)) << std::hex << canvas.Rgb(15, 5);
  // A coloured translucent fill is premultiplied, so it darkens instead of saturating.
  CSkinPainter::DrawColor(canvas.dc(), RECT{20, 0, 30, 10}, 0x80FF8000);
  EXPECT_TRUE(Near(canvas.Rgb(25, 5), 0x804000, 2)) << std::hex << canvas.Rgb(25, 5);
  EXPECT_EQ(canvas.CountDiffering(RECT{0, 0, 30, 10}, kBlack, false), 0);
}

TEST(SkinPainterBlend, SoftwareBlendMatchesThePlatformBlend) {
  ASSERT_TRUE(CAlphaBlender::HasPlatformBlend());
  CDibSection image;
  ASSERT_TRUE(image.Create(16, 16));
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const uint32_t a = (x * 17) & 0xFF, c = (y * 16) * a / 255;
      image.bits()[y * 16 + x] = (a << 24) | (c << 16) | ((a / 2) << 8) | (a / 3);
    }
  }
  HDC source = ::CreateCompatibleDC(nullptr);
  HGDIOBJ old = ::SelectObject(source, image.handle());
  TestCanvas platform(40, 40, 0xFF336699), software(40, 40, 0xFF336699);
  const RECT dest = {3, 5, 19, 21}, all = {0, 0, 40, 40}, src = {0, 0, 16, 16};
  for (BYTE fade : {255, 200, 64}) {
    ASSERT_TRUE(CAlphaBlender::Blend(platform.dc(), dest, all, source, image.handle(), src, fade));
    ASSERT_TRUE(CAlphaBlender::SoftwareBlend(software.dc(), dest, all, image.handle(), src, fade));
    for (int y = 0; y < 40; ++y) {
      for (int x = 0; x < 40; ++x) {
        ASSERT_TRUE(Near(platform.Rgb(x, y), software.Rgb(x, y), 1))
            << x << "," << y << " fade " << int(fade) << std::hex << " " << platform.Rgb(x, y)
            << " vs " << software.Rgb(x, y);
      }
    }
  }
  // Scaled and clipped: only the clip changes.
  TestCanvas clipped(40, 40, kBlack);
  ASSERT_TRUE(CAlphaBlender::SoftwareBlend(clipped.dc(), RECT{0, 0, 32, 32}, RECT{0, 0, 16, 40},
                                           image.handle(), src, 255));
  EXPECT_EQ(clipped.CountDiffering(RECT{0, 0, 16, 40}, kBlack, false), 0);
  EXPECT_GT(clipped.CountDiffering(RECT{0, 0, 16, 40}, kBlack, true), 0);
  ::SelectObject(source, old);
  ::DeleteDC(source);
}
