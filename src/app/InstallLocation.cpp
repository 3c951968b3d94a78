#include "app/InstallLocation.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <ctime>
#include <cwchar>
#include <iterator>

#include "platform/CommonUtils.h"
#include "runtime/Win32Handles.h"

namespace install_location {

namespace {

bool PathExists(const std::wstring& path) { return ::PathFileExistsW(path.c_str()) != FALSE; }

// An empty card reader or optical drive must not stop the installer with a "no disk" box
// (least of all in hidden mode): probes fail quietly instead.
class ScopedQuietDriveErrors {
 public:
  ScopedQuietDriveErrors() {
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_);
  }
  ~ScopedQuietDriveErrors() { ::SetThreadErrorMode(previous_, nullptr); }
  ScopedQuietDriveErrors(const ScopedQuietDriveErrors&) = delete;
  ScopedQuietDriveErrors& operator=(const ScopedQuietDriveErrors&) = delete;

 private:
  DWORD previous_ = 0;
};

struct RegistryKeyTraits {
  static bool IsValid(HKEY h) { return h != nullptr; }
  static void Close(HKEY h) { ::RegCloseKey(h); }
  static HKEY Invalid() { return nullptr; }
};
using ScopedRegistryKey = win::ScopedHandleT<HKEY, RegistryKeyTraits>;

constexpr REGSAM kRegistryReadAccess = 0x20019;  // KEY_READ

std::wstring CommonAppDataDir() {
  const HRESULT com = ::CoInitialize(nullptr);
  std::wstring folder;
  LPITEMIDLIST items = nullptr;
  if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, CSIDL_COMMON_APPDATA, &items)) && items) {
    wchar_t path[MAX_PATH] = L"";
    if (::SHGetPathFromIDListW(items, path)) folder = path;
    ::CoTaskMemFree(items);
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return folder;
}

// The text of a REG_SZ value: `size` bytes, with or without its terminator (the registry does
// not enforce one), cut at the first null.
std::wstring RegistryText(const wchar_t* data, DWORD size) {
  std::wstring text(data, size / sizeof(wchar_t));
  const std::size_t end = text.find(L'\0');
  if (end != std::wstring::npos) text.resize(end);
  return text;
}

// The launcher writes its registry record from a 32-bit process on most machines, which
// lands in the 32-bit view of HKLM; this 64-bit program reads that view first, then its own.
bool ReadLauncherRegistryRecord(InstallPaths& paths) {
  for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    HKEY rawKey = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kLauncherRegistryKey, 0,
                        kRegistryReadAccess | view, &rawKey) != ERROR_SUCCESS) {
      continue;
    }
    ScopedRegistryKey key(rawKey);
    wchar_t data[4096 / sizeof(wchar_t)];
    DWORD size = sizeof(data);
    DWORD type = 0;
    if (::RegQueryValueExW(key.get(), kLauncherRegistryValue, nullptr, &type,
                           reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
      continue;
    }
    const std::wstring folder = RegistryText(data, size);
    paths.installDir = folder;
    if (folder.empty()) return false;
    const std::wstring launcher = JoinPath(folder, kLauncherExe);
    if (!PathExists(folder) || !PathExists(launcher)) return false;
    paths.launcherPath = launcher;
    return true;
  }
  return false;
}

// Whether a one-click or hidden install may use `dir`. Space is asked first: it is cheaper
// than the probe and spares a nearly full drive the probe file.
bool QualifiesForQuickInstall(const std::wstring& dir) {
  return HasEnoughSpace(dir) && IsDirWritable(dir);
}

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM param, LPARAM data) {
  if (message == BFFM_INITIALIZED) {
    const wchar_t* initial = reinterpret_cast<const wchar_t*>(data);
    wchar_t current[MAX_PATH] = L"";
    if (!initial || !*initial) {
      ::GetCurrentDirectoryW(MAX_PATH, current);
      initial = current;
    }
    ::SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(initial));
  } else if (message == BFFM_SELCHANGED) {
    wchar_t path[MAX_PATH] = L"";
    if (::SHGetPathFromIDListW(reinterpret_cast<LPCITEMIDLIST>(param), path)) {
      ::SendMessageW(browser, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path));
    }
  }
  return 0;
}

}  // namespace

bool DetectLauncherRecord(InstallPaths& paths) {
  paths.launcherPath.clear();
  const std::wstring appData = CommonAppDataDir();
  if (appData.empty()) return false;

  const std::wstring ini = JoinPath(appData, kLauncherRecordFile);
  wchar_t value[2048] = L"";
  ::GetPrivateProfileStringW(kLauncherRecordSection, kLauncherRecordKey, L"", value, 2048,
                             ini.c_str());
  if (value[0] != L'\0' && PathExists(value)) {
    paths.launcherPath = value;
    paths.installDir = ParentDir(paths.launcherPath);
    return true;
  }
  return ReadLauncherRegistryRecord(paths);
}

