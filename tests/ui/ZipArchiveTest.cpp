#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/ZipWriter.h"
#include "ui/ZipArchive.h"

using SkinUI::CZipArchive;
using testing_support::BuildZip;
using testing_support::ZipEntrySpec;
using testing_support::ZipImage;

namespace {

std::string Extracted(const CZipArchive& zip, int index, CZipArchive::Result* result = nullptr) {
  const CZipArchive::TEntry* entry = zip.GetEntry(index);
  if (!entry) return "<no entry>";
  std::string out(entry->uncompressedSize, '\0');
  const CZipArchive::Result r = zip.Extract(index, out.data(), out.size());
  if (result) *result = r;
  return r == CZipArchive::kOk ? out : "<failed>";
}

CZipArchive::Result ExtractResult(const CZipArchive& zip, int index) {
  CZipArchive::Result result = CZipArchive::kBadIndex;
  Extracted(zip, index, &result);
  return result;
}

std::string Text(size_t size) {
  std::string text;
  for (size_t i = 0; text.size() < size; ++i) text += "line " + std::to_string(i) + "\n";
  text.resize(size);
  return text;
}

}  // namespace

TEST(ZipArchive, StoredAndDeflatedEntriesRoundTrip) {
  const std::string big = Text(300000);
  const ZipImage image = BuildZip({
      {"InstallPackages.xml", big, true},
      {"install_0.png", "\x89PNG stored bytes", false},
      {"empty.txt", "", true},
      {"\xE7\x9A\xAE\xE8\x82\xA4/bg.png", "chinese folder", false},
  });
  CZipArchive zip;
  ASSERT_TRUE(zip.OpenMemory(image.bytes.data(), image.bytes.size()));
  ASSERT_EQ(zip.GetEntryCount(), 4u);
  EXPECT_EQ(zip.GetEntry(0)->name, L"InstallPackages.xml");
  EXPECT_EQ(zip.GetEntry(0)->method, 8);
  EXPECT_LT(zip.GetEntry(0)->compressedSize, zip.GetEntry(0)->uncompressedSize);
  EXPECT_EQ(Extracted(zip, 0), big);
  EXPECT_EQ(Extracted(zip, 1), "\x89PNG stored bytes");
  EXPECT_EQ(Extracted(zip, 2), "");
  EXPECT_EQ(zip.GetEntry(3)->name, L"\u76AE\u80A4/bg.png");
  EXPECT_EQ(Extracted(zip, 3), "chinese folder");
  EXPECT_EQ(zip.GetEntry(4), nullptr);
  EXPECT_EQ(zip.GetEntry(-1), nullptr);
}

TEST(ZipArchive, NamesAreFoundIgnoringCaseAndSeparator) {
  const ZipImage image = BuildZip({{"Skin/Opt_000.PNG", "a"}, {"opt_000.png", "b"}});
  CZipArchive zip;
  ASSERT_TRUE(zip.OpenMemory(image.bytes.data(), image.bytes.size()));
  EXPECT_EQ(zip.Find(L"skin/opt_000.png"), 0);
  EXPECT_EQ(zip.Find(L"SKIN\\OPT_000.png"), 0);
  EXPECT_EQ(zip.Find(L"OPT_000.PNG"), 1);
  EXPECT_EQ(zip.Find(L"opt_000.pn"), -1);
  EXPECT_EQ(zip.Find(L"opt_000.png "), -1);
  EXPECT_EQ(zip.Find(nullptr), -1);
}

TEST(ZipArchive, SmallerBufferGetsThePrefixAndMoreData) {
  const std::string text = Text(10000);
  const ZipImage image = BuildZip({{"a", text, true}, {"b", text, false}});
  CZipArchive zip;
  ASSERT_TRUE(zip.OpenMemory(image.bytes.data(), image.bytes.size()));
  for (int i = 0; i < 2; ++i) {
    std::string part(100, '\0');
    EXPECT_EQ(zip.Extract(i, part.data(), part.size()), CZipArchive::kMoreData);
    EXPECT_EQ(part, text.substr(0, 100));
  }
  // A larger buffer than the entry gets exactly the entry.
  std::string room(text.size() + 50, '#');
  EXPECT_EQ(zip.Extract(0, room.data(), room.size()), CZipArchive::kOk);
  EXPECT_EQ(room.substr(0, text.size()), text);
  EXPECT_EQ(room.substr(text.size()), std::string(50, '#'));
}

