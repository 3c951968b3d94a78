// Updater: the update module. For the install dialog it fetches the manifest from the first of
// its manifest addresses that answers, downloads the package named there into the download
// folder under a partial name, puts it in place as "qvinstaller.exe", and reports the
// manifest, the progress and the end through the dialog's IGameEventListener.
//
// Contract:
// - User-interface thread only, with the engine's families running (HttpEngine.h). The
//   engine's callbacks arrive there; the module forwards each to itself through its
//   message-only helper window, so the listener is always called from that window's
//   procedure and may stop or destroy the module from inside its call.
// - The creator (the dialog) owns the module and calls, in order: CreateHelperWindow, Start
//   (again for an automatic retry, after setting nextUrlIndex to 0), Stop, then destroys it.
//   After Stop nothing more reaches the listener; the destructor stops a module still going.
// - Reports: OnManifestResult once per fetch: (0, 0) when the package download has started,
//   else the error of the last address tried (type 4 with 511 when an address answered with
//   a web page: a captive portal, a proxy's page), or type 1 with the system code when the
//   download folder cannot take the manifest's copy, type 3 kNoPackageAddress when the
//   manifest names no package address (neither "Url" nor a mirror), type 3 kEngineRefused
//   when the engine takes no transfer, type 3 kManifestUntrusted when a build with a
//   manifest key found no manifest it could trust (each such address counts as failed, and
//   the next one is tried).
//   After a successful one: OnDownloadProgress about once a second and one
//   OnDownloadFinished; a web page in place of the package ends it as (4, 511), and never
//   becomes the package nor part of the partial file. A partial file that another program holds (access denied) is given
//   up once for a second partial file, without a report.
#pragma once

// Ahead of windows.h: the package download's resolver uses sockets.
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "http/HttpCommand.h"
#include "http/HttpDownloadFile.h"
#include "runtime/ProtoValue.h"
#include "runtime/Win32Handles.h"
#include "updater/IGameEventListener.h"
#include "updater/UpdateManifest.h"

class Updater {
 public:
  static constexpr int kManifestUrlCount = 2;
  // Error type 3 (application): the engine refused a transfer (its family is down).
  static constexpr int32_t kEngineRefused = 2102;
  // Error type 3: a build with a manifest key got no manifest whose signature it trusts
  // (ManifestTrust.h); the support log names the reason for each address.
  static constexpr int32_t kManifestUntrusted = 2103;
  // The largest manifest answer read.
  static constexpr uint32_t kManifestMaxBytes = 32 * 1024;

  // A module for `downloadDir` reporting to `listener`, with the deployment's two manifest
  // addresses. `reserved` is not used.
  Updater(const std::wstring& downloadDir, IGameEventListener* listener, int reserved);
  ~Updater();
  Updater(const Updater&) = delete;
  Updater& operator=(const Updater&) = delete;

  // Creates the helper window "_UPDATE_MODULE_HELPER_WINDOW_KELTO<n>" (n counts the modules
  // of the process). False when it cannot; failures are logged.
  bool CreateHelperWindow();
  // Fetches the manifest from the address at nextUrlIndex and moves the index on. False when
  // there is no helper window, a package download is under way, the index is past the
  // addresses, or the engine refuses the fetch (that is then reported like a failed fetch).
  // A fetch still under way is left alone (true, and the address is skipped).
  bool Start();
  // Ends the fetch and the download and destroys the helper window: nothing more is reported.
  void Stop();

  // Replaces the manifest addresses (tests and tools point the module at their own servers);
  // manifestUrlCount follows.
  void SetManifestUrls(const std::vector<std::wstring>& urls);

  // The engine's callbacks; `userData` is the helper window. Each stores what it received and
  // posts the window its message.
  static void OnManifestFetched(void* userData, const std::string& body, int type, int code);
  static void OnPackageProgress(void* userData, uint64_t total, uint64_t present,
                                uint32_t bytesPerSecond);
  static void OnPackageDone(void* userData, int type, int code);

  HWND helperWindow() const { return helperWindow_.get(); }
  const std::wstring& className() const { return className_; }
  const UpdateManifest& manifest() const { return manifest_; }
  // The last manifest's text; cleared by Stop.
  const std::wstring& manifestText() const { return manifestText_; }
  bool downloading() const { return downloading_; }
  // "<download folder>\\qvinstaller.exe" and the partial file; empty before a download.
  const std::wstring& packageFile() const { return packageFile_; }
  const std::wstring& partFile() const { return partFile_; }
  // The digests of the package made while it downloaded (the manifest's kinds; null when it
  // names none), for the install step to Wait on; valid once the download finished.
  std::shared_ptr<CPrefixDigest> packageDigest() const { return download_.digest; }

  // The dialog's automatic retry sets nextUrlIndex to 0 and starts again while
  // manifestUrlCount is above 0.
  std::vector<std::wstring> manifestUrls;
  // The studio's public key (ManifestTrust.h); the deployment's, empty in builds without one.
  std::string manifestKey;
  // Connections for a large package (the build's setting; the manifest may lower it).
  int parallelRanges = CHttpDownloadFile::kDefaultParallelRanges;
  uint64_t rangeThreshold = CHttpDownloadFile::kRangeThreshold;
  int manifestUrlCount = kManifestUrlCount;
  int nextUrlIndex = 0;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static Updater* FromWindow(void* window);
  // Posts the helper window `message`; failures are logged.
  static void PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // How many of manifestUrls are used: manifestUrlCount, at most the list's length.
  int UrlCount() const;
  // The manifest's command runs, or waits in its scheduler for a retry.
  bool FetchUnderWay() const;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnManifestMessage(int type, int code);
  // Whether the manifest just read may be used under this build's key; logs the verdict.
  bool Trusted() const;
  void OnProgressMessage();
  void OnPackageMessage(int type, int code);
  // Starts downloading into the partial file with `suffix`; the error that kept it from
  // starting, or (0, 0).
  http_result::Error StartPackageDownload(const wchar_t* suffix);
  // Puts the complete partial file in place as the package; the error, or (0, 0).
  http_result::Error PlacePackage();

  std::wstring manifestText_;
  ProtoValue progress_;
  win::ScopedWindow helperWindow_;
  CHttpCommand command_;
  CHttpDownloadFile download_;
  bool downloading_ = false;
  std::wstring downloadDir_;
  std::wstring className_;
  IGameEventListener* listener_;
  UpdateManifest manifest_;
  std::wstring packageFile_;
  std::wstring partFile_;
};
