// The installer's platform-free rules: path texts, the folder syntax, the progress page's
// arithmetic, the package's command line and the support log's places. Run natively under
// the sanitizers and under Wine, whose C runtime formats wide text differently.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "app/CommonText.h"
#include "app/InstallCommands.h"
#include "app/InstallLocationRules.h"
#include "app/InstallProgress.h"
#include "app/SupportLogRules.h"

namespace {

// A process of "Kelto2" is never one of "Kelto", and an empty folder holds nothing: the old
// install's clean-up ends processes by this rule.
TEST(CommonText, FoldersAreWholePathComponents) {
  const std::wstring folder = L"D:\\Games\\Kelto";
  EXPECT_TRUE(IsPathInFolder(L"d:\\GAMES\\kelto\\bin\\game.exe", folder));
  EXPECT_TRUE(IsPathInFolder(L"D:\\Games\\Kelto\\x.exe", folder + L"\\"));
  EXPECT_FALSE(IsPathInFolder(L"D:\\Games\\Kelto2\\KeltoLauncher.exe", folder));
  EXPECT_FALSE(IsPathInFolder(L"D:\\Games\\Kelto", folder));
  EXPECT_FALSE(IsPathInFolder(L"D:\\Games\\Kelto\\x.exe", L""));
  EXPECT_FALSE(IsPathInFolder(L"D:\\x.exe", L"\\"));
  // Longer than any first guess of a buffer, a formatted text still comes back whole.
  const std::wstring part(3000, L'凯');
  EXPECT_EQ(FormatString(L"[%ls|%d]", part.c_str(), 12), L"[" + part + L"|12]");
}

TEST(CommonText, OnlyTreesBelowADriveOrShareRootAreDeletable) {
  EXPECT_TRUE(IsDeletableTree(L"C:\\Games\\Kelto\\bin\\"));
  EXPECT_TRUE(IsDeletableTree(L"\\\\server\\share\\Games\\"));
  for (const wchar_t* refused :
       {L"", L"\\", L"\\bin\\", L"bin\\", L"C:", L"C:\\", L"C:\\\\", L"C:bin\\", L"C:\\.\\",
        L"C:\\Games\\..\\", L"\\\\server\\share\\", L"\\\\server\\"}) {
    EXPECT_FALSE(IsDeletableTree(refused)) << testing::PrintToString(refused);
  }
}

TEST(InstallLocationRules, FoldersNeedADriveLetterAndNoForbiddenCharacter) {
  EXPECT_TRUE(install_location::IsValidPath(L"D:\\凯途网络\\凯途星联"));
  EXPECT_TRUE(install_location::IsValidPath(L"d:\\Games\\\\Kelto\\"));
  for (const wchar_t* bad :
       {L"", L"1:\\Games", L"\\\\server\\share\\Games", L"DD:\\Games", L"Games", L"D:\\a/b",
        L"D:\\a*b", L"D:\\a?b", L"D:\\a|b", L"D:\\a\tb", L"D:\\Games\n"}) {
    EXPECT_FALSE(install_location::IsValidPath(bad)) << testing::PrintToString(bad);
  }
}

TEST(InstallProgress, TheDownloadFillsNinetyPercentAndTheInstallStepTheRest) {
  using install_progress::FilledWidth;
  EXPECT_EQ(FilledWidth(500, false, 0, 500, 1000), 225);
  EXPECT_EQ(FilledWidth(500, false, 450, 1000, 1000), 475);
  EXPECT_EQ(FilledWidth(333, false, 1, 1, 7), 42);  // truncated, not rounded
  EXPECT_EQ(FilledWidth(500, true, 450, 0, 0), 250);
  EXPECT_EQ(FilledWidth(500, false, 900, 0, 0), 0);  // no size: the bar stays empty
  EXPECT_EQ(FilledWidth(500, false, 909, 1000, 1000), 500);
  // Slower past 450 and 675 while the package runs, fast once it has ended.
  EXPECT_EQ(install_progress::NextInstallTicks(450, false), 452);
  EXPECT_EQ(install_progress::NextInstallTicks(674, false), 675);
  EXPECT_EQ(install_progress::NextInstallTicks(800, true), 809);
  // The bar's image string never outgrows what the painter reads, whatever the numbers.
  const std::wstring widest = install_progress::ProgressBarImage(INT_MAX, INT_MAX, INT_MAX);
  EXPECT_LE(widest.size(), install_progress::kImageTextLimit);
  EXPECT_EQ(widest.substr(widest.size() - 12), L"\t\t\t\t\t\t\t\t\t   ") << "the last item was cut";
}

// Unquoted, a trailing backslash of the folder would escape the quote that closes it.
TEST(InstallCommands, TrailingBackslashesOfTheFolderAreDoubled) {
  EXPECT_EQ(install_commands::PackageCommandLine(L"C:\\dl\\qvinstaller.exe", L"D:\\Games\\"),
            L"C:\\dl\\qvinstaller.exe /S \"/unpack=D:\\Games\\\\\" /launch=off");
  EXPECT_EQ(install_commands::EscapeBeforeClosingQuote(L"D:\\a\\\\"), L"D:\\a\\\\\\\\");
  EXPECT_EQ(install_commands::EscapeBeforeClosingQuote(L"D:\\a\\b"), L"D:\\a\\b");
}

// Beside the installer first; in hidden mode the temporary folder first, since a silent
// deployment's folder may be read-only or gone afterwards. A place is offered once.
TEST(SupportLogPlace, TheGivenFileThenBesideTheInstallerOrFirstTheTemporaryFolder) {
  const std::tm when = {};
  const std::wstring name = support_log::DefaultFileName(when);
  support_log::Places places;
  places.programDir = L"D:\\Downloads";
  places.tempDir = L"C:\\Temp\\";
  using Files = std::vector<std::wstring>;
  EXPECT_EQ(support_log::Candidates(places, when),
            (Files{L"D:\\Downloads\\" + name, L"C:\\Temp\\" + name}));
  places.hidden = true;
  places.given = L"E:\\log\\";
  places.givenIsFolder = true;
  EXPECT_EQ(support_log::Candidates(places, when),
            (Files{L"E:\\log\\" + name, L"C:\\Temp\\" + name, L"D:\\Downloads\\" + name}));
  places.given = L"C:\\Temp\\" + name;
  places.givenIsFolder = false;
  EXPECT_EQ(support_log::Candidates(places, when).size(), 2u);
}

}  // namespace
