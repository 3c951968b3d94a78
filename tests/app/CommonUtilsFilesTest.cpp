// The folder and file routines of the common utilities, on real files under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "app/CommonUtils.h"
#include "support/TestFiles.h"

using testing_support::FileExists;
using testing_support::FolderExists;
using testing_support::MakeFolderLink;
using testing_support::TempFolder;
using testing_support::WriteTestFile;

namespace {

// Holds a file open without delete sharing, as a virus scanner or the game itself may, and
// lets go after `releaseAfterMs` on a thread of its own.
class FileHolder {
 public:
  explicit FileHolder(const std::wstring& path)
      : file_(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~FileHolder() {
    if (releaser_.joinable()) releaser_.join();
    Release();
  }
  bool holding() const { return file_ != INVALID_HANDLE_VALUE; }
  void ReleaseAfter(DWORD ms) {
    releaser_ = std::thread([this, ms] {
      ::Sleep(ms);
      Release();
    });
  }

 private:
  void Release() {
    if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
  }
  HANDLE file_;
  std::thread releaser_;
};

TEST(ModuleDir, IsThisProgramsFolderWithoutTrailingSeparator) {
  wchar_t self[MAX_PATH];
  ASSERT_GT(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  const std::wstring expected = ParentDir(self);
  EXPECT_EQ(ModuleDir(), expected);
  EXPECT_NE(ModuleDir().back(), L'\\');
  EXPECT_TRUE(FolderExists(ModuleDir()));
}

TEST(CreateDir, CreatesEveryMissingParentAndAcceptsAnExistingFolder) {
  TempFolder temp;
  const std::wstring deep = temp / L"凯途网络\\凯途星联\\bin";
  EXPECT_TRUE(CreateDir(deep));
  EXPECT_TRUE(FolderExists(deep));
  EXPECT_TRUE(CreateDir(deep));  // exists already
  EXPECT_TRUE(CreateDir(temp.path() + L"\\"));
}

TEST(CreateDir, FailsWhereNoFolderCanBe) {
  TempFolder temp;
  // A file in the way is not a folder, however the path is spelt.
  ASSERT_TRUE(WriteTestFile(temp / L"occupied"));
  EXPECT_FALSE(CreateDir(temp / L"occupied"));
  EXPECT_FALSE(CreateDir(temp / L"occupied\\sub"));
  EXPECT_FALSE(CreateDir(L"G:\\凯途网络\\凯途星联"));  // no drive G
  EXPECT_FALSE(CreateDir(temp / L"bad|name"));
  EXPECT_FALSE(CreateDir(L""));
}

TEST(CreateEmptyFile, CreatesItsFolderAndTruncatesAnOldFile) {
  TempFolder temp;
  const std::wstring fresh = temp / L"新\\文件夹\\probe.qvxw";
  EXPECT_TRUE(CreateEmptyFile(fresh));
  EXPECT_EQ(FileSize(fresh), 0);

  const std::wstring old = temp / L"old.bin";
  ASSERT_TRUE(WriteTestFile(old, 5000));
  EXPECT_TRUE(CreateEmptyFile(old));
  EXPECT_EQ(FileSize(old), 0);

  EXPECT_FALSE(CreateEmptyFile(temp / L"a?b"));
}

TEST(DeleteFileWithRetry, TreatsAMissingFileAsDeleted) {
  TempFolder temp;
  EXPECT_TRUE(DeleteFileWithRetry(temp / L"never-there.exe", 0));
  const std::wstring file = temp / L"qvinstaller.exe";
  ASSERT_TRUE(WriteTestFile(file));
  EXPECT_TRUE(DeleteFileWithRetry(file, 0));
  EXPECT_FALSE(FileExists(file));
}

TEST(DeleteFileWithRetry, RetriesUntilAHolderLetsGo) {
  TempFolder temp;
  const std::wstring file = temp / L"qvinstaller.exe";
  ASSERT_TRUE(WriteTestFile(file));
  {
    FileHolder holder(file);
    ASSERT_TRUE(holder.holding());
    EXPECT_FALSE(DeleteFileWithRetry(file, 0));  // one attempt, and it is held
    EXPECT_TRUE(FileExists(file));
    // Retries wait 1, 101, 201, 301 and 401 ms: about a second for the holder to let go.
    holder.ReleaseAfter(100);
    EXPECT_TRUE(DeleteFileWithRetry(file, 5));
  }
  EXPECT_FALSE(FileExists(file));
}

TEST(FileSize, ReadsSizesAlsoOfFilesOthersHoldOpen) {
  TempFolder temp;
  EXPECT_EQ(FileSize(temp / L"missing.tmp"), -1);
  EXPECT_EQ(FileSize(L""), -1);

  const std::wstring file = temp / L"包.tmp";
  ASSERT_TRUE(WriteTestFile(file, 12345));
  EXPECT_EQ(FileSize(file), 12345);

  // A writer that shares nothing: the size still comes from the folder listing.
  HANDLE writer = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FileSize(file), 12345);
  ::CloseHandle(writer);

  // Beyond 4 GiB the high word counts (a sparse file: no real space is used).
  const std::wstring big = temp / L"big.tmp";
  HANDLE handle = ::CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = (5LL << 30) + 7;
  ASSERT_TRUE(::SetFilePointerEx(handle, size, nullptr, FILE_BEGIN));
  ASSERT_TRUE(::SetEndOfFile(handle));
  ::CloseHandle(handle);
  EXPECT_EQ(FileSize(big), (5LL << 30) + 7);
}

TEST(DeleteTree, RemovesAWholeTreeWithOrWithoutTrailingSeparator) {
  TempFolder temp;
  const std::wstring bin = temp / L"bin";
  ASSERT_TRUE(WriteTestFile(bin + L"\\KeltoGame.exe"));
  ASSERT_TRUE(WriteTestFile(bin + L"\\data\\地图\\map1.pak", 70000));
  ASSERT_TRUE(WriteTestFile(bin + L"\\data\\noextension"));
  ASSERT_TRUE(CreateDir(bin + L"\\empty\\deeper"));
  ASSERT_TRUE(WriteTestFile(temp / L"patch\\p1.dat"));
  ASSERT_TRUE(WriteTestFile(temp / L"binary.dat"));  // a neighbour whose name begins alike

  EXPECT_TRUE(DeleteTree(bin + L"\\"));
  EXPECT_FALSE(FolderExists(bin));
  EXPECT_TRUE(DeleteTree(temp / L"patch"));
  EXPECT_FALSE(FolderExists(temp / L"patch"));
  EXPECT_TRUE(FileExists(temp / L"binary.dat"));
  EXPECT_TRUE(DeleteTree(temp / L"never-there\\"));
}

TEST(DeleteTree, NeverEntersALinkToAFolderOutsideTheTree) {
  TempFolder temp;
  const std::wstring outside = temp / L"saves";
  ASSERT_TRUE(WriteTestFile(outside + L"\\slot1.sav"));
  const std::wstring bin = temp / L"game\\bin";
  ASSERT_TRUE(WriteTestFile(bin + L"\\KeltoGame.exe"));
  ASSERT_TRUE(MakeFolderLink(bin + L"\\saves", outside));

  DeleteTree(bin + L"\\");
  EXPECT_TRUE(FileExists(outside + L"\\slot1.sav"));
  EXPECT_FALSE(FileExists(bin + L"\\KeltoGame.exe"));
}

TEST(DeleteTree, RefusesRelativePathsAndDriveRoots) {
  TempFolder temp;
  ASSERT_TRUE(WriteTestFile(temp / L"bin\\keep.dll"));
  wchar_t previous[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(::SetCurrentDirectoryW(temp.path().c_str()));
  EXPECT_FALSE(DeleteTree(L"bin\\"));
  EXPECT_FALSE(DeleteTree(L""));
  ::SetCurrentDirectoryW(previous);
  EXPECT_TRUE(FileExists(temp / L"bin\\keep.dll"));
}

TEST(MoveFileWithRetry, ReplacesTheTargetAndNeedsASource) {
  TempFolder temp;
  const std::wstring part = temp / L"qvinstaller.exe.tmp";
  const std::wstring package = temp / L"qvinstaller.exe";
  EXPECT_FALSE(MoveFileWithRetry(part, package));
  EXPECT_FALSE(FileExists(package));

  ASSERT_TRUE(WriteTestFile(part, 4321));
  ASSERT_TRUE(WriteTestFile(package, 10));
  EXPECT_TRUE(MoveFileWithRetry(part, package));
  EXPECT_FALSE(FileExists(part));
  EXPECT_EQ(FileSize(package), 4321);
}

TEST(MoveFileWithRetry, RetriesWhileTheTargetIsHeld) {
  TempFolder temp;
  const std::wstring part = temp / L"qvinstaller.exe.tmp";
  const std::wstring package = temp / L"qvinstaller.exe";
  ASSERT_TRUE(WriteTestFile(part, 4321));
  ASSERT_TRUE(WriteTestFile(package, 10));
  {
    // Held through all four attempts (about 0.3 s of waiting): the move fails, nothing lost.
    FileHolder holder(package);
    ASSERT_TRUE(holder.holding());
    EXPECT_FALSE(MoveFileWithRetry(part, package));
    EXPECT_EQ(FileSize(part), 4321);
    EXPECT_EQ(FileSize(package), 10);
    // Let go during the waits.
    holder.ReleaseAfter(10);
    EXPECT_TRUE(MoveFileWithRetry(part, package));
  }
  EXPECT_EQ(FileSize(package), 4321);
}

}  // namespace
