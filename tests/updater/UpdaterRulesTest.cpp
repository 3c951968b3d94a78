// The update module's platform-free rules: the manifest's size text, the temporary copy's
// name and bytes, and the partial file's name whatever the version holds.
#include <gtest/gtest.h>

#include <cstdint>
#include <cwctype>
#include <string>
#include <utility>

#include "updater/ManifestTrust.h"
#include "updater/PackageFiles.h"
#include "updater/UpdateManifest.h"

namespace {

using namespace package_files;

TEST(UpdateManifest, SizeTextNameAndBytesOfTheCopy) {
  EXPECT_EQ(UpdateManifest::ParseSize(L"123abc"), 123u);
  // No sign and no blanks: "-5" must not turn into a size of 2^64 - 5; beyond 64 bits the
  // size stays at the largest value.
  for (const wchar_t* text : {L"-5", L"+5", L" 5", L"\xFF11\xFF12"}) {
    EXPECT_EQ(UpdateManifest::ParseSize(text), 0u) << text;
  }
  EXPECT_EQ(UpdateManifest::ParseSize(L"18446744073709551616"), UINT64_MAX);
  // The low 32 bits of a calendar time past 2038 read as a negative number; a long folder is
  // never cut, as a shortened path could name a file outside it.
  EXPECT_EQ(manifest_file::TempPath(L"D:\\dl", static_cast<int32_t>(0x80000001u)),
            L"D:\\dl\\xwinstall_-2147483647.ini");
  const std::wstring deep(3000, L'a');
  EXPECT_EQ(manifest_file::TempPath(deep, 5), deep + L"\\xwinstall_5.ini");
  // A mark, then UTF-16LE; a mark the text brought along (a manifest saved as UTF-8 with a
  // mark) is dropped, or the profile reader would not find the section.
  EXPECT_EQ(manifest_file::Bytes(L"\xFEFF[I]\x51EF"), std::string("\xFF\xFE[\0I\0]\0\xEF\x51", 10));
  EXPECT_EQ(manifest_file::Bytes(L"a\xFEFF"), std::string("\xFF\xFE" "a\0\xFF\xFE", 6));
}

TEST(PackageFiles, ThePartialFileStaysInTheFolderWhateverTheVersion) {
  const std::wstring package = L"D:\\凯途网络\\qvinstaller.exe";
  // Cut before the last "." of the file name, not of the path.
  EXPECT_EQ(PartPath(L"D:\\a.b\\pkg", L"2", kPartSuffix), L"D:\\a.b\\pkg_2.tmp");
  for (const std::wstring& version :
       {std::wstring(L"..\\..\\x"), std::wstring(L"../../Windows/evil"), std::wstring(L"C:\\x"),
        std::wstring(L"\\\\server\\share"), std::wstring(L"a:b*c?d\"e<f>g|h"),
        std::wstring(L"x\ny\x7F"), std::wstring(L"a\0b", 3)}) {
    const std::wstring part = PartPath(package, version, kPartSuffix);
    const std::wstring name = part.substr(std::wstring(L"D:\\凯途网络\\").size());
    EXPECT_EQ(part.compare(0, 8, L"D:\\凯途网络\\"), 0) << part;
    EXPECT_EQ(name.find_first_of(std::wstring(L"\\/:*?\"<>|\n\x7F\0", 12)), std::wstring::npos)
        << part;
    EXPECT_TRUE(HasExtension(part, kPartSuffix)) << part;
  }
  // Readable, and one name per exact version: versions that the replaced characters, the
  // letter case (Windows' names ignore it) or the cut would make alike never share a file.
  EXPECT_EQ(FileNameVersion(L"1.0.3-rc_2"), L"1.0.3-rc_2");
  EXPECT_EQ(FileNameVersion(L"a:b*c?d\"e<f>g|h/i").find(L"a_b_c_d_e_f_g_h_i~"), 0u);
  const std::wstring longer(kMaxVersionChars + 1, L'9');
  const auto folded = [](std::wstring name) {
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
    return name;
  };
  for (const auto& [one, other] : {std::pair<std::wstring, std::wstring>(L"1/2", L"1_2"),
                                   {L"1.0A", L"1.0a"},
                                   {longer, longer + L"0"}}) {
    EXPECT_NE(folded(FileNameVersion(one)), folded(FileNameVersion(other))) << folded(one);
  }
  EXPECT_EQ(FileNameVersion(longer).size(), kMaxVersionChars + 1 + kVersionDigestChars);
  if (sizeof(wchar_t) == 2) {  // a cut never splits a surrogate pair
    const std::wstring pair = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    EXPECT_EQ(FileNameVersion(std::wstring(kMaxVersionChars - 1, L'v') + pair)
                  .find(std::wstring(kMaxVersionChars - 1, L'v') + L"~"),
              0u);
  }
}

// What a signed manifest's texts must be to be read at all; the signature itself is checked
// by Windows' crypto in the module's tests.
TEST(ManifestTrust, TextsAreReadExactlyOrNotAtAll) {
  int64_t seconds = 0;
  ASSERT_TRUE(manifest_trust::ParseExpiry(L"2028-02-29T23:59:59Z", &seconds));
  EXPECT_EQ(seconds, 1835481599);
  for (const wchar_t* text : {L"2027-02-29T00:00:00Z", L"2027-01-01T24:00:00Z",
                              L"2027-01-01 00:00:00Z", L"2027-01-01T00:00:00", L"+027-01-01T00:00:00Z"}) {
    EXPECT_FALSE(manifest_trust::ParseExpiry(text, &seconds)) << text;
  }
  std::string bytes;
  EXPECT_TRUE(manifest_trust::DecodeBase64(" YWJjZA== ", &bytes));
  EXPECT_EQ(bytes, "abcd");
  for (const char* text : {"YWJjZA=", "YW=jZA==", "YWJj\nZA==", "YWJjZA==YQ==", "====", ""}) {
    EXPECT_FALSE(manifest_trust::DecodeBase64(text, &bytes)) << text;
  }
  EXPECT_EQ(manifest_trust::EncodeBase64("abcd"), "YWJjZA==");
  manifest_trust::PublicKey key;
  EXPECT_FALSE(manifest_trust::ParsePublicKey(manifest_trust::EncodeBase64(std::string(91, 'x')), &key));
  // Each value with its length: no value can pass for the end of another and the next key.
  UpdateManifest a, b;
  a.packageUrl = L"u\nmurl=";
  b.mirrorUrls = L"u";
  EXPECT_NE(manifest_trust::SignedText(a), manifest_trust::SignedText(b));
  a = UpdateManifest();
  a.packageVersion = L"\x51EF";
  EXPECT_EQ(manifest_trust::SignedText(a), "kelto-manifest-v1\nUrl=0:\nmurl=0:\nSize=0:\nMd5=0:\n"
                                           "Sha256=0:\nVersion=3:\xE5\x87\xAF\nExpires=0:\n");
}

}  // namespace
