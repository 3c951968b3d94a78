#include <string>
#include <vector>

#include "LayoutFileTestBase.h"
#include "support/ZipWriter.h"

using SkinUI::CSkinStorage;
using testing_support::BuildZip;
using testing_support::ZipEntrySpec;

namespace {

class LayoutArchiveTest : public testing_support::LayoutFileTestBase {};

}  // namespace

TEST_F(LayoutArchiveTest, ResourcePathGetsItsSeparator) {
  CSkinStorage::SetResourcePath(L"C:\\skin");
  EXPECT_EQ(CSkinStorage::GetResourcePath(), L"C:\\skin\\");
  CSkinStorage::SetResourcePath(L"/tmp/skin/");
  EXPECT_EQ(CSkinStorage::GetResourcePath(), L"/tmp/skin/");
  CSkinStorage::SetResourcePath(L"");
  EXPECT_EQ(CSkinStorage::GetResourcePath(), L"");
}

TEST_F(LayoutArchiveTest, ArchiveInMemoryIsSearchedIgnoringCase) {
  std::vector<ZipEntrySpec> entries = {
      {"InstallPackages.xml", "\xEF\xBB\xBF<Window><Button name=\"btn_close\"/></Window>"},
      {"MessageBox.xml", "<Window/>", false},
      {"skin/Nested.xml", "<Nested/>"},
      {"empty.xml", ""},
      {"limit.xml", LayoutOfSize(kLimit)},
      {"over.xml", LayoutOfSize(kLimit + 1)},
  };
  const auto zip = BuildZip(entries);
  ASSERT_TRUE(CSkinStorage::SetSkinArchive(zip.bytes.data(), zip.bytes.size()));
  EXPECT_EQ(CSkinStorage::GetSkinArchive(), L"membuffer");
  EXPECT_TRUE(CSkinStorage::IsSkinArchiveCached());
  ASSERT_NE(CSkinStorage::GetSkinArchiveHandle(), nullptr);

  ExpectLoads(L"installpackages.XML", L"Window");
  ExpectLoads(L"MessageBox.xml", L"Window");
  ExpectLoads(L"SKIN\\nested.xml", L"Nested");
  ExpectLoads(L"limit.xml", L"Window");
  ExpectError(L"nothere.xml", L"Could not find ziped file");
  ExpectError(L"empty.xml", L"File is empty");
  ExpectError(L"over.xml", L"File too large");
}

TEST_F(LayoutArchiveTest, DamagedArchiveEntriesFailToUnzip) {
  std::vector<ZipEntrySpec> entries = {
      {"badcrc.xml", "<Window/>", true},
      {"garbage.xml", "<Window>" + std::string(500, 'x') + "</Window>", true},
      {"bzip2.xml", "<Window/>", false},
      {"short.xml", "<Window/>", true},
  };
  entries[0].declaredCrc = 1234;
  entries[2].declaredMethod = 12;
  entries[3].declaredSize = 100;  // the data ends before the promised size
  auto zip = BuildZip(entries);
  // Break the compressed stream of the second entry.
  for (size_t i = 0; i < 8; ++i) zip.bytes[zip.dataOffsets[1] + i] = 0xFF;
  ASSERT_TRUE(CSkinStorage::SetSkinArchive(zip.bytes.data(), zip.bytes.size()));
  for (const wchar_t* name : {L"badcrc.xml", L"garbage.xml", L"bzip2.xml", L"short.xml"}) {
    ExpectError(name, L"Could not unzip file");
  }
}

TEST_F(LayoutArchiveTest, BytesThatAreNoArchive) {
  const std::string junk = "this is not a zip archive at all";
  EXPECT_FALSE(CSkinStorage::SetSkinArchive(junk.data(), junk.size()));
  ExpectError(L"InstallPackages.xml", L"Error opening zip file");
}

TEST_F(LayoutArchiveTest, ArchiveBytesStayValidAfterTheCallerFreesThem) {
  {
    const auto zip = BuildZip({{"Main.xml", "<Window/>"}});
    std::vector<uint8_t> copy = zip.bytes;
    ASSERT_TRUE(CSkinStorage::SetSkinArchive(copy.data(), copy.size()));
    std::fill(copy.begin(), copy.end(), 0);
  }
  ExpectLoads(L"Main.xml", L"Window");
  CSkinStorage::CloseSkinArchive();
  EXPECT_EQ(CSkinStorage::GetSkinArchive(), L"");
  EXPECT_EQ(CSkinStorage::GetSkinArchiveHandle(), nullptr);
}
