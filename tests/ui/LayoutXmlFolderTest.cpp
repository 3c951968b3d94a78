// Layout files and archives read from a folder on disk (under Wine).
#include <string>

#include "LayoutFileTestBase.h"
#include "support/TestFiles.h"
#include "support/ZipWriter.h"

using SkinUI::CSkinStorage;
using testing_support::BuildZip;
using testing_support::TempFolder;
using testing_support::WriteBinaryFile;

namespace {

class LayoutFolderTest : public testing_support::LayoutFileTestBase {
 protected:
  bool Write(const wchar_t* name, const std::string& bytes) {
    return WriteBinaryFile(folder_ / name, bytes);
  }
  static std::string Bytes(const testing_support::ZipImage& zip) {
    return std::string(zip.bytes.begin(), zip.bytes.end());
  }

  TempFolder folder_{L"layout"};
};

}  // namespace

TEST_F(LayoutFolderTest, FolderFilesLoadWithTheirLimits) {
  ASSERT_TRUE(Write(L"MessageBox.xml", "<Window><Label/></Window>"));
  ASSERT_TRUE(Write(L"empty.xml", ""));
  ASSERT_TRUE(Write(L"limit.xml", LayoutOfSize(kLimit)));
  ASSERT_TRUE(Write(L"over.xml", LayoutOfSize(kLimit + 1)));
  CSkinStorage::SetResourcePath(folder_.path());

  ExpectLoads(L"MessageBox.xml", L"Window");
  ExpectLoads(L"limit.xml", L"Window");
  ExpectError(L"missing.xml", L"Error opening file");
  ExpectError(L"empty.xml", L"File is empty");
  ExpectError(L"over.xml", L"File too large");
}

TEST_F(LayoutFolderTest, ArchiveFileCachedOrOpenedOnEveryRead) {
  ASSERT_TRUE(Write(L"skin.zip", Bytes(BuildZip({{"Main.xml", "<Window/>"}}))));
  CSkinStorage::SetResourcePath(folder_.path());

  ASSERT_TRUE(CSkinStorage::SetSkinArchive(std::wstring(L"skin.zip")));
  EXPECT_NE(CSkinStorage::GetSkinArchiveHandle(), nullptr);
  ExpectLoads(L"main.xml", L"Window");

  ASSERT_TRUE(CSkinStorage::SetSkinArchive(std::wstring(L"skin.zip"), false));
  EXPECT_FALSE(CSkinStorage::IsSkinArchiveCached());
  EXPECT_EQ(CSkinStorage::GetSkinArchiveHandle(), nullptr);
  ExpectLoads(L"Main.xml", L"Window");
  // Replaced on disk: the next read sees the new archive.
  ASSERT_TRUE(Write(L"skin.zip", Bytes(BuildZip({{"Main.xml", "<Other/>"}}))));
  ExpectLoads(L"Main.xml", L"Other");
  ASSERT_TRUE(Write(L"skin.zip", "not an archive"));
  ExpectError(L"Main.xml", L"Error opening zip file");
}

TEST_F(LayoutFolderTest, MissingArchiveFileCannotBeOpened) {
  CSkinStorage::SetResourcePath(folder_.path());
  EXPECT_FALSE(CSkinStorage::SetSkinArchive(std::wstring(L"missing.zip")));
  EXPECT_EQ(CSkinStorage::GetSkinArchiveHandle(), nullptr);
  ExpectError(L"InstallPackages.xml", L"Error opening zip file");
}
