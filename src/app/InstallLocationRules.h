// InstallLocationRules: the platform-free half of choosing the install folder: its constants,
// the path syntax rule, and the tip that explains a folder check's result to the player.
//
// Contract: constants and pure functions; any thread may use them. The checks that look at
// drives and folders live in InstallLocation.h and feed their results in here, so the texts
// and colours the install dialog shows are decided in one place that also runs natively.
#pragma once

#include <cstdint>
#include <string>

namespace install_location {

// Folder below a drive root for the default and one-click folders.
inline constexpr const wchar_t* kDriveSubFolder = L"凯途网络\\凯途星联";
// Folder name appended to a picked folder, and used beside the installer.
inline constexpr const wchar_t* kGameFolderName = L"凯途星联";
// Drives tried, in this order, for the default and one-click folders.
inline constexpr const wchar_t* kDriveOrder[] = {L"D:\\", L"E:\\", L"C:\\", L"F:\\", L"G:\\"};
// Free space an install needs: 150 MiB.
inline constexpr std::uint64_t kRequiredFreeBytes = 150ull * 1024 * 1024;

inline constexpr const wchar_t* kLauncherRecordFile = L"KeltoLaucher.ini";
inline constexpr const wchar_t* kLauncherRecordSection = L"Kelto-Launcher";
inline constexpr const wchar_t* kLauncherRecordKey = L"InstallPath";
inline constexpr const char* kLauncherRegistryKey = "SOFTWARE\\KeltoLauncher";
inline constexpr const wchar_t* kLauncherRegistryValue = L"InstPath";
inline constexpr const wchar_t* kLauncherExe = L"KeltoLauncher.exe";
// Files beside the installer that mark an existing game folder with its package.
inline constexpr const wchar_t* kGameFolderMarker = L"qvmain.dll";
inline constexpr const wchar_t* kPackageFile = L"qvinstaller.exe";

// Results of the folder check, in the order the check tests them.
enum InstallDirResult {
  kDirAccepted = 0,
  kDirInvalid = 1,      // bad syntax or no such drive
  kDirNoSpace = 2,      // less free space than kRequiredFreeBytes
  kDirNotWritable = 3,  // nothing can be created there
};

inline constexpr std::uint32_t kTipColorNormal = 0xFF444343;  // ARGB
inline constexpr std::uint32_t kTipColorError = 0xFFFF0000;

// What the install dialog shows for a checked folder: the tip line's text and colour, and
// whether the install button of the folder page is enabled.
struct InstallDirCheck {
  int result = kDirInvalid;
  std::wstring tipText;
  std::uint32_t tipColor = kTipColorError;
  bool installEnabled = false;
};

// The tip for a check result; `freeBytes` (the folder's drive) is shown for an accepted
// folder. An unknown result reads as an invalid folder.
InstallDirCheck DescribeInstallDirCheck(int result, std::uint64_t freeBytes);

// Path syntax of a typed install folder: "X:" (a letter A-Z or a-z and a colon) as the first
// "\\"-separated piece, and no later piece holding \ / : * ? " < > | or a control character.
// Empty pieces (doubled or trailing backslashes) are allowed. Says nothing about existence.
bool IsValidPath(const std::wstring& path);

}  // namespace install_location
