// CMainDlg: the install window ("InstallPackages.xml") and the owner of the install flow: the
// start page (one-click install, the agreement option, custom install), the folder page and
// the progress page; the download of the package through the update module, with its
// progress, its failures and their automatic retry; the install step (CInstallWorker); the
// prompt for an existing install and the quit confirmation, all in skinned message boxes.
//
// Contract: user-interface thread. Start-up constructs the dialog, creates its window (no
// parent, WindowTitle(), kWindowStyle), centres it and shows it unless in hidden mode, and
// destroys the object after the message loop. The start-up decision follows on a message the
// window posts to itself at creation, handled after its first frame; the window's final message
// posts the quit message that ends that loop. The dialog reads StartupSettings. It owns the
// update module of the current download attempt and shares the install step's progress with the
// worker thread, which reaches the window only through posted messages. Failures never stop the
// flow: the player sees them in message boxes (none in hidden mode, which gives up after the
// eleventh automatic retry), never two at a time. Nothing throws out of the window's handlers.
// A window closed during the install step stops the worker from starting anything new; start-up
// calls WaitForInstallStep before another installer may run.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "app/ExitCodes.h"
#include "app/InstallLocation.h"
#include "runtime/RefPtr.h"
#include "ui/windows/WindowImplBase.h"
#include "updater/IGameEventListener.h"

class CInstallWorker;
class CMsgBoxDlg;
class Updater;

namespace SkinUI {
class CControlUI;
class CEditUI;
class CLabelUI;
class COptionUI;
class CProgressUI;
class CTabLayoutUI;
}  // namespace SkinUI

class CMainDlg : public SkinUI::WindowImplBase, public IGameEventListener {
 public:
  static constexpr const wchar_t* kClassName = L"InstallPackages";
  static constexpr const wchar_t* kSkinFile = L"InstallPackages.xml";
  static constexpr DWORD kWindowStyle = 0x800A0000;  // WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX
  enum TPage : int { kStartPage = 0, kFolderPage = 1, kProgressPage = 2 };  // of "tb_main"
  // Timers: 1 is the progress bar's, the others the window's.
  static constexpr UINT kShineTimer = 1, kShineTimerMs = 20;
  static constexpr UINT kInstallTimer = 11, kInstallTimerMs = 100;
  // The retry timer's period is set in MainDlgDownload.cpp.
  static constexpr UINT kRetryTimer = 12;
  static constexpr UINT kPromptTimer = 13, kPromptTimerMs = 100;
  // Automatic retries in hidden mode before the installer gives up.
  static constexpr int kHiddenRetryLimit = 10;
  // The number handed to the launcher unless option i gives another.
  static constexpr int kDefaultGameId = 12;

  CMainDlg();
  ~CMainDlg() override;

  // "安装" followed by the game's display name.
  static std::wstring WindowTitle();

  // IGameEventListener: the update module's reports.
  void OnDownloadProgress(int64_t total, int64_t completed, int64_t speed) override;
  void OnDownloadFinished(int kind, int code, const std::wstring& text) override;
  void OnDownloadAborted(int kind, int code) override;
  void OnManifestResult(int kind, int code, const std::wstring& info,
                        const std::wstring& digest) override;

  void Notify(SkinUI::TControlNotify& notify) override;

  // Once the window is gone: waits for an install step still running (a package that had
  // begun to unpack when the player quit) to end. At once when there is none.
  void WaitForInstallStep();
  // How the run ended (ExitCodes.h); asked after WaitForInstallStep, since a package that
  // ran to its end installed the game whatever ended the window.
  int ExitCode() const;

 protected:
  const wchar_t* GetWindowClassName() const override { return kClassName; }
  std::wstring GetSkinFile() override { return kSkinFile; }
  std::wstring GetSkinFolder() override { return L"no use"; }
  void InitWindow() override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  LRESULT OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
  // Escape asks the quit confirmation, as the close button does; Return goes on to the
  // focused control.
  bool HandleDefaultKey(WPARAM key) override;
  void OnFinalMessage(HWND window) override;

