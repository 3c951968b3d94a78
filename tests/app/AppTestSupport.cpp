#include "AppTestSupport.h"

#include <shlobj.h>

#include <cstdlib>

#include "TestHostWindow.h"
#include "app/CommonUtils.h"

using namespace testing_support;

namespace app_test {

namespace {

const wchar_t* const kRegistryKey = L"SOFTWARE\\KeltoLauncher";

// The value of the line "<key>=<value>".
std::string LineValue(const std::string& text, const std::string& key) {
  const size_t start = ("\n" + text).find("\n" + key + "=");
  if (start == std::string::npos) return std::string();
  const size_t value = start + key.size() + 1;
  return text.substr(value, text.find_first_of("\r\n", value) - value);
}

std::wstring LauncherIniPath() {
  wchar_t folder[MAX_PATH] = L"";
  ::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, folder);
  return std::wstring(folder) + L"\\KeltoLaucher.ini";
}

}  // namespace

std::wstring PlaceProgram(const std::wstring& program, const std::wstring& path) {
  CreateDir(ParentDir(path));
  return ::CopyFileW(program.c_str(), path.c_str(), FALSE) ? path : std::wstring();
}

std::unique_ptr<RunningProcess> StartSleeperAt(const std::wstring& path) {
  PlaceProgram(WindowsPathOfBuildFile(KELTO_APP_HELPER_EXE), path);
  return std::make_unique<RunningProcess>(Quoted(path) + L" sleep 120");
}

bool WaitUntilFound(const std::wstring& folder, DWORD processId) {
  for (int i = 0; i < 200; ++i) {
    if (FindProcessInFolder(folder) == processId) return true;
    ::Sleep(25);
  }
  return false;
}

std::wstring DemoPackage() { return WindowsPathOfBuildFile(KELTO_DEMO_PACKAGE); }
std::wstring DemoLauncher() { return WindowsPathOfBuildFile(KELTO_DEMO_LAUNCHER); }

bool UpdateServer::Start(const std::string& digest, uint16_t port) {
  TestHttpServer::Options options;
  options.port = port;
  return Serve(digest, options);
}

bool UpdateServer::StartTls(const TlsFiles& tls, uint16_t port) {
  TestHttpServer::Options options;
  options.port = port;
  options.tlsCertificate = tls.certificate;
  options.tlsKey = tls.key;
  base_ = "https://localhost:" + std::to_string(port);
  return Serve(std::string(), options);
}

bool UpdateServer::Serve(const std::string& digest, const TestHttpServer::Options& options) {
  const std::wstring package = root_ / L"qvinstaller.exe";
  if (!::CopyFileW(DemoPackage().c_str(), package.c_str(), FALSE)) return false;
  const std::string realDigest = WideToUtf8(FileDigest(package));
  packageSize_ = FileSizeOf(package);
  const std::string manifest = "[Install]\r\nUrl=" + base_ + "/qvinstaller.exe\r\nmurl=\r\nSize=" +
                               std::to_string(packageSize_) + "\r\nMd5=" +
                               (digest.empty() ? realDigest : digest) + "\r\nVersion=test-1\r\n";
  return !realDigest.empty() && WriteBinaryFile(root_ / L"qvinstall.txt", manifest) &&
         http_.Start(root_.path(), options);
}

LauncherStart WaitForLauncherStart(const std::wstring& folder, DWORD limitMs) {
  LauncherStart start;
  const std::wstring record = folder + L"\\KeltoLauncher.started.txt";
  std::string text;
  const DWORD begin = ::GetTickCount();
  // The launcher writes its record in one go; "pid=" is its last line.
  while ((text = ReadBinaryFile(record)).find("pid=") == std::string::npos) {
    if (::GetTickCount() - begin > limitMs) return start;
    ::Sleep(50);
  }
  start.found = true;
  start.commandLine = LineValue(text, "cmdline");
  const auto pid = static_cast<DWORD>(std::strtoul(LineValue(text, "pid").c_str(), nullptr, 10));
  if (HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
    ::TerminateProcess(process, 0);
    ::WaitForSingleObject(process, 5000);
    ::CloseHandle(process);
  }
  return start;
}

bool WriteIniRecord(const std::wstring& launcherPath) {
  // A Unicode ini file (byte-order mark first), as the profile functions read it.
  return WriteWideFile(LauncherIniPath(),
                       L"\xFEFF[Kelto-Launcher]\r\nInstallPath=" + launcherPath + L"\r\n");
}

bool WriteRegistryRecord(const std::wstring& text, REGSAM view, DWORD bytes) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRegistryKey, 0, nullptr, 0, KEY_SET_VALUE | view,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  if (bytes == 0) bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  const LONG result = ::RegSetValueExW(key, L"InstPath", 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(text.c_str()), bytes);
  ::RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

void RemoveLauncherRecords() {
  ::DeleteFileW(LauncherIniPath().c_str());
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kRegistryKey, view, 0);
  }
}

std::wstring OneClickFolder() { return L"D:\\凯途网络\\凯途星联"; }

void ClearTestDrive(wchar_t drive) {
  const std::wstring root = std::wstring(1, drive) + L":\\";
  WIN32_FIND_DATAW data = {};
  HANDLE found = ::FindFirstFileW((root + L"*").c_str(), &data);
  if (found == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveFolderTree(root + name);
    } else {
      ::DeleteFileW((root + name).c_str());
    }
  } while (::FindNextFileW(found, &data));
  ::FindClose(found);
}

void ClearInstallTraces() {
  RemoveLauncherRecords();
  ClearTestDrive(L'D');
  ClearTestDrive(L'F');
}

bool TestDrivesPresent() {
  const char* drives = std::getenv("KELTO_TEST_DRIVES");
  return drives && *drives;
}

std::wstring TitleOf(HWND window) {
  wchar_t title[256] = L"";
  ::GetWindowTextW(window, title, 256);
  return title;
}

bool XdotoolOn(HWND window, const std::wstring& commands) {
  // Wine keeps the X window of each top-level window in this property.
  const auto xid = reinterpret_cast<uintptr_t>(::GetPropW(window, L"__wine_x11_whole_window"));
  if (xid == 0) return false;
  std::wstring line = L"xdotool " + commands;
  const std::wstring id = std::to_wstring(xid);
  for (size_t at = line.find(L"%1"); at != std::wstring::npos; at = line.find(L"%1", at)) {
    line.replace(at, 2, id);
  }
  return StartShell(line);
}

bool ClickAt(HWND window, POINT point) { return XdotoolOn(window, XdotoolClick(point)); }

bool ClickUntil(HWND window, POINT point, const std::function<bool()>& done) {
  for (int attempt = 0; attempt < 6; ++attempt) {
    if (!ClickAt(window, point)) return false;
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < 10000) {
      if (done()) return true;
      ::Sleep(50);
    }
  }
  return done();
}

HWND FindWindowOf(DWORD processId, const wchar_t* className) {
  HWND window = nullptr;
  while ((window = ::FindWindowExW(nullptr, window, className, nullptr))) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == processId) return window;
  }
  return nullptr;
}

}  // namespace app_test
