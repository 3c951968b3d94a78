// The placement arithmetic of the containers: flows, floating controls, relative positions,
// tab pages and the "pos" attribute.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "ui/LayoutMath.h"

using namespace SkinUI;

namespace {

TFlowChild Fixed(int length, TRect padding = {}) {
  TFlowChild child;
  child.fixedSize = TSize{0, length};
  child.padding = padding;
  child.estimate = [length](TSize) { return TSize{0, length}; };
  return child;
}

TFlowChild Stretch(TRect padding = {}) { return Fixed(0, padding); }

std::vector<int> Heights(const TFlowResult& result) {
  std::vector<int> heights;
  for (const TRect& r : result.rects) heights.push_back(static_cast<int>(r.Height()));
  return heights;
}

}  // namespace

TEST(LayoutFlow, StretchableChildrenShareWhatTheFixedOnesLeave) {
  // A page of the main window: one stretchable child above a 42-pixel bar.
  const TRect page{0, 0, 540, 355};
  TFlowResult r = ComputeFlow(FlowAxis::kVertical, page, 0, 0, {Stretch(), Fixed(42)});
  EXPECT_EQ(r.rects[0], (TRect{0, 0, 540, 313}));
  EXPECT_EQ(r.rects[1], (TRect{0, 313, 540, 355}));
  EXPECT_EQ(r.needed, 355);

  // The rounding remainder goes to the last stretchable child.
  r = ComputeFlow(FlowAxis::kVertical, TRect{0, 0, 10, 101}, 0, 0, {Stretch(), Stretch()});
  EXPECT_EQ(Heights(r), (std::vector<int>{50, 51}));
  r = ComputeFlow(FlowAxis::kVertical, TRect{0, 0, 10, 100}, 0, 0,
                  {Stretch(), Fixed(10), Stretch(), Stretch()});
  EXPECT_EQ(Heights(r), (std::vector<int>{30, 10, 30, 30}));
}

TEST(LayoutFlow, GapsAndPaddingsAreCountedOnceSoTheLastChildEndsAtTheEdge) {
  // Two stretchable children 10 pixels apart share 100 pixels evenly and fill it.
  TFlowResult r = ComputeFlow(FlowAxis::kVertical, TRect{0, 0, 10, 100}, 10, 0,
                              {Stretch(), Stretch()});
  EXPECT_EQ(Heights(r), (std::vector<int>{45, 45}));
  EXPECT_EQ(r.rects[1].bottom, 100);

  // Paddings before a stretchable child and a fixed child after it.
  r = ComputeFlow(FlowAxis::kVertical, TRect{0, 0, 10, 200}, 4, 0,
                  {Fixed(20, TRect{0, 5, 0, 5}), Stretch(TRect{0, 3, 0, 2}), Fixed(30)});
  // The bottom padding lies inside a child's rectangle, the top padding before it.
  EXPECT_EQ(r.rects[0], (TRect{0, 5, 10, 30}));
  EXPECT_EQ(r.rects[1].top, 30 + 4 + 3);
  EXPECT_EQ(r.rects[2], (TRect{0, 170, 10, 200}));
  EXPECT_EQ(r.rects[1].bottom + 4, r.rects[2].top);
}

TEST(LayoutFlow, CrossSizeIsFixedOrSpansTheLayoutWithinItsPadding) {
  TFlowChild narrow = Fixed(10);
  narrow.fixedSize.cx = 100;
  TFlowChild padded = Fixed(10, TRect{7, 0, 3, 0});
  TFlowChild limited = Fixed(10);
  limited.maxSize.cx = 50;
  const TFlowResult r = ComputeFlow(FlowAxis::kVertical, TRect{20, 30, 520, 330}, 0, 0,
                                    {narrow, padded, limited});
  EXPECT_EQ(r.rects[0], (TRect{20, 30, 120, 40}));
  EXPECT_EQ(r.rects[1], (TRect{27, 40, 517, 50}));
  EXPECT_EQ(r.rects[2], (TRect{20, 50, 70, 60}));
}

