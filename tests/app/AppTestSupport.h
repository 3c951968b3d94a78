// Shared pieces of the application's Windows tests and of the reliability soak: programs
// placed where a test wants them, the demo game, update servers on the installer's manifest
// addresses, the launcher's records, the harness's test drives and real X input to any
// process's window.
//
// Contract: the test's thread. The update servers bind the installer's fixed ports (18601 and
// 18602): tests that start them take the CTest lock "installer_ports"; tests that touch the
// launcher's records take "launcher_records", and the test drives "test_drives". Failures come
// back as false, empty or null; nothing throws.
#pragma once

#include <winsock2.h>  // before windows.h: the test servers' helpers use sockets

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "support/ProcessRunner.h"
#include "support/TestFiles.h"
#include "support/TestHttpServer.h"

namespace app_test {

// A copy of the program `program` at `path`, its folder made first.
std::wstring PlaceProgram(const std::wstring& program, const std::wstring& path);
// A copy of the app test helper at `path`, sleeping; ended at the latest by the destructor.
std::unique_ptr<testing_support::RunningProcess> StartSleeperAt(const std::wstring& path);

// The test helper (tests/platform/PlatformTestHelper.cpp says what it does).
std::wstring HelperProgram();
std::wstring DemoPackage();
std::wstring DemoLauncher();

// Serves the demo package "/qvinstaller.exe" and the manifest "/qvinstall.txt" naming it.
class UpdateServer {
 public:
  static constexpr uint16_t kPort = 18601;

  // `digest` replaces the package's MD5 digest in the manifest when not empty; the manifest
  // names the package on the primary address in any case. A `manifest` given is served as
  // it is instead.
  bool Start(const std::string& digest = std::string(), uint16_t port = kPort,
             const std::string& manifest = std::string());
  testing_support::TestHttpServer& http() { return http_; }
  long long packageSize() const { return packageSize_; }

 private:
  testing_support::TempFolder root_{L"update-server"};
  testing_support::TestHttpServer http_;
  long long packageSize_ = 0;
};

struct LauncherStart {
  bool found = false;
  std::string commandLine;
};
// Waits up to `limitMs` for the demo launcher in `folder` to record its start, then ends it
// (its window would stay for 20 s).
LauncherStart WaitForLauncherStart(const std::wstring& folder, DWORD limitMs = 30000);

// The ini record in the common application-data folder; the registry value "InstPath" in
// `view`, `bytes` long (by default the text with its null); both removed, in both views.
bool WriteIniRecord(const std::wstring& launcherPath);
bool WriteRegistryRecord(const std::wstring& text, REGSAM view, DWORD bytes = 0);
void RemoveLauncherRecords();

// The one-click folder on the test drive D:.
std::wstring OneClickFolder();
// Whether the harness gave Wine its test drives (D: 160 MiB, E: read-only, F: writable).
bool TestDrivesPresent();
// Removes what an install leaves: the launcher's records and all on the drives D: and F:.
void ClearInstallTraces();

// Starts xdotool on the X window behind `window` (of any process), which `commands` name %1,
// and returns at once: the caller waits for the effect.
bool XdotoolOn(HWND window, const std::wstring& commands);
bool ClickAt(HWND window, POINT point);
// Clicks until `done` holds, up to six times 10 s apart: a click on another process's window
// just mapped can be lost on a busy display. Only for a spot that is empty once it took effect.
bool ClickUntil(HWND window, POINT point, const std::function<bool()>& done);

}  // namespace app_test
