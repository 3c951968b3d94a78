// The path texts the folder and process routines build on, natively under the sanitizers and
// under Wine.
#include <gtest/gtest.h>

#include "platform/CommonText.h"

namespace {

// A process of "Kelto2" is never one of "Kelto", and an empty folder holds nothing: the old
// install's clean-up ends processes by this rule.
TEST(CommonText, FoldersAreWholePathComponents) {
  EXPECT_TRUE(IsPathInFolder(L"d:\\GAMES\\kelto\\bin\\game.exe", L"D:\\Games\\Kelto"));
  EXPECT_FALSE(IsPathInFolder(L"D:\\Games\\Kelto2\\KeltoLauncher.exe", L"D:\\Games\\Kelto"));
  EXPECT_FALSE(IsPathInFolder(L"D:\\Games\\Kelto\\x.exe", L""));
  EXPECT_FALSE(IsPathInFolder(L"D:\\x.exe", L"\\"));
}

TEST(CommonText, OnlyTreesBelowADriveOrShareRootAreDeletable) {
  EXPECT_TRUE(IsDeletableTree(L"\\\\server\\share\\Games\\"));
  for (const wchar_t* refused :
       {L"", L"\\", L"\\bin\\", L"bin\\", L"C:", L"C:\\", L"C:\\\\", L"C:bin\\", L"C:\\.\\",
        L"C:\\Games\\..\\", L"\\\\server\\share\\", L"\\\\server\\"}) {
    EXPECT_FALSE(IsDeletableTree(refused)) << testing::PrintToString(refused);
  }
}

}  // namespace
