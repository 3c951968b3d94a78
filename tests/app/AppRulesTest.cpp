// The installer's platform-free rules: path texts, the folder syntax, the progress page's
// arithmetic, the package's command line and the support log's places. Run natively under
// the sanitizers and under Wine, whose C runtime formats wide text differently.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "app/CommonText.h"
#include "app/InstallCommands.h"
#include "app/InstallLocationRules.h"
#include "app/InstallProgress.h"
#include "app/SupportLogRules.h"

namespace {

TEST(CommonText, SizesStepUpAtOneThousandAndLongTextsComeBackWhole) {
  EXPECT_EQ(FormatSize(999), L"999B");
  EXPECT_EQ(FormatSize(1000), L"0.98KB");
  EXPECT_EQ(FormatSize(~std::uint64_t{0}), L"16777216.00TB");
  const std::wstring part(3000, L'凯');
  EXPECT_EQ(FormatString(L"[%ls|%d]", part.c_str(), 12), L"[" + part + L"|12]");
}

// A process of "Kelto2" is never one of "Kelto", and an empty folder holds nothing: the old
// install's clean-up ends processes by these rules.
TEST(CommonText, FoldersAreWholePathComponents) {
  const std::wstring folder = L"D:\\Games\\Kelto";
  EXPECT_TRUE(IsPathInFolder(L"d:\\GAMES\\kelto\\bin\\game.exe", folder));
  EXPECT_TRUE(IsPathInFolder(L"D:\\Games\\Kelto\\x.exe", folder + L"\\"));
  EXPECT_FALSE(IsPathInFolder(L"D:\\Games\\Kelto2\\KeltoLauncher.exe", folder));
  EXPECT_FALSE(IsPathInFolder(L"D:\\Games\\Kelto", folder));
  EXPECT_FALSE(IsPathInFolder(L"D:\\Games\\Kelto\\x.exe", L""));
  EXPECT_FALSE(IsPathInFolder(L"D:\\x.exe", L"\\"));
  EXPECT_TRUE(IsSameFolder(L"D:\\Games\\Kelto\\", L"d:/games/KELTO"));
  EXPECT_FALSE(IsSameFolder(L"D:\\Games\\Kelto", L"D:\\Games\\Kelto2"));
  EXPECT_FALSE(IsSameFolder(L"", L""));
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

TEST(InstallProgress, TheBarsImageStringKeepsTheShineInsideTheFill) {
  const std::wstring gap = L"\t\t\t\t\t\t\t\t\t   ";
  EXPECT_EQ(install_progress::ProgressBarImage(500, 200, 260),
            L"file='progress_bk.png' dest='0,0,500,30' " + gap +
                L"file='progress_fore.png' corner='0,10,110,10' dest='0,0,200,30' " + gap +
                L"file='pro_flash_bk.png' corner='0,0,0,0' dest='180,0,260,30' "
                L"source='0,0,80,30' " +
                gap + L"file='pro_flash_fore.png' corner='0,0,0,0' dest='30,0,200,30' " +
                L"source='0,0,170,30' " + gap);
  const std::wstring widest = install_progress::ProgressBarImage(INT_MAX, INT_MAX, INT_MAX);
  EXPECT_LE(widest.size(), install_progress::kImageTextLimit);
  EXPECT_EQ(widest.substr(widest.size() - gap.size()), gap) << "the last item was cut";
  EXPECT_EQ(install_progress::NextShineOffset(577, 500, true), 0);
}

TEST(InstallProgress, TheDownloadFillsNinetyPercentAndTheInstallStepTheRest) {
  using install_progress::FilledWidth;
  EXPECT_EQ(FilledWidth(500, false, 0, 500, 1000), 225);
  EXPECT_EQ(FilledWidth(500, false, 450, 1000, 1000), 475);
  EXPECT_EQ(FilledWidth(333, false, 1, 1, 7), 42);  // truncated, not rounded
  EXPECT_EQ(FilledWidth(500, true, 450, 0, 0), 250);
  EXPECT_EQ(FilledWidth(500, false, 900, 0, 0), 0);  // no size: the bar stays empty
  EXPECT_EQ(FilledWidth(500, false, 909, 1000, 1000), 500);
  EXPECT_EQ(FilledWidth(500, true, -9, 0, 0), 0);
  // Slower past 450 and 675 while the package runs, fast once it has ended.
  EXPECT_EQ(install_progress::NextInstallTicks(450, false), 452);
  EXPECT_EQ(install_progress::NextInstallTicks(674, false), 675);
  EXPECT_EQ(install_progress::NextInstallTicks(800, true), 809);
  EXPECT_EQ(install_progress::InstallPercent(899, false), 99);
  EXPECT_EQ(install_progress::InstallPercent(450, true), 50);
  // More bytes than announced, or a negative speed, never read as huge numbers.
  EXPECT_EQ(install_progress::RemainingText(1000, 2000, -1), L"剩余0B @ 0B/s");
}

// Unquoted, a trailing backslash of the folder would escape the quote that closes it.
TEST(InstallCommands, TrailingBackslashesOfTheFolderAreDoubled) {
  EXPECT_EQ(install_commands::PackageCommandLine(L"C:\\dl\\qvinstaller.exe", L"D:\\Games\\"),
            L"C:\\dl\\qvinstaller.exe /S \"/unpack=D:\\Games\\\\\" /launch=off");
  EXPECT_EQ(install_commands::EscapeBeforeClosingQuote(L"D:\\a\\\\"), L"D:\\a\\\\\\\\");
  EXPECT_EQ(install_commands::EscapeBeforeClosingQuote(L"D:\\a\\b"), L"D:\\a\\b");
}

TEST(SupportLogPlace, TheGivenFileThenBesideTheInstallerOrFirstTheTemporaryFolder) {
  std::tm when = {};
  when.tm_year = 124;
  when.tm_mon = 0;
  when.tm_mday = 31;
  when.tm_hour = 14;
  when.tm_min = 5;
  when.tm_sec = 9;
  const std::wstring name = L"KeltoSetup_20240131_140509.log";
  support_log::Places places;
  places.programDir = L"D:\\Downloads";
  places.tempDir = L"C:\\Temp\\";
  using Files = std::vector<std::wstring>;
  EXPECT_EQ(support_log::Candidates(places, when),
            (Files{L"D:\\Downloads\\" + name, L"C:\\Temp\\" + name}));
  // A silent deployment's folder may be read-only or gone afterwards.
  places.hidden = true;
  places.given = L"E:\\log\\";
  places.givenIsFolder = true;
  EXPECT_EQ(support_log::Candidates(places, when),
            (Files{L"E:\\log\\" + name, L"C:\\Temp\\" + name, L"D:\\Downloads\\" + name}));
  // Unknown folders are left out, and a place is offered once.
  places.given = L"C:\\Temp\\" + name;
  places.givenIsFolder = false;
  places.programDir.clear();
  EXPECT_EQ(support_log::Candidates(places, when), (Files{L"C:\\Temp\\" + name}));
}

}  // namespace
