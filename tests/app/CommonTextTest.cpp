// The text routines of the common utilities; platform-free, run natively and under Wine.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "app/CommonText.h"

namespace {

TEST(FormatSize, StepsUpAtOneThousandOfEachUnitWhileDividingBy1024) {
  struct Case {
    std::uint64_t bytes;
    const wchar_t* text;
  };
  const Case cases[] = {
      {0, L"0B"},
      {999, L"999B"},
      {1000, L"0.98KB"},
      {1024, L"1.00KB"},
      {1023999, L"1000.00KB"},
      {1024000, L"0.98MB"},
      {157286400, L"150.00MB"},
      {1024ull * 1024 * 1024, L"1.00GB"},
      {1000ull << 40, L"1000.00TB"},          // the last unit stays
      {~std::uint64_t{0}, L"16777216.00TB"},  // the whole unsigned range converts
  };
  for (const Case& c : cases) EXPECT_EQ(FormatSize(c.bytes), c.text) << c.bytes;
}

TEST(FormatString, FormatsWideAndWideStringArgumentsToTheExactLength) {
  EXPECT_EQ(FormatString(L"code:%d type:%d", 28, 5), L"code:28 type:5");
  EXPECT_EQ(FormatString(L"%ls -i \"%d\" -d", L"C:\\游戏\\KeltoLauncher.exe", 12),
            L"C:\\游戏\\KeltoLauncher.exe -i \"12\" -d");
  EXPECT_EQ(FormatString(L"%lld", -9000000000000LL), L"-9000000000000");
  EXPECT_EQ(FormatString(L""), L"");
  EXPECT_EQ(FormatString(nullptr), L"");

  // Longer than any first guess of a buffer: the text still comes back whole.
  const std::wstring part(3000, L'凯');
  const std::wstring text = FormatString(L"[%ls|%ls]", part.c_str(), part.c_str());
  EXPECT_EQ(text.size(), 6003u);
  EXPECT_EQ(text, L"[" + part + L"|" + part + L"]");
}

TEST(ParentDir, CutsTheLastPieceAfterDroppingOneTrailingSeparator) {
  EXPECT_EQ(ParentDir(L""), L"");
  EXPECT_EQ(ParentDir(L"C:\\"), L"");  // a drive root has no parent
  EXPECT_EQ(ParentDir(L"C:"), L"");
  EXPECT_EQ(ParentDir(L"game"), L"");
  EXPECT_EQ(ParentDir(L"C:\\a\\b\\"), L"C:\\a");
  EXPECT_EQ(ParentDir(L"C:\\a\\b"), L"C:\\a");
  EXPECT_EQ(ParentDir(L"C:\\a"), L"C:");
  EXPECT_EQ(ParentDir(L"C:/凯途网络/凯途星联/KeltoLauncher.exe"), L"C:\\凯途网络\\凯途星联");
  EXPECT_EQ(ParentDir(L"C:\\a\\\\"), L"C:\\a");  // only one trailing separator is dropped
}

TEST(JoinPath, AddsOneSeparator) {
  EXPECT_EQ(JoinPath(L"C:\\ProgramData", L"KeltoLaucher.ini"), L"C:\\ProgramData\\KeltoLaucher.ini");
  EXPECT_EQ(JoinPath(L"D:\\", L"凯途星联"), L"D:\\凯途星联");
  EXPECT_EQ(JoinPath(L"D:", L"凯途星联"), L"D:\\凯途星联");
  EXPECT_EQ(TrimTrailingSeparators(L"D:\\a\\/\\"), L"D:\\a");
}

TEST(IsPathInFolder, MatchesTheFolderAsAWholePathComponent) {
  const std::wstring folder = L"D:\\Games\\Kelto";
  EXPECT_TRUE(IsPathInFolder(L"D:\\Games\\Kelto\\KeltoLauncher.exe", folder));
  EXPECT_TRUE(IsPathInFolder(L"D:\\Games\\Kelto\\bin\\game.exe", folder));
  EXPECT_TRUE(IsPathInFolder(L"d:\\GAMES\\kelto\\bin\\game.exe", folder));
  EXPECT_TRUE(IsPathInFolder(L"D:\\Games\\Kelto\\x.exe", L"D:\\Games\\Kelto\\"));

  // A sibling whose name merely begins with the folder's name is somewhere else.
  EXPECT_FALSE(IsPathInFolder(L"D:\\Games\\Kelto2\\KeltoLauncher.exe", folder));
  EXPECT_FALSE(IsPathInFolder(L"D:\\Games\\Kelto.exe", folder));
  EXPECT_FALSE(IsPathInFolder(L"D:\\Games\\Kelto", folder));  // the folder itself
  EXPECT_FALSE(IsPathInFolder(L"D:\\Games\\Kelto\\x.exe", L""));
  EXPECT_FALSE(IsPathInFolder(L"D:\\x.exe", L"\\"));

  // Case is folded for A-Z only.
  EXPECT_TRUE(IsPathInFolder(L"D:\\游戏\\凯途\\a.exe", L"d:\\游戏\\凯途"));
  EXPECT_FALSE(IsPathInFolder(L"D:\\Ä\\a.exe", L"D:\\ä"));

  // A drive root contains everything on that drive.
  EXPECT_TRUE(IsPathInFolder(L"D:\\Games\\a.exe", L"D:\\"));
  EXPECT_FALSE(IsPathInFolder(L"E:\\Games\\a.exe", L"D:\\"));
}

TEST(IsSameFolder, ComparesFoldersAsPathsNotAsText) {
  EXPECT_TRUE(IsSameFolder(L"D:\\Games\\Kelto", L"d:\\games\\KELTO"));
  EXPECT_TRUE(IsSameFolder(L"D:\\Games\\Kelto\\", L"D:/Games/Kelto"));
  EXPECT_TRUE(IsSameFolder(L"D:\\凯途网络\\凯途星联", L"d:\\凯途网络\\凯途星联\\"));
  EXPECT_FALSE(IsSameFolder(L"D:\\Games\\Kelto", L"D:\\Games\\Kelto2"));
  EXPECT_FALSE(IsSameFolder(L"D:\\Games\\Kelto", L"D:\\Games"));
  EXPECT_FALSE(IsSameFolder(L"D:\\Ä", L"D:\\ä"));
  EXPECT_FALSE(IsSameFolder(L"", L""));
  EXPECT_FALSE(IsSameFolder(L"\\", L""));
}

TEST(EqualsIgnoringAsciiCase, FoldsOnlyAToZ) {
  EXPECT_TRUE(EqualsIgnoringAsciiCase(L"9e107d9d372bb6826bd81d3542a419d6",
                                      L"9E107D9D372BB6826BD81D3542A419D6"));
  EXPECT_TRUE(EqualsIgnoringAsciiCase(L"", L""));
  EXPECT_FALSE(EqualsIgnoringAsciiCase(L"abc", L"abcd"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase(L"abc", L"abd"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase(L"Ä", L"ä"));
}

TEST(IsDeletableTree, RefusesRootsSharesAndRelativePaths) {
  EXPECT_TRUE(IsDeletableTree(L"C:\\Games\\Kelto\\bin\\"));
  EXPECT_TRUE(IsDeletableTree(L"C:\\Games"));
  EXPECT_TRUE(IsDeletableTree(L"\\\\server\\share\\Games\\"));
  EXPECT_TRUE(IsDeletableTree(L"C:/Games/"));

  EXPECT_FALSE(IsDeletableTree(L""));
  EXPECT_FALSE(IsDeletableTree(L"\\"));
  EXPECT_FALSE(IsDeletableTree(L"\\bin\\"));  // from the current drive's root
  EXPECT_FALSE(IsDeletableTree(L"bin\\"));
  EXPECT_FALSE(IsDeletableTree(L"C:"));
  EXPECT_FALSE(IsDeletableTree(L"C:\\"));
  EXPECT_FALSE(IsDeletableTree(L"C:\\\\"));
  EXPECT_FALSE(IsDeletableTree(L"C:bin\\"));  // relative to drive C's current folder
  EXPECT_FALSE(IsDeletableTree(L"C:\\.\\"));
  EXPECT_FALSE(IsDeletableTree(L"C:\\Games\\..\\"));
  EXPECT_FALSE(IsDeletableTree(L"\\\\server\\share\\"));
  EXPECT_FALSE(IsDeletableTree(L"\\\\server\\"));
  EXPECT_FALSE(IsDeletableTree(L"\\\\\\share\\x"));
}

}  // namespace
