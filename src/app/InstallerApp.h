// CInstallerApp: the installer's start-up, message loop and shut-down.
//
// Contract: constructed and run once, on the thread that entered wWinMain, which becomes the
// user-interface thread. Run brings the services up in a fixed order (the common controls
// come right after the window's first frame, for a quick first picture), keeps to one instance
// through a named mutex, runs the message loop and tears everything down in reverse order;
// it returns the process exit code (ExitCodes.h). It owns the parsed options and the install dialog for the
// whole run. Failures of optional services (common controls, COM, timers) are ignored.
#pragma once

#include <windows.h>

#include <memory>

class CMainDlg;
class CommandLineOptions;

class CInstallerApp {
 public:
  explicit CInstallerApp(HINSTANCE instance);
  ~CInstallerApp();

  CInstallerApp(const CInstallerApp&) = delete;
  CInstallerApp& operator=(const CInstallerApp&) = delete;

  int Run();

  // Name of the single-instance mutex; other programs may look for it.
  static const wchar_t* const kMutexName;

 private:
  bool AcquireSingleInstance();
  void ShowAlreadyRunning();
  void StartServices();
  bool CreateInstallWindow();
  void MessageLoop();
  void Shutdown();

  HINSTANCE instance_;
  std::unique_ptr<CommandLineOptions> options_;
  std::unique_ptr<CMainDlg> dialog_;
  HANDLE mutex_ = nullptr;
  bool engineStarted_ = false;
  bool oleStarted_ = false;
};
