// CFileEx: a thin owner of one operating-system file handle, opened with a word of flags.
// CFileExException: what its operations throw.
//
// Contract: one object is used by one thread at a time (the download writer opens it on the
// user-interface thread and writes on a worker; never both at once). Open reports failure
// through its result and an optional exception record and never throws; every other
// operation on an open file throws CFileExException with the system error code when the
// system call fails (Abort never throws). Positions and lengths are 64-bit, so game packages
// beyond 4 GiB resume and truncate correctly. No buffering of its own: each Read and Write is
// one system call. The destructor closes an open file and ignores errors.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct CFileExException {
  // Failed Write: the system's count of written bytes fell short.
  static constexpr int32_t kShortWrite = -12;

  // "INVALID_HANDLE_VALUE" for a failed Open, the file's name for a failed Write, else empty.
  std::wstring text;
  int32_t osError = 0;
};

class CFileEx {
 public:
  // Flags of Open: one access value, one share value, and the modifiers.
  enum OpenFlags : unsigned {
    OpenRead = 0x0,
    OpenWrite = 0x1,
    OpenReadWrite = 0x2,
    ShareExclusive = 0x10,
    ShareDenyWrite = 0x20,
    ShareDenyRead = 0x30,
    ShareDenyNone = 0x40,
    NoInherit = 0x80,
    Create = 0x1000,      // create; truncates an existing file unless NoTruncate
    NoTruncate = 0x2000,
    Binary = 0x8000,      // accepted and ignored
  };
  enum SeekOrigin { Begin = 0, Current = 1, End = 2 };

  CFileEx() = default;
  virtual ~CFileEx();
  CFileEx(const CFileEx&) = delete;
  CFileEx& operator=(const CFileEx&) = delete;

  virtual uint64_t GetPosition();
  // Opens `path`; a file this object held before is closed first. On failure returns false
  // and, when `error` is given, fills it with the system error and "INVALID_HANDLE_VALUE".
  virtual bool Open(const std::wstring& path, unsigned flags, CFileExException* error = nullptr);
  // The permissions of files that later Opens create (an existing file keeps its own); null,
  // as at first, takes the folder's inherited ones. The descriptor must outlive those Opens.
  void SetCreationSecurity(PSECURITY_DESCRIPTOR descriptor) { creationSecurity_ = descriptor; }
  // Returns the new position.
  virtual uint64_t Seek(int64_t distance, int origin);
  // Moves the position to `length` and ends the file there.
  virtual void SetLength(uint64_t length);
  // Moves the position to the end; returns the file's length.
  virtual uint64_t SeekToEnd();
  // Returns the bytes read, fewer than asked at the end of the file.
  virtual uint32_t Read(void* buffer, uint32_t count);
  virtual void Write(const void* buffer, uint32_t count);
  // Closes without reporting errors.
  virtual void Abort();
  virtual void Flush();
  virtual void Close();

  // The size of the file at `path` as the directory tells it; -1 when there is none.
  static int64_t SizeOf(const std::wstring& path);

  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE handle() const { return handle_; }
  const std::wstring& fileName() const { return fileName_; }

 private:
  [[noreturn]] void ThrowLastError(const std::wstring& text = std::wstring()) const;

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  bool closeOnDelete_ = false;
  std::wstring fileName_;
  PSECURITY_DESCRIPTOR creationSecurity_ = nullptr;
};
