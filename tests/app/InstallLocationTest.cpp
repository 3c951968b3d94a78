// Choosing and checking the install folder on real drives: the harness's test drives
// (tools/harness.sh) give D: a 160 MiB tmpfs, E: a read-only folder and F: a writable one;
// C: is the Wine prefix's drive and G: does not exist. The tests fill D: to set its free
// space to the byte.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "AppTestSupport.h"
#include "app/CommonUtils.h"
#include "app/InstallLocation.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"

using namespace install_location;
using testing_support::FileExists;
using testing_support::FolderExists;
using testing_support::ReadWideFile;
using testing_support::RemoveFolderTree;
using testing_support::WriteTestFile;

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;
const std::wstring kDriveD = L"D:\\凯途网络\\凯途星联";
const std::wstring kDriveC = L"C:\\凯途网络\\凯途星联";

// Names of the probe files left in `folder`.
int ProbeFilesIn(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE found = ::FindFirstFileW((folder + L"\\xwtest_*.qvxw").c_str(), &data);
  if (found == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do ++count; while (::FindNextFileW(found, &data));
  ::FindClose(found);
  return count;
}

class TestDrives : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t layout[128] = L"";
    ASSERT_GT(::GetEnvironmentVariableW(L"KELTO_TEST_DRIVES", layout, 128), 0u)
        << "the test drives are missing: run inside tools/run-isolated.sh after "
           "kelto_harness_up (tools/harness.sh)";
    app_test::ClearTestDrive(L'D');
    app_test::ClearTestDrive(L'F');
    ASSERT_EQ(FreeBytes(L"D:"), 160 * kMiB) << "D: should be an empty 160 MiB tmpfs";
  }
  void TearDown() override {
    app_test::ClearTestDrive(L'D');
    app_test::ClearTestDrive(L'F');
    RemoveFolderTree(L"C:\\凯途网络");
  }

  // Fills D: until exactly `bytes` are free (tmpfs counts whole 4 KiB pages).
  static void LeaveFreeOnD(std::uint64_t bytes) {
    const std::uint64_t free = FreeBytes(L"D:");
    ASSERT_GE(free, bytes);
    ASSERT_EQ((free - bytes) % 4096, 0u);
    ASSERT_TRUE(WriteTestFile(L"D:\\filler.bin", free - bytes));
    ASSERT_EQ(FreeBytes(L"D:"), bytes);
  }
};

TEST_F(TestDrives, DrivesAndTheirFreeSpace) {
  EXPECT_TRUE(DriveExists(L"D:\\凯途网络"));
  EXPECT_TRUE(DriveExists(L"C:"));
  EXPECT_TRUE(DriveExists(L"e:\\x"));
  EXPECT_FALSE(DriveExists(L"G:\\凯途网络"));
  EXPECT_FALSE(DriveExists(L"D"));
  EXPECT_FALSE(DriveExists(L""));

  EXPECT_EQ(FreeBytes(L"D:\\凯途网络\\凯途星联"), 160 * kMiB);
  EXPECT_EQ(FreeBytes(L"G:\\x"), 0u);
  EXPECT_GT(FreeBytes(L"F:\\"), 160 * kMiB);
  EXPECT_TRUE(HasEnoughSpace(L"D:\\x"));

  // Exactly 150 MiB is not "more than" 150 MiB.
  LeaveFreeOnD(150 * kMiB);
  EXPECT_EQ(FreeBytes(L"D:"), kRequiredFreeBytes);
  EXPECT_FALSE(HasEnoughSpace(L"D:\\x"));
  EXPECT_FALSE(HasEnoughSpace(L"G:\\x"));
}

TEST_F(TestDrives, WritabilityIsProbedInTheNearestExistingFolder) {
  EXPECT_TRUE(IsDirWritable(kDriveD));
  EXPECT_FALSE(FolderExists(L"D:\\凯途网络"));  // probing creates no folder
  EXPECT_EQ(ProbeFilesIn(L"D:"), 0);              // and leaves no probe behind

  ASSERT_TRUE(CreateDir(L"F:\\游戏"));
  EXPECT_TRUE(IsDirWritable(L"F:\\游戏"));
  EXPECT_TRUE(IsDirWritable(L"F:\\游戏\\"));
  EXPECT_EQ(ProbeFilesIn(L"F:\\游戏"), 0);

  EXPECT_FALSE(IsDirWritable(L"E:\\游戏\\凯途星联"));  // read-only drive
  EXPECT_FALSE(IsDirWritable(L"E:\\"));
  EXPECT_FALSE(IsDirWritable(L"G:\\游戏"));             // no such drive
  EXPECT_FALSE(IsDirWritable(L""));
  ASSERT_TRUE(WriteTestFile(L"F:\\file"));
  EXPECT_FALSE(IsDirWritable(L"F:\\file\\sub"));        // a file is no folder
}