TEST(ZipArchive, CommentsAndLeadingOrTrailingBytesAreTolerated) {
  ZipImage image = BuildZip({{"a.xml", "<a/>"}}, "a comment with PK\x05\x06 inside");
  CZipArchive zip;
  ASSERT_TRUE(zip.OpenMemory(image.bytes.data(), image.bytes.size()));
  EXPECT_EQ(Extracted(zip, 0), "<a/>");

  image.bytes.insert(image.bytes.end(), 10, 0x00);
  ASSERT_TRUE(zip.OpenMemory(image.bytes.data(), image.bytes.size()));
  EXPECT_EQ(Extracted(zip, 0), "<a/>");

  const ZipImage empty = BuildZip({});
  ASSERT_TRUE(zip.OpenMemory(empty.bytes.data(), empty.bytes.size()));
  EXPECT_EQ(zip.GetEntryCount(), 0u);
  EXPECT_EQ(zip.Find(L"a.xml"), -1);
}

TEST(ZipArchive, DamagedEntriesAreReportedCorrupt) {
  const std::string text = Text(5000);
  std::vector<ZipEntrySpec> entries(8, ZipEntrySpec{"", text, true});
  for (size_t i = 0; i < entries.size(); ++i) entries[i].name = "e" + std::to_string(i);
  entries[0].declaredCrc = 0xDEADBEEF;           // checksum differs
  entries[1].declaredSize = 4000;                // stream longer than promised
  entries[2].declaredSize = 6000;                // stream shorter than promised
  entries[3].declaredCompressedSize = 0x7FFFFFF; // data would run past the archive
  entries[4].deflate = false;
  entries[4].declaredCompressedSize = 10;        // stored sizes disagree
  entries[5].flags = 1;                          // encrypted
  entries[6].declaredMethod = 14;                // LZMA
  ZipImage image = BuildZip(entries);
  // Entry 7: garbage in the middle of the compressed stream.
  for (size_t i = 10; i < 30; ++i) image.bytes[image.dataOffsets[7] + i] ^= 0x5A;

  CZipArchive zip;
  ASSERT_TRUE(zip.OpenMemory(image.bytes.data(), image.bytes.size()));
  EXPECT_EQ(ExtractResult(zip, 0), CZipArchive::kCorrupt);
  EXPECT_EQ(ExtractResult(zip, 1), CZipArchive::kCorrupt);
  EXPECT_EQ(ExtractResult(zip, 2), CZipArchive::kCorrupt);
  EXPECT_EQ(ExtractResult(zip, 3), CZipArchive::kCorrupt);
  EXPECT_EQ(ExtractResult(zip, 4), CZipArchive::kCorrupt);
  EXPECT_EQ(ExtractResult(zip, 5), CZipArchive::kUnsupported);
  EXPECT_EQ(ExtractResult(zip, 6), CZipArchive::kUnsupported);
  EXPECT_EQ(ExtractResult(zip, 7), CZipArchive::kCorrupt);
}

TEST(ZipArchive, BrokenLocalHeadersAreReportedCorrupt) {
  ZipImage image = BuildZip({{"a", "aaaa"}, {"b", "bbbb"}});
  image.bytes[image.localHeaderOffsets[0]] = 'X';  // signature
  // Entry b's local name length now points far beyond the archive.
  image.bytes[image.localHeaderOffsets[1] + 26] = 0xFF;
  image.bytes[image.localHeaderOffsets[1] + 27] = 0xFF;
  CZipArchive zip;
  ASSERT_TRUE(zip.OpenMemory(image.bytes.data(), image.bytes.size()));
  EXPECT_EQ(ExtractResult(zip, 0), CZipArchive::kCorrupt);
  EXPECT_EQ(ExtractResult(zip, 1), CZipArchive::kCorrupt);
}

