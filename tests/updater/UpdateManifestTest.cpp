// The manifest's platform-free rules: the size text, the temporary copy's bytes and name.
#include "updater/UpdateManifest.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

TEST(ManifestSize, LeadingDigitsOnly) {
  EXPECT_EQ(UpdateManifest::ParseSize(L"25165824"), 25165824u);
  EXPECT_EQ(UpdateManifest::ParseSize(L"123abc"), 123u);
  EXPECT_EQ(UpdateManifest::ParseSize(L"abc"), 0u);
  EXPECT_EQ(UpdateManifest::ParseSize(L""), 0u);
  EXPECT_EQ(UpdateManifest::ParseSize(L"0"), 0u);
  EXPECT_EQ(UpdateManifest::ParseSize(L"007"), 7u);
  // No sign and no blanks: "-5" must not turn into a size of 2^64 - 5.
  EXPECT_EQ(UpdateManifest::ParseSize(L"-5"), 0u);
  EXPECT_EQ(UpdateManifest::ParseSize(L"+5"), 0u);
  EXPECT_EQ(UpdateManifest::ParseSize(L" 5"), 0u);
  EXPECT_EQ(UpdateManifest::ParseSize(L"12 34"), 12u);
  // Full-width digits are not decimal digits here.
  EXPECT_EQ(UpdateManifest::ParseSize(L"\xFF11\xFF12"), 0u);
}

TEST(ManifestSize, BeyondSixtyFourBitsStaysAtTheLargestValue) {
  EXPECT_EQ(UpdateManifest::ParseSize(L"18446744073709551615"), UINT64_MAX);
  EXPECT_EQ(UpdateManifest::ParseSize(L"18446744073709551616"), UINT64_MAX);
  EXPECT_EQ(UpdateManifest::ParseSize(L"99999999999999999999999999"), UINT64_MAX);
  EXPECT_EQ(UpdateManifest::ParseSize(L"18446744073709551614x"), UINT64_MAX - 1);
}

TEST(ManifestFile, TempPathNamesTheSecondsAsASignedNumber) {
  EXPECT_EQ(manifest_file::TempPath(L"D:\\dl", 1700000000), L"D:\\dl\\xwinstall_1700000000.ini");
  // The low 32 bits of a calendar time past 2038 read as a negative number.
  EXPECT_EQ(manifest_file::TempPath(L"D:\\dl", static_cast<int32_t>(0x80000001u)),
            L"D:\\dl\\xwinstall_-2147483647.ini");
  // A long folder is never cut: a shortened path could name a file outside it.
  const std::wstring deep(3000, L'a');
  EXPECT_EQ(manifest_file::TempPath(deep, 5), deep + L"\\xwinstall_5.ini");
}

TEST(ManifestFile, BytesAreAMarkThenUtf16LittleEndian) {
  EXPECT_EQ(manifest_file::Bytes(L""), std::string("\xFF\xFE", 2));
  EXPECT_EQ(manifest_file::Bytes(L"[I]\r\n"), std::string("\xFF\xFE[\0I\0]\0\r\0\n\0", 12));
  // 凯 U+51EF
  EXPECT_EQ(manifest_file::Bytes(L"\x51EF"), std::string("\xFF\xFE\xEF\x51", 4));
  // No terminator, and a NUL in the text stays.
  EXPECT_EQ(manifest_file::Bytes(std::wstring(L"a\0b", 3)),
            std::string("\xFF\xFE" "a\0\0\0b\0", 8));
}

TEST(ManifestFile, ACharacterBeyondTheBasicPlaneIsOneSurrogatePair) {
  // U+1F600 is D83D DE00 in UTF-16.
  std::wstring text;
  if (sizeof(wchar_t) == 2) {
    text = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
  } else {
    text = {static_cast<wchar_t>(0x1F600)};
  }
  EXPECT_EQ(manifest_file::Bytes(text), std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6));
}

TEST(ManifestFile, TheTextsOwnMarkIsDropped) {
  EXPECT_EQ(manifest_file::Bytes(L"\xFEFF[Install]"), manifest_file::Bytes(L"[Install]"));
  // Only a leading one: a later U+FEFF is text.
  EXPECT_EQ(manifest_file::Bytes(L"a\xFEFF"), std::string("\xFF\xFE" "a\0\xFF\xFE", 6));
  EXPECT_EQ(manifest_file::Bytes(L"\xFEFF"), std::string("\xFF\xFE", 2));
}

}  // namespace
