// DownloadWriteFile: the output stream of a file download: body bytes go straight to the
// local file, appended after what the file already holds, with no queue and no thread of its
// own.
//
// Contract (see BaseStream.h for the threads): Open runs on the user-interface thread before
// the transfer starts; Write runs on the download workshop's worker; Truncate on either,
// never both at once. Failures come back as results (false, -1) with the error kept in
// errorCode/errorKind: kind 1 with the system error code for a file that cannot be opened or
// written, kind 3 with 2001 for a write while no file is open. Nothing throws. An elevated
// process creates the file so that only administrators may change it (AdminOnlyFile.h): every
// download lands in the player's own folder and comes from the network, so each one is kept
// from lower-rights programs alike.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "http/BaseStream.h"
#include "runtime/FileEx.h"
#include "runtime/PrefixDigest.h"

class DownloadWriteFile : public OBaseStream {
 public:
  // Read and write, created when missing, existing bytes kept, others may read but not
  // write, not inherited.
  static constexpr unsigned kOpenFlags = CFileEx::OpenReadWrite | CFileEx::ShareDenyWrite |
                                         CFileEx::NoInherit | CFileEx::Create |
                                         CFileEx::NoTruncate | CFileEx::Binary;  // 0xB0A2

  DownloadWriteFile() = default;
  ~DownloadWriteFile() override;

  // Closes any file open before, then opens `path` and moves to its end.
  bool Open(const std::wstring& path);
  int32_t Write(const void* data, uint32_t length) override;
  void Close() override;
  // Empties the open file (the next write lands at byte 0); deletes the file at the last
  // path when none is open.
  void Truncate() override;

  bool IsOpen() const { return file_.IsOpen(); }
  const std::wstring& path() const { return path_; }

  // Told of every write (the file grows from its start without a gap); may be null.
  std::shared_ptr<CPrefixDigest> digest;

 private:
  // Logs a failed open, write or truncation and keeps the system error.
  void RecordFileError(int32_t osError);

  std::wstring path_;
  CFileEx file_;
  uint64_t size_ = 0;  // of the open file
};
