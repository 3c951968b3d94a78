// Shared pieces of the application's Windows tests: copies of the app test helper run as
// real processes, the demo game (its package and launcher), an update server on the
// installer's own primary manifest address, the launcher's records of an earlier install,
// what the launcher writes when it starts, and real input to a window of any process.
//
// Contract: the test's thread. The update server binds 127.0.0.1:18601, which the deployment
// defaults name (or, with TLS, the ports of the https test installer, 18611 and 18612):
// tests that start it take the CTest lock "installer_ports". Tests that write
// the launcher's records take "launcher_records" (and remove them again); tests that read the
// test drives' install folders take "test_drives". Failures come back as false, empty or
// not-found results; nothing throws.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "support/ProcessRunner.h"
#include "support/TestCertificates.h"
#include "support/TestFiles.h"
#include "support/TestHttpServer.h"

namespace app_test {

// A copy of the program `program` at `path`, its folder made first; empty when it cannot be
// copied.
std::wstring PlaceProgram(const std::wstring& program, const std::wstring& path);
// A copy of the app test helper (AppTestHelper.cpp) at `path`.
std::wstring PlaceHelper(const std::wstring& path);
// A sleeping copy of the helper; ended by the test or, at the latest, by the destructor.
std::unique_ptr<testing_support::RunningProcess> StartSleeper(const std::wstring& exe);
// A process just started shows its executable's path only once it is loaded: waits (at most
// 5 s) for the search of `folder` to give `expectedId`.
bool WaitUntilFound(const std::wstring& folder, DWORD expectedId);
// Whether process `processId` has ended (or is gone) within `timeoutMs`.
bool Ends(DWORD processId, DWORD timeoutMs);

// The demo game's package and launcher as the build made them (Windows paths).
std::wstring DemoPackage();
std::wstring DemoLauncher();

// Serves the demo package "/qvinstaller.exe" and the manifest "/qvinstall.txt" naming it on
// the port of the installer's primary manifest address.
class UpdateServer {
 public:
  static constexpr uint16_t kPort = 18601;

  // `digest` replaces the package's real MD5 digest in the manifest when not empty.
  bool Start(const std::string& digest = std::string());
  // In TLS mode with `tls` on `port`: the manifest names the package as
  // "https://localhost:<port>/qvinstaller.exe".
  bool StartTls(const testing_support::TlsFiles& tls, uint16_t port);
  testing_support::TestHttpServer& http() { return http_; }
  const std::string& packageDigest() const { return packageDigest_; }
  long long packageSize() const { return packageSize_; }
  // Writes the manifest again, naming `digest`.
  bool WriteManifest(const std::string& digest);

 private:
  testing_support::TempFolder root_{L"update-server"};
  testing_support::TestHttpServer http_;
  bool Serve(const std::string& digest, const testing_support::TestHttpServer::Options& options);

  std::string packageDigest_;
  long long packageSize_ = 0;
  std::string base_ = "http://127.0.0.1:" + std::to_string(kPort);
};

// What the demo launcher recorded about its start ("KeltoLauncher.started.txt").
struct LauncherStart {
  bool found = false;
  std::string commandLine;
  std::string id;
  bool d = false;
  DWORD pid = 0;
};
// Waits up to `limitMs` for the launcher in `folder` to record its start, then ends it (its
// window would stay for 20 s); `found` is false when it did not start.
LauncherStart WaitForLauncherStart(const std::wstring& folder, DWORD limitMs = 30000);

// The launcher's records: the ini file in the common application-data folder and the
// registry value "InstPath" (both registry views).
std::wstring LauncherIniPath();
bool WriteIniRecord(const std::wstring& launcherPath);
// `bytes` overrides the size of the data (default: the text with its terminating null).
bool WriteRegistryRecord(const std::wstring& text, REGSAM view, DWORD type = REG_SZ,
                         DWORD bytes = 0);
void RemoveLauncherRecords();

// The one-click folder on the test drive D: ("D:\\凯途网络\\凯途星联").
std::wstring OneClickFolder();
// Removes everything on the test drive `drive`.
void ClearTestDrive(wchar_t drive);
// What an install leaves that another test must not find: the launcher's records and the
// writable test drives' contents.
void ClearInstallTraces();
// Whether the harness gave Wine its test drives (D: small, E: read-only, F: writable).
bool TestDrivesPresent();

// The window's title.
std::wstring TitleOf(HWND window);

// Starts xdotool on the X window behind `window` (of any process): `commands` refer to it as
// %1. Returns at once; the caller waits for the effect.
bool XdotoolOn(HWND window, const std::wstring& commands);
// Clicks the left button at `point` of the window's client area.
bool ClickAt(HWND window, POINT point);
// Clicks at `point` until `done` holds, waiting up to `waitMs` after each of `tries` clicks:
// a click that comes while another process's new window is still being mapped can be lost
// on a busy display. Only for a spot that is empty once the click has taken effect.
bool ClickUntil(HWND window, POINT point, const std::function<bool()>& done,
                DWORD waitMs = 10000, int tries = 6);

// The top-level window of process `processId` with class `className` and title `title`
// (any title when null), shown or not; null when there is none.
HWND FindWindowOf(DWORD processId, const wchar_t* className, const wchar_t* title = nullptr);

}  // namespace app_test
