// The package's file names: the partial file lies beside the package, whatever the version.
#include "updater/PackageFiles.h"

#include <gtest/gtest.h>

#include <string>

using namespace package_files;

namespace {

const std::wstring kPackage = L"D:\\凯途网络\\qvinstaller.exe";

// The folder part of a path built by PartPath: everything before its last separator.
std::wstring FolderOf(const std::wstring& path) {
  return path.substr(0, path.find_last_of(L"\\/"));
}

TEST(PackageFiles, PackageAndPartialPaths) {
  EXPECT_EQ(PackagePath(L"D:\\凯途网络"), kPackage);
  EXPECT_EQ(PartPath(kPackage, L"1.0.3.27", kPartSuffix),
            L"D:\\凯途网络\\qvinstaller_1.0.3.27.tmp");
  EXPECT_EQ(PartPath(kPackage, L"1.0.3.27", kRestartSuffix),
            L"D:\\凯途网络\\qvinstaller_1.0.3.27.tmptmp");
  EXPECT_EQ(PartPath(kPackage, L"", kPartSuffix), L"D:\\凯途网络\\qvinstaller_.tmp");
  EXPECT_EQ(PartPath(kPackage, L"版本二", kPartSuffix), L"D:\\凯途网络\\qvinstaller_版本二.tmp");
  // Cut before the last ".", the whole path when there is none.
  EXPECT_EQ(PartPath(L"D:\\a.b\\pkg", L"2", kPartSuffix), L"D:\\a.b\\pkg_2.tmp");
  EXPECT_EQ(PartPath(L"pkg", L"2", kPartSuffix), L"pkg_2.tmp");
}

TEST(PackageFiles, AHostileVersionStaysInsideTheFolder) {
  const std::wstring folder = FolderOf(kPackage);
  for (const std::wstring& version :
       {std::wstring(L"..\\..\\x"), std::wstring(L"../../../Windows/System32/evil"),
        std::wstring(L"C:\\Windows\\x"), std::wstring(L"\\\\server\\share\\x"),
        std::wstring(L"a:b*c?d\"e<f>g|h"), std::wstring(L"x\ny\tz\x7F"),
        std::wstring(L".."), std::wstring(L"a\0b", 3)}) {
    const std::wstring part = PartPath(kPackage, version, kPartSuffix);
    EXPECT_EQ(FolderOf(part), folder) << part;
    const std::wstring name = part.substr(folder.size() + 1);
    EXPECT_EQ(name.find_first_of(std::wstring(L"\\/:*?\"<>|\n\t\x7F\0", 13)), std::wstring::npos)
        << part;
    EXPECT_EQ(name.substr(0, 12), L"qvinstaller_") << part;
    EXPECT_TRUE(HasExtension(part, kPartSuffix)) << part;
  }
  EXPECT_EQ(FileNameVersion(L"..\\..\\x"), L".._.._x");
  EXPECT_EQ(FileNameVersion(L"a:b*c?d\"e<f>g|h/i"), L"a_b_c_d_e_f_g_h_i");
}

TEST(PackageFiles, AVeryLongVersionIsCut) {
  const std::wstring longVersion(100000, L'9');
  const std::wstring part = PartPath(kPackage, longVersion, kPartSuffix);
  EXPECT_EQ(part, L"D:\\凯途网络\\qvinstaller_" + std::wstring(kMaxVersionChars, L'9') + L".tmp");
  EXPECT_EQ(FileNameVersion(L"1.0"), L"1.0");
}

TEST(PackageFiles, TheCutNeverSplitsASurrogatePair) {
  if (sizeof(wchar_t) != 2) GTEST_SKIP() << "wide characters are whole code points here";
  std::wstring version(kMaxVersionChars - 1, L'v');
  version += static_cast<wchar_t>(0xD83D);
  version += static_cast<wchar_t>(0xDE00);
  EXPECT_EQ(FileNameVersion(version), std::wstring(kMaxVersionChars - 1, L'v'));
}

TEST(PackageFiles, ExtensionIsTheTextFromTheLastDot) {
  EXPECT_TRUE(HasExtension(L"D:\\x\\qvinstaller_1.2.tmp", L".tmp"));
  EXPECT_FALSE(HasExtension(L"D:\\x\\qvinstaller_1.2.tmptmp", L".tmp"));
  EXPECT_TRUE(HasExtension(L"D:\\x\\qvinstaller_1.2.tmptmp", L".tmptmp"));
  EXPECT_FALSE(HasExtension(L"D:\\x\\qvinstaller_1.2.TMP", L".tmp"));
  EXPECT_FALSE(HasExtension(L"D:\\x\\tmp", L".tmp"));
  EXPECT_FALSE(HasExtension(L"", L".tmp"));
}

}  // namespace
