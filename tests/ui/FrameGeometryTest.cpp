// The frame rules of a borderless skinned window: hit tests over the size grip, the resizing
// borders and the caption, the classes that let a caption drag through, and centring.
// Natively under the sanitizers and under Wine.
#include <gtest/gtest.h>

#include <cstdint>

#include "ui/FrameGeometry.h"

using namespace SkinUI;

namespace {

constexpr TRect kClient = {0, 0, 540, 355};

int Hit(int x, int y, const TFrameRules& rules, bool maximised = false) {
  return CFrameGeometry::HitTest(TPoint{x, y}, kClient, rules, maximised);
}

TEST(FrameHitTest, CaptionIsMeasuredFromTheTopAndInsetFromTheSides) {
  // The install window's caption: the whole width, the top 190 pixels.
  const TFrameRules main = {{}, {0, 0, 0, 190}, {}};
  EXPECT_EQ(Hit(0, 0, main), kHitCaption);
  EXPECT_EQ(Hit(539, 189, main), kHitCaption);
  EXPECT_EQ(Hit(270, 190, main), kHitClient);
  EXPECT_EQ(Hit(270, 354, main), kHitClient);

  // Left and right are insets from the sides; top and bottom both count from the top.
  const TFrameRules inset = {{}, {10, 5, 20, 35}, {}};
  EXPECT_EQ(Hit(9, 20, inset), kHitClient);
  EXPECT_EQ(Hit(10, 20, inset), kHitCaption);
  EXPECT_EQ(Hit(519, 20, inset), kHitCaption);
  EXPECT_EQ(Hit(520, 20, inset), kHitClient);
  EXPECT_EQ(Hit(100, 4, inset), kHitClient);
  EXPECT_EQ(Hit(100, 5, inset), kHitCaption);
  EXPECT_EQ(Hit(100, 34, inset), kHitCaption);
  EXPECT_EQ(Hit(100, 35, inset), kHitClient);

  // No caption at all: everything is client area.
  EXPECT_EQ(Hit(100, 10, TFrameRules{}), kHitClient);
}

TEST(FrameHitTest, ResizingBordersAndTheirCorners) {
  const TFrameRules rules = {{4, 5, 6, 7}, {0, 0, 0, 35}, {}};
  EXPECT_EQ(Hit(0, 0, rules), kHitTopLeft);
  EXPECT_EQ(Hit(3, 4, rules), kHitTopLeft);
  EXPECT_EQ(Hit(4, 4, rules), kHitTop);
  EXPECT_EQ(Hit(533, 4, rules), kHitTop);
  EXPECT_EQ(Hit(534, 4, rules), kHitTopRight);
  EXPECT_EQ(Hit(3, 5, rules), kHitLeft);
  EXPECT_EQ(Hit(534, 200, rules), kHitRight);
  EXPECT_EQ(Hit(533, 200, rules), kHitClient);
  EXPECT_EQ(Hit(3, 348, rules), kHitBottomLeft);
  EXPECT_EQ(Hit(100, 348, rules), kHitBottom);
  EXPECT_EQ(Hit(100, 347, rules), kHitClient);
  EXPECT_EQ(Hit(539, 354, rules), kHitBottomRight);
  // A border wins over the caption it overlaps.
  EXPECT_EQ(Hit(100, 2, rules), kHitTop);
  EXPECT_EQ(Hit(100, 10, rules), kHitCaption);
}

TEST(FrameHitTest, SizeGripNeedsBothExtents) {
  const TFrameRules grip = {{}, {}, {12, 10}};
  EXPECT_EQ(Hit(528, 345, grip), kHitBottomRight);
  EXPECT_EQ(Hit(527, 345, grip), kHitClient);
  EXPECT_EQ(Hit(528, 344, grip), kHitClient);
  const TFrameRules flat = {{}, {}, {12, 0}};
  EXPECT_EQ(Hit(539, 354, flat), kHitClient);
}

TEST(FrameHitTest, MaximisedWindowsOnlyKeepTheirCaption) {
  const TFrameRules rules = {{4, 4, 4, 4}, {0, 0, 0, 35}, {12, 12}};
  EXPECT_EQ(Hit(0, 0, rules, true), kHitCaption);
  EXPECT_EQ(Hit(0, 200, rules, true), kHitClient);
  EXPECT_EQ(Hit(539, 354, rules, true), kHitClient);
}

TEST(FrameHitTest, ExtremeValuesDoNotOverflow) {
  // Sums of the client's edges and the skin's values leave the 32-bit range here.
  const TRect client = {INT32_MIN, 0, INT32_MAX, 100};
  const TFrameRules rules = {{kCoordinateLimit, 0, kCoordinateLimit, 0},
                             {-kCoordinateLimit, 0, -kCoordinateLimit, kCoordinateLimit},
                             {}};
  EXPECT_EQ(CFrameGeometry::HitTest(TPoint{0, 50}, client, rules, false), kHitCaption);
  EXPECT_EQ(CFrameGeometry::HitTest(TPoint{INT32_MIN + 1, 50}, client, rules, false), kHitLeft);
  EXPECT_EQ(CFrameGeometry::HitTest(TPoint{INT32_MAX - 1, 50}, client, rules, false),
            kHitRight);
  // Centred over the 2^32 - 1 pixels wide client: the odd pixel goes to the right.
  EXPECT_EQ(CFrameGeometry::CenterOver(TSize{kCoordinateLimit, 10}, client, client).x,
            -kCoordinateLimit / 2 - 1);
}

TEST(FrameDragThrough, LayoutsLabelsAndProgressBarsDragButtonsAndFieldsDoNot) {
  for (const wchar_t* name :
       {L"VerticalLayoutUI", L"HorizontalLayoutUI", L"TileLayoutUI", L"TabLayoutUI",
        L"ChildLayoutUI", L"ControlUI", L"ContainerUI", L"ProgressUI", L"LabelUI"}) {
    EXPECT_TRUE(CFrameGeometry::LetsDragThrough(name)) << name;
  }
  for (const wchar_t* name : {L"ButtonUI", L"OptionUI", L"EditUI", L"TextUI", L"labelui", L""}) {
    EXPECT_FALSE(CFrameGeometry::LetsDragThrough(name)) << name;
  }
  EXPECT_FALSE(CFrameGeometry::LetsDragThrough(nullptr));
}

TEST(FrameCentre, CentredOverTheOwnerAndKeptInsideTheWorkArea) {
  const TRect work = {0, 0, 1280, 770};
  // The message box over the install window.
  const TRect owner = {370, 222, 910, 577};
  TPoint p = CFrameGeometry::CenterOver(TSize{280, 115}, owner, work);
  EXPECT_EQ(p.x, 370 + (540 - 280) / 2);
  EXPECT_EQ(p.y, 222 + (355 - 115) / 2);
  // Without an owner: over the work area.
  p = CFrameGeometry::CenterOver(TSize{540, 355}, work, work);
  EXPECT_EQ(p.x, 370);
  EXPECT_EQ(p.y, 207);
  // An owner half off the screen: the box stays on it.
  p = CFrameGeometry::CenterOver(TSize{280, 115}, TRect{1200, 700, 1740, 1055}, work);
  EXPECT_EQ(p.x, 1280 - 280);
  EXPECT_EQ(p.y, 770 - 115);
  p = CFrameGeometry::CenterOver(TSize{280, 115}, TRect{-500, -300, 40, 55}, work);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 0);
  // Larger than the work area: its top-left corner stays visible.
  p = CFrameGeometry::CenterOver(TSize{2000, 1000}, work, work);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 0);
  // A work area on a monitor left of and above the primary one.
  const TRect left = {-1920, -200, 0, 880};
  p = CFrameGeometry::CenterOver(TSize{280, 115}, left, left);
  EXPECT_EQ(p.x, -1920 + (1920 - 280) / 2);
  EXPECT_EQ(p.y, -200 + (1080 - 115) / 2);
}

}  // namespace
