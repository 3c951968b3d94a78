// The download writer on real files: appending to a partial file, truncation, and the error
// classes it reports. The disk-full case uses the harness's test drive D: (a 160 MiB tmpfs).
#include "http/DownloadWriteFile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "http/HttpResult.h"
#include "support/TestFiles.h"

using testing_support::FileExists;
using testing_support::FileSizeOf;
using testing_support::ReadBinaryFile;
using testing_support::TempFolder;
using testing_support::WriteBinaryFile;

namespace {

int32_t WriteText(DownloadWriteFile& writer, const std::string& text) {
  return writer.Write(text.data(), static_cast<uint32_t>(text.size()));
}

TEST(DownloadWriteFile, AppendsToAPartialFileAndCreatesAMissingOne) {
  TempFolder folder(L"writer");
  const std::wstring partial = folder / L"qvinstaller.exe.part";
  ASSERT_TRUE(WriteBinaryFile(partial, "first half|"));

  DownloadWriteFile writer;
  ASSERT_TRUE(writer.Open(partial));
  EXPECT_TRUE(writer.IsOpen());
  EXPECT_EQ(WriteText(writer, "second half"), 11);
  EXPECT_EQ(WriteText(writer, ""), 0);
  // Others may read the file while it is written, but not write it.
  HANDLE reader = ::CreateFileW(partial.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  if (reader != INVALID_HANDLE_VALUE) ::CloseHandle(reader);
  HANDLE other = ::CreateFileW(partial.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(other, INVALID_HANDLE_VALUE);
  if (other != INVALID_HANDLE_VALUE) ::CloseHandle(other);
  writer.Close();
  EXPECT_FALSE(writer.IsOpen());
  EXPECT_EQ(ReadBinaryFile(partial), "first half|second half");

  const std::wstring fresh = folder / L"new.part";
  ASSERT_TRUE(writer.Open(fresh));
  EXPECT_EQ(WriteText(writer, "abc"), 3);
  // Opening again closes the file held before.
  ASSERT_TRUE(writer.Open(partial));
  EXPECT_EQ(WriteText(writer, "!"), 1);
  writer.Close();
  EXPECT_EQ(ReadBinaryFile(fresh), "abc");
  EXPECT_EQ(ReadBinaryFile(partial), "first half|second half!");
}

TEST(DownloadWriteFile, TruncateEmptiesAnOpenFileAndDeletesAClosedOne) {
  TempFolder folder(L"writer");
  const std::wstring path = folder / L"pkg.part";
  ASSERT_TRUE(WriteBinaryFile(path, std::string(5000, 'x')));

  DownloadWriteFile writer;
  ASSERT_TRUE(writer.Open(path));
  writer.Truncate();
  EXPECT_EQ(FileSizeOf(path), 0);
  // The next write starts at byte 0, not behind the old end.
  EXPECT_EQ(WriteText(writer, "fresh"), 5);
  writer.Close();
  EXPECT_EQ(ReadBinaryFile(path), "fresh");

  writer.Truncate();
  EXPECT_FALSE(FileExists(path));
  writer.Truncate();  // nothing left to delete
  EXPECT_FALSE(FileExists(path));

  DownloadWriteFile neverOpened;
  neverOpened.Truncate();  // no path yet: nothing happens
}

TEST(DownloadWriteFile, ErrorClassesOfOpenAndWrite) {
  TempFolder folder(L"writer");

  // A body for a file that is not open: class 3, code 2001.
  DownloadWriteFile writer;
  EXPECT_EQ(WriteText(writer, "data"), -1);
  EXPECT_EQ(writer.errorKind, http_result::kApplication);
  EXPECT_EQ(writer.errorCode, http_result::kNoOutputFile);

  // A file that cannot be opened: class 1 with the system's code.
  EXPECT_FALSE(writer.Open(folder / L"missing\\pkg.part"));
  EXPECT_EQ(writer.errorKind, http_result::kSystem);
  EXPECT_EQ(writer.errorCode, ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(writer.IsOpen());
  EXPECT_EQ(WriteText(writer, "data"), -1);
  EXPECT_EQ(writer.errorCode, http_result::kNoOutputFile);

  const std::wstring held = folder / L"held.part";
  HANDLE exclusive = ::CreateFileW(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                   nullptr);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(writer.Open(held));
  EXPECT_EQ(writer.errorKind, http_result::kSystem);
  EXPECT_EQ(writer.errorCode, ERROR_SHARING_VIOLATION);
  ::CloseHandle(exclusive);

  // A successful open after a failed one; Close forgets the error.
  ASSERT_TRUE(writer.Open(held));
  writer.Close();
  EXPECT_EQ(writer.errorKind, 0);
  EXPECT_EQ(writer.errorCode, 0);
}

uint64_t FreeBytesOn(const wchar_t* root) {
  ULARGE_INTEGER free = {};
  return ::GetDiskFreeSpaceExW(root, &free, nullptr, nullptr) ? free.QuadPart : 0;
}

// A full disk fails the write with class 1, and what was written before stays.
TEST(DownloadWriteFile, WriteOnAFullDiskReportsTheSystemError) {
  wchar_t layout[128] = L"";
  ASSERT_GT(::GetEnvironmentVariableW(L"KELTO_TEST_DRIVES", layout, 128), 0u)
      << "the test drives are missing: run inside tools/run-isolated.sh after "
         "kelto_harness_up (tools/harness.sh)";
  const std::wstring filler = L"D:\\writer-filler.bin";
  const std::wstring part = L"D:\\writer-full.part";
  ::DeleteFileW(filler.c_str());
  ::DeleteFileW(part.c_str());
  const uint64_t free = FreeBytesOn(L"D:\\");
  ASSERT_GT(free, 64u * 1024);
  ASSERT_TRUE(testing_support::WriteTestFile(filler, free - 16 * 1024));

  DownloadWriteFile writer;
  ASSERT_TRUE(writer.Open(part));
  const std::string block(8 * 1024, 'p');
  EXPECT_EQ(WriteText(writer, block), 8 * 1024);
  // The system takes what still fits, and the file object reports the short write ...
  const std::string tooMuch(64 * 1024, 'q');
  EXPECT_EQ(WriteText(writer, tooMuch), -1);
  EXPECT_EQ(writer.errorKind, http_result::kSystem);
  EXPECT_EQ(writer.errorCode, CFileExException::kShortWrite);
  // ... and with nothing left, the system's own code.
  EXPECT_EQ(WriteText(writer, tooMuch), -1);
  EXPECT_EQ(writer.errorKind, http_result::kSystem);
  EXPECT_EQ(writer.errorCode, ERROR_DISK_FULL);
  writer.Close();
  EXPECT_EQ(ReadBinaryFile(part).substr(0, 8 * 1024), block);

  ::DeleteFileW(filler.c_str());
  ::DeleteFileW(part.c_str());
}

}  // namespace
