// CHeldPackage: the downloaded package, held open from its digest check until its process
// has been created, so that the bytes that run are the bytes that were checked. While held,
// the file shares reading only: no process (another user's included) can open it for
// writing or deleting, and so none can change, replace or rename it, while this one reads
// it through the same handle to digest it.
//
// Contract: used on the install worker's thread. Open once, then Digest, then Release (also
// done by the destructor). Failures come back as false with the system error logged; nothing
// throws.
#pragma once

#include <windows.h>

#include <string>

#include "runtime/Win32Handles.h"

class CHeldPackage {
 public:
  // Tries kOpenAttempts times while another program has the file open for writing (about
  // a second). False when the file cannot be opened so (missing, or still open elsewhere).
  bool Open(const std::wstring& path);
  // Reads the whole file through the held handle: its MD5 and, when `sha256` is given, its
  // SHA-256, as lower-case hexadecimal digits. False when it cannot be read to its end.
  bool Digest(std::wstring* md5, std::wstring* sha256);
  void Release() { file_.reset(); }
  bool held() const { return file_.valid(); }
  HANDLE handle() const { return file_.get(); }

 private:
  static constexpr int kOpenAttempts = 6;
  win::ScopedHandle file_;
};
