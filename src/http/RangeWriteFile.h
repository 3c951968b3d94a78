// CRangeFile: the partial file of a download fetched as several ranges at once, written at
// each range's place. CRangeCursor: one range's progress through it. RangeWriteFile: the
// output stream of one range's transfer.
//
// Contract: the download (user-interface thread) opens the file, makes a cursor per range and
// a stream per run of a range; the streams write on the download workshop's worker. A
// cursor's lock orders a write against the user-interface thread's reads of `next` and its
// moves of `end` (a range that another connection takes the upper half of), so that a range
// never writes past its end as it is at that moment, and what the record says was written
// always was. A stream that meets its range's end takes the bytes up to it, then refuses the
// rest (-1 with `reachedEnd` set): libcurl ends that run, which is the range's success.
// Failures to write come back as -1 with the system error in errorCode (kind 1). The file
// shares reading only: nobody else writes it while it is open.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "http/BaseStream.h"
#include "http/RangePlan.h"
#include "runtime/CriticalSection.h"
#include "runtime/PrefixDigest.h"
#include "runtime/Win32Handles.h"

class CRangeFile {
 public:
  // Opens or creates `path`, bytes kept; null with the system error in `error`. A file it
  // creates in an elevated process only administrators may change (AdminOnlyFile.h).
  static std::shared_ptr<CRangeFile> Open(const std::wstring& path, DWORD* error);

  // Writes all of `data` at `offset` (the worker's thread only); false with the system error
  // in `error`.
  bool WriteAt(uint64_t offset, const void* data, uint32_t length, DWORD* error);
  // Cuts the file to `size` bytes (nothing beyond a gap-free start is worth keeping).
  bool CutTo(uint64_t size);

  // Told of every write, so that it follows the range that continues the file's gap-free start
  // as it grows; may be null.
  std::shared_ptr<CPrefixDigest> digest;

 private:
  win::ScopedHandle file_;
  uint64_t position_ = 0;  // where the file pointer stands; UINT64_MAX: not known
};

class CRangeCursor {
 public:
  explicit CRangeCursor(const range_plan::Range& range) : range_(range) {}

  range_plan::Range Get() const;
  // Lets the range end at `end` when that is still ahead of what it has written; false else.
  bool EndAt(uint64_t end);
  // Takes `length` bytes at the range's place; the count taken (short at the end).
  uint32_t Write(CRangeFile& file, const char* data, uint32_t length, DWORD* error);

 private:
  mutable CCriticalSection lock_;
  range_plan::Range range_;
};

class RangeWriteFile : public OBaseStream {
 public:
  RangeWriteFile(std::shared_ptr<CRangeFile> file, std::shared_ptr<CRangeCursor> cursor)
      : file_(std::move(file)), cursor_(std::move(cursor)) {}

  int32_t Write(const void* data, uint32_t length) override;
  // Lets the file go: a download that goes on as one stream opens it its own way.
  void Close() override { file_.reset(); }
  // A range never starts again from the file's first byte: a whole answer is refused before it
  // gets here (CCurlHttp::rangeStart).
  void Truncate() override {}

  bool reachedEnd() const { return reachedEnd_; }

 private:
  std::shared_ptr<CRangeFile> file_;
  std::shared_ptr<CRangeCursor> cursor_;
  bool reachedEnd_ = false;
};
