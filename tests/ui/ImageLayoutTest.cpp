#include <gtest/gtest.h>

#include <vector>

#include "ui/ImageLayout.h"

using namespace SkinUI;

namespace {

std::vector<TImagePiece> NineSlice(const TNineSlice& slice) {
  std::vector<TImagePiece> pieces;
  CImageLayout::ForEachNineSlicePiece(slice, [&](const TImagePiece& p) { pieces.push_back(p); });
  return pieces;
}

bool HasPiece(const std::vector<TImagePiece>& pieces, const TRect& dest, const TRect& source) {
  for (const TImagePiece& p : pieces) {
    if (p.dest == dest && p.source == source) return true;
  }
  return false;
}

}  // namespace

TEST(ImageLayout, SourceDefaultsToTheWholeImageAndStaysInside) {
  EXPECT_EQ(CImageLayout::NormalizeSource(TRect{}, 40, 30), (TRect{0, 0, 40, 30}));
  EXPECT_EQ(CImageLayout::NormalizeSource(TRect{5, 5, 189, 49}, 194, 54), (TRect{5, 5, 189, 49}));
  EXPECT_EQ(CImageLayout::NormalizeSource(TRect{5, 5, 500, 500}, 40, 30), (TRect{5, 5, 40, 30}));
  EXPECT_EQ(CImageLayout::NormalizeSource(TRect{-5, -5, 10, 10}, 40, 30), (TRect{0, 0, 10, 10}));
}

TEST(ImageLayout, FittingKeepsProportionsOrCentresAtNaturalSize) {
  const TRect source{0, 0, 20, 10};
  // Stretch: untouched.
  EXPECT_EQ(CImageLayout::FitDestination(TRect{0, 0, 100, 100}, source, true, false),
            (TRect{0, 0, 100, 100}));
  // Too wide a destination: full height, centred horizontally.
  EXPECT_EQ(CImageLayout::FitDestination(TRect{0, 0, 100, 10}, source, false, false),
            (TRect{40, 0, 60, 10}));
  // Too tall: full width, centred vertically (halves rounded toward zero).
  EXPECT_EQ(CImageLayout::FitDestination(TRect{0, 0, 20, 101}, source, false, false),
            (TRect{0, 45, 20, 55}));
  // Same proportions: unchanged.
  EXPECT_EQ(CImageLayout::FitDestination(TRect{10, 10, 50, 30}, source, false, false),
            (TRect{10, 10, 50, 30}));
  // Centre on a larger destination: natural size in the middle.
  EXPECT_EQ(CImageLayout::FitDestination(TRect{100, 100, 151, 131}, source, false, true),
            (TRect{115, 110, 135, 120}));
  // Centre on a smaller destination: squeezed into it.
  EXPECT_EQ(CImageLayout::FitDestination(TRect{0, 0, 15, 50}, source, false, true),
            (TRect{0, 0, 15, 50}));
  // Degenerate rectangles are left alone.
  EXPECT_EQ(CImageLayout::FitDestination(TRect{0, 0, 0, 50}, source, false, false),
            (TRect{0, 0, 0, 50}));
}

TEST(ImageLayout, NineSliceKeepsCornersAndStretchesEdges) {
  TNineSlice slice;
  slice.dest = TRect{0, 0, 100, 50};
  slice.paint = slice.dest;
  slice.source = TRect{0, 0, 10, 10};
  slice.corner = TRect{3, 3, 3, 3};
  const auto pieces = NineSlice(slice);
  ASSERT_EQ(pieces.size(), 9u);
  EXPECT_TRUE(HasPiece(pieces, {3, 3, 97, 47}, {3, 3, 7, 7}));    // middle
  EXPECT_TRUE(HasPiece(pieces, {0, 0, 3, 3}, {0, 0, 3, 3}));      // top-left
  EXPECT_TRUE(HasPiece(pieces, {3, 0, 97, 3}, {3, 0, 7, 3}));     // top
  EXPECT_TRUE(HasPiece(pieces, {97, 0, 100, 3}, {7, 0, 10, 3}));  // top-right
  EXPECT_TRUE(HasPiece(pieces, {0, 3, 3, 47}, {0, 3, 3, 7}));     // left
  EXPECT_TRUE(HasPiece(pieces, {97, 3, 100, 47}, {7, 3, 10, 7})); // right
  EXPECT_TRUE(HasPiece(pieces, {0, 47, 3, 50}, {0, 7, 3, 10}));   // bottom-left
  EXPECT_TRUE(HasPiece(pieces, {3, 47, 97, 50}, {3, 7, 7, 10}));  // bottom
  EXPECT_TRUE(HasPiece(pieces, {97, 47, 100, 50}, {7, 7, 10, 10}));

  slice.hole = true;
  const auto framed = NineSlice(slice);
  EXPECT_EQ(framed.size(), 8u);
  EXPECT_FALSE(HasPiece(framed, {3, 3, 97, 47}, {3, 3, 7, 7}));

  // Only the top border: the middle, the top edge, and no corner pieces.
  slice.hole = false;
  slice.corner = TRect{0, 4, 0, 0};
  const auto topOnly = NineSlice(slice);
  ASSERT_EQ(topOnly.size(), 2u);
  EXPECT_TRUE(HasPiece(topOnly, {0, 4, 100, 50}, {0, 4, 10, 10}));
  EXPECT_TRUE(HasPiece(topOnly, {0, 0, 100, 4}, {0, 0, 10, 4}));
}

