#include "app/InstallerApp.h"

#include <commctrl.h>
#include <objbase.h>
#include <ole2.h>

#include "DeploymentConfig.h"
#include "app/ExitCodes.h"
#include "app/MainDlg.h"
#include "app/MsgBoxDlg.h"
#include "app/StartupSettings.h"
#include "app/SupportLog.h"
#include "http/HttpEngine.h"
#include "http/SystemProxy.h"
#include "runtime/CommandLineOptions.h"
#include "runtime/Logging.h"
#include "runtime/MainThreadTask.h"
#include "ui/core/WindowHostUI.h"
#include "ui/markup/SkinStorage.h"
#include "ui/skin/SkinModule.h"
#include "ui/windows/WndShadow.h"

const wchar_t* const CInstallerApp::kMutexName = L"qvxw_install_20170309";

namespace {

constexpr UINT_PTR kHeartbeatTimerId = 508;
constexpr UINT kHeartbeatPeriodMs = 1000;
// A proxy lookup still running at the end (a detection that takes its time) is waited for
// this long, then ended.
constexpr DWORD kProxyLookupStopMs = 2000;

// The one-second thread timer of start-up keeps the thread's timer machinery warm; it has
// nothing to do.
void CALLBACK HeartbeatTimerProc(HWND, UINT, UINT_PTR, DWORD) {}

}  // namespace

CInstallerApp::CInstallerApp(HINSTANCE instance) : instance_(instance) {}

CInstallerApp::~CInstallerApp() = default;

int CInstallerApp::Run() {
  // 2. Options.
  options_ = std::make_unique<CommandLineOptions>();
  StartupSettings& settings = StartupSettings::Get();
  settings.ApplyOptions(*options_);
  //    The support log comes first, so that it holds every diagnostic of the run.
  if (settings.supportLog) support_log::Open(settings);

  // 3. Instance handle for the UI framework, then the window shadow. Without layered
  //    windows the dialogs simply go without a shadow.
  SkinUI::CSkinModule::SetInstance(instance_);
  SkinUI::CWndShadow::Initialize(instance_);

  // 4. One instance at a time.
  if (!AcquireSingleInstance()) {
    LOG_FILE(0, L"another installer is running: this one ends");
    if (!settings.hidden) ShowAlreadyRunning();
    Shutdown();
    support_log::WriteEnd(exit_code::kInstalled);
    return exit_code::kInstalled;
  }

  // 5. The install dialog object.
  dialog_ = std::make_unique<CMainDlg>();
  settings.mainDialog = dialog_.get();

  // 6. The heartbeat thread timer.
  settings.heartbeatTimer = ::SetTimer(nullptr, kHeartbeatTimerId, kHeartbeatPeriodMs,
                                       HeartbeatTimerProc);

  // 7, 8. Main-thread task window and the transfer engine.
  StartServices();

  // 9. The install window, shown and painted at once. Without one there is nothing to wait
  //    for.
  const bool windowMade = CreateInstallWindow();
  if (!windowMade) ::PostQuitMessage(0);

  // 1. Standard common controls, only once the first frame is on the screen: loading them
  //    took longer (15-35 ms under Wine) than the whole start before the window, and nothing
  //    up to here uses them. Their DLL is linked for loading at its first call.
  INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&icc);

  // 10. COM and OLE.
  ::CoInitialize(nullptr);
  oleStarted_ = SUCCEEDED(::OleInitialize(nullptr));

  // 11. Message loop. A package the player quit from while it unpacked still has the
  //     folder: no other installer may start (the mutex) until it has ended.
  MessageLoop();
  dialog_->WaitForInstallStep();
  const int exitCode = windowMade ? dialog_->ExitCode() : exit_code::kNoWindow;

  // 12. Shut-down.
  Shutdown();
  support_log::WriteEnd(exitCode);
  return exitCode;
}

bool CInstallerApp::AcquireSingleInstance() {
  mutex_ = ::CreateMutexW(nullptr, FALSE, kMutexName);
  if (mutex_ && ::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(mutex_);
    mutex_ = nullptr;
    return false;
  }
  // A mutex that cannot be created at all is treated like a first instance.
  return true;
}

void CInstallerApp::ShowAlreadyRunning() {
  CMsgBoxDlg::TOptions options;
  options.title = L"提示信息";
  options.text = L"您已经运行了一个星联安装程序。";
  options.showCancel = false;
  CMsgBoxDlg::Run(nullptr, options);
}

void CInstallerApp::StartServices() {
  // 7. This thread becomes the main thread and gets the task window (a call that finds the
  //    window made already does nothing). Should the window fail, the run goes on without
  //    results of background work, as it does without the other optional services.
  InitMainThreadTasks();
  // 8. The transfer engine: its timer, then the command and download families.
  if (!engineStarted_) {
    engineStarted_ = true;
    CHttpEngine::StartTimer();
    CHttpEngine::StartCommandFamily();
    CHttpEngine::StartDownloadFamily();
    // The player's proxy for the update servers is looked up while the window comes up, so
    // that the first request finds its answer ready.
    CSystemProxy::Instance().WarmUp({deployment::kManifestPrimary, deployment::kManifestFallback});
  }
}

bool CInstallerApp::CreateInstallWindow() {
  // The skin gives the size; the dialog takes the start-up decision while it is created.
  if (!dialog_->Create(nullptr, CMainDlg::WindowTitle().c_str(), CMainDlg::kWindowStyle, 0, 0,
                       0, 0, 0)) {
    return false;
  }
  dialog_->CenterWindow();
  // Hidden mode keeps the window (its timers drive the flow) but never shows it. A shown
  // window paints its first frame now, before the rest of start-up.
  if (!StartupSettings::Get().hidden) {
    dialog_->ShowWindow(true, true);
    ::UpdateWindow(dialog_->GetHWND());
  }
  return true;
}

void CInstallerApp::MessageLoop() {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    // The skinned windows' own keys first: Tab through the controls, Escape to quit.
    if (SkinUI::CWindowHostUI::TranslateMessage(&msg)) continue;
    if (!::TranslateAcceleratorW(msg.hwnd, nullptr, &msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

void CInstallerApp::Shutdown() {
  StartupSettings& settings = StartupSettings::Get();
  // 12.1 The skin archive the windows kept open.
  if (SkinUI::CSkinStorage::IsSkinArchiveCached() && SkinUI::CSkinStorage::GetSkinArchiveHandle()) {
    SkinUI::CSkinStorage::CloseSkinArchive();
  }
  // 12.2 Dialog pointer, heartbeat, task window, engine.
  settings.mainDialog = nullptr;
  if (settings.heartbeatTimer) {
    ::KillTimer(nullptr, settings.heartbeatTimer);
    settings.heartbeatTimer = 0;
  }
  //      Tasks still queued are released unrun before their window goes.
  ClearMainThreadTasks();
  DestroyMainThreadTaskWindow();
  //      The engine: commands, then downloads, then its timer.
  if (engineStarted_) {
    CSystemProxy::Instance().StopLookups(kProxyLookupStopMs);
    CHttpEngine::ShutdownCommandFamily();
    CHttpEngine::ShutdownDownloadFamily();
    CHttpEngine::StopTimer();
    engineStarted_ = false;
  }
  // 12.3 OLE, mutex.
  if (oleStarted_) {
    ::OleUninitialize();
    oleStarted_ = false;
  }
  if (mutex_) {
    ::ReleaseMutex(mutex_);
    ::CloseHandle(mutex_);
    mutex_ = nullptr;
  }
  // 12.4 Dialog object, then the options.
  dialog_.reset();
  options_.reset();
}