TEST(LayoutFlow, HorizontalFlowIsTheSameAlongTheOtherAxis) {
  TFlowChild button;
  button.fixedSize = TSize{60, 0};
  button.estimate = [](TSize) { return TSize{60, 0}; };
  TFlowChild rest;
  rest.padding = TRect{2, 4, 6, 0};
  rest.estimate = [](TSize) { return TSize{}; };
  const TFlowResult r =
      ComputeFlow(FlowAxis::kHorizontal, TRect{10, 10, 210, 40}, 5, 0, {button, rest});
  EXPECT_EQ(r.rects[0], (TRect{10, 10, 70, 40}));
  // The right padding lies inside the child's rectangle; the top padding shifts it down.
  EXPECT_EQ(r.rects[1], (TRect{77, 14, 210, 40}));
}

TEST(LayoutFlow, SizesAreLimitedAndNothingGoesNegative) {
  TFlowChild small = Stretch();
  small.maxSize.cy = 20;
  TFlowChild big = Fixed(500);
  big.minSize.cy = 600;
  TFlowResult r = ComputeFlow(FlowAxis::kVertical, TRect{0, 0, 10, 100}, 0, 0, {small, big});
  EXPECT_EQ(Heights(r), (std::vector<int>{0, 600}));

  // Fixed children larger than the layout leave stretchable ones empty, not negative.
  r = ComputeFlow(FlowAxis::kVertical, TRect{0, 0, 10, 50}, 0, 0, {Stretch(), Fixed(80)});
  EXPECT_EQ(Heights(r), (std::vector<int>{0, 80}));

  // An inverted inner area and absurd inputs stay within the coordinate limits.
  r = ComputeFlow(FlowAxis::kVertical, TRect{0, 100, 10, 0}, INT_MAX, INT_MIN,
                  {Fixed(INT_MAX), Stretch(TRect{INT_MIN, INT_MAX, INT_MAX, INT_MIN})});
  for (const TRect& rect : r.rects) {
    EXPECT_LE(rect.bottom, kCoordinateLimit);
    EXPECT_GE(rect.top, -kCoordinateLimit);
  }
  EXPECT_TRUE(ComputeFlow(FlowAxis::kHorizontal, TRect{}, 3, 0, {}).rects.empty());
}

TEST(LayoutFlow, ScrollOffsetMovesEveryChild) {
  const TFlowResult r =
      ComputeFlow(FlowAxis::kVertical, TRect{0, 0, 10, 100}, 0, 25, {Fixed(40), Fixed(40)});
  EXPECT_EQ(r.rects[0].top, -25);
  EXPECT_EQ(r.rects[1].top, 15);
}

TEST(LayoutFloating, OffsetsCountFromTheEdgeTheyName) {
  TRelativePos none;
  // The close button of the main window.
  EXPECT_EQ(PlaceFloating(TRect{0, 0, 540, 355}, TSize{488, 0}, TSize{25, 23}, none),
            (TRect{488, 0, 513, 23}));
  // A negative x places the right edge that far inside the container's right edge.
  EXPECT_EQ(PlaceFloating(TRect{100, 50, 300, 150}, TSize{-10, -5}, TSize{20, 10}, none),
            (TRect{270, 135, 290, 145}));
  // No width: an empty rectangle in that direction.
  EXPECT_EQ(PlaceFloating(TRect{0, 0, 540, 355}, TSize{5, 6}, TSize{0, 10}, none),
            (TRect{5, 6, 5, 16}));
}

