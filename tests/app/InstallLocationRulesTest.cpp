// Path syntax and the folder page's tip texts; platform-free, run natively and under Wine.
#include <gtest/gtest.h>

#include <string>

#include "app/InstallLocationRules.h"

using namespace install_location;

namespace {

TEST(IsValidPath, AcceptsADriveLetterFollowedByFolderNames) {
  EXPECT_TRUE(IsValidPath(L"D:\\凯途网络\\凯途星联"));
  EXPECT_TRUE(IsValidPath(L"d:\\Games"));
  EXPECT_TRUE(IsValidPath(L"D:"));                       // the drive alone is valid syntax
  EXPECT_TRUE(IsValidPath(L"D:\\"));
  EXPECT_TRUE(IsValidPath(L"D:\\Games\\\\Kelto\\"));     // doubled backslashes are allowed
  EXPECT_TRUE(IsValidPath(L"Z:\\a b.c\\[x] (y)\\1+1=2"));
}

TEST(IsValidPath, RejectsBadDrivesAndForbiddenCharacters) {
  EXPECT_FALSE(IsValidPath(L""));
  EXPECT_FALSE(IsValidPath(L"1:\\Games"));               // a digit is no drive
  EXPECT_FALSE(IsValidPath(L"\\\\server\\share\\Games")); // network paths are refused
  EXPECT_FALSE(IsValidPath(L"DD:\\Games"));
  EXPECT_FALSE(IsValidPath(L"D\\Games"));
  EXPECT_FALSE(IsValidPath(L"D;\\Games"));
  EXPECT_FALSE(IsValidPath(L"Games"));
  EXPECT_FALSE(IsValidPath(L"\\Games"));
  for (const wchar_t* bad : {L"/", L":", L"*", L"?", L"\"", L"<", L">", L"|", L"\t", L"\n"}) {
    EXPECT_FALSE(IsValidPath(std::wstring(L"D:\\Ga") + bad + L"mes")) << bad[0];
    EXPECT_FALSE(IsValidPath(std::wstring(L"D:\\Games\\Kelto") + bad)) << bad[0];
  }
}

TEST(DescribeInstallDirCheck, GivesEachResultItsTipColourAndButtonState) {
  const InstallDirCheck accepted = DescribeInstallDirCheck(kDirAccepted, 163000000000ull);
  EXPECT_EQ(accepted.result, 0);
  EXPECT_EQ(accepted.tipText, L"所需磁盘空间：150.00MB          可用磁盘空间：151.81GB");
  EXPECT_EQ(accepted.tipColor, 0xFF444343u);
  EXPECT_TRUE(accepted.installEnabled);

  const InstallDirCheck invalid = DescribeInstallDirCheck(kDirInvalid, 0);
  EXPECT_EQ(invalid.tipText, L"安装目录无效，请选择正确的目录");
  const InstallDirCheck noSpace = DescribeInstallDirCheck(kDirNoSpace, 1000);
  EXPECT_EQ(noSpace.tipText, L"该磁盘剩余空间不足，请选择其他目录安装");
  const InstallDirCheck readOnly = DescribeInstallDirCheck(kDirNotWritable, 1ull << 40);
  EXPECT_EQ(readOnly.tipText, L"该目录权限不足，请选择其他目录安装");
  for (const InstallDirCheck* check : {&invalid, &noSpace, &readOnly}) {
    EXPECT_EQ(check->tipColor, 0xFFFF0000u);
    EXPECT_FALSE(check->installEnabled);
  }
  EXPECT_EQ(noSpace.result, 2);
  EXPECT_EQ(readOnly.result, 3);

  // A result the check never produces is not taken for acceptance.
  const InstallDirCheck unknown = DescribeInstallDirCheck(7, 1ull << 40);
  EXPECT_EQ(unknown.result, kDirInvalid);
  EXPECT_FALSE(unknown.installEnabled);
}

}  // namespace
