#include "http/RangeWriteFile.h"

#include <algorithm>

#include "http/HttpResult.h"
#include "runtime/AdminOnlyFile.h"
#include "runtime/Logging.h"

std::shared_ptr<CRangeFile> CRangeFile::Open(const std::wstring& path, DWORD* error) {
  auto file = std::make_shared<CRangeFile>();
  SECURITY_ATTRIBUTES security = {sizeof security, admin_only_file::CreationDescriptor(), FALSE};
  file->file_.reset(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                  &security, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file->file_) {
    *error = ::GetLastError();
    return nullptr;
  }
  return file;
}

bool CRangeFile::WriteAt(uint64_t offset, const void* data, uint32_t length, DWORD* error) {
  // Only the download workshop's worker writes, so the file pointer is its own: a write that
  // continues the last one needs no seek. (A write with its offset in OVERLAPPED took Wine
  // twice the time of a plain one.)
  if (offset != position_) {
    LARGE_INTEGER to = {};
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(file_.get(), to, nullptr, FILE_BEGIN)) {
      *error = ::GetLastError();
      position_ = UINT64_MAX;
      return false;
    }
    position_ = offset;
  }
  DWORD written = 0;
  if (!::WriteFile(file_.get(), data, length, &written, nullptr) || written != length) {
    *error = ::GetLastError();
    if (*error == 0) *error = ERROR_WRITE_FAULT;
    position_ = UINT64_MAX;
    return false;
  }
  position_ += length;
  if (digest) digest->Extend(offset, position_);
  return true;
}

bool CRangeFile::CutTo(uint64_t size) {
  FILE_END_OF_FILE_INFO end = {};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  return ::SetFileInformationByHandle(file_.get(), FileEndOfFileInfo, &end, sizeof(end)) != 0;
}

range_plan::Range CRangeCursor::Get() const {
  CAutoLock hold(lock_);
  return range_;
}

bool CRangeCursor::EndAt(uint64_t end) {
  CAutoLock hold(lock_);
  if (end <= range_.next || end >= range_.end) return false;
  range_.end = end;
  return true;
}

uint32_t CRangeCursor::Write(CRangeFile& file, const char* data, uint32_t length, DWORD* error) {
  // Held across the write: `next` moves only once the bytes are in the file, and the end
  // cannot move beneath a write in progress.
  CAutoLock hold(lock_);
  const uint32_t taken = static_cast<uint32_t>(std::min<uint64_t>(length, range_.left()));
  if (taken == 0) return 0;
  if (!file.WriteAt(range_.next, data, taken, error)) return 0;
  range_.next += taken;
  return taken;
}

int32_t RangeWriteFile::Write(const void* data, uint32_t length) {
  if (!file_) {
    errorCode = http_result::kNoOutputFile;
    errorKind = http_result::kApplication;
    return -1;
  }
  DWORD error = 0;
  const uint32_t taken = cursor_->Write(*file_, static_cast<const char*>(data), length, &error);
  if (error != 0) {
    LOG_FILE(2, L"[RangeWriteFile] write failed: %u", static_cast<unsigned>(error));
    errorCode = static_cast<int32_t>(error);
    errorKind = http_result::kSystem;
    return -1;
  }
  if (taken < length) {
    reachedEnd_ = true;
    return -1;
  }
  return static_cast<int32_t>(length);
}
