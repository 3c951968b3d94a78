// CMainDlg: the window, its pages and the player's choices. The download is in
// MainDlgDownload.cpp, the progress bar and the install step in MainDlgInstall.cpp.
#include <winsock2.h>  // before windows.h: the update module downloads through sockets

#include "app/MainDlg.h"

#include <shellapi.h>

#include "DeploymentConfig.h"
#include "app/InstallCommands.h"
#include "app/InstallWorker.h"
#include "app/MsgBoxDlg.h"
#include "app/StartupSettings.h"
#include "platform/CommonUtils.h"
#include "runtime/WindowMessages.h"
#include "ui/controls/EditUI.h"
#include "ui/controls/LabelUI.h"
#include "ui/controls/OptionUI.h"
#include "ui/controls/ProgressUI.h"
#include "ui/controls/TabLayoutUI.h"
#include "updater/Updater.h"

using namespace install_location;

namespace {

constexpr const wchar_t* kInfoTitle = L"提示信息";

template <typename T>
T* FindAs(SkinUI::CWindowHostUI& manager, const wchar_t* name, const wchar_t* interfaceName) {
  SkinUI::CControlUI* control = manager.FindControl(name);
  return control ? static_cast<T*>(control->GetInterface(interfaceName)) : nullptr;
}

}  // namespace

CMainDlg::CMainDlg() = default;

CMainDlg::~CMainDlg() {
  DestroyUpdater();
  // Destroyed here, the window still reaches this dialog's own final message.
  if (WindowAlive()) ::DestroyWindow(GetHWND());
}

std::wstring CMainDlg::WindowTitle() { return std::wstring(L"安装") + deployment::kGameName; }

void CMainDlg::InitWindow() {
  // System close requests are refused: only "btn_close" (with confirmation) and the flow
  // close the installer.
  ::EnableMenuItem(::GetSystemMenu(GetHWND(), FALSE), SC_CLOSE,
                   MF_BYCOMMAND | MF_GRAYED | MF_DISABLED);
  FindControls();
  if (progress_) GetPaintManager().SetTimer(progress_, kShineTimer, kShineTimerMs);
  // Reading the launcher's records loads COM and the shell: it waits until the first frame
  // is painted. A posted message comes before any input, so no click finds it untaken.
  if (!PostMessage(msg::kStartupDecision)) TakeStartupDecision();
}

void CMainDlg::FindControls() {
  SkinUI::CWindowHostUI& manager = GetPaintManager();
  progress_ = FindAs<SkinUI::CProgressUI>(manager, L"pro_InstallProgress", L"Progress");
  downloadLabel_ = FindAs<SkinUI::CLabelUI>(manager, L"lb_download", L"Label");
  speedLabel_ = FindAs<SkinUI::CLabelUI>(manager, L"lb_speed", L"Label");
  minButton_ = manager.FindControl(L"btn_min");
  closeButton_ = manager.FindControl(L"btn_close");
  background_ = manager.FindControl(L"vlt_bk");
  installButton_ = manager.FindControl(L"btn_install");
  installNowButton_ = manager.FindControl(L"btn_install2");
  pages_ = FindAs<SkinUI::CTabLayoutUI>(manager, L"tb_main", L"TabLayout");
  customButton_ = manager.FindControl(L"btn_free");
  folderEdit_ = FindAs<SkinUI::CEditUI>(manager, L"edit_input", L"Edit");
  browseButton_ = manager.FindControl(L"btn_select");
  agreementButton_ = manager.FindControl(L"btn_agreement");
  tipLabel_ = FindAs<SkinUI::CLabelUI>(manager, L"lb_tip", L"Label");
  agreeOption_ = FindAs<SkinUI::COptionUI>(manager, L"opt_agree", L"Option");
}

void CMainDlg::TakeStartupDecision() {
  const StartupSettings& settings = StartupSettings::Get();
  // 1. The game number.
  if (settings.gameIdOption != 0) gameId_ = settings.gameIdOption;
  // 2. An earlier install.
  launcherFound_ = DetectLauncherRecord(paths_);
  // 3. Hidden mode installs at once, or not at all.
  if (settings.hidden) {
    paths_.installDir = SilentInstallDir();
    paths_.downloadDir = paths_.installDir;
    if (paths_.installDir.empty()) {
      EndRun(exit_code::kNoFolder);
    } else {
      StartDownload();
    }
    return;
  }
  // 4. The player is asked about the earlier install once the window shows.
  if (launcherFound_) {
    ::SetTimer(GetHWND(), kPromptTimer, kPromptTimerMs, nullptr);
    return;
  }
  // 5. Started from a game folder.
  DetectLocalPackage(paths_);
}

