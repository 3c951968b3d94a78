#include "ui/markup/SkinStorage.h"

#include <cstdio>
#include <memory>

#include "ui/markup/Utf8.h"

namespace SkinUI {

namespace {

struct Settings {
  std::wstring resourcePath;
  std::wstring archiveName;
  bool archiveCached = false;
  CZipArchive archive;  // open only while cached
};

Settings& State() {
  static Settings settings;
  return settings;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using ScopedFile = std::unique_ptr<std::FILE, FileCloser>;

ScopedFile OpenForReading(const std::wstring& path) {
#ifdef _WIN32
  // Opens existing files only, sharing reads (and writes) with other processes.
  return ScopedFile(_wfopen(path.c_str(), L"rb"));
#else
  return ScopedFile(std::fopen(WideToUtf8(path).c_str(), "rb"));
#endif
}

// The file's size, or -1 when it cannot be told.
int64_t FileSize(std::FILE* file) {
#ifdef _WIN32
  if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
  const int64_t size = _ftelli64(file);
  if (_fseeki64(file, 0, SEEK_SET) != 0) return -1;
#else
  if (fseeko(file, 0, SEEK_END) != 0) return -1;
  const int64_t size = ftello(file);
  if (fseeko(file, 0, SEEK_SET) != 0) return -1;
#endif
  return size;
}

}  // namespace

void CSkinStorage::SetResourcePath(const std::wstring& path) {
  std::wstring& stored = State().resourcePath;
  stored = path;
  if (!stored.empty() && stored.back() != L'\\' && stored.back() != L'/') stored += L'\\';
}

const std::wstring& CSkinStorage::GetResourcePath() { return State().resourcePath; }

bool CSkinStorage::SetSkinArchive(const void* bytes, size_t size, bool lifelong) {
  if (!bytes) return false;
  Settings& s = State();
  s.archive.Close();
  s.archiveName = kMemoryArchiveName;
  s.archiveCached = true;
  const auto* first = static_cast<const uint8_t*>(bytes);
  if (lifelong) return s.archive.OpenMemory(first, size);
  return s.archive.OpenOwned(std::vector<uint8_t>(first, first + size));
}

bool CSkinStorage::SetSkinArchive(const std::wstring& fileName, bool cache) {
  Settings& s = State();
  s.archive.Close();
  s.archiveName = fileName;
  s.archiveCached = cache;
  if (!cache) return true;
  std::vector<uint8_t> bytes;
  if (ReadDiskFile(s.resourcePath + fileName, kArchiveFileLimit, bytes) != kRead) return false;
  return s.archive.OpenOwned(std::move(bytes));
}

void CSkinStorage::CloseSkinArchive() {
  Settings& s = State();
  s.archive.Close();
  s.archiveName.clear();
  s.archiveCached = false;
}

const std::wstring& CSkinStorage::GetSkinArchive() { return State().archiveName; }

bool CSkinStorage::IsSkinArchiveCached() { return State().archiveCached; }

const CZipArchive* CSkinStorage::GetSkinArchiveHandle() {
  const Settings& s = State();
  return s.archiveCached && s.archive.IsOpen() ? &s.archive : nullptr;
}

CSkinStorage::ReadStatus CSkinStorage::ReadSkinFile(const std::wstring& name, size_t limit,
                                                    std::vector<uint8_t>& out) {
  out.clear();
  const Settings& s = State();
  if (s.archiveName.empty()) return ReadDiskFile(s.resourcePath + name, limit, out);
  if (s.archiveCached) {
    if (!s.archive.IsOpen()) return kOpenFailed;
    return ReadArchiveEntry(s.archive, name, limit, out);
  }
  std::vector<uint8_t> bytes;
  if (ReadDiskFile(s.resourcePath + s.archiveName, kArchiveFileLimit, bytes) != kRead) {
    return kOpenFailed;
  }
  CZipArchive archive;
  if (!archive.OpenOwned(std::move(bytes))) return kOpenFailed;
  return ReadArchiveEntry(archive, name, limit, out);
}

CSkinStorage::ReadStatus CSkinStorage::ReadArchiveEntry(const CZipArchive& archive,
                                                        const std::wstring& name, size_t limit,
                                                        std::vector<uint8_t>& out) {
  const int index = archive.Find(name.c_str());
  if (index < 0) return kNotFound;
  const uint32_t size = archive.GetEntry(index)->uncompressedSize;
  if (size == 0) return kEmpty;
  if (size > limit) return kTooLarge;
  out.resize(size);
  const CZipArchive::Result result = archive.Extract(index, out.data(), out.size());
  if (result != CZipArchive::kOk && result != CZipArchive::kMoreData) {
    out.clear();
    return kExtractFailed;
  }
  return kRead;
}

CSkinStorage::ReadStatus CSkinStorage::ReadDiskFile(const std::wstring& path, size_t limit,
                                                    std::vector<uint8_t>& out) {
  out.clear();
  ScopedFile file = OpenForReading(path);
  if (!file) return kOpenFailed;
  const int64_t size = FileSize(file.get());
  if (size < 0) return kReadFailed;
  if (size == 0) return kEmpty;
  if (static_cast<uint64_t>(size) > limit) return kTooLarge;
  out.resize(static_cast<size_t>(size));
  const size_t got = std::fread(out.data(), 1, out.size(), file.get());
  if (got != out.size()) {
    out.clear();
    return kReadFailed;
  }
  return kRead;
}

}  // namespace SkinUI
