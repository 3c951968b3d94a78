// CMainDlg: the progress bar and the install step with its simulated progress.
#include "app/MainDlg.h"

#include "app/InstallCommands.h"
#include "app/InstallProgress.h"
#include "app/InstallWorker.h"
#include "app/StartupSettings.h"
#include "platform/CommonText.h"
#include "runtime/WindowMessages.h"
#include "ui/controls/LabelUI.h"
#include "ui/controls/ProgressUI.h"
#include "updater/Updater.h"

using namespace install_progress;

int CMainDlg::InstallTicks() const {
  return installWorker_ ? installWorker_->installTicks.load() : 0;
}

void CMainDlg::UpdateProgressBar(bool animate) {
  if (!progress_) return;
  // 1. The bar's width, 2. the filled part, 3. the shine, 4. the image string. Image strings
  // count at 96 dpi whatever the display: the bar's width too.
  const int width = progress_->DisplayScale().Unscale(progress_->GetWidth());
  const int filled = FilledWidth(width, paths_.packageBeside, InstallTicks(), completedBytes_,
                                 totalBytes_);
  shineOffset_ = NextShineOffset(shineOffset_, width, animate);
  progress_->SetBkImage(ProgressBarImage(width, filled, shineOffset_).c_str());
  progress_->SetValue(filled);
}

void CMainDlg::BeginInstall() {
  installing_ = true;
  CInstallWorker::TJob job;
  job.installDir = paths_.installDir;
  job.packagePath = JoinPath(paths_.downloadDir, install_commands::kPackageFile);
  job.expectedDigest = expectedDigest_;
  job.expectedSha256 = expectedSha256_;
  if (updater_ && !paths_.packageBeside) job.streamedDigest = updater_->packageDigest();
  job.launcherFound = launcherFound_;
  job.launcherPath = paths_.launcherPath;
  job.gameId = gameId_;
  job.runLauncher = StartupSettings::Get().runLauncher;
  job.window = GetHWND();
  packagePath_ = job.packagePath;
  // installTicks starts at 0 with the new worker.
  installWorker_ = new CInstallWorker(job);
  ::SetTimer(GetHWND(), kInstallTimer, kInstallTimerMs, nullptr);
  // A worker that cannot start leaves a package nobody can use as it is.
  if (!installWorker_->Start()) PostMessage(msg::kPackageUnusable);
}

void CMainDlg::OnInstallTimer() {
  if (!installWorker_) {
    ::KillTimer(GetHWND(), kInstallTimer);
    return;
  }
  // 1. The next step of the simulated progress.
  const int ticks = NextInstallTicks(installWorker_->installTicks, installWorker_->finishing);
  installWorker_->installTicks = ticks;
  // 2. Past the end the display stays as it is.
  if (ticks > kTicksFull) {
    ::KillTimer(GetHWND(), kInstallTimer);
    return;
  }
  // 3. The percentage and the bar.
  if (speedLabel_) {
    speedLabel_->SetText(PercentText(InstallPercent(ticks, paths_.packageBeside)).c_str());
  }
  UpdateProgressBar(false);
}
