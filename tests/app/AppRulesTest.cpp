// The installer's platform-free rules, natively under the sanitizers and under Wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/InstallCommands.h"
#include "app/InstallLocationRules.h"
#include "app/SupportLogRules.h"

namespace {

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
