// Fuzz target: skin archives. Random bytes rarely look like an archive, so an input that
// does not start like one is applied as a list of byte patches (and a length cut) to a
// well-formed archive of stored and deflated entries. Opening, looking up and extracting
// every entry must neither crash, read outside the archive, nor allocate beyond a bounded
// buffer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/ZipWriter.h"
#include "ui/markup/ZipArchive.h"

namespace {

const std::vector<uint8_t>& Template() {
  static const std::vector<uint8_t> bytes = [] {
    std::string layout = "<Window>";
    for (int i = 0; i < 40; ++i) layout += "<Button name=\"btn_" + std::to_string(i) + "\"/>";
    layout += "</Window>";
    return testing_support::BuildZip({{"InstallPackages.xml", layout, true},
                                      {"install_0.png", "\x89PNG\r\n\x1a\n....", false},
                                      {"MessageBox.xml", "<Window/>", true}},
                                     "comment")
        .bytes;
  }();
  return bytes;
}

void Exercise(const uint8_t* data, size_t size) {
  SkinUI::CZipArchive zip;
  if (!zip.OpenMemory(data, size)) return;
  zip.Find(L"installpackages.xml");
  std::vector<uint8_t> buffer;
  for (size_t i = 0; i < zip.GetEntryCount() && i < 64; ++i) {
    const SkinUI::CZipArchive::TEntry* entry = zip.GetEntry(static_cast<int>(i));
    zip.Find(entry->name.c_str());
    // The declared size is a claim, not a fact: cap what is handed out.
    const uint32_t size = entry->uncompressedSize;
    buffer.assign(size < (1u << 20) ? size : (1u << 20), 0);
    zip.Extract(static_cast<int>(i), buffer.data(), buffer.size());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= 2 && data[0] == 'P' && data[1] == 'K') {
    Exercise(data, size);
    return 0;
  }
  std::vector<uint8_t> archive = Template();
  // First byte: how much of the tail to cut; then (position, value) triples.
  if (size > 0 && data[0] < 32) archive.resize(archive.size() - data[0]);
  for (size_t i = 1; i + 2 < size; i += 3) {
    const size_t position = (size_t{data[i]} << 8 | data[i + 1]) % archive.size();
    archive[position] = data[i + 2];
  }
  Exercise(archive.data(), archive.size());
  return 0;
}
