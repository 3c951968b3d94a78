// The installer's platform-free rules, natively under the sanitizers and under Wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommonText.h"
#include "app/InstallCommands.h"
#include "app/InstallLocationRules.h"
#include "app/SupportLogRules.h"

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

TEST(InstallLocationRules, FoldersNeedADriveLetterAndNoForbiddenCharacter) {
  EXPECT_TRUE(install_location::IsValidPath(L"d:\\Games\\\\Kelto\\"));
  for (const wchar_t* bad :
       {L"", L"1:\\Games", L"\\\\server\\share\\Games", L"DD:\\Games", L"Games", L"D:\\a/b",
        L"D:\\a*b", L"D:\\a?b", L"D:\\a|b", L"D:\\a\tb", L"D:\\Games\n"}) {
    EXPECT_FALSE(install_location::IsValidPath(bad)) << testing::PrintToString(bad);
  }
}

// Unquoted, a trailing backslash of the folder would escape the quote that closes it.
TEST(InstallCommands, TrailingBackslashesOfTheFolderAreDoubled) {
  EXPECT_EQ(install_commands::PackageCommandLine(L"C:\\dl\\qvinstaller.exe", L"D:\\Games\\"),
            L"C:\\dl\\qvinstaller.exe /S \"/unpack=D:\\Games\\\\\" /launch=off");
  EXPECT_EQ(install_commands::EscapeBeforeClosingQuote(L"D:\\a\\\\"), L"D:\\a\\\\\\\\");
  EXPECT_EQ(install_commands::EscapeBeforeClosingQuote(L"D:\\a\\b"), L"D:\\a\\b");
}

// In hidden mode the temporary folder comes before the installer's own, which a silent
// deployment may leave read-only or delete.
TEST(SupportLogPlace, AfterTheGivenFileTheTemporaryFolderFirstInHiddenMode) {
  const std::tm when = {};
  const std::wstring name = support_log::DefaultFileName(when);
  support_log::Places places;
  places.hidden = true;
  places.given = L"E:\\setup.log";
  places.programDir = L"D:\\Downloads";
  places.tempDir = L"C:\\Temp\\";
  EXPECT_EQ(support_log::Candidates(places, when),
            (std::vector<std::wstring>{L"E:\\setup.log", L"C:\\Temp\\" + name,
                                       L"D:\\Downloads\\" + name}));
}

}  // namespace
