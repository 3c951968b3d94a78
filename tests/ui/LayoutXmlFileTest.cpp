#include <gtest/gtest.h>

#include <string>

#include "support/TempFolder.h"
#include "support/ZipWriter.h"
#include "ui/LayoutXml.h"
#include "ui/SkinStorage.h"

using SkinUI::CLayoutXml;
using SkinUI::CSkinStorage;
using testing_support::BuildZip;
using testing_support::TempFolder;
using testing_support::ZipEntrySpec;

namespace {

constexpr size_t kLimit = 4u << 20;

// A well-formed layout of exactly `size` bytes.
std::string LayoutOfSize(size_t size) {
  const std::string head = "<Window>", tail = "</Window>";
  return head + std::string(size - head.size() - tail.size(), ' ') + tail;
}

class LayoutFileTest : public testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    CSkinStorage::CloseSkinArchive();
    CSkinStorage::SetResourcePath(L"");
  }

  void ExpectError(const wchar_t* name, const wchar_t* message) {
    CLayoutXml xml;
    EXPECT_FALSE(xml.LoadFromFile(name)) << message;
    EXPECT_STREQ(xml.GetLastErrorMessage(), message);
    EXPECT_STREQ(xml.GetLastErrorLocation(), L"");
    EXPECT_FALSE(xml.IsValid());
  }

  void ExpectLoads(const wchar_t* name, const wchar_t* rootName) {
    CLayoutXml xml;
    ASSERT_TRUE(xml.LoadFromFile(name)) << xml.GetLastErrorMessage();
    EXPECT_STREQ(xml.GetRoot().GetName(), rootName);
  }

  TempFolder folder_;
};

}  // namespace

TEST_F(LayoutFileTest, ResourcePathGetsItsSeparator) {
  CSkinStorage::SetResourcePath(L"C:\\skin");
  EXPECT_EQ(CSkinStorage::GetResourcePath(), L"C:\\skin\\");
  CSkinStorage::SetResourcePath(L"/tmp/skin/");
  EXPECT_EQ(CSkinStorage::GetResourcePath(), L"/tmp/skin/");
  CSkinStorage::SetResourcePath(L"");
  EXPECT_EQ(CSkinStorage::GetResourcePath(), L"");
}

TEST_F(LayoutFileTest, FolderFilesLoadWithTheirLimits) {
  ASSERT_TRUE(folder_.Write("MessageBox.xml", "<Window><Label/></Window>"));
  ASSERT_TRUE(folder_.Write("empty.xml", ""));
  ASSERT_TRUE(folder_.Write("limit.xml", LayoutOfSize(kLimit)));
  ASSERT_TRUE(folder_.Write("over.xml", LayoutOfSize(kLimit + 1)));
  CSkinStorage::SetResourcePath(folder_.Path());

  ExpectLoads(L"MessageBox.xml", L"Window");
  ExpectLoads(L"limit.xml", L"Window");
  ExpectError(L"missing.xml", L"Error opening file");
  ExpectError(L"empty.xml", L"File is empty");
  ExpectError(L"over.xml", L"File too large");
}

TEST_F(LayoutFileTest, ArchiveInMemoryIsSearchedIgnoringCase) {
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

TEST_F(LayoutFileTest, DamagedArchiveEntriesFailToUnzip) {
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

TEST_F(LayoutFileTest, ArchivesThatCannotBeOpened) {
  const std::string junk = "this is not a zip archive at all";
  EXPECT_FALSE(CSkinStorage::SetSkinArchive(junk.data(), junk.size()));
  ExpectError(L"InstallPackages.xml", L"Error opening zip file");

  CSkinStorage::SetResourcePath(folder_.Path());
  EXPECT_FALSE(CSkinStorage::SetSkinArchive(std::wstring(L"missing.zip")));
  EXPECT_EQ(CSkinStorage::GetSkinArchiveHandle(), nullptr);
  ExpectError(L"InstallPackages.xml", L"Error opening zip file");
}

TEST_F(LayoutFileTest, ArchiveFileCachedOrOpenedOnEveryRead) {
  const auto zip = BuildZip({{"Main.xml", "<Window/>"}});
  ASSERT_TRUE(folder_.Write("skin.zip", std::string(zip.bytes.begin(), zip.bytes.end())));
  CSkinStorage::SetResourcePath(folder_.Path());

  ASSERT_TRUE(CSkinStorage::SetSkinArchive(std::wstring(L"skin.zip")));
  EXPECT_NE(CSkinStorage::GetSkinArchiveHandle(), nullptr);
  ExpectLoads(L"main.xml", L"Window");

  ASSERT_TRUE(CSkinStorage::SetSkinArchive(std::wstring(L"skin.zip"), false));
  EXPECT_FALSE(CSkinStorage::IsSkinArchiveCached());
  EXPECT_EQ(CSkinStorage::GetSkinArchiveHandle(), nullptr);
  ExpectLoads(L"Main.xml", L"Window");
  // Replaced on disk: the next read sees the new archive.
  const auto other = BuildZip({{"Main.xml", "<Other/>"}});
  ASSERT_TRUE(folder_.Write("skin.zip", std::string(other.bytes.begin(), other.bytes.end())));
  ExpectLoads(L"Main.xml", L"Other");
}

TEST_F(LayoutFileTest, ArchiveBytesStayValidAfterTheCallerFreesThem) {
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