void CMainDlg::OnPromptTimer() {
  ::KillTimer(GetHWND(), kPromptTimer);
  const UINT result = ShowMessageBox(kInfoTitle, L"您已经安装了凯途星联，是否覆盖安装？",
                                     L"覆盖安装", L"直接启动", L"", false, true);
  if (!WindowAlive()) return;
  // 1. "直接启动".
  if (result == 2) {
    const std::wstring commandLine =
        install_commands::LauncherCommandLine(paths_.launcherPath, gameId_);
    if (StartProcess(paths_.launcherPath, commandLine) == 0) {
      EndRun(exit_code::kInstalled);
      return;
    }
  }
  // 2. "覆盖安装", or the launcher would not start: the folder page, as a click opens it.
  DetectLocalPackage(paths_);
  if (customButton_) {
    GetPaintManager().SendNotify(customButton_, L"click");
  } else {
    OnCustomInstallClick();
  }
}

void CMainDlg::Notify(SkinUI::TControlNotify& notify) {
  SkinUI::CControlUI* sender = notify.sender;
  if (!sender) {
    WindowImplBase::Notify(notify);
    return;
  }
  if (notify.typeName == L"timer" && sender == progress_) {
    UpdateProgressBar(true);
    return;
  }
  if (notify.typeName == L"textchanged" && sender == folderEdit_) {
    OnFolderTextChanged();
    return;
  }
  if (notify.typeName == L"click") {
    const struct {
      SkinUI::CControlUI* button;
      void (CMainDlg::*handler)();
    } clicks[] = {
        {closeButton_, &CMainDlg::OnQuitClick},
        {installButton_, &CMainDlg::OnInstallClick},
        {customButton_, &CMainDlg::OnCustomInstallClick},
        {installNowButton_, &CMainDlg::OnInstallNowClick},
        {browseButton_, &CMainDlg::OnBrowseClick},
        {agreementButton_, &CMainDlg::OnAgreementClick},
    };
    for (const auto& click : clicks) {
      if (click.button == sender) {
        (this->*click.handler)();
        return;
      }
    }
  }
  // "btn_min" and the rest: the window base.
  WindowImplBase::Notify(notify);
}

void CMainDlg::OnAgreementClick() {
  ::ShellExecuteW(GetHWND(), L"open", deployment::kAgreementUrl, nullptr, nullptr, SW_SHOWNORMAL);
}

void CMainDlg::OnQuitClick() {
  if (quitBox_) return;
  CMsgBoxDlg::TOptions options;
  options.title = L"退出安装";
  options.text = L"是否退出安装？";
  if (CMsgBoxDlg::Run(GetHWND(), options, &quitBox_) == 1) {
    Close(1);
    return;
  }
  // The player stays: what the install step found meanwhile is shown now.
  if (unusableBehindQuitBox_ && WindowAlive()) {
    unusableBehindQuitBox_ = false;
    OnPackageUnusable();
  }
}

bool CMainDlg::CheckAgreement() {
  if (!agreeOption_ || agreeOption_->IsSelected()) return true;
  ShowMessageBox(kInfoTitle, L"未勾选“同意软件许可协议”。", L"", L"", L"", true, false);
  return false;
}

void CMainDlg::OnInstallClick() {
  if (!CheckAgreement()) return;
  paths_.installDir = QuickInstallDir(paths_);
  if (paths_.installDir.empty()) {
    // No drive qualifies by itself: the player picks the folder.
    SelectPage(kFolderPage);
    paths_.installDir = DefaultInstallDir();
    ShowFolder(paths_.installDir);
    return;
  }
  GoInstall();
}

void CMainDlg::OnCustomInstallClick() {
  if (!CheckAgreement()) return;
  SelectPage(kFolderPage);
  paths_.installDir = QuickInstallDir(paths_);
  if (paths_.installDir.empty()) paths_.installDir = DefaultInstallDir();
  ShowFolder(paths_.installDir);
}

void CMainDlg::OnInstallNowClick() {
  paths_.installDir = folderEdit_ ? folderEdit_->GetText() : paths_.installDir;
  GoInstall();
}

void CMainDlg::GoInstall() {
  if (paths_.downloadDir.empty()) paths_.downloadDir = paths_.installDir;
  SelectPage(kProgressPage);
  if (paths_.packageBeside) {
    OnDownloadFinished(0, 0, std::wstring());
  } else {
    StartDownload();
  }
}

