// CPrefixDigest: the MD5 (and, when asked for, SHA-256) of a file that is still being written,
// computed on threads of its own (one a digest) as the file's gap-free start grows. It reads
// back what the writers put into the file, so when the last byte is written only the bytes
// since its last read are left to digest, and a resumed file is digested in the background
// while new bytes arrive.
//
// Contract:
// - Advance, Extend and Restart may be called from any thread (the download's writers call
//   them on the transfer worker, the download itself on the user-interface thread); they
//   never block on the reading. A caller promises that the bytes it names are in the file and
//   final: [0, available) never changes afterwards, unless Restart says the file started over.
// - Wait blocks its caller (the install worker) until the digest of the file's first `size`
//   bytes is made or has failed; it may be called from any thread, more than once.
// - The file is opened by path, for reading, sharing everything (the writers keep writing and
//   the finished file can be renamed); IsFile tells whether a handle names that very file, so
//   that a digest is only taken for the file it was made of. Failures (the file cannot be
//   opened or read, or ends early) make Wait say false; nothing throws.
// - Destruction stops the thread and closes the file.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "runtime/Win32Handles.h"

class CPrefixDigest {
 public:
  CPrefixDigest(std::wstring path, bool sha256);
  ~CPrefixDigest();
  CPrefixDigest(const CPrefixDigest&) = delete;
  CPrefixDigest& operator=(const CPrefixDigest&) = delete;

  // The file's first `available` bytes are written for good.
  void Advance(uint64_t available);
  // Bytes [from, to) are written for good: they extend the gap-free start when they continue it.
  void Extend(uint64_t from, uint64_t to);
  // The file was emptied, or cut to its first `kept` bytes, or may be another file now: the
  // digest starts over from the file at its path. Returns once no thread holds the file open
  // any more (a file deleted while open keeps its name on some systems).
  void Restart(uint64_t kept = 0);
  // The file is complete at `size` bytes: the digests are finished without waiting for them,
  // and the file is let go once they are.
  void Complete(uint64_t size);

  // The digests of the file's first `size` bytes (lower-case hexadecimal; `sha256` only when
  // it was asked for), once the file holds them for good. False when they cannot be made.
  bool Wait(uint64_t size, std::wstring* md5, std::wstring* sha256);
  // Whether `file` is an open handle to the file this digest reads.
  bool IsFile(HANDLE file) const;

 private:
  struct Identity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    bool operator==(const Identity& other) const {
      return volume == other.volume && indexHigh == other.indexHigh && indexLow == other.indexLow;
    }
  };
  // One digest's reading of the file, on its own thread: the two digests' costs differ by
  // more than the reading's, so each keeps its own pace and neither waits for the other.
  struct Lane {
    bool sha256 = false;
    win::ScopedHandle file;  // the lane thread's own
    unsigned generation = 0;  // the last Restart it has seen through
    Identity identity;       // under lock_
    bool identified = false;
    uint64_t digested = 0;
    bool finished = false;
    bool failed = false;
    std::wstring text;  // once finished
    std::thread thread;
  };

  void Run(Lane& lane);
  // Opens the file for `lane` and notes its identity; false when it cannot be opened.
  bool OpenFile(Lane& lane);
  bool AllFinished() const;
  bool AnyFailed() const;
  // Under lock_: sets the size a complete file has; false when another was set before.
  bool SetTarget(uint64_t size);

  const std::wstring path_;

  mutable std::mutex lock_;
  std::condition_variable changed_;
  uint64_t available_ = 0;
  bool hasTarget_ = false;
  uint64_t target_ = 0;      // what a Wait needs; never digested past
  unsigned generation_ = 0;  // counts Restarts
  bool stop_ = false;
  Lane md5_;
  std::unique_ptr<Lane> sha256_;
};
