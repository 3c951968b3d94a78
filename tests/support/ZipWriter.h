// Test helper: builds zip archives in memory, well-formed or deliberately damaged, so that
// tests make the archives they read.
//
// Contract: pure (zlib only), any thread; returns the bytes and where each structure lies so
// a test can damage exactly one of them. Never fails for the inputs tests give it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

struct ZipEntrySpec {
  ZipEntrySpec(std::string entryName, std::string entryData, bool deflateData = true)
      : name(std::move(entryName)), data(std::move(entryData)), deflate(deflateData) {}

  std::string name;  // UTF-8
  std::string data;
  bool deflate = true;
  // Lies the directory can tell about the entry.
  std::optional<uint32_t> declaredSize;
  std::optional<uint32_t> declaredCompressedSize;
  std::optional<uint32_t> declaredCrc;
  std::optional<uint16_t> declaredMethod;
  uint16_t flags = 0;
};

struct ZipImage {
  std::vector<uint8_t> bytes;
  std::vector<size_t> localHeaderOffsets;
  std::vector<size_t> dataOffsets;
  size_t directoryOffset = 0;
  size_t endOfDirectoryOffset = 0;
};

ZipImage BuildZip(const std::vector<ZipEntrySpec>& entries, const std::string& comment = "");

}  // namespace testing_support