TEST_F(TestDrives, ValidateInstallDirChecksSyntaxDriveSpaceAndWritability) {
  InstallDirCheck check = ValidateInstallDir(kDriveD);
  EXPECT_EQ(check.result, kDirAccepted);
  EXPECT_EQ(check.tipText, L"所需磁盘空间：150.00MB          可用磁盘空间：160.00MB");
  EXPECT_EQ(check.tipColor, kTipColorNormal);
  EXPECT_TRUE(check.installEnabled);

  EXPECT_EQ(ValidateInstallDir(L"G:\\游戏").result, kDirInvalid);
  EXPECT_EQ(ValidateInstallDir(L"1:\\游戏").result, kDirInvalid);
  EXPECT_EQ(ValidateInstallDir(L"D:\\游?戏").result, kDirInvalid);
  EXPECT_EQ(ValidateInstallDir(L"\\\\server\\share").result, kDirInvalid);
  EXPECT_EQ(ValidateInstallDir(L"").result, kDirInvalid);
  EXPECT_EQ(ValidateInstallDir(L"D:\\\\凯途网络").result, kDirAccepted);

  check = ValidateInstallDir(L"E:\\游戏");
  EXPECT_EQ(check.result, kDirNotWritable);
  EXPECT_EQ(check.tipText, L"该目录权限不足，请选择其他目录安装");
  EXPECT_FALSE(check.installEnabled);

  // The folder page takes exactly 150 MiB; one page less is too little.
  LeaveFreeOnD(150 * kMiB);
  check = ValidateInstallDir(kDriveD);
  EXPECT_EQ(check.result, kDirAccepted);
  EXPECT_EQ(check.tipText, L"所需磁盘空间：150.00MB          可用磁盘空间：150.00MB");
  ASSERT_TRUE(WriteTestFile(L"D:\\one-more-page.bin", 4096));
  check = ValidateInstallDir(kDriveD);
  EXPECT_EQ(check.result, kDirNoSpace);
  EXPECT_EQ(check.tipText, L"该磁盘剩余空间不足，请选择其他目录安装");
  EXPECT_EQ(check.tipColor, kTipColorError);
}

TEST_F(TestDrives, DefaultInstallDirIsOnTheFirstExistingDrive) {
  EXPECT_EQ(DefaultInstallDir(), kDriveD);
  LeaveFreeOnD(0);  // space plays no part
  EXPECT_EQ(DefaultInstallDir(), kDriveD);
}

TEST_F(TestDrives, QuickInstallDirFollowsTheDriveOrder) {
  InstallPaths paths;
  EXPECT_EQ(QuickInstallDir(paths), kDriveD);

  // D: with exactly 150 MiB is passed over, E: cannot be written: C: comes before F:.
  LeaveFreeOnD(150 * kMiB);
  EXPECT_EQ(QuickInstallDir(paths), kDriveC);
  EXPECT_FALSE(FolderExists(L"C:\\凯途网络"));  // choosing creates nothing
}

TEST_F(TestDrives, QuickInstallDirPrefersAUsableEarlierFolder) {
  InstallPaths paths;
  paths.installDir = L"F:\\我的游戏\\凯途星联";
  EXPECT_EQ(QuickInstallDir(paths), L"F:\\我的游戏\\凯途星联");

  paths.installDir = L"E:\\凯途星联";  // read-only
  EXPECT_EQ(QuickInstallDir(paths), kDriveD);
  paths.installDir = L"G:\\凯途星联";  // gone
  EXPECT_EQ(QuickInstallDir(paths), kDriveD);
  LeaveFreeOnD(150 * kMiB);
  paths.installDir = L"D:\\旧\\凯途星联";  // too little space
  EXPECT_EQ(QuickInstallDir(paths), kDriveC);
}

TEST_F(TestDrives, SilentInstallDirUsesTheInstallersNeighbourhoodFirst) {
  EXPECT_EQ(SilentInstallDirFor(L"F:\\下载\\setup"), L"F:\\下载\\凯途星联");
  EXPECT_EQ(SilentInstallDirFor(L"D:\\setup"), L"D:\\凯途星联");

  // Then the first writable fixed drive of the system's list (C: here); its space is not
  // asked.
  LeaveFreeOnD(150 * kMiB);
  EXPECT_EQ(SilentInstallDirFor(L"D:\\setup"), kDriveC);
  EXPECT_EQ(SilentInstallDirFor(L"E:\\setup"), kDriveC);
  // An installer at a drive root has no folder above its own.
  EXPECT_EQ(SilentInstallDirFor(L"F:"), kDriveC);
  EXPECT_EQ(SilentInstallDirFor(L""), kDriveC);
}

TEST_F(TestDrives, AnInstallerFindsItsFolderAndThePackageBesideIt) {
  const std::wstring kit = L"F:\\凯途\\bin";
  const std::wstring exe = kit + L"\\KeltoSetup.exe";
  ASSERT_FALSE(app_test::PlaceHelper(exe).empty());
  ASSERT_TRUE(WriteTestFile(kit + L"\\qvmain.dll"));
  ASSERT_TRUE(WriteTestFile(kit + L"\\qvinstaller.exe"));

  const std::wstring out = L"F:\\report.txt";
  const testing_support::ProcessResult run = testing_support::RunProcess(
      testing_support::Quoted(exe) + L" report " + testing_support::Quoted(out), 30000);
  ASSERT_TRUE(run.started);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(ReadWideFile(out),
            L"ModuleDir=F:\\凯途\\bin\n"
            L"SilentInstallDir=F:\\凯途\\凯途星联\n"
            L"downloadDir=F:\\凯途\\bin\n"
            L"packageBeside=1\n");
}

}  // namespace
