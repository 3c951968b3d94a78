#include "http/DownloadWriteFile.h"

#include <windows.h>

#include "http/HttpResult.h"
#include "runtime/AdminOnlyFile.h"
#include "runtime/Logging.h"

DownloadWriteFile::~DownloadWriteFile() { Close(); }

void DownloadWriteFile::RecordFileError(int32_t osError) {
  // The texts say "open error" for every file failure.
  LOG_CONSOLE(2, L"[DownloadWriteFile]打开错误:%d", osError);
  LOG_FILE(2, L"[DownloadWriteFile]打开错误 %d:%d", 1, osError);
  errorCode = osError;
  errorKind = http_result::kSystem;
}

bool DownloadWriteFile::Open(const std::wstring& path) {
  Close();
  if (file_.IsOpen()) return false;
  path_ = path;
  file_.SetCreationSecurity(admin_only_file::CreationDescriptor());
  CFileExException error;
  if (!file_.Open(path_, kOpenFlags, &error)) {
    RecordFileError(error.osError);
    return false;
  }
  try {
    size_ = file_.Seek(0, CFileEx::End);
  } catch (const CFileExException& e) {
    file_.Abort();
    RecordFileError(e.osError);
    return false;
  }
  return true;
}

int32_t DownloadWriteFile::Write(const void* data, uint32_t length) {
  if (!file_.IsOpen()) {
    errorCode = http_result::kNoOutputFile;
    errorKind = http_result::kApplication;
    return -1;
  }
  try {
    file_.Write(data, length);
  } catch (const CFileExException& e) {
    RecordFileError(e.osError);
    return -1;
  }
  size_ += length;
  if (digest) digest->Advance(size_);
  return static_cast<int32_t>(length);
}

void DownloadWriteFile::Close() {
  if (file_.IsOpen()) {
    try {
      file_.Close();
    } catch (const CFileExException&) {
      // The handle is gone either way; a download finds out about lost bytes by their length.
    }
  }
  errorCode = 0;
  errorKind = 0;
}

void DownloadWriteFile::Truncate() {
  size_ = 0;
  if (digest) digest->Restart();
  if (!file_.IsOpen()) {
    if (!path_.empty()) ::DeleteFileW(path_.c_str());
    return;
  }
  try {
    file_.SetLength(0);
  } catch (const CFileExException& e) {
    RecordFileError(e.osError);
  }
}