 private:
  // --- Flow (MainDlg.cpp) ---
  void FindControls();
  void TakeStartupDecision();
  void OnPromptTimer();
  void OnInstallClick();
  void OnCustomInstallClick();
  void OnInstallNowClick();
  void OnBrowseClick();
  void OnAgreementClick();
  void OnQuitClick();
  void OnFolderTextChanged();
  // The agreement option is ticked; otherwise the player is told so.
  bool CheckAgreement();
  // Leaves for the progress page: the package beside the installer, or a download.
  void GoInstall();
  void SelectPage(int page);
  void ShowFolder(const std::wstring& folder);
  UINT ShowMessageBox(const std::wstring& title, const std::wstring& text,
                      const std::wstring& okText, const std::wstring& cancelText,
                      const std::wstring& codeText, bool showClose, bool showCancel,
                      CMsgBoxDlg** running = nullptr);
  bool WindowAlive() const;
  void OnPackageUnusable();
  // Closes the window with `exitCode` as the run's outcome.
  void EndRun(int exitCode);

  // --- Download (MainDlgDownload.cpp) ---
  void StartDownload();
  // The package is complete: on to the install step.
  void OnDownloadComplete();
  void OnDownloadFailed(int kind, int code);
  void OnRetryTimer();
  void DestroyUpdater();

  // --- Progress and install step (MainDlgInstall.cpp) ---
  void UpdateProgressBar(bool animate);
  void BeginInstall();
  void OnInstallTimer();
  int InstallTicks() const;

  // Controls of the skin; null when the skin lacks one.
  SkinUI::CProgressUI* progress_ = nullptr;
  SkinUI::CLabelUI* downloadLabel_ = nullptr;
  SkinUI::CLabelUI* speedLabel_ = nullptr;
  SkinUI::CControlUI* minButton_ = nullptr;
  SkinUI::CControlUI* closeButton_ = nullptr;
  SkinUI::CControlUI* background_ = nullptr;
  SkinUI::CControlUI* installButton_ = nullptr;
  SkinUI::CControlUI* installNowButton_ = nullptr;
  SkinUI::CTabLayoutUI* pages_ = nullptr;
  SkinUI::CControlUI* customButton_ = nullptr;
  SkinUI::CEditUI* folderEdit_ = nullptr;
  SkinUI::CControlUI* browseButton_ = nullptr;
  SkinUI::CControlUI* agreementButton_ = nullptr;
  SkinUI::CLabelUI* tipLabel_ = nullptr;
  SkinUI::COptionUI* agreeOption_ = nullptr;

  // installDir, launcherPath, downloadDir and packageBeside.
  install_location::InstallPaths paths_;
  int gameId_ = kDefaultGameId;
  std::wstring packagePath_;
  CMsgBoxDlg* quitBox_ = nullptr;
  std::unique_ptr<Updater> updater_;
  bool errorBoxArmed_ = true;
  // The failure box while it is on screen (its modal loop runs further down the stack).
  CMsgBoxDlg* errorBox_ = nullptr;
  // The automatic retry behind the failure box brought the whole package: the box was
  // closed, and the install step starts once its loop has returned.
  bool completedBehindErrorBox_ = false;
  // The install worker found the package unusable while the quit confirmation was up: the
  // corrupt-package box waits for the player's answer to that one.
  bool unusableBehindQuitBox_ = false;
  bool launcherFound_ = false;
  std::wstring expectedDigest_;
  std::wstring expectedSha256_;
  int shineOffset_ = 0;
  int64_t totalBytes_ = 0;
  int64_t completedBytes_ = 0;
  // The install step of this window, holding installTicks and finishing; null before it.
  CRefPtr<CInstallWorker> installWorker_;
  // The install step runs: the download is done and must not start again.
  bool installing_ = false;
  // Unless the package ran: a window closed by no decision of the flow was the player's quit.
  int exitCode_ = exit_code::kQuit;
};
