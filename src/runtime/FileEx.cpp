#include "runtime/FileEx.h"

namespace {

DWORD AccessOf(unsigned flags) {
  switch (flags & 0x3) {
    case CFileEx::OpenRead: return GENERIC_READ;
    case CFileEx::OpenWrite: return GENERIC_WRITE;
    case CFileEx::OpenReadWrite: return GENERIC_READ | GENERIC_WRITE;
    default: return 0;
  }
}

DWORD ShareOf(unsigned flags) {
  switch (flags & 0x70) {
    case CFileEx::ShareDenyWrite: return FILE_SHARE_READ;
    case CFileEx::ShareDenyRead: return FILE_SHARE_WRITE;
    case CFileEx::ShareDenyNone: return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default: return 0;  // exclusive, and values that mean nothing
  }
}

DWORD DispositionOf(unsigned flags) {
  if (!(flags & CFileEx::Create)) return OPEN_EXISTING;
  return (flags & CFileEx::NoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
}

}  // namespace

CFileEx::~CFileEx() {
  // A destructor must not throw: a failing close is as good as an abort here.
  if (IsOpen() && closeOnDelete_) Abort();
}

void CFileEx::ThrowLastError(const std::wstring& text) const {
  CFileExException e;
  e.osError = static_cast<int32_t>(::GetLastError());
  e.text = text;
  throw e;
}

bool CFileEx::Open(const std::wstring& path, unsigned flags, CFileExException* error) {
  // A handle still held would leak otherwise.
  Abort();
  closeOnDelete_ = false;
  fileName_ = path;
  flags &= ~static_cast<unsigned>(Binary);

  SECURITY_ATTRIBUTES security = {};
  security.nLength = sizeof security;
  security.lpSecurityDescriptor = creationSecurity_;
  security.bInheritHandle = (flags & NoInherit) ? FALSE : TRUE;

  HANDLE handle = ::CreateFileW(path.c_str(), AccessOf(flags), ShareOf(flags), &security,
                                DispositionOf(flags), FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    if (error) {
      error->osError = static_cast<int32_t>(::GetLastError());
      error->text = L"INVALID_HANDLE_VALUE";
    }
    return false;
  }
  handle_ = handle;
  closeOnDelete_ = true;
  return true;
}

uint64_t CFileEx::GetPosition() { return Seek(0, Current); }

uint64_t CFileEx::Seek(int64_t distance, int origin) {
  LARGE_INTEGER move;
  move.QuadPart = distance;
  LARGE_INTEGER position;
  if (!::SetFilePointerEx(handle_, move, &position, static_cast<DWORD>(origin))) {
    ThrowLastError();
  }
  return static_cast<uint64_t>(position.QuadPart);
}

void CFileEx::SetLength(uint64_t length) {
  Seek(static_cast<int64_t>(length), Begin);
  if (!::SetEndOfFile(handle_)) ThrowLastError();
}

uint64_t CFileEx::SeekToEnd() { return Seek(0, End); }

uint32_t CFileEx::Read(void* buffer, uint32_t count) {
  if (count == 0) return 0;
  DWORD read = 0;
  if (!::ReadFile(handle_, buffer, count, &read, nullptr)) ThrowLastError();
  return read;
}

void CFileEx::Write(const void* buffer, uint32_t count) {
  if (count == 0) return;
  DWORD written = 0;
  if (!::WriteFile(handle_, buffer, count, &written, nullptr)) ThrowLastError(fileName_);
  if (written < count) {
    CFileExException e;
    e.osError = CFileExException::kShortWrite;
    e.text = fileName_;
    throw e;
  }
}

void CFileEx::Abort() {
  if (IsOpen()) ::CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  closeOnDelete_ = false;
  fileName_.clear();
}

void CFileEx::Flush() {
  if (IsOpen() && !::FlushFileBuffers(handle_)) ThrowLastError();
}

void CFileEx::Close() {
  const BOOL closed = IsOpen() ? ::CloseHandle(handle_) : TRUE;
  const DWORD error = ::GetLastError();
  handle_ = INVALID_HANDLE_VALUE;
  closeOnDelete_ = false;
  fileName_.clear();
  if (!closed) {
    ::SetLastError(error);
    ThrowLastError();
  }
}

int64_t CFileEx::SizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                              data.nFileSizeLow);
}
