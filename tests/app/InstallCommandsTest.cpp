// The command lines of the package and the launcher; platform-free, run natively and under
// Wine. That the started programs read them back as meant is checked with real programs in
// InstallWorkerTest.cpp.
#include <gtest/gtest.h>

#include "app/InstallCommands.h"

using namespace install_commands;

namespace {

TEST(InstallCommands, PackageUnpacksSilentlyIntoTheFolder) {
  EXPECT_EQ(PackageCommandLine(L"D:\\凯途网络\\凯途星联\\qvinstaller.exe", L"D:\\凯途网络\\凯途星联"),
            L"D:\\凯途网络\\凯途星联\\qvinstaller.exe /S \"/unpack=D:\\凯途网络\\凯途星联\" "
            L"/launch=off");
  // A trailing backslash would escape the closing quote: it is doubled.
  EXPECT_EQ(PackageCommandLine(L"C:\\dl\\qvinstaller.exe", L"D:\\Games\\"),
            L"C:\\dl\\qvinstaller.exe /S \"/unpack=D:\\Games\\\\\" /launch=off");
  EXPECT_EQ(PackageCommandLine(L"C:\\dl\\qvinstaller.exe", L"D:\\"),
            L"C:\\dl\\qvinstaller.exe /S \"/unpack=D:\\\\\" /launch=off");
}

TEST(InstallCommands, LauncherGetsTheGameNumber) {
  EXPECT_EQ(LauncherCommandLine(L"D:\\凯途网络\\凯途星联\\KeltoLauncher.exe", 12),
            L"D:\\凯途网络\\凯途星联\\KeltoLauncher.exe -i \"12\" -d");
  EXPECT_EQ(LauncherCommandLine(L"C:\\Program Files\\Kelto\\KeltoLauncher.exe", -30),
            L"C:\\Program Files\\Kelto\\KeltoLauncher.exe -i \"-30\" -d");
}

TEST(InstallCommands, EscapeBeforeClosingQuoteDoublesOnlyTrailingBackslashes) {
  EXPECT_EQ(EscapeBeforeClosingQuote(L""), L"");
  EXPECT_EQ(EscapeBeforeClosingQuote(L"D:\\a\\b"), L"D:\\a\\b");
  EXPECT_EQ(EscapeBeforeClosingQuote(L"D:\\a\\"), L"D:\\a\\\\");
  EXPECT_EQ(EscapeBeforeClosingQuote(L"D:\\a\\\\"), L"D:\\a\\\\\\\\");
  EXPECT_EQ(EscapeBeforeClosingQuote(L"\\"), L"\\\\");
}

}  // namespace
