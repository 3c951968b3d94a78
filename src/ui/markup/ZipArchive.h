// CZipArchive: reads the skin's zip archive (stored and deflated entries) from bytes in
// memory, on top of zlib's raw inflate.
//
// Contract: one thread at a time (the user-interface thread in the program). The archive
// either borrows its bytes (OpenMemory: the caller keeps them alive until Close) or owns
// them (OpenOwned). Archives are untrusted input: Open checks the whole central directory
// against the byte count and fails on anything inconsistent, and Extract writes at most the
// caller's buffer size and reports every damage (bad local header, data beyond the archive,
// bad compressed data, a size or checksum that differs from the directory) as kCorrupt.
// Multi-disk and zip64 archives and encrypted entries are not read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace SkinUI {

class CZipArchive {
 public:
  enum Result {
    kOk = 0,       // the whole entry was extracted and its checksum matched
    kMoreData,     // the buffer was filled and the entry holds more
    kCorrupt,      // damaged archive or entry
    kUnsupported,  // encrypted entry or a compression method other than stored and deflate
    kBadIndex,
  };

  struct TEntry {
    std::wstring name;  // as stored ('/' separates folders), decoded as UTF-8
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint32_t crc = 0;
    uint32_t localHeaderOffset = 0;
    uint16_t method = 0;
    uint16_t flags = 0;
  };

  CZipArchive() = default;
  CZipArchive(const CZipArchive&) = delete;
  CZipArchive& operator=(const CZipArchive&) = delete;

  bool OpenMemory(const uint8_t* bytes, size_t size);
  bool OpenOwned(std::vector<uint8_t> bytes);
  void Close();
  bool IsOpen() const { return data_ != nullptr; }

  size_t GetEntryCount() const { return entries_.size(); }
  const TEntry* GetEntry(int index) const;

  // The first entry whose name equals `name` ignoring ASCII case, with '\\' and '/' taken
  // as the same separator; -1 when there is none.
  int Find(const wchar_t* name) const;

  // Extracts entry `index` into `buffer` (at most `size` bytes).
  Result Extract(int index, void* buffer, size_t size) const;

 private:
  bool ReadDirectory();
  Result Inflate(const uint8_t* in, const TEntry& entry, uint8_t* out, size_t size) const;

  std::vector<uint8_t> owned_;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  std::vector<TEntry> entries_;
};

}  // namespace SkinUI
