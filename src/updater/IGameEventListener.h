// IGameEventListener: how the update module reports to the install dialog: the outcome of the
// manifest fetch, the download's progress and its end.
//
// Contract: the update module (Updater.h) calls it on the user-interface thread only, from its
// helper window's procedure, never from inside an engine callback, so an implementation may
// stop or destroy the module from any of these calls. The module does not own its listener;
// the listener outlives the module (the dialog owns the module). Errors arrive as the engine's
// error pair: kind 0 with code 0 is success; kind 1 system error code, 3 application code,
// 4 HTTP status, 5 libcurl code. Implementations must not throw.
//
// The slots keep their order: the dialog's table of operations has eleven, of which the module
// calls OnDownloadProgress (2), OnDownloadFinished (3) and OnManifestResult (10).
#pragma once

#include <cstdint>
#include <string>

class IGameEventListener {
 public:
  // Slots 0 and 1: no part of the installer gives them a meaning.
  virtual void OnReservedSlot0(intptr_t, intptr_t, intptr_t, intptr_t) {}
  virtual void OnReservedSlot1(intptr_t, intptr_t, intptr_t) {}

  // About once a second while the package downloads: its size, the bytes present (those of
  // an earlier, resumed run included) and the current speed.
  virtual void OnDownloadProgress(int64_t total, int64_t completed, int64_t speed) = 0;

  // The package download ended. Success (0, 0) means "qvinstaller.exe" is in place in the
  // download folder; `text` is empty then and "安装失败" for a failed download.
  virtual void OnDownloadFinished(int kind, int code, const std::wstring& text) = 0;

  // Slots 4 to 8: no part of the installer gives them a meaning.
  virtual void OnReservedSlot4(intptr_t, intptr_t, intptr_t) {}
  virtual void OnReservedSlot5(intptr_t) {}
  virtual void OnReservedSlot6(intptr_t, intptr_t, intptr_t) {}
  virtual void OnReservedSlot7(intptr_t, intptr_t) {}
  virtual void OnReservedSlot8(intptr_t, intptr_t) {}

  // The download of the package was given up from outside (the update module never calls it).
  virtual void OnDownloadAborted(int kind, int code) = 0;

  // The manifest was fetched and read (0, 0), or could not be: then no download starts.
  // `info` is the package's version text and `digest` its MD5 digest as hexadecimal text;
  // both may be empty. The references are valid during the call only.
  virtual void OnManifestResult(int kind, int code, const std::wstring& info,
                                const std::wstring& digest) = 0;

 protected:
  // The module never deletes its listener.
  virtual ~IGameEventListener() = default;
};