void DetectLocalPackage(InstallPaths& paths) { DetectLocalPackageIn(ModuleDir(), paths); }

void DetectLocalPackageIn(const std::wstring& programDir, InstallPaths& paths) {
  if (programDir.empty() || !PathExists(JoinPath(programDir, kGameFolderMarker))) return;
  paths.downloadDir = programDir;
  if (PathExists(JoinPath(programDir, kPackageFile))) paths.packageBeside = true;
}

std::wstring DefaultInstallDir() {
  ScopedQuietDriveErrors quiet;
  for (const wchar_t* root : kDriveOrder) {
    if (PathExists(root)) return std::wstring(root) + kDriveSubFolder;
  }
  return std::wstring();
}

std::wstring QuickInstallDir(const InstallPaths& paths) {
  ScopedQuietDriveErrors quiet;
  if (QualifiesForQuickInstall(paths.installDir)) return paths.installDir;
  for (const wchar_t* root : kDriveOrder) {
    const std::wstring candidate = std::wstring(root) + kDriveSubFolder;
    if (QualifiesForQuickInstall(candidate)) return candidate;
  }
  return std::wstring();
}

std::wstring SilentInstallDir() { return SilentInstallDirFor(ModuleDir()); }

std::wstring SilentInstallDirFor(const std::wstring& programDir) {
  ScopedQuietDriveErrors quiet;
  // 1. Beside the installer's folder. An installer at a drive root has no folder above it;
  //    the candidate would hang off whatever drive is current, so it is skipped.
  const std::wstring parent = ParentDir(programDir);
  if (!parent.empty()) {
    const std::wstring candidate = JoinPath(parent, kGameFolderName);
    if (QualifiesForQuickInstall(candidate)) return candidate;
  }

  // 2. The first writable fixed drive. Room for all 26 drives ("X:\\" and a null each).
  wchar_t drives[26 * 4 + 2] = L"";
  const DWORD length = ::GetLogicalDriveStringsW(static_cast<DWORD>(std::size(drives)), drives);
  if (length == 0 || length >= std::size(drives)) return std::wstring();
  for (const wchar_t* root = drives; *root; root += wcslen(root) + 1) {
    if (::GetDriveTypeW(root) != DRIVE_FIXED) continue;
    const std::wstring candidate = std::wstring(root) + kDriveSubFolder;
    if (IsDirWritable(candidate)) return candidate;
  }
  return std::wstring();
}

std::wstring BrowseForFolder(HWND owner, const std::wstring& initial) {
  wchar_t displayName[MAX_PATH] = L"";
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.pszDisplayName = displayName;
  info.lpszTitle = L"选择文件夹";
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;  // 0x51
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(initial.c_str());
  LPITEMIDLIST chosen = ::SHBrowseForFolderW(&info);
  if (!chosen) return std::wstring();
  wchar_t path[MAX_PATH] = L"";
  const BOOL isFolder = ::SHGetPathFromIDListW(chosen, path);
  ::CoTaskMemFree(chosen);
  if (!isFolder || path[0] == L'\0') return std::wstring();
  std::wstring folder = path;
  if (folder.back() != L'\\') folder += L'\\';
  return folder;
}

InstallDirCheck ValidateInstallDir(const std::wstring& installDir) {
  ScopedQuietDriveErrors quiet;
  std::uint64_t freeBytes = 0;
  int result = kDirAccepted;
  if (!IsValidPath(installDir) || !DriveExists(installDir)) {
    result = kDirInvalid;
  } else if ((freeBytes = FreeBytes(installDir)) < kRequiredFreeBytes) {
    result = kDirNoSpace;
  } else if (!IsDirWritable(installDir)) {
    result = kDirNotWritable;
  }
  return DescribeInstallDirCheck(result, freeBytes);
}

bool DriveExists(const std::wstring& path) {
  return path.size() >= 2 && PathExists(path.substr(0, 2));
}

bool HasEnoughSpace(const std::wstring& path) { return FreeBytes(path) > kRequiredFreeBytes; }

std::uint64_t FreeBytes(const std::wstring& path) {
  const std::wstring drive = path.size() >= 2 ? path.substr(0, 2) : std::wstring();
  ULARGE_INTEGER available = {};
  if (!::GetDiskFreeSpaceExW(drive.c_str(), &available, nullptr, nullptr)) return 0;
  return available.QuadPart;
}

bool IsDirWritable(const std::wstring& path) {
  if (path.empty()) return false;
  std::wstring dir = path;
  while (!PathExists(dir)) {
    dir = ParentDir(dir);
    if (dir.empty()) return false;
  }
  const std::wstring probe = FormatString(L"%ls\\xwtest_%d.qvxw",
                                          TrimTrailingSeparators(dir).c_str(),
                                          static_cast<int>(std::time(nullptr)));
  if (!CreateEmptyFile(probe)) return false;
  DeleteFileWithRetry(probe, 0);
  return true;
}

}  // namespace install_location
