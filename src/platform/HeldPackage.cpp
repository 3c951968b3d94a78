#include "platform/HeldPackage.h"

#include <memory>

#include "platform/CommonUtils.h"
#include "runtime/HexDigests.h"
#include "runtime/Logging.h"

bool CHeldPackage::Open(const std::wstring& path) {
  // No FILE_SHARE_WRITE and no FILE_SHARE_DELETE: writes, renames and deletion all wait
  // until Release. A program that has the file open for writing for a moment (a scanner
  // looking at a new program) only delays the hold.
  const bool opened = RetryWithBackoff(kOpenAttempts, [&] {
    file_.reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    return file_.valid() || ::GetLastError() != ERROR_SHARING_VIOLATION;
  });
  if (opened && file_) return true;
  LOG_FILE(2, L"install worker: the package cannot be held: %u",
           static_cast<unsigned>(::GetLastError()));
  return false;
}

bool CHeldPackage::Digest(std::wstring* md5, std::wstring* sha256) {
  if (!file_) return false;
  LARGE_INTEGER start = {};
  if (!::SetFilePointerEx(file_.get(), start, nullptr, FILE_BEGIN)) return false;
  CHexDigests digests(true, sha256 != nullptr);
  std::unique_ptr<char[]> block(new char[MD5::kReadBlock]);
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file_.get(), block.get(), static_cast<DWORD>(MD5::kReadBlock), &read,
                    nullptr)) {
      LOG_FILE(2, L"install worker: the package cannot be read: %u",
               static_cast<unsigned>(::GetLastError()));
      return false;
    }
    if (read == 0) break;
    if (!digests.Update(block.get(), read)) return false;
  }
  return digests.Finish(md5, sha256);
}