TEST(ImageLayout, PiecesOutsideThePaintRectangleAreSkipped) {
  TNineSlice slice;
  slice.dest = TRect{0, 0, 100, 50};
  slice.source = TRect{0, 0, 10, 10};
  slice.corner = TRect{3, 3, 3, 3};
  slice.paint = TRect{0, 0, 2, 2};  // inside the top-left corner only
  auto pieces = NineSlice(slice);
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0].dest, (TRect{0, 0, 3, 3}));
  slice.paint = TRect{200, 200, 300, 300};
  EXPECT_TRUE(NineSlice(slice).empty());
}

TEST(ImageLayout, DegenerateCornersYieldNoEmptyPieces) {
  TNineSlice slice;
  slice.dest = TRect{0, 0, 4, 4};
  slice.paint = slice.dest;
  slice.source = TRect{0, 0, 10, 10};
  slice.corner = TRect{6, 6, 6, 6};  // larger than the destination
  for (const TImagePiece& p : NineSlice(slice)) {
    EXPECT_FALSE(p.dest.IsEmpty());
    EXPECT_FALSE(p.source.IsEmpty());
  }
  slice.corner = TRect{-3, -3, -3, -3};  // negative widths count as none
  const auto pieces = NineSlice(slice);
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0].dest, slice.dest);
}

TEST(ImageLayout, TilingRepeatsAtNaturalSizeAndCutsTheLastTile) {
  TNineSlice slice;
  slice.dest = TRect{10, 20, 35, 37};  // 25 x 17
  slice.paint = slice.dest;
  slice.source = TRect{0, 0, 10, 8};
  slice.xtiled = slice.ytiled = true;
  auto pieces = NineSlice(slice);
  ASSERT_EQ(pieces.size(), 9u);  // 3 columns x 3 rows
  EXPECT_TRUE(HasPiece(pieces, {10, 20, 20, 28}, {0, 0, 10, 8}));
  EXPECT_TRUE(HasPiece(pieces, {30, 36, 35, 37}, {0, 0, 5, 1}));

  slice.ytiled = false;  // x only: pieces stretched to the full height
  pieces = NineSlice(slice);
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_TRUE(HasPiece(pieces, {20, 20, 30, 37}, {0, 0, 10, 8}));
  EXPECT_TRUE(HasPiece(pieces, {30, 20, 35, 37}, {0, 0, 5, 8}));

  slice.xtiled = false;
  slice.ytiled = true;  // y only: pieces stretched to the full width
  pieces = NineSlice(slice);
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_TRUE(HasPiece(pieces, {10, 36, 35, 37}, {0, 0, 10, 1}));

  // Only tiles reaching the paint rectangle are produced, however large the middle.
  slice.dest = TRect{0, 0, 1 << 20, 1 << 20};
  slice.source = TRect{0, 0, 1, 1};
  slice.xtiled = slice.ytiled = true;
  slice.paint = TRect{500, 500, 503, 502};
  pieces = NineSlice(slice);
  ASSERT_EQ(pieces.size(), 6u);
  EXPECT_TRUE(HasPiece(pieces, {502, 501, 503, 502}, {0, 0, 1, 1}));
}

TEST(ImageLayout, CentrePreservingModeKeepsTheCentreAtNaturalSize) {
  const TRect source{0, 0, 30, 30};
  const TRect centre{10, 10, 20, 20};
  std::vector<TImagePiece> pieces;
  auto collect = [&](const TImagePiece& p) { pieces.push_back(p); };
  const TRect dest{0, 0, 110, 60};
  CImageLayout::ForEachCenterPreservingPiece(dest, dest, source, centre, false, false, collect);
  ASSERT_EQ(pieces.size(), 9u);
  // Spare width 100 split evenly between equal sides; spare height 50 likewise.
  EXPECT_TRUE(HasPiece(pieces, {50, 25, 60, 35}, {10, 10, 20, 20}));
  EXPECT_TRUE(HasPiece(pieces, {0, 0, 50, 25}, {0, 0, 10, 10}));
  EXPECT_TRUE(HasPiece(pieces, {60, 35, 110, 60}, {20, 20, 30, 30}));

  pieces.clear();
  CImageLayout::ForEachCenterPreservingPiece(dest, dest, source, centre, true, true, collect);
  EXPECT_TRUE(HasPiece(pieces, {10, 10, 20, 20}, {10, 10, 20, 20}));
  EXPECT_TRUE(HasPiece(pieces, {20, 20, 110, 60}, {20, 20, 30, 30}));

  pieces.clear();
  const TRect small{0, 0, 6, 6};
  CImageLayout::ForEachCenterPreservingPiece(small, small, source, centre, false, false, collect);
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0].dest, small);
  EXPECT_EQ(pieces[0].source, centre);
}
