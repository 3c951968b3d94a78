// The Windows side of the common utilities and the install location, on real files, the
// registry and the harness's test drives (D: a 160 MiB tmpfs, E: read-only, F: writable;
// C: is the Wine prefix's drive and G: does not exist).
#include <gtest/gtest.h>

#include <string>

#include "AppTestSupport.h"
#include "app/CommonUtils.h"
#include "app/InstallLocation.h"
#include "support/TestFiles.h"

using namespace app_test;
using namespace install_location;
using namespace testing_support;

namespace {

TEST(CommonUtils, CreateDirMakesEveryParentButNeverTakesAFileForAFolder) {
  TempFolder temp;
  EXPECT_TRUE(CreateDir(temp / L"凯途网络\\凯途星联\\bin"));
  EXPECT_TRUE(FolderExists(temp / L"凯途网络\\凯途星联\\bin"));
  ASSERT_TRUE(WriteTestFile(temp / L"occupied"));
  EXPECT_FALSE(CreateDir(temp / L"occupied"));
  EXPECT_FALSE(CreateDir(temp / L"occupied\\sub"));
}

TEST(CommonUtils, DeleteTreeNeverFollowsALinkNorTakesARelativePath) {
  TempFolder temp;
  const std::wstring saves = temp / L"saves";
  const std::wstring bin = temp / L"game\\bin";
  ASSERT_TRUE(WriteTestFile(saves + L"\\slot1.sav"));
  ASSERT_TRUE(WriteTestFile(bin + L"\\data\\地图\\map1.pak"));
  ASSERT_TRUE(MakeFolderLink(bin + L"\\saves", saves));
  wchar_t previous[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(::SetCurrentDirectoryW((temp / L"game").c_str()));
  EXPECT_FALSE(DeleteTree(L"bin\\"));
  ::SetCurrentDirectoryW(previous);
  EXPECT_TRUE(FileExists(bin + L"\\data\\地图\\map1.pak"));

  DeleteTree(bin + L"\\");
  EXPECT_FALSE(FileExists(bin + L"\\data\\地图\\map1.pak"));
  EXPECT_TRUE(FileExists(saves + L"\\slot1.sav"));
}

// The update module ends every "qvinstaller.exe" before it replaces the package, whatever
// its own name; processes still starting have no name yet.
TEST(CommonUtils, KillProcessesByNameNeverEndsTheCallerNorNamelessProcesses) {
  wchar_t self[MAX_PATH] = L"";
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring name = std::wstring(self).substr(std::wstring(self).rfind(L'\\') + 1);
  EXPECT_EQ(KillProcessesByName(name), 0);
  EXPECT_EQ(KillProcessesByName(L""), 0);
}

// A 32-bit launcher writes the registry's 32-bit view: it is asked first, then the 64-bit one.
// The text ends at its length or at its first null, whichever comes first.
TEST(LauncherRecords, TheRegistrysThirtyTwoBitViewFirstAndItsTextToItsEnd) {
  RemoveLauncherRecords();
  TempFolder temp;
  const std::wstring older = temp / L"older", newer = temp / L"凯途星联";
  ASSERT_TRUE(WriteTestFile(older + L"\\KeltoLauncher.exe"));
  ASSERT_TRUE(WriteTestFile(newer + L"\\KeltoLauncher.exe"));
  InstallPaths paths;
  const auto bytes = static_cast<DWORD>(newer.size() * sizeof(wchar_t));
  EXPECT_TRUE(WriteRegistryRecord(newer, KEY_WOW64_64KEY, bytes));
  EXPECT_TRUE(DetectLauncherRecord(paths));
  EXPECT_EQ(paths.launcherPath, newer + L"\\KeltoLauncher.exe");
  EXPECT_TRUE(WriteRegistryRecord(older + std::wstring(1, L'\0') + L"junk", KEY_WOW64_32KEY));
  // A stale ini record falls through to the registry.
  EXPECT_TRUE(WriteIniRecord(temp / L"gone\\KeltoLauncher.exe"));
  EXPECT_TRUE(DetectLauncherRecord(paths));
  EXPECT_EQ(paths.launcherPath, older + L"\\KeltoLauncher.exe");
  RemoveLauncherRecords();
}

// Exactly 150 MiB free is enough for the folder the player picks, not for the one-click choice
// (which then takes the next drive of D, E, C, F, G that qualifies).
TEST(TestDrives, FoldersAreChosenByDriveOrderSpaceAndWritability) {
  if (!TestDrivesPresent()) GTEST_SKIP() << "needs the harness's test drives";
  ClearInstallTraces();
  ASSERT_EQ(FreeBytes(L"D:"), 160ull << 20) << "D: should be an empty 160 MiB tmpfs";
  const std::wstring onD = L"D:\\凯途网络\\凯途星联";
  InstallPaths paths;
  EXPECT_EQ(QuickInstallDir(paths), onD);
  EXPECT_FALSE(FolderExists(L"D:\\凯途网络")) << "probing made the folder";
  paths.installDir = L"F:\\我的游戏\\凯途星联";
  EXPECT_EQ(QuickInstallDir(paths), paths.installDir);
  EXPECT_EQ(ValidateInstallDir(L"G:\\游戏").tipText, L"安装目录无效，请选择正确的目录");
  EXPECT_EQ(ValidateInstallDir(L"E:\\游戏").tipText, L"该目录权限不足，请选择其他目录安装");

  ASSERT_TRUE(WriteTestFile(L"D:\\filler.bin", 10ull << 20));
  paths.installDir.clear();
  EXPECT_EQ(QuickInstallDir(paths), L"C:\\凯途网络\\凯途星联");
  EXPECT_EQ(ValidateInstallDir(onD).result, kDirAccepted);
  ASSERT_TRUE(WriteTestFile(L"D:\\one-more-page.bin", 4096));
  EXPECT_EQ(ValidateInstallDir(onD).result, kDirNoSpace);
  // Hidden mode installs beside the installer's folder, unless that is a drive root.
  EXPECT_EQ(SilentInstallDirFor(L"F:\\下载\\setup"), L"F:\\下载\\凯途星联");
  EXPECT_EQ(SilentInstallDirFor(L"F:"), L"C:\\凯途网络\\凯途星联");
  ClearInstallTraces();
}

}  // namespace
