// CInstallWorker: the install step, on a worker thread of its own: checks the downloaded
// package against the manifest's digests (SHA-256 and MD5, each when given), holding the
// file from that check until the package's process exists (HeldPackage.h), removes what an older launcher left in its
// folder, runs the package silently into the install folder, waits for the displayed
// progress to reach its end, starts the launcher with the game number, deletes the package
// and closes the install window.
//
// Contract: the install dialog creates one worker per install step on the user-interface
// thread and calls Start once. The worker is reference-counted: the thread holds it for as
// long as it runs, so the dialog (and its window) may be gone before the thread ends. The job
// is copied at construction and never changes. Only `installTicks` and `finishing` are shared
// while the thread runs: the dialog's install timer advances `installTicks` and reads
// `finishing`; the worker sets `finishing` and waits for `installTicks`. The worker reaches
// the window only by posting messages, and only until Stop: msg::kPackageRunning before the
// package runs, msg::kPackageUnusable (and nothing else) when the package cannot be used,
// WM_CLOSE with 1 when done. Failures to stop a process, delete a file or start the launcher are not
// reported; the remaining steps run.
//
// The player may quit during the step: the dialog calls Stop on the user-interface thread
// while its window still exists, and start-up then waits for the thread (WaitUntilDone)
// before it lets another installer run. A stopped worker changes nothing it has not begun:
// before the package was found good it leaves everything as it is; a package it has begun
// to install over the folder runs to its end (cut short, it would leave neither the old
// game nor the new one) and is deleted; the launcher is never started once Stop returned.
// Only a package that hangs while nobody sees the install (hidden mode, or the window gone) is
// ended, after kPackageIdleLimitMs without a sign of life (PackageAlive), and is unusable.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/HeldPackage.h"
#include "runtime/PrefixDigest.h"
#include "runtime/RefPtr.h"
#include "runtime/Win32Handles.h"

class CInstallWorker : public CRefThreadSafeBase<CInstallWorker> {
 public:
  struct TJob {
    std::wstring installDir;      // the folder the package unpacks into
    std::wstring packagePath;     // the package, deleted after the install
    std::wstring expectedDigest;  // the manifest's MD5 digest; empty skips that check
    std::wstring expectedSha256;  // the manifest's SHA-256; empty skips that check
    bool launcherFound = false;   // an installed launcher was found at start-up ...
    std::wstring launcherPath;    // ... here
    int gameId = 12;              // handed to the launcher
    bool runLauncher = true;      // start the launcher after the install
    HWND window = nullptr;        // the install window, told by posted messages
    DWORD packageIdleLimitMs = kPackageIdleLimitMs;
    // Made while the package downloaded; taken instead of reading the package again only
    // when it was made of the very file held, which no program below administrator could
    // have changed since (AdminOnlyFile.h).
    std::shared_ptr<CPrefixDigest> streamedDigest;
  };

  explicit CInstallWorker(const TJob& job);

  // Starts the thread; false when it cannot be started (nothing has happened then).
  bool Start();
  // The player quit: no install is begun and no launcher started from now on. Returns at
  // once; user-interface thread.
  void Stop();
  // Waits for the thread to end; at once when it never started or has ended.
  void WaitUntilDone();

  const TJob& job() const { return job_; }

  // The simulated progress of the install step, 0 to 900 and a little beyond: written by the
  // dialog's install timer, waited for by the worker.
  std::atomic<int> installTicks{0};
  // The package has run: the install timer runs fast to the end.
  std::atomic<bool> finishing{false};

  // How long the worker gives a process of the old install to end on its own before it is
  // terminated (and then kTerminateWaitMs of CommonUtils.h for the termination to take effect).
  static constexpr DWORD kProcessEndWaitMs = 100;
  // While nobody sees the install, a package that uses no processor time and does no I/O for
  // this long hangs, or waits on a prompt nobody will answer: it is ended and counts as
  // unusable. Unpacking never pauses that long; a package that cannot finish would otherwise
  // keep an installer without a window, and its single-instance mutex, for ever.
  static constexpr DWORD kPackageIdleLimitMs = 5 * 60 * 1000;
  // How often the package's signs of life are read, and the processor share that is one.
  static constexpr DWORD kPackageCheckMs = 500;
  static constexpr uint64_t kPackageBusyPercent = 5;
  // Processes of the old install stopped at most, a bound against one that keeps coming back.
  static constexpr int kMaxProcessesStopped = 64;
  // Files of the old install removed before the package unpacks over it.
  static const wchar_t* const kOldInstallFiles[7];

 private:
  friend class CRefThreadSafeBase<CInstallWorker>;
  ~CInstallWorker() override = default;

  static unsigned __stdcall InstallThreadProc(void* worker);
  // The whole step on the worker thread.
  void Run();
  bool Stopped();
  bool PackageMatchesDigest(CHeldPackage& package) const;
  // The held package's digests: the ones made while it downloaded when they are its own,
  // else read through the hold.
  bool DigestHeld(CHeldPackage& package, std::wstring* md5, std::wstring* sha256) const;
  // False when the package could not be started, or was ended as hung. The hold ends once
  // its process exists.
  bool RunPackage(CHeldPackage& package);
  // Whether the package, `process`, is still to be waited for: always while the window shows
  // (the player sees the install and may quit), else while it showed a sign of life within
  // the idle limit. Worker thread.
  bool PackageAlive(HANDLE process);
  void FinishAndLaunch();
  void CleanOldInstall();
  // Ends every process that runs from the old install's folder, as far as that is possible.
  void StopProcessesIn(const std::wstring& folder);
  // Posts to the window while it is the one the worker was made for and Stop has not been
  // called; drops the message otherwise.
  void Post(UINT message, WPARAM wParam = 0);

  const TJob job_;
  // Held across the check of `stopped_` and the launcher's start, so that Stop returns
  // either after the launcher has started or with it never to start.
  std::mutex stopLock_;
  bool stopped_ = false;
  // The thread that made the window, taken at construction while the window is surely ours.
  const DWORD windowThread_;
  // The package's processor time (100 ns units) and I/O operations at its last sign of life,
  // and when that was.
  uint64_t packageCpu_ = 0;
  uint64_t packageIo_ = 0;
  DWORD packageIdleSince_ = 0;
  // The thread, for WaitUntilDone; empty before Start.
  win::ScopedHandle thread_;
};