TEST(LayoutFloating, RelativeControlsFollowTheirContainersSize) {
  TRelativePos relative;
  relative.relative = true;
  relative.move = TSize{100, 50};
  relative.zoom = TSize{0, 50};
  // First placement: nothing to follow yet, the size is recorded.
  EXPECT_EQ(PlaceFloating(TRect{0, 0, 200, 100}, TSize{150, 20}, TSize{40, 20}, relative),
            (TRect{150, 20, 190, 40}));
  EXPECT_EQ(relative.parentSize, (TSize{200, 100}));
  // The container grows by 100 x 40: moved 100 % and 50 %, taller by 50 % of 40.
  EXPECT_EQ(PlaceFloating(TRect{0, 0, 300, 140}, TSize{150, 20}, TSize{40, 20}, relative),
            (TRect{250, 40, 290, 80}));
  EXPECT_EQ(relative.parentSize, (TSize{300, 140}));

  // Huge percentages cannot overflow.
  relative.move = TSize{INT_MAX, INT_MIN};
  const TRect r = PlaceFloating(TRect{0, 0, 100000, 100000}, TSize{1, 1}, TSize{1, 1}, relative);
  EXPECT_LE(r.right, kCoordinateLimit);
  EXPECT_GE(r.top, -kCoordinateLimit);
}

TEST(LayoutFloating, FixedPositionFollowsWhereTheControlWasPut) {
  TSize xy{10, -20}, size{};
  FloatingFixedFromItem(TRect{100, 100, 300, 200}, TRect{130, 150, 170, 170}, xy, size);
  EXPECT_EQ(xy, (TSize{30, -30}));
  EXPECT_EQ(size, (TSize{40, 20}));
}

TEST(LayoutTabPage, SelectedPageFillsTheAreaWithinItsPaddingAndLimits) {
  const TRect inner{0, 0, 540, 355};
  EXPECT_EQ(PlaceTabPage(inner, TRect{}, TSize{}, TSize{}, TSize{9999, 9999}),
            (TRect{0, 0, 540, 355}));
  EXPECT_EQ(PlaceTabPage(inner, TRect{10, 20, 30, 40}, TSize{}, TSize{}, TSize{9999, 9999}),
            (TRect{10, 20, 510, 315}));
  EXPECT_EQ(PlaceTabPage(inner, TRect{}, TSize{100, 0}, TSize{}, TSize{9999, 200}),
            (TRect{0, 0, 100, 200}));
  EXPECT_EQ(PlaceTabPage(inner, TRect{300, 200, 300, 200}, TSize{}, TSize{}, TSize{9999, 9999}),
            (TRect{300, 200, 300, 200}));
}

TEST(LayoutPosAttribute, PositionAndSizeComeFromOneList) {
  TPosValue pos = ParsePosValue(L"177,237,0,0");
  EXPECT_EQ(pos.fixedXY, (TSize{177, 237}));
  EXPECT_EQ(pos.width, -1);  // right and bottom 0: only the position
  EXPECT_EQ(pos.height, -1);
  pos = ParsePosValue(L"488,0,513,23");
  EXPECT_EQ(pos.fixedXY, (TSize{488, 0}));
  EXPECT_EQ(pos.width, 25);
  EXPECT_EQ(pos.height, 23);
  pos = ParsePosValue(L"-30,-20,-10,-5");
  EXPECT_EQ(pos.fixedXY, (TSize{-10, -5}));
  EXPECT_EQ(pos.width, 20);
  EXPECT_EQ(pos.height, 15);
  pos = ParsePosValue(L"junk");
  EXPECT_EQ(pos.fixedXY, (TSize{0, 0}));
  EXPECT_EQ(pos.width, 0);
}

TEST(LayoutRect, NormalizeShrinkAndClamp) {
  EXPECT_EQ(NormalizeRect(TRect{10, 10, 5, 20}), (TRect{10, 10, 10, 20}));
  EXPECT_EQ(NormalizeRect(TRect{10, 30, 15, 20}), (TRect{10, 30, 15, 30}));
  EXPECT_EQ(ShrinkRect(TRect{0, 0, 100, 50}, TRect{4, 3, 4, 3}), (TRect{4, 3, 96, 47}));
  EXPECT_EQ(ClampExtent(50, 10, 40), 40);
  EXPECT_EQ(ClampExtent(5, 10, 40), 10);
  EXPECT_EQ(ClampExtent(5, 40, 10), 40);  // crossed limits: the minimum wins
}
