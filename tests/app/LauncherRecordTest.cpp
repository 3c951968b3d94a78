// The launcher's records of an earlier install, written for real by the tests: the ini file
// in the common application-data folder and the registry value under HKLM, in both registry
// views. Each test removes them again; the CTest lock "launcher_records" keeps other test
// programs away from them meanwhile.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/CommonUtils.h"
#include "app/InstallLocation.h"
#include "AppTestSupport.h"
#include "support/TestFiles.h"

using namespace install_location;
using testing_support::TempFolder;
using testing_support::WriteTestFile;

namespace {

using app_test::RemoveLauncherRecords;
using app_test::WriteIniRecord;
using app_test::WriteRegistryRecord;

class LauncherRecords : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveLauncherRecords();
    game_ = temp_ / L"凯途网络\\凯途星联";
    launcher_ = game_ + L"\\KeltoLauncher.exe";
  }
  void TearDown() override { RemoveLauncherRecords(); }

  TempFolder temp_;
  std::wstring game_;
  std::wstring launcher_;
};

TEST_F(LauncherRecords, IniRecordOfAnExistingLauncherComesFirst) {
  ASSERT_TRUE(WriteTestFile(launcher_));
  ASSERT_TRUE(WriteIniRecord(launcher_));
  const std::wstring other = temp_ / L"other";
  ASSERT_TRUE(WriteTestFile(other + L"\\KeltoLauncher.exe"));
  ASSERT_TRUE(WriteRegistryRecord(other, KEY_WOW64_32KEY));

  InstallPaths paths;
  EXPECT_TRUE(DetectLauncherRecord(paths));
  EXPECT_EQ(paths.launcherPath, launcher_);
  EXPECT_EQ(paths.installDir, game_);
}

TEST_F(LauncherRecords, StaleIniRecordFallsThroughToTheRegistry) {
  ASSERT_TRUE(WriteIniRecord(temp_ / L"gone\\KeltoLauncher.exe"));
  ASSERT_TRUE(WriteTestFile(launcher_));
  ASSERT_TRUE(WriteRegistryRecord(game_ + L"\\", KEY_WOW64_32KEY));

  InstallPaths paths;
  EXPECT_TRUE(DetectLauncherRecord(paths));
  EXPECT_EQ(paths.launcherPath, launcher_);
  EXPECT_EQ(paths.installDir, game_ + L"\\");
}

TEST_F(LauncherRecords, RegistryFolderWithoutLauncherStillGivesTheFolder) {
  ASSERT_TRUE(CreateDir(game_));
  ASSERT_TRUE(WriteRegistryRecord(game_, KEY_WOW64_32KEY));
  InstallPaths paths;
  paths.launcherPath = L"left over";
  EXPECT_FALSE(DetectLauncherRecord(paths));
  EXPECT_EQ(paths.installDir, game_);
  EXPECT_EQ(paths.launcherPath, L"");

  // A folder that is gone altogether is still the folder the launcher was in.
  RemoveLauncherRecords();
  ASSERT_TRUE(WriteRegistryRecord(temp_ / L"卸载了", KEY_WOW64_32KEY));
  EXPECT_FALSE(DetectLauncherRecord(paths));
  EXPECT_EQ(paths.installDir, temp_ / L"卸载了");
}

TEST_F(LauncherRecords, RegistryRecordIsReadFromEitherView) {
  ASSERT_TRUE(WriteTestFile(launcher_));
  ASSERT_TRUE(WriteRegistryRecord(game_, KEY_WOW64_64KEY));
  InstallPaths paths;
  EXPECT_TRUE(DetectLauncherRecord(paths));
  EXPECT_EQ(paths.launcherPath, launcher_);

  // Both views: the 32-bit one, where a 32-bit launcher writes, is asked first.
  const std::wstring older = temp_ / L"older";
  ASSERT_TRUE(WriteTestFile(older + L"\\KeltoLauncher.exe"));
  ASSERT_TRUE(WriteRegistryRecord(older, KEY_WOW64_32KEY));
  EXPECT_TRUE(DetectLauncherRecord(paths));
  EXPECT_EQ(paths.installDir, older);
}

TEST_F(LauncherRecords, RegistryTextIsCutAtItsLengthOrItsNull) {
  ASSERT_TRUE(WriteTestFile(launcher_));
  // Stored without its terminating null: the length alone ends the text.
  ASSERT_TRUE(WriteRegistryRecord(game_, KEY_WOW64_32KEY, REG_SZ,
                                  static_cast<DWORD>(game_.size() * sizeof(wchar_t))));
  InstallPaths paths;
  EXPECT_TRUE(DetectLauncherRecord(paths));
  EXPECT_EQ(paths.installDir, game_);

  // Stored with junk after a null: the text ends at the null.
  RemoveLauncherRecords();
  std::wstring padded = game_;
  padded.push_back(L'\0');
  padded += L"junk";
  ASSERT_TRUE(WriteRegistryRecord(padded, KEY_WOW64_32KEY));
  EXPECT_TRUE(DetectLauncherRecord(paths));
  EXPECT_EQ(paths.installDir, game_);
}

TEST_F(LauncherRecords, OtherValueTypesAndMissingRecordsFindNothing) {
  InstallPaths paths;
  paths.installDir = L"D:\\kept";
  EXPECT_FALSE(DetectLauncherRecord(paths));
  EXPECT_EQ(paths.installDir, L"D:\\kept");

  ASSERT_TRUE(WriteTestFile(launcher_));
  ASSERT_TRUE(WriteRegistryRecord(game_, KEY_WOW64_32KEY, REG_EXPAND_SZ));
  ASSERT_TRUE(WriteIniRecord(L""));
  EXPECT_FALSE(DetectLauncherRecord(paths));
  EXPECT_EQ(paths.installDir, L"D:\\kept");
  EXPECT_EQ(paths.launcherPath, L"");
}

TEST(DetectLocalPackage, NeedsTheGameMarkerAndThenThePackage) {
  TempFolder temp;
  InstallPaths paths;
  DetectLocalPackageIn(temp.path(), paths);
  EXPECT_EQ(paths.downloadDir, L"");
  EXPECT_FALSE(paths.packageBeside);

  // The package alone does not make a game folder.
  ASSERT_TRUE(WriteTestFile(temp / L"qvinstaller.exe"));
  DetectLocalPackageIn(temp.path(), paths);
  EXPECT_EQ(paths.downloadDir, L"");
  EXPECT_FALSE(paths.packageBeside);

  ASSERT_TRUE(::DeleteFileW((temp / L"qvinstaller.exe").c_str()));
  ASSERT_TRUE(WriteTestFile(temp / L"qvmain.dll"));
  DetectLocalPackageIn(temp.path(), paths);
  EXPECT_EQ(paths.downloadDir, temp.path());
  EXPECT_FALSE(paths.packageBeside);

  ASSERT_TRUE(WriteTestFile(temp / L"qvinstaller.exe"));
  DetectLocalPackageIn(temp.path(), paths);
  EXPECT_EQ(paths.downloadDir, temp.path());
  EXPECT_TRUE(paths.packageBeside);

  InstallPaths none;
  DetectLocalPackageIn(L"", none);
  EXPECT_EQ(none.downloadDir, L"");
}

}  // namespace
