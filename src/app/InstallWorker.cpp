#include "app/InstallWorker.h"

#include <process.h>

#include "app/InstallCommands.h"
#include "app/InstallProgress.h"
#include "platform/CommonUtils.h"
#include "runtime/AdminOnlyFile.h"
#include "runtime/Logging.h"
#include "runtime/Win32Handles.h"
#include "runtime/WindowMessages.h"

const wchar_t* const CInstallWorker::kOldInstallFiles[7] = {
    L"KeltoLauncher.exe", L"ywupdate.ini",    L"uninst.exe",      L"Launcher.ini",
    L"tg.id",             L"preference.ini", L"GameSettings.ini",
};

namespace {

constexpr DWORD kTickWaitMs = 20;

}  // namespace

CInstallWorker::CInstallWorker(const TJob& job)
    : job_(job), windowThread_(::GetWindowThreadProcessId(job.window, nullptr)) {}

bool CInstallWorker::Start() {
  // The thread's own reference, handed over with the pointer.
  AddRef();
  const uintptr_t thread = ::_beginthreadex(nullptr, 0, InstallThreadProc, this, 0, nullptr);
  if (thread == 0) {
    Release();
    return false;
  }
  // The thread ends by itself; the handle is kept for a quit that must wait for it.
  thread_.reset(reinterpret_cast<HANDLE>(thread));
  return true;
}

void CInstallWorker::Stop() {
  std::lock_guard<std::mutex> hold(stopLock_);
  stopped_ = true;
}

void CInstallWorker::WaitUntilDone() {
  if (thread_) ::WaitForSingleObject(thread_.get(), INFINITE);
}

bool CInstallWorker::Stopped() {
  std::lock_guard<std::mutex> hold(stopLock_);
  return stopped_;
}

unsigned __stdcall CInstallWorker::InstallThreadProc(void* worker) {
  CInstallWorker* self = static_cast<CInstallWorker*>(worker);
  try {
    self->Run();
  } catch (...) {
    LOG_FILE(2, L"install worker: unexpected exception");
  }
  self->Release();
  return 0;
}

void CInstallWorker::Run() {
  CHeldPackage package;
  if (!package.Open(job_.packagePath) || !PackageMatchesDigest(package)) {
    // Let go first: the dialog deletes the package it is told of, to download it again.
    package.Release();
    Post(msg::kPackageUnusable);
    return;
  }
  // The player quit while the package was checked: nothing has changed yet, and the window
  // that would show the install is gone.
  if (Stopped()) return;
  if (!RunPackage(package)) {
    Post(msg::kPackageUnusable);
    return;
  }
  FinishAndLaunch();
  Post(WM_CLOSE, 1);
}

bool CInstallWorker::PackageMatchesDigest(CHeldPackage& package) const {
  const bool wantSha256 = !job_.expectedSha256.empty();
  if (job_.expectedDigest.empty() && !wantSha256) return true;
  // A package that cannot be read to its end is as unusable as one that differs.
  std::wstring md5, sha256;
  if (!DigestHeld(package, &md5, wantSha256 ? &sha256 : nullptr)) return false;
  if (wantSha256 && !EqualsIgnoringAsciiCase(sha256, job_.expectedSha256)) {
    LOG_FILE(2, L"install worker: the package's SHA-256 %ls is not the manifest's %ls",
             sha256.c_str(), job_.expectedSha256.c_str());
    return false;
  }
  if (!job_.expectedDigest.empty() && !EqualsIgnoringAsciiCase(md5, job_.expectedDigest)) {
    LOG_FILE(2, L"install worker: the package's MD5 %ls is not the manifest's %ls", md5.c_str(),
             job_.expectedDigest.c_str());
    return false;
  }
  return true;
}

bool CInstallWorker::DigestHeld(CHeldPackage& package, std::wstring* md5,
                                std::wstring* sha256) const {
  CPrefixDigest* const streamed = job_.streamedDigest.get();
  // 1. The digest made while downloading counts only for a file that nobody below
  //    administrator could have written since (the download made it so), and that is the
  //    very file it was made of: one renamed into its place carries another identity.
  const char* why = "no digest was made while downloading";
  LARGE_INTEGER size = {};
  if (streamed) {
    why = "the package is not protected from other users";
    if (admin_only_file::IsWritableOnlyByAdmins(package.handle()) && ::GetFileSizeEx(package.handle(), &size)) {
      why = "the digest made while downloading is not of this file";
      if (streamed->Wait(static_cast<uint64_t>(size.QuadPart), md5, sha256) &&
          streamed->IsFile(package.handle())) {
        return true;
      }
    }
  }
  // 2. Else every byte is read again through the hold.
  LOG_FILE(0, L"install worker: reading the package again: %hs", why);
  return package.Digest(md5, sha256);
}

