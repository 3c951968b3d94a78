// InstallLocation: where the game goes. Reads the launcher's records of an earlier install,
// notices a game folder that the installer was started from, chooses the default, one-click
// and hidden-mode folders, runs the folder picker and checks a typed folder for the folder
// page. Texts, colours and the path syntax rule are in InstallLocationRules.h.
//
// Contract: free functions called on the user-interface thread (the folder picker must be;
// the others are safe on any thread). They read the launcher's records and never write them;
// the only thing they create is a short-lived probe file in a folder being tested for
// writability. Missing records, keys, drives or folders yield false or empty results; nothing
// is reported and nothing throws. Probing a drive never brings up a system error box.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/InstallLocationRules.h"

namespace install_location {

// The install dialog's folder fields that these routines read and fill.
struct InstallPaths {
  std::wstring installDir;    // folder the package unpacks into
  std::wstring launcherPath;  // an installed launcher, from the launcher's records
  std::wstring downloadDir;   // folder the package is downloaded into (or lies in)
  bool packageBeside = false; // the package lies beside the installer: no download
};

// Looks for an installed launcher: the ini record in the common application-data folder
// first, then the registry value. True when one was found; fills `launcherPath` and
// `installDir`. A registry folder without a launcher still sets `installDir`.
bool DetectLauncherRecord(InstallPaths& paths);

// When the installer runs from a game folder ("qvmain.dll" beside it), downloads go there;
// when "qvinstaller.exe" lies there too, it is installed without a download.
void DetectLocalPackage(InstallPaths& paths);
// The same for an installer in `programDir`.
void DetectLocalPackageIn(const std::wstring& programDir, InstallPaths& paths);

// "<first existing drive of D, E, C, F, G>\\凯途网络\\凯途星联", or empty.
std::wstring DefaultInstallDir();

// The folder for a one-click install: `installDir` when it is writable with more than
// 150 MiB free, else the first such "<drive>\\凯途网络\\凯途星联" in the drive order; empty
// when none qualifies.
std::wstring QuickInstallDir(const InstallPaths& paths);

// The folder for a hidden-mode install: "凯途星联" beside the installer's own folder when that
// is writable with enough space, else "<fixed drive>\\凯途网络\\凯途星联" on the first writable
// fixed drive (space not checked); empty when nothing qualifies.
std::wstring SilentInstallDir();
// The same for an installer in `programDir`.
std::wstring SilentInstallDirFor(const std::wstring& programDir);

// The shell's folder picker, owned by `owner` and opened at `initial` (the current directory
// when empty). The chosen folder ends in "\\"; empty when cancelled or not a file-system
// folder. Needs COM initialised on the calling thread.
std::wstring BrowseForFolder(HWND owner, const std::wstring& initial);

// The folder page's check of a typed folder: syntax and drive (1), free space of at least
// 150 MiB (2), writability (3), else accepted (0), with the tip text and colour to show and
// whether "btn_install2" is enabled.
InstallDirCheck ValidateInstallDir(const std::wstring& installDir);

// The drive of `path` (its first two characters) exists.
bool DriveExists(const std::wstring& path);
// More than 150 MiB are free for this user on the drive of `path`.
bool HasEnoughSpace(const std::wstring& path);
// Free bytes available to this user on the drive of `path`; 0 when unknown.
std::uint64_t FreeBytes(const std::wstring& path);
// A file can be created in `path`, or in its nearest existing ancestor when it does not exist
// yet (the probe "xwtest_<seconds>.qvxw" is deleted again).
bool IsDirWritable(const std::wstring& path);

}  // namespace install_location
