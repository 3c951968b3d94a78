#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/ImageString.h"

using namespace SkinUI;

namespace {

const TRect kItem{100, 200, 300, 230};

std::vector<TImageDrawState> Draws(const wchar_t* image, const wchar_t* modifier = nullptr,
                                   const TRect& item = kItem) {
  std::vector<TImageDrawState> draws;
  CImageString::Parse(image, modifier, item,
                      [&](const TImageDrawState& state) { draws.push_back(state); });
  return draws;
}

}  // namespace

TEST(ImageString, BareNameDrawsOverTheWholeItem) {
  const auto draws = Draws(L"install_0.png");
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].name, L"install_0.png");
  EXPECT_EQ(draws[0].dest, kItem);
  EXPECT_TRUE(draws[0].source.IsZero());
  EXPECT_TRUE(draws[0].corner.IsZero());
  EXPECT_EQ(draws[0].fade, 255);
  EXPECT_TRUE(draws[0].stretch);
  EXPECT_FALSE(draws[0].hole || draws[0].xtiled || draws[0].ytiled || draws[0].center);
  EXPECT_EQ(draws[0].resourceType, L"");
}

TEST(ImageString, SourceDestAndRdest) {
  auto draws = Draws(L"file='install_1.png' source='5,5,189,49'");
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].name, L"install_1.png");
  EXPECT_EQ(draws[0].source, (TRect{5, 5, 189, 49}));

  draws = Draws(L"file='opt_000.png' dest='0,4,16,20'");
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].dest, (TRect{100, 204, 116, 220}));

  // A destination larger than the item is cut at its right and bottom.
  draws = Draws(L"file='a.png' dest='-10,-10,500,500'");
  EXPECT_EQ(draws[0].dest, (TRect{90, 190, 300, 230}));

  draws = Draws(L"file='a.png' rdest='-20,-10,0,0'");
  EXPECT_EQ(draws[0].dest, (TRect{280, 220, 300, 230}));
  draws = Draws(L"file='a.png' rdest='-20,-10,5,5'");
  EXPECT_EQ(draws[0].dest, (TRect{280, 220, 300, 230}));
}

TEST(ImageString, StateCarriesOverFromImageToImage) {
  // The progress bar's shape: background, a fore image cut by corner and dest, overlays.
  const auto draws = Draws(
      L"file='bg.png' corner='2,2,2,2' file='fore.png' dest='0,0,50,30' "
      L"file='over1.png' corner='0,0,0,0' file='over2.png' dest='10,0,20,30'");
  ASSERT_EQ(draws.size(), 4u);
  EXPECT_EQ(draws[0].name, L"bg.png");
  EXPECT_EQ(draws[0].dest, kItem);
  EXPECT_EQ(draws[0].corner, (TRect{2, 2, 2, 2}));
  EXPECT_EQ(draws[1].name, L"fore.png");
  EXPECT_EQ(draws[1].dest, (TRect{100, 200, 150, 230}));
  EXPECT_EQ(draws[1].corner, (TRect{2, 2, 2, 2}));  // from the first image
  EXPECT_EQ(draws[2].name, L"over1.png");
  EXPECT_EQ(draws[2].dest, (TRect{100, 200, 150, 230}));  // from the second image
  EXPECT_TRUE(draws[2].corner.IsZero());
  EXPECT_EQ(draws[3].name, L"over2.png");
  EXPECT_EQ(draws[3].dest, (TRect{110, 200, 120, 230}));
}

TEST(ImageString, ItemsAreSeparatedByASpaceFollowedByAnyBlanks) {
  auto draws = Draws(L"file='a.png' \t\t\r\n file='b.png'");
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[1].name, L"b.png");

  draws = Draws(L"file='a.png'\tfile='b.png'");
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].name, L"a.png");

  draws = Draws(L"  file = 'a.png'   dest = '0,0,1,1'");
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].name, L"a.png");
  EXPECT_EQ(draws[0].dest, (TRect{100, 200, 101, 201}));
}

TEST(ImageString, UnreadableItemEndsTheStringButWhatCameBeforeIsDrawn) {
  for (const wchar_t* text : {L"file='a.png' dest=0,0,1,1", L"file='a.png' dest='0,0,1,1",
                              L"file='a.png' dest", L"file='a.png' dest=\"0,0,1,1\""}) {
    const auto draws = Draws(text);
    ASSERT_EQ(draws.size(), 1u) << text;
    EXPECT_EQ(draws[0].name, L"a.png");
    EXPECT_EQ(draws[0].dest, kItem) << text;
  }
  // An empty value is ignored: no file means the whole string stays the name.
  const auto draws = Draws(L"file='' dest='0,0,1,1'");
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].name, L"file='' dest='0,0,1,1'");
}

TEST(ImageString, ModifierAppliesAfterTheImageString) {
  auto draws = Draws(L"fore.png", L"dest='0,0,50,30' source='0,0,50,30'");
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].name, L"fore.png");
  EXPECT_EQ(draws[0].dest, (TRect{100, 200, 150, 230}));
  EXPECT_EQ(draws[0].source, (TRect{0, 0, 50, 30}));

  // The count of started images restarts for the modifier: its file replaces the image's.
  draws = Draws(L"file='a.png'", L"file='b.png'");
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].name, L"b.png");

  draws = Draws(nullptr, nullptr);
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].name, L"");
}

TEST(ImageString, EveryKeyIsRead) {
  const auto draws = Draws(
      L"res='7' restype='PNG' corner='1,2,3,4' centerrect='5,6,7,8' mask='#ff00ff00' "
      L"fade='300' hole='true' xtiled='true' ytiled='True' stretch='false' center='true' "
      L"aligntop='true' alignleft='true' roundcorner='3,4' gray='true' angle='90' other='x'");
  ASSERT_EQ(draws.size(), 1u);
  const TImageDrawState& s = draws[0];
  EXPECT_EQ(s.name, L"7");
  EXPECT_EQ(s.resourceType, L"PNG");
  EXPECT_EQ(s.corner, (TRect{1, 2, 3, 4}));
  EXPECT_EQ(s.centerRect, (TRect{5, 6, 7, 8}));
  EXPECT_EQ(s.mask, 0xFF00FF00u);
  EXPECT_EQ(s.fade, 300 % 256);
  EXPECT_TRUE(s.hole);
  EXPECT_TRUE(s.xtiled);
  EXPECT_FALSE(s.ytiled);
  EXPECT_FALSE(s.stretch);
  EXPECT_TRUE(s.center);
  EXPECT_TRUE(s.alignTop);
  EXPECT_TRUE(s.alignLeft);
  EXPECT_EQ(s.roundCorner.cx, 3);
  EXPECT_EQ(s.roundCorner.cy, 4);
  EXPECT_EQ(Draws(L"file='a.png' mask='00ff00ff'")[0].mask, 0x00FF00FFu);
}

TEST(ImageString, ResAndRestypeDecideWhenEarlierImagesAreDrawn) {
  // "res" does not count an image, so a following "file" does not draw it separately.
  auto draws = Draws(L"res='1' file='b.png'");
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].name, L"b.png");

  // "restype" after a "file" draws the file first, then counts as a new image.
  draws = Draws(L"file='101' restype='PNG'");
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].resourceType, L"");
  EXPECT_EQ(draws[1].name, L"101");
  EXPECT_EQ(draws[1].resourceType, L"PNG");
}