TEST(ZipArchive, InconsistentDirectoriesDoNotOpen) {
  const ZipImage good = BuildZip({{"a", "aaaa"}, {"b", "bbbb"}});
  auto patched = [&](size_t offset, std::vector<uint8_t> bytes) {
    std::vector<uint8_t> copy = good.bytes;
    for (size_t i = 0; i < bytes.size(); ++i) copy[offset + i] = bytes[i];
    return copy;
  };
  const size_t eocd = good.endOfDirectoryOffset;
  const std::vector<std::vector<uint8_t>> damaged = {
      patched(eocd + 8, {9, 0, 9, 0}),                // more entries than the directory holds
      patched(eocd + 8, {1, 0, 2, 0}),                // entries split over disks
      patched(eocd + 4, {1, 0}),                      // a second disk
      patched(eocd + 16, {0xFF, 0xFF, 0xFF, 0xFF}),   // zip64 marker
      patched(eocd + 12, {0xFF, 0xFF, 0, 0}),         // directory runs into the end record
      patched(good.directoryOffset, {'X'}),           // directory record signature
      patched(good.directoryOffset + 28, {0xFF, 0xFF}),  // name runs past the directory
      patched(eocd + 20, {5, 0}),                     // comment runs past the end
  };
  for (size_t i = 0; i < damaged.size(); ++i) {
    CZipArchive zip;
    EXPECT_FALSE(zip.OpenMemory(damaged[i].data(), damaged[i].size())) << "case " << i;
    EXPECT_FALSE(zip.IsOpen());
    EXPECT_EQ(zip.GetEntryCount(), 0u);
  }
  CZipArchive zip;
  EXPECT_FALSE(zip.OpenMemory(nullptr, 100));
  EXPECT_FALSE(zip.OpenOwned({}));
}

TEST(ZipArchive, TruncatedOrFlippedBytesNeverYieldWrongData) {
  const std::vector<std::string> contents = {Text(2000), Text(300)};
  const ZipImage image = BuildZip({{"a.xml", contents[0], true}, {"b.png", contents[1], false}});
  // Every entry either extracts to exactly its content or reports damage.
  auto check = [&](const std::vector<uint8_t>& bytes, const std::string& what) {
    CZipArchive zip;
    if (!zip.OpenOwned(bytes)) return;
    for (size_t i = 0; i < zip.GetEntryCount(); ++i) {
      const int index = static_cast<int>(i);
      // A buffer of the declared size, capped: a damaged size field must not cost memory.
      const size_t size = std::min<size_t>(zip.GetEntry(index)->uncompressedSize, 1 << 16);
      std::string out(size, '\0');
      const CZipArchive::Result r = zip.Extract(index, out.data(), out.size());
      if (r == CZipArchive::kOk) {
        EXPECT_TRUE(out == contents[0] || out == contents[1]) << what;
      }
    }
  };
  for (size_t length = 0; length < image.bytes.size(); ++length) {
    // Copied to a buffer of exactly `length` bytes so that any overrun is caught.
    check(std::vector<uint8_t>(image.bytes.begin(), image.bytes.begin() + length),
          "cut at " + std::to_string(length));
  }
  for (size_t at = 0; at < image.bytes.size(); ++at) {
    std::vector<uint8_t> flipped = image.bytes;
    flipped[at] ^= 0xFF;
    check(flipped, "flipped at " + std::to_string(at));
  }
}

TEST(ZipArchive, HugeDeclaredSizeNeedsNoHugeBuffer) {
  ZipEntrySpec entry{"huge.xml", "<a/>", true};
  entry.declaredSize = 0xFFFFFFF0u;
  const ZipImage image = BuildZip({entry});
  CZipArchive zip;
  ASSERT_TRUE(zip.OpenMemory(image.bytes.data(), image.bytes.size()));
  EXPECT_EQ(zip.GetEntry(0)->uncompressedSize, 0xFFFFFFF0u);
  std::string buffer(64, '\0');
  EXPECT_EQ(zip.Extract(0, buffer.data(), buffer.size()), CZipArchive::kCorrupt);
}
