// CSkinStorage: where the skin's files come from, for the whole process: a folder (the
// resource path) and optionally a zip archive, held open in memory or opened from a file.
// These settings live here alone; the window base and the program set them directly.
//
// Contract: process-wide state used only on the user-interface thread; nothing is locked.
// The storage owns the bytes of an in-memory archive (SetSkinArchive copies them), so no
// caller has to keep them alive, unless the caller says they live as long as the process.
// Reads are bounded by the caller's size limit and report their failure as a ReadStatus;
// nothing throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/markup/ZipArchive.h"

namespace SkinUI {

class CSkinStorage {
 public:
  enum ReadStatus {
    kRead = 0,
    kOpenFailed,     // file missing or unreadable; or the archive could not be opened
    kNotFound,       // no such entry in the archive
    kEmpty,          // zero bytes
    kTooLarge,       // above the caller's limit
    kReadFailed,     // the file gave fewer bytes than its size
    kExtractFailed,  // the entry is damaged or uses an unsupported method
  };

  // The archive name that stands for an archive held in memory.
  static constexpr const wchar_t* kMemoryArchiveName = L"membuffer";
  // An archive file is read whole; anything larger is not a skin.
  static constexpr size_t kArchiveFileLimit = 64u << 20;

  // A non-empty folder not ending with '\\' or '/' gets a '\\' appended.
  static void SetResourcePath(const std::wstring& path);
  static const std::wstring& GetResourcePath();

  // The archive in memory becomes the cached archive (ignored when bytes is null). The bytes
  // are copied, or borrowed when `lifelong` (a resource of the program's own image); a
  // previously cached archive is closed. False when the bytes are no archive.
  static bool SetSkinArchive(const void* bytes, size_t size, bool lifelong = false);
  // The archive file resource path + name; cached unless `cache` is false, in which case
  // every read opens it again.
  static bool SetSkinArchive(const std::wstring& fileName, bool cache = true);
  // Closes the cached archive, frees its bytes and forgets the archive name.
  static void CloseSkinArchive();

  static const std::wstring& GetSkinArchive();
  static bool IsSkinArchiveCached();
  // The cached open archive, or null.
  static const CZipArchive* GetSkinArchiveHandle();

  // Reads the skin file `name`: the archive entry (found ignoring case) when an archive is
  // set, else the file resource path + name.
  static ReadStatus ReadSkinFile(const std::wstring& name, size_t limit,
                                 std::vector<uint8_t>& out);
  // Reads the file at `path` whole.
  static ReadStatus ReadDiskFile(const std::wstring& path, size_t limit,
                                 std::vector<uint8_t>& out);

 private:
  static ReadStatus ReadArchiveEntry(const CZipArchive& archive, const std::wstring& name,
                                     size_t limit, std::vector<uint8_t>& out);
};

}  // namespace SkinUI
