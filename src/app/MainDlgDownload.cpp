// CMainDlg: the package download through the update module, its reports, its failures and
// their automatic retry.
#include <winsock2.h>  // before windows.h: the update module downloads through sockets

#include "app/MainDlg.h"

#include "app/InstallProgress.h"
#include "app/MsgBoxDlg.h"
#include "app/StartupSettings.h"
#include "http/SystemProxy.h"
#include "platform/CommonUtils.h"
#include "ui/controls/LabelUI.h"
#include "ui/controls/ProgressUI.h"
#include "updater/Updater.h"

// The pause between a failed attempt and its automatic retry. Test builds of the installer
// compile this file again with a shorter one, so that a run through many failures is quick.
#ifndef KELTO_RETRY_DELAY_MS
#define KELTO_RETRY_DELAY_MS 5000
#endif

namespace {

constexpr UINT kRetryTimerMs = KELTO_RETRY_DELAY_MS;

// Automatic retries made in hidden mode, over the whole run.
int g_hiddenRetries = 0;

// The system's error code, or `fallback` when it has none.
int LastErrorOr(DWORD fallback) {
  const DWORD error = ::GetLastError();
  return static_cast<int>(error != 0 ? error : fallback);
}

}  // namespace

void CMainDlg::StartDownload() {
  // A retry offered before the package arrived must not download it again over the install.
  if (installing_) return;
  // 1.
  ::KillTimer(GetHWND(), kRetryTimer);
  errorBoxArmed_ = true;
  // 2.
  if (downloadLabel_) downloadLabel_->SetText(L"下载中");
  if (speedLabel_) speedLabel_->SetText(L"");
  if (progress_) progress_->SetBkImage(L"file='progress_bk.png' corner='3,3,3,3'");
  // 3.
  DestroyUpdater();
  // 4. A module that cannot report, or a folder that cannot be made, would leave the page
  //    waiting for ever: both count as a failed attempt, which is retried.
  updater_ = std::make_unique<Updater>(paths_.downloadDir, this, 0);
  if (!updater_->CreateHelperWindow()) {
    OnDownloadFailed(1, LastErrorOr(ERROR_INVALID_WINDOW_HANDLE));
    return;
  }
  if (!CreateDir(paths_.downloadDir)) {
    OnDownloadFailed(1, LastErrorOr(ERROR_PATH_NOT_FOUND));
    return;
  }
  updater_->Start();
}

void CMainDlg::DestroyUpdater() {
  if (!updater_) return;
  updater_->Stop();
  updater_.reset();
}

void CMainDlg::OnDownloadProgress(int64_t total, int64_t completed, int64_t speed) {
  // Each sign of progress allows one more failure box.
  errorBoxArmed_ = true;
  totalBytes_ = total;
  completedBytes_ = completed;
  if (speedLabel_) {
    speedLabel_->SetText(install_progress::RemainingText(total, completed, speed).c_str());
  }
  UpdateProgressBar(false);
}

void CMainDlg::OnDownloadFinished(int kind, int code, const std::wstring&) {
  if (kind != 0 || code != 0) {
    OnDownloadFailed(kind, code);
    return;
  }
  if (errorBox_) {
    // The failure the open box reports is over: the box goes away by itself rather than
    // wait for an answer that no longer matters, and the install step (which may have a
    // box of its own to show) starts once the box's modal loop has returned.
    completedBehindErrorBox_ = true;
    errorBox_->Close(2);
    return;
  }
  OnDownloadComplete();
}

void CMainDlg::OnDownloadComplete() {
  completedBytes_ = totalBytes_;
  if (downloadLabel_) downloadLabel_->SetText(L"安装中");
  if (speedLabel_) speedLabel_->SetText(install_progress::PercentText(90).c_str());
  UpdateProgressBar(false);
  BeginInstall();
}

void CMainDlg::OnManifestResult(int kind, int code, const std::wstring&,
                                const std::wstring& digest) {
  // Copied first: the module may be gone once a failure box has been answered.
  expectedDigest_ = digest;
  expectedSha256_ = updater_ ? updater_->manifest().packageSha256 : std::wstring();
  if (kind != 0) OnDownloadFailed(kind, code);
}

void CMainDlg::OnDownloadAborted(int kind, int) {
  if (kind != 0 && kind != 4) return;
  ::KillTimer(GetHWND(), kRetryTimer);
  if (updater_) {
    DeleteFileWithRetry(JoinPath(paths_.installDir, L"qvinstaller.exe"), 0);
    updater_->Stop();
  }
}

void CMainDlg::OnDownloadFailed(int kind, int code) {
  ::SetTimer(GetHWND(), kRetryTimer, kRetryTimerMs, nullptr);
  // One box per stretch without progress; the timer retries meanwhile. While a box is
  // still open (this one, or the quit confirmation) a second one stacked on it would swallow
  // the player's answer to the first; the next failure shows it instead.
  if (!errorBoxArmed_ || errorBox_ || quitBox_ || StartupSettings::Get().hidden) return;
  errorBoxArmed_ = false;
  const UINT result =
      ShowMessageBox(L"提示信息", L"连接超时，请检查网络是否正常", L"重试", L"",
                     FormatString(L"code:%d type:%d", code, kind), true, false, &errorBox_);
  if (!WindowAlive()) return;
  if (completedBehindErrorBox_) {
    completedBehindErrorBox_ = false;
    OnDownloadComplete();
    return;
  }
  if (result != 1) return;
  // A player who has just mended the proxy settings presses "重试" next: read them afresh.
  CSystemProxy::Instance().Forget();
  StartDownload();
}

void CMainDlg::OnRetryTimer() {
  if (StartupSettings::Get().hidden && ++g_hiddenRetries > kHiddenRetryLimit) {
    ::KillTimer(GetHWND(), kRetryTimer);
    EndRun(exit_code::kGaveUp);
    return;
  }
  if (!updater_) return;
  ::KillTimer(GetHWND(), kRetryTimer);
  if (installing_) return;
  updater_->nextUrlIndex = 0;
  if (updater_->manifestUrlCount <= 0) return;
  // A module that lost its window cannot report: one more failed attempt.
  if (!updater_->Start() && !updater_->helperWindow()) {
    OnDownloadFailed(1, ERROR_INVALID_WINDOW_HANDLE);
  }
}
