// The value rules of the controls: align words, tooltip line breaks, attribute lists, the
// progress bar's filled part and modifier, gradient bands.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "ui/ControlValues.h"

using namespace SkinUI;

TEST(ControlValuesAlign, EachWordAppliesItsRuleInOrder) {
  const uint32_t label = kTextVCenter;  // a label's default
  // "right" clears vertical centring: the text sits right-aligned at the top.
  EXPECT_EQ(ApplyAlignWords(label, L"right"), kTextRight);
  // "vcenter" contains "center": centred both ways on one line.
  EXPECT_EQ(ApplyAlignWords(label, L"vcenter"), kTextCenter | kTextVCenter | kTextSingleLine);
  EXPECT_EQ(ApplyAlignWords(kTextCenter | kTextVCenter | kTextSingleLine, L"left"), 0u);
  EXPECT_EQ(ApplyAlignWords(label, L"center"), kTextCenter | kTextVCenter);
  EXPECT_EQ(ApplyAlignWords(label, L"bottom"), kTextBottom | kTextSingleLine);
  EXPECT_EQ(ApplyAlignWords(kTextBottom, L"top"), kTextSingleLine);
  // "vleft" contains "left": left aligned, vertically centred, several lines allowed.
  EXPECT_EQ(ApplyAlignWords(kTextCenter | kTextSingleLine, L"vleft"), kTextVCenter);
  // Words combine; unknown words change nothing; other bits stay.
  EXPECT_EQ(ApplyAlignWords(kTextEndEllipsis, L"right bottom"),
            kTextEndEllipsis | kTextRight | kTextBottom | kTextSingleLine);
  EXPECT_EQ(ApplyAlignWords(label, L"middle"), label);
  EXPECT_EQ(ApplyAlignWords(label, nullptr), label);
}

TEST(ControlValuesTooltip, LineBreakSequenceBecomesCrLf) {
  EXPECT_EQ(ExpandLineBreaks(L"first<n>second"), L"first\r\nsecond");
  EXPECT_EQ(ExpandLineBreaks(L"<n><n>"), L"\r\n\r\n");
  EXPECT_EQ(ExpandLineBreaks(L"a<n"), L"a<n");
  EXPECT_EQ(ExpandLineBreaks(L"<N>"), L"<N>");
  EXPECT_EQ(ExpandLineBreaks(nullptr), L"");
}

TEST(ControlValuesAttributeList, PairsAreReadUntilOneDoesNotFit) {
  std::vector<std::pair<std::wstring, std::wstring>> seen;
  auto collect = [&](const std::wstring& name, const std::wstring& value) {
    seen.emplace_back(name, value);
  };
  EXPECT_EQ(ForEachListedAttribute(L"font=\"1\" textcolor=\"#FF386382\" bkimage=\"file='a.png' "
                                   L"corner='3,3,3,3'\"",
                                   collect),
            3);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[1], (std::pair<std::wstring, std::wstring>{L"textcolor", L"#FF386382"}));
  EXPECT_EQ(seen[2].second, L"file='a.png' corner='3,3,3,3'");

  // Two blanks between pairs, a missing quote, a missing equals sign: reading stops there.
  seen.clear();
  EXPECT_EQ(ForEachListedAttribute(L"a=\"1\"  b=\"2\"", collect), 1);
  EXPECT_EQ(ForEachListedAttribute(L"a=\"1\" b=2", collect), 1);
  EXPECT_EQ(ForEachListedAttribute(L"a=\"1\" b", collect), 1);
  EXPECT_EQ(ForEachListedAttribute(L"a=\"unterminated", collect), 0);
  EXPECT_EQ(ForEachListedAttribute(L"=\"x\"", collect), 0);
  EXPECT_EQ(ForEachListedAttribute(L"", collect), 0);
  EXPECT_EQ(ForEachListedAttribute(nullptr, collect), 0);
  EXPECT_EQ(ForEachListedAttribute(L"a=\"\"", collect), 1);
}

TEST(ControlValuesProgress, FilledPartFollowsTheValueWithinSaneBounds) {
  EXPECT_EQ(ProgressFillRect(0, 100, 30, TSize{500, 30}, true), (TRect{0, 0, 150, 30}));
  EXPECT_EQ(ProgressFillRect(0, 100, 100, TSize{500, 30}, true), (TRect{0, 0, 500, 30}));
  // Vertical bars fill from the bottom.
  EXPECT_EQ(ProgressFillRect(0, 100, 25, TSize{20, 200}, false), (TRect{0, 150, 20, 200}));
  // Out-of-range values are held within the bounds; a maximum not above the minimum counts
  // as minimum + 1.
  EXPECT_EQ(ProgressFillRect(0, 100, 150, TSize{500, 30}, true), (TRect{0, 0, 500, 30}));
  EXPECT_EQ(ProgressFillRect(0, 100, -5, TSize{500, 30}, true), (TRect{0, 0, 0, 30}));
  EXPECT_EQ(ProgressFillRect(10, 10, 11, TSize{500, 30}, true), (TRect{0, 0, 500, 30}));
  EXPECT_EQ(ProgressFillRect(INT_MIN, INT_MAX, INT_MAX, TSize{INT_MAX, 30}, true).right,
            kCoordinateLimit);
}

TEST(ControlValuesProgress, ModifierCutsOrStretchesTheForeImage) {
  const TRect fill{0, 0, 150, 30};
  EXPECT_EQ(ProgressForeModifier(fill, true, false), L"dest='0,0,150,30'");
  EXPECT_EQ(ProgressForeModifier(fill, false, false), L"dest='0,0,150,30' source='0,0,150,30'");
  EXPECT_EQ(ProgressForeModifier(fill, true, true),
            L"dest='0,0,150,30' source='0,0,150,30' roundcorner='3,3,3,3'");
}

TEST(ControlValuesGradient, BandsCoverTheRectangleFromOneColourToTheOther) {
  std::vector<std::pair<TRect, uint32_t>> bands;
  auto collect = [&](const TRect& band, uint32_t color) { bands.emplace_back(band, color); };
  ForEachGradientBand(TRect{0, 10, 50, 110}, 0xFF000000, 0xFFFFFFFF, 64, collect);
  ASSERT_EQ(bands.size(), 64u);
  EXPECT_EQ(bands.front().first.top, 10);
  EXPECT_EQ(bands.back().first.bottom, 110);
  EXPECT_EQ(bands.front().second, 0xFF000000u);
  EXPECT_EQ(bands.back().second, 0xFFFFFFFFu);
  for (size_t i = 1; i < bands.size(); ++i) {
    EXPECT_EQ(bands[i].first.top, bands[i - 1].first.bottom);
    EXPECT_GE(bands[i].second & 0xFF, bands[i - 1].second & 0xFF);
  }
  // Fewer rows than bands: one band a row; nothing for an empty rectangle.
  bands.clear();
  ForEachGradientBand(TRect{0, 0, 5, 3}, 0x80FF0000, 0x800000FF, 64, collect);
  ASSERT_EQ(bands.size(), 3u);
  EXPECT_EQ(bands[1].second, 0x8080007Fu);
  bands.clear();
  ForEachGradientBand(TRect{0, 0, 0, 30}, 1, 2, 64, collect);
  EXPECT_TRUE(bands.empty());
}
