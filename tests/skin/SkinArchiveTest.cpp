#include "SkinArchiveTest.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>

#include "ui/SkinStorage.h"
#include "ui/Utf8.h"
#include "ui/ZipArchive.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace skin_testing {

using SkinUI::CImageDecoder;
using SkinUI::CSkinStorage;
using SkinUI::CZipArchive;
using SkinUI::TDecodedImage;

namespace {

std::map<std::wstring, std::unique_ptr<TDecodedImage>>& DecodedImages() {
  static std::map<std::wstring, std::unique_ptr<TDecodedImage>> images;
  return images;
}

bool ReadArchive(std::vector<uint8_t>& bytes, std::string& error) {
#ifdef _WIN32
  // The installer finds its skin as resource "ZIPRES" 150.
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(150), L"ZIPRES");
  HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  const DWORD size = found ? SizeofResource(nullptr, found) : 0;
  if (!data || size == 0) {
    error = "the test program carries no ZIPRES resource 150";
    return false;
  }
  const auto* first = static_cast<const uint8_t*>(data);
  bytes.assign(first, first + size);
#else
  std::ifstream in(KELTO_SKIN_ARCHIVE, std::ios::binary);
  if (!in) {
    error = std::string("cannot open the skin archive ") + KELTO_SKIN_ARCHIVE;
    return false;
  }
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
#endif
  return true;
}

}  // namespace

std::string& SkinArchiveTest::LoadError() {
  static std::string error;
  return error;
}

void SkinArchiveTest::SetUpTestSuite() {
  std::vector<uint8_t> bytes;
  LoadError().clear();
  if (!ReadArchive(bytes, LoadError())) return;
  if (!CSkinStorage::SetSkinArchive(bytes.data(), bytes.size())) {
    LoadError() = "the skin archive is not a zip archive the program can read";
  }
}

void SkinArchiveTest::TearDownTestSuite() {
  DecodedImages().clear();
  CSkinStorage::CloseSkinArchive();
}

void SkinArchiveTest::SetUp() {
  ASSERT_TRUE(LoadError().empty()) << LoadError();
  ASSERT_NE(CSkinStorage::GetSkinArchiveHandle(), nullptr);
}

testing::AssertionResult SkinArchiveTest::LoadLayout(const wchar_t* file, LayoutIndex& index) {
  std::wstring error;
  if (!index.Load(file, error)) {
    return testing::AssertionFailure()
           << SkinUI::WideToUtf8(file) << ": " << SkinUI::WideToUtf8(error);
  }
  return testing::AssertionSuccess();
}

const TDecodedImage* SkinArchiveTest::Image(const std::wstring& name) {
  auto& cache = DecodedImages();
  const auto cached = cache.find(name);
  if (cached != cache.end()) return cached->second.get();
  std::unique_ptr<TDecodedImage> image;
  std::vector<uint8_t> bytes;
  if (CSkinStorage::ReadSkinFile(name, 16u << 20, bytes) == CSkinStorage::kRead) {
    image = std::make_unique<TDecodedImage>();
    if (!CImageDecoder::Decode(bytes.data(), bytes.size(), *image)) image.reset();
  }
  return (cache[name] = std::move(image)).get();
}

std::vector<std::wstring> SkinArchiveTest::EntryNames() {
  std::vector<std::wstring> names;
  const CZipArchive* archive = CSkinStorage::GetSkinArchiveHandle();
  for (size_t i = 0; archive && i < archive->GetEntryCount(); ++i) {
    names.push_back(archive->GetEntry(static_cast<int>(i))->name);
  }
  return names;
}

}  // namespace skin_testing