void CMainDlg::OnBrowseClick() {
  std::wstring folder = BrowseForFolder(GetHWND(), paths_.installDir);
  if (folder.empty()) return;
  if (folder.back() == L'\\') folder.pop_back();
  if (folder.empty()) return;
  paths_.installDir = folder + L"\\" + kGameFolderName;
  ShowFolder(paths_.installDir);
}

void CMainDlg::OnFolderTextChanged() {
  paths_.installDir = folderEdit_->GetText();
  const InstallDirCheck check = ValidateInstallDir(paths_.installDir);
  if (tipLabel_) {
    tipLabel_->SetText(check.tipText.c_str());
    tipLabel_->SetTextColor(check.tipColor);
    tipLabel_->Invalidate();
  }
  if (installNowButton_) installNowButton_->SetEnabled(check.installEnabled);
}

void CMainDlg::SelectPage(int page) {
  if (pages_) pages_->SelectItem(page);
}

void CMainDlg::ShowFolder(const std::wstring& folder) {
  // The edit box reports the change, which runs the folder checks.
  if (folderEdit_) folderEdit_->SetText(folder.c_str());
}

UINT CMainDlg::ShowMessageBox(const std::wstring& title, const std::wstring& text,
                              const std::wstring& okText, const std::wstring& cancelText,
                              const std::wstring& codeText, bool showClose, bool showCancel,
                              CMsgBoxDlg** running) {
  return CMsgBoxDlg::Run(
      GetHWND(), {title, text, codeText, okText, cancelText, showClose, showCancel}, running);
}

bool CMainDlg::WindowAlive() const { return GetHWND() && ::IsWindow(GetHWND()); }

LRESULT CMainDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam == kInstallTimer) {
        OnInstallTimer();
        return 0;
      }
      if (wParam == kRetryTimer) {
        OnRetryTimer();
        return 0;
      }
      if (wParam == kPromptTimer) {
        OnPromptTimer();
        return 0;
      }
      break;
    case WM_CLOSE:
      // A close request while the quit confirmation is up confirms it.
      if (quitBox_) {
        quitBox_->Close(1);
        return 0;
      }
      DestroyUpdater();
      break;
    case msg::kPackageUnusable:
      OnPackageUnusable();
      return 0;
    case msg::kStartupDecision:
      TakeStartupDecision();
      return 0;
    case msg::kPackageRunning:
      if (downloadLabel_) downloadLabel_->SetText(L"安装中");
      return 0;
    default:
      break;
  }
  return WindowImplBase::HandleMessage(message, wParam, lParam);
}

void CMainDlg::OnPackageUnusable() {
  ::KillTimer(GetHWND(), kInstallTimer);
  installing_ = false;
  if (StartupSettings::Get().hidden) {
    EndRun(exit_code::kPackageUnusable);
    return;
  }
  // The quit confirmation is up: its answer comes first (quitting makes this box moot).
  if (quitBox_) {
    unusableBehindQuitBox_ = true;
    return;
  }
  const UINT result = ShowMessageBox(kInfoTitle, L"文件已损坏，请重新下载！", L"重新下载",
                                     L"退出安装", L"", true, true);
  if (result == 1) {
    StartDownload();
  } else {
    Close(1);
  }
}

LRESULT CMainDlg::OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, bool&) {
  // The Close item is disabled: a close command (Alt+F4, the task bar) is refused here as
  // it is by the system menu, whatever the platform's default processing would do.
  if ((wParam & 0xFFF0) == SC_CLOSE) return 0;
  return SkinUI::CWindowWnd::HandleMessage(message, wParam, lParam);
}

bool CMainDlg::HandleDefaultKey(WPARAM key) {
  if (key != VK_ESCAPE) return false;
  OnQuitClick();
  return true;
}

void CMainDlg::WaitForInstallStep() {
  if (installWorker_) installWorker_->WaitUntilDone();
}

int CMainDlg::ExitCode() const {
  return installWorker_ && installWorker_->finishing ? exit_code::kInstalled : exitCode_;
}

void CMainDlg::EndRun(int exitCode) {
  exitCode_ = exitCode;
  Close(1);
}

void CMainDlg::OnFinalMessage(HWND window) {
  // The window goes, closed or destroyed: the install step starts nothing more behind it.
  if (installWorker_) installWorker_->Stop();
  // The skin archive's bytes stay in the skin storage, which start-up closes at shut-down.
  WindowImplBase::OnFinalMessage(window);
  ::PostQuitMessage(0);
}
