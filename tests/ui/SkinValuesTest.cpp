#include <gtest/gtest.h>

#include <climits>

#include "ui/SkinValues.h"

using namespace SkinUI;

TEST(SkinValues, IntegersReadLikeTheCLibrary) {
  EXPECT_EQ(ParseInt(L"42"), 42);
  EXPECT_EQ(ParseInt(L"  -17px"), -17);
  EXPECT_EQ(ParseInt(L"+8"), 8);
  EXPECT_EQ(ParseInt(L"abc"), 0);
  EXPECT_EQ(ParseInt(L""), 0);
  EXPECT_EQ(ParseInt(nullptr), 0);
  EXPECT_EQ(ParseInt(L"99999999999"), INT_MAX);
  EXPECT_EQ(ParseInt(L"-99999999999"), INT_MIN);
  EXPECT_EQ(ParseInt(L"-2147483648"), INT_MIN);
  const wchar_t* text = L"12,34";
  const wchar_t* end = nullptr;
  EXPECT_EQ(ParseInt(text, &end), 12);
  EXPECT_EQ(end, text + 2);
  ParseInt(L"x", &end);
  EXPECT_STREQ(end, L"x");
}

TEST(SkinValues, ColoursAreHexWithOptionalHash) {
  EXPECT_EQ(ParseColor(L"#ffffffff"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseColor(L"FF000000"), 0xFF000000u);
  EXPECT_EQ(ParseColor(L"#00C0C0C0"), 0x00C0C0C0u);
  EXPECT_EQ(ParseColor(L"#f2ffffff"), 0xF2FFFFFFu);
  EXPECT_EQ(ParseColor(L"0xff102030"), 0xFF102030u);
  EXPECT_EQ(ParseColor(L"#12zz"), 0x12u);          // stops at the first non-hex character
  EXPECT_EQ(ParseColor(L"#1ffffffff"), 0xFFFFFFFFu);  // saturates
  EXPECT_EQ(ParseColor(L"#"), 0u);
  EXPECT_EQ(ParseColor(nullptr), 0u);
}

TEST(SkinValues, ListsTakeAnySingleSeparator) {
  EXPECT_EQ(ParseRect(L"0,4,16,20"), (TRect{0, 4, 16, 20}));
  EXPECT_EQ(ParseRect(L"1 2 3 4"), (TRect{1, 2, 3, 4}));
  EXPECT_EQ(ParseRect(L"1, 2, 3, 4"), (TRect{1, 2, 3, 4}));
  EXPECT_EQ(ParseRect(L"-5,5,189,49"), (TRect{-5, 5, 189, 49}));
  EXPECT_EQ(ParseRect(L"1,,3,4"), (TRect{1, 0, 3, 4}));
  // Numbers missing at the end are 0, and reading never passes the terminator.
  EXPECT_EQ(ParseRect(L"7"), (TRect{7, 0, 0, 0}));
  EXPECT_EQ(ParseRect(L"7,"), (TRect{7, 0, 0, 0}));
  EXPECT_EQ(ParseRect(L""), (TRect{}));
  EXPECT_EQ(ParseSize(L"540,355"), (TSize{540, 355}));
  EXPECT_EQ(ParseSize(L"3").cy, 0);
  // Coordinates beyond anything drawable are held at the limit.
  EXPECT_EQ(ParseRect(L"99999999999,-99999999999,0,0").left, kCoordinateLimit);
  EXPECT_EQ(ParseRect(L"99999999999,-99999999999,0,0").top, -kCoordinateLimit);
}

TEST(SkinValues, BooleansAreTrueOnlyWhenExactlyTrue) {
  EXPECT_TRUE(ParseBool(L"true"));
  EXPECT_FALSE(ParseBool(L"True"));
  EXPECT_FALSE(ParseBool(L"true "));
  EXPECT_FALSE(ParseBool(L"1"));
  EXPECT_FALSE(ParseBool(nullptr));
}
