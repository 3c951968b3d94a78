#include "ui/markup/ZipArchive.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "ui/markup/Utf8.h"

namespace SkinUI {

namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr uint32_t kEndOfDirectorySignature = 0x06054b50;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndOfDirectorySize = 22;
constexpr size_t kMaxCommentSize = 0xFFFF;
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Read32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

wchar_t FoldForLookup(wchar_t c) {
  if (c >= L'A' && c <= L'Z') return static_cast<wchar_t>(c - L'A' + L'a');
  if (c == L'\\') return L'/';
  return c;
}

uint32_t Crc(const uint8_t* bytes, size_t size) {
  uLong crc = crc32(0L, Z_NULL, 0);
  while (size > 0) {
    const uInt chunk = static_cast<uInt>(std::min<size_t>(size, UINT_MAX));
    crc = crc32(crc, bytes, chunk);
    bytes += chunk;
    size -= chunk;
  }
  return static_cast<uint32_t>(crc);
}

}  // namespace

bool CZipArchive::OpenMemory(const uint8_t* bytes, size_t size) {
  Close();
  if (!bytes) return false;
  data_ = bytes;
  size_ = size;
  if (!ReadDirectory()) {
    Close();
    return false;
  }
  return true;
}

bool CZipArchive::OpenOwned(std::vector<uint8_t> bytes) {
  Close();
  owned_ = std::move(bytes);
  if (owned_.empty()) return false;
  data_ = owned_.data();
  size_ = owned_.size();
  if (!ReadDirectory()) {
    Close();
    return false;
  }
  return true;
}

void CZipArchive::Close() {
  entries_.clear();
  owned_.clear();
  owned_.shrink_to_fit();
  data_ = nullptr;
  size_ = 0;
}

const CZipArchive::TEntry* CZipArchive::GetEntry(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= entries_.size()) return nullptr;
  return &entries_[index];
}

bool CZipArchive::ReadDirectory() {
  // Pass 1: find the end-of-directory record, searching back over at most one comment. The
  // last signature whose comment ends exactly at the end of the data wins; failing that, the
  // last one whose comment fits (archives with trailing bytes).
  if (size_ < kEndOfDirectorySize) return false;
  const size_t lowest = size_ > kEndOfDirectorySize + kMaxCommentSize
                            ? size_ - kEndOfDirectorySize - kMaxCommentSize : 0;
  size_t end = SIZE_MAX;
  for (size_t pos = size_ - kEndOfDirectorySize + 1; pos-- > lowest;) {
    const uint8_t* p = data_ + pos;
    if (Read32(p) != kEndOfDirectorySignature) continue;
    const size_t commentEnd = pos + kEndOfDirectorySize + Read16(p + 20);
    if (commentEnd == size_) {
      end = pos;
      break;
    }
    if (commentEnd < size_ && end == SIZE_MAX) end = pos;
  }
  if (end == SIZE_MAX) return false;

  // Pass 2: the record must describe one disk and a directory that lies before it.
  const uint8_t* eocd = data_ + end;
  const uint16_t disk = Read16(eocd + 4), directoryDisk = Read16(eocd + 6);
  const uint16_t entriesHere = Read16(eocd + 8), entriesTotal = Read16(eocd + 10);
  const uint32_t directorySize = Read32(eocd + 12), directoryOffset = Read32(eocd + 16);
  if (disk != 0 || directoryDisk != 0 || entriesHere != entriesTotal) return false;
  if (directoryOffset == 0xFFFFFFFFu || directorySize == 0xFFFFFFFFu) return false;  // zip64
  if (uint64_t{directoryOffset} + directorySize > end) return false;

  // Pass 3: every directory record must lie inside the directory.
  entries_.reserve(std::min<size_t>(entriesTotal, directorySize / kCentralHeaderSize));
  const uint8_t* p = data_ + directoryOffset;
  const uint8_t* const directoryEnd = p + directorySize;
  for (unsigned i = 0; i < entriesTotal; ++i) {
    if (static_cast<size_t>(directoryEnd - p) < kCentralHeaderSize) return false;
    if (Read32(p) != kCentralHeaderSignature) return false;
    const size_t nameLength = Read16(p + 28), extraLength = Read16(p + 30),
                 commentLength = Read16(p + 32);
    const size_t recordSize = kCentralHeaderSize + nameLength + extraLength + commentLength;
    if (static_cast<size_t>(directoryEnd - p) < recordSize) return false;
    TEntry entry;
    entry.flags = Read16(p + 8);
    entry.method = Read16(p + 10);
    entry.crc = Read32(p + 16);
    entry.compressedSize = Read32(p + 20);
    entry.uncompressedSize = Read32(p + 24);
    entry.localHeaderOffset = Read32(p + 42);
    entry.name.resize(Utf8ToWideLength(p + kCentralHeaderSize, nameLength));
    Utf8ToWide(p + kCentralHeaderSize, nameLength, entry.name.data());
    entries_.push_back(std::move(entry));
    p += recordSize;
  }
  return true;
}

