#include <gtest/gtest.h>

#include <string>

#include "ui/Utf8.h"

using SkinUI::Utf8ToWide;
using SkinUI::Utf8ToWideLength;
using SkinUI::WideToUtf8;

TEST(Utf8, WellFormedTextConvertsBothWays) {
  const std::string utf8 = "Kelto \xE5\x87\xAF\xE9\x80\x94 \xC3\xA9 \xF0\x9F\x98\x80";
  const std::wstring wide = L"Kelto \u51EF\u9014 \u00E9 \U0001F600";
  EXPECT_EQ(Utf8ToWide(utf8), wide);
  EXPECT_EQ(WideToUtf8(wide), utf8);
  // A character beyond the basic plane takes two UTF-16 units on Windows, one elsewhere.
  EXPECT_EQ(Utf8ToWideLength(reinterpret_cast<const uint8_t*>("\xF0\x9F\x98\x80"), 4),
            sizeof(wchar_t) == 2 ? 2u : 1u);
}

TEST(Utf8, IllFormedSequencesBecomeOneReplacementPerMaximalSubpart) {
  const struct {
    const char* bytes;
    const wchar_t* wide;
  } cases[] = {
      {"\x80", L"\uFFFD"},                       // stray continuation
      {"a\xC3", L"a\uFFFD"},                     // truncated at the end
      {"\xE6\x97(", L"\uFFFD("},                 // truncated before another character
      {"\xC0\xAF", L"\uFFFD\uFFFD"},             // overlong: both bytes invalid
      {"\xE0\x80\xAF", L"\uFFFD\uFFFD\uFFFD"},   // overlong three-byte form
      {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},   // encoded surrogate
      {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\xF5\xFF", L"\uFFFD\uFFFD"},
      {"\xF0\x9F\x98", L"\uFFFD"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToWide(std::string(c.bytes)), std::wstring(c.wide)) << c.bytes;
  }
}

TEST(Utf8, EmbeddedZeroBytesAreKept) {
  const std::string bytes("a\0b", 3);
  EXPECT_EQ(Utf8ToWide(bytes), std::wstring(L"a\0b", 3));
}

TEST(Utf8, UnpairedSurrogatesInWideTextBecomeReplacements) {
  std::wstring wide = L"x";
  wide += static_cast<wchar_t>(0xD800);
  wide += L"y";
  EXPECT_EQ(WideToUtf8(wide), "x\xEF\xBF\xBDy");
}
