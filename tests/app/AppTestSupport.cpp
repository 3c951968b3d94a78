#include "AppTestSupport.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>

#include "TestHostWindow.h"
#include "platform/CommonUtils.h"
#include "support/MessagePump.h"

using namespace testing_support;

namespace app_test {

namespace {

const wchar_t* const kRegistryKey = L"SOFTWARE\\KeltoLauncher";

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
  PlaceProgram(HelperProgram(), path);
  return std::make_unique<RunningProcess>(Quoted(path) + L" sleep 120");
}

std::wstring HelperProgram() { return WindowsPathOfBuildFile(KELTO_APP_HELPER_EXE); }
std::wstring DemoPackage() { return WindowsPathOfBuildFile(KELTO_DEMO_PACKAGE); }
std::wstring DemoLauncher() { return WindowsPathOfBuildFile(KELTO_DEMO_LAUNCHER); }

bool UpdateServer::Start(const std::string& digest, uint16_t port, const std::string& manifest) {
  const std::wstring package = root_ / L"qvinstaller.exe";
  if (!::CopyFileW(DemoPackage().c_str(), package.c_str(), FALSE)) return false;
  const std::string realDigest = WideToUtf8(FileDigest(package));
  packageSize_ = FileSizeOf(package);
  const std::string plain = "[Install]\r\nUrl=http://127.0.0.1:" + std::to_string(kPort) +
                            "/qvinstaller.exe\r\nmurl=\r\nSize=" + std::to_string(packageSize_) +
                            "\r\nMd5=" + (digest.empty() ? realDigest : digest) +
                            "\r\nVersion=test-1\r\n";
  TestHttpServer::Options options;
  options.port = port;
  return !realDigest.empty() &&
         WriteBinaryFile(root_ / L"qvinstall.txt", manifest.empty() ? plain : manifest) &&
         http_.Start(root_.path(), options);
}

LauncherStart WaitForLauncherStart(const std::wstring& folder, DWORD limitMs) {
  // The launcher writes its record in one go: "cmdline=..." first, "pid=..." last.
  std::string text;
  if (!PumpMessagesUntil(
          [&] {
            text = ReadBinaryFile(folder + L"\\KeltoLauncher.started.txt");
            return text.find("\r\npid=") != std::string::npos;
          },
          limitMs)) {
    return LauncherStart();
  }
  const auto pid = std::strtoul(text.c_str() + text.find("\r\npid=") + 6, nullptr, 10);
  if (HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
    ::TerminateProcess(process, 0);
    ::WaitForSingleObject(process, 5000);
    ::CloseHandle(process);
  }
  return LauncherStart{true, text.substr(8, text.find("\r\n") - 8)};
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

bool TestDrivesPresent() {
  const char* drives = std::getenv("KELTO_TEST_DRIVES");
  return drives && *drives;
}

void ClearInstallTraces() {
  RemoveLauncherRecords();
  for (const wchar_t* drive : {L"D", L"F"}) {
    // The shell deletes whatever the pattern names, folders with all they hold.
    std::wstring from = std::wstring(drive) + L":\\*";
    from.push_back(L'\0');  // a list that ends with two nulls
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    ::SHFileOperationW(&operation);
  }
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
    if (PumpMessagesUntil(done, 10000)) return true;
  }
  return false;
}

}  // namespace app_test