int CZipArchive::Find(const wchar_t* name) const {
  if (!name) return -1;
  const size_t length = std::wcslen(name);
  for (size_t i = 0; i < entries_.size(); ++i) {
    const std::wstring& candidate = entries_[i].name;
    if (candidate.size() != length) continue;
    size_t k = 0;
    while (k < length && FoldForLookup(candidate[k]) == FoldForLookup(name[k])) ++k;
    if (k == length) return static_cast<int>(i);
  }
  return -1;
}

CZipArchive::Result CZipArchive::Extract(int index, void* buffer, size_t size) const {
  const TEntry* entry = GetEntry(index);
  if (!entry || (!buffer && size > 0)) return kBadIndex;
  if (entry->flags & kFlagEncrypted) return kUnsupported;
  if (entry->method != kMethodStored && entry->method != kMethodDeflated) return kUnsupported;

  // The local header only tells where the data starts; sizes come from the directory.
  const uint64_t header = entry->localHeaderOffset;
  if (header + kLocalHeaderSize > size_) return kCorrupt;
  const uint8_t* local = data_ + header;
  if (Read32(local) != kLocalHeaderSignature) return kCorrupt;
  const uint64_t start = header + kLocalHeaderSize + Read16(local + 26) + Read16(local + 28);
  if (start + entry->compressedSize > size_) return kCorrupt;
  const uint8_t* in = data_ + start;
  auto* out = static_cast<uint8_t*>(buffer);

  if (entry->method == kMethodDeflated) return Inflate(in, *entry, out, size);
  if (entry->compressedSize != entry->uncompressedSize) return kCorrupt;
  if (size < entry->uncompressedSize) {
    if (size > 0) std::memcpy(out, in, size);
    return kMoreData;
  }
  if (entry->uncompressedSize > 0) std::memcpy(out, in, entry->uncompressedSize);
  return Crc(out, entry->uncompressedSize) == entry->crc ? kOk : kCorrupt;
}

CZipArchive::Result CZipArchive::Inflate(const uint8_t* in, const TEntry& entry, uint8_t* out,
                                         size_t size) const {
  // Never ask for more than the directory promises: output beyond it is damage, not data.
  const size_t wanted = std::min<size_t>(size, entry.uncompressedSize);
  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return kCorrupt;
  stream.next_in = const_cast<Bytef*>(in);
  stream.avail_in = entry.compressedSize;
  // A spare byte of room shows whether the stream holds more than was asked for.
  uint8_t spare = 0;
  size_t produced = 0;
  bool more = false;
  int status = Z_OK;
  while (status == Z_OK) {
    const bool intoSpare = produced == wanted;
    stream.next_out = intoSpare ? &spare : out + produced;
    stream.avail_out = intoSpare ? 1u : static_cast<uInt>(std::min<size_t>(wanted - produced, UINT_MAX));
    const uInt before = stream.avail_out;
    status = inflate(&stream, Z_NO_FLUSH);
    const size_t got = before - stream.avail_out;
    if (intoSpare && got > 0) {
      more = true;
      break;
    }
    produced += got;
  }
  inflateEnd(&stream);

  if (!more && status == Z_STREAM_END && produced == entry.uncompressedSize) {
    return Crc(out, produced) == entry.crc ? kOk : kCorrupt;
  }
  // A buffer smaller than the entry filled from a stream that goes on.
  if (more && wanted < entry.uncompressedSize) return kMoreData;
  return kCorrupt;
}

}  // namespace SkinUI