bool CInstallWorker::RunPackage(CHeldPackage& package) {
  Post(msg::kPackageRunning);
  if (job_.launcherFound) CleanOldInstall();
  const std::wstring commandLine =
      install_commands::PackageCommandLine(job_.packagePath, job_.installDir);
  // The package's exit code says nothing the installer could act on; a package that cannot
  // even start (blocked, not a program) is one to download again. Once its process exists
  // the image is mapped from the checked bytes and the hold may go.
  packageIdleSince_ = ::GetTickCount();
  const DWORD error = RunAndWait(
      job_.packagePath, commandLine, [&package] { package.Release(); }, kPackageCheckMs,
      [this](HANDLE process) { return PackageAlive(process); });
  package.Release();
  if (error == ERROR_TIMEOUT) {
    LOG_FILE(2, L"install worker: the package showed no sign of life for %lu ms: ended",
             job_.packageIdleLimitMs);
    return false;
  }
  if (error != 0) {
    LOG_FILE(2, L"install worker: package did not start: %u", static_cast<unsigned>(error));
    return false;
  }
  return true;
}

bool CInstallWorker::PackageAlive(HANDLE process) {
  FILETIME created, exited, kernel, user;
  IO_COUNTERS io = {};
  // Counters that cannot be read count as unchanged; with none readable, only the window
  // keeps the wait going.
  uint64_t cpu = packageCpu_, ioCount = packageIo_;
  if (::GetProcessTimes(process, &created, &exited, &kernel, &user)) {
    cpu = (uint64_t{kernel.dwHighDateTime} << 32 | kernel.dwLowDateTime) +
          (uint64_t{user.dwHighDateTime} << 32 | user.dwLowDateTime);
  }
  if (::GetProcessIoCounters(process, &io)) {
    ioCount = io.ReadOperationCount + io.WriteOperationCount + io.OtherOperationCount;
  }
  const DWORD now = ::GetTickCount();
  // A process that waits still costs a little processor time now and then (under Wine about
  // one per cent): only a share above kPackageBusyPercent since the last sign of life is one.
  const uint64_t cpuMs = (cpu - packageCpu_) / 10000;
  const bool busy = ioCount != packageIo_ || cpuMs * 100 > uint64_t{now - packageIdleSince_} *
                                                                kPackageBusyPercent;
  if (busy || (::IsWindowVisible(job_.window) && !Stopped())) {
    packageCpu_ = cpu;
    packageIo_ = ioCount;
    packageIdleSince_ = now;
  }
  return now - packageIdleSince_ < job_.packageIdleLimitMs;
}

void CInstallWorker::FinishAndLaunch() {
  finishing = true;
  // The displayed progress runs to its end first. A window that is gone advances nothing.
  while (installTicks < install_progress::kTicksFull && ::IsWindow(job_.window) &&
         !Stopped()) {
    ::Sleep(kTickWaitMs);
  }
  if (job_.runLauncher) {
    // A player who quit gets no game started behind the window that went away.
    std::lock_guard<std::mutex> hold(stopLock_);
    if (!stopped_) {
      const std::wstring launcher = JoinPath(job_.installDir, install_commands::kLauncherFile);
      StartProcess(launcher, install_commands::LauncherCommandLine(launcher, job_.gameId));
    }
  }
  DeleteFileWithRetry(job_.packagePath, 0);
}

void CInstallWorker::CleanOldInstall() {
  // The old install is cleaned only where the package is about to unpack over it: a folder
  // the player picked elsewhere holds other programs' files and processes.
  if (!IsSameFolder(job_.installDir, ParentDir(job_.launcherPath))) return;
  // 1.
  EnableDebugPrivilege();
  // 2.
  StopProcessesIn(job_.installDir);
  // 3.
  DeleteTree(JoinPath(job_.installDir, L"bin\\"));
  DeleteTree(JoinPath(job_.installDir, L"patch\\"));
  // 4.
  for (const wchar_t* name : kOldInstallFiles) {
    DeleteFileWithRetry(JoinPath(job_.installDir, name), 0);
  }
}

void CInstallWorker::StopProcessesIn(const std::wstring& folder) {
  DWORD lastStopped = 0;
  for (int stopped = 0; stopped < kMaxProcessesStopped; ++stopped) {
    const DWORD id = FindProcessInFolder(folder);
    // The search always names the first match: one that outlived its termination would
    // come back for ever.
    if (id == 0 || id == lastStopped) return;
    win::ScopedHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id));
    if (!process) return;
    if (::WaitForSingleObject(process.get(), kProcessEndWaitMs) == WAIT_TIMEOUT) {
      ::TerminateProcess(process.get(), 0);
      ::WaitForSingleObject(process.get(), kTerminateWaitMs);
    }
    lastStopped = id;
  }
}

void CInstallWorker::Post(UINT message, WPARAM wParam) {
  // Once the player quit or the window went, its handle may come to name another program's
  // window, which a WM_CLOSE would close. Under the lock, so that no post follows Stop.
  std::lock_guard<std::mutex> hold(stopLock_);
  DWORD process = 0;
  if (stopped_ || !::IsWindow(job_.window) ||
      ::GetWindowThreadProcessId(job_.window, &process) != windowThread_ ||
      process != ::GetCurrentProcessId()) {
    return;
  }
  ::PostMessageW(job_.window, message, wParam, 0);
}
