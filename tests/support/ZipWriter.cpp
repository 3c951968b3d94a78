#include "support/ZipWriter.h"

#include <zlib.h>

namespace testing_support {

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

void PutBytes(std::vector<uint8_t>& out, const std::string& s) {
  out.insert(out.end(), s.begin(), s.end());
}

struct Written {
  uint32_t crc, compressed, size, offset;
  uint16_t method;
};

// The fields that the local header and the directory entry share, from the flags to the
// name's length.
void PutShared(std::vector<uint8_t>& out, const ZipEntrySpec& e, const Written& w) {
  Put16(out, e.flags);
  Put16(out, w.method);
  Put16(out, 0);       // time
  Put16(out, 0x4A69);  // date
  Put32(out, w.crc);
  Put32(out, w.compressed);
  Put32(out, w.size);
  Put16(out, static_cast<uint32_t>(e.name.size()));
}

// Raw deflate of `data`, as a zip entry holds it.
std::string Deflate(const std::string& data) {
  z_stream stream{};
  deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, data.size()) + 16, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

}  // namespace

ZipImage BuildZip(const std::vector<ZipEntrySpec>& entries, const std::string& comment) {
  ZipImage image;
  std::vector<uint8_t>& out = image.bytes;
  std::vector<Written> written;
  for (const ZipEntrySpec& e : entries) {
    const std::string payload = e.deflate ? Deflate(e.data) : e.data;
    Written w;
    w.crc = e.declaredCrc.value_or(static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size()))));
    w.compressed = e.declaredCompressedSize.value_or(static_cast<uint32_t>(payload.size()));
    w.size = e.declaredSize.value_or(static_cast<uint32_t>(e.data.size()));
    w.method = e.declaredMethod.value_or(e.deflate ? 8 : 0);
    w.offset = static_cast<uint32_t>(out.size());
    image.localHeaderOffsets.push_back(out.size());
    Put32(out, 0x04034b50);
    Put16(out, 20);
    PutShared(out, e, w);
    Put16(out, 0);
    PutBytes(out, e.name);
    image.dataOffsets.push_back(out.size());
    PutBytes(out, payload);
    written.push_back(w);
  }
  image.directoryOffset = out.size();
  for (size_t i = 0; i < entries.size(); ++i) {
    const Written& w = written[i];
    Put32(out, 0x02014b50);
    Put16(out, 20);
    Put16(out, 20);
    PutShared(out, entries[i], w);
    Put16(out, 0);  // extra
    Put16(out, 0);  // comment
    Put16(out, 0);  // disk
    Put16(out, 0);  // internal attributes
    Put32(out, 0);  // external attributes
    Put32(out, w.offset);
    PutBytes(out, entries[i].name);
  }
  const size_t directorySize = out.size() - image.directoryOffset;
  image.endOfDirectoryOffset = out.size();
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<uint32_t>(entries.size()));
  Put16(out, static_cast<uint32_t>(entries.size()));
  Put32(out, static_cast<uint32_t>(directorySize));
  Put32(out, static_cast<uint32_t>(image.directoryOffset));
  Put16(out, static_cast<uint32_t>(comment.size()));
  PutBytes(out, comment);
  return image;
}

}  // namespace testing_support
