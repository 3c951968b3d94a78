#include "runtime/FileEx.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/TestFiles.h"
#include "support/Thrown.h"

namespace {

// What `operation` threw; an empty record when it threw nothing.
template <typename Operation>
CFileExException Failure(Operation operation) {
  return testing_support::Thrown<CFileExException>(operation);
}

using testing_support::FileSizeOf;
using testing_support::ReadBinaryFile;
using testing_support::TempFolder;
using testing_support::WriteBinaryFile;

// The flag words the installer's callers pass: the download writer's (read and write, others
// may read, not inherited, created when missing, content kept) and the manifest copy's (write,
// others may read, not inherited, created or truncated).
constexpr unsigned kReadWrite = 0xB0A2;
constexpr unsigned kManifestCopy = 0x90A1;

class FileExTest : public testing::Test {
 protected:
  TempFolder folder_;
};

TEST_F(FileExTest, OpeningAMissingFileFailsWithoutThrowing) {
  CFileEx file;
  CFileExException error;
  EXPECT_FALSE(file.Open(folder_ / L"missing.bin", CFileEx::OpenRead, &error));
  EXPECT_EQ(error.osError, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(error.text, L"INVALID_HANDLE_VALUE");
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.Open(folder_ / L"missing.bin", CFileEx::OpenRead));
  EXPECT_FALSE(file.Open(folder_ / L"no\\such\\folder.bin", kManifestCopy, &error));
  EXPECT_EQ(error.osError, ERROR_PATH_NOT_FOUND);
}

TEST_F(FileExTest, CreateTruncatesUnlessNoTruncate) {
  ASSERT_TRUE(WriteBinaryFile(folder_ / L"a.bin", "previous content"));
  CFileEx file;
  ASSERT_TRUE(file.Open(folder_ / L"a.bin", kReadWrite));
  EXPECT_EQ(file.SeekToEnd(), 16u);
  file.Write("+", 1);
  file.Close();
  EXPECT_EQ(ReadBinaryFile(folder_ / L"a.bin"), "previous content+");

  ASSERT_TRUE(file.Open(folder_ / L"a.bin", kManifestCopy));
  EXPECT_EQ(file.SeekToEnd(), 0u);
  file.Write("new", 3);
  file.Flush();
  file.Close();
  EXPECT_EQ(ReadBinaryFile(folder_ / L"a.bin"), "new");

  // Create with NoTruncate makes a missing file.
  ASSERT_TRUE(file.Open(folder_ / L"fresh.bin", kReadWrite));
  EXPECT_EQ(file.fileName(), folder_ / L"fresh.bin");
  file.Close();
  EXPECT_EQ(FileSizeOf(folder_ / L"fresh.bin"), 0);
  EXPECT_TRUE(file.fileName().empty());
}

TEST_F(FileExTest, ReadWriteSeekAndSetLength) {
  ASSERT_TRUE(WriteBinaryFile(folder_ / L"h.bin", std::string(100, 'x')));
  CFileEx file;
  ASSERT_TRUE(file.Open(folder_ / L"h.bin", CFileEx::OpenReadWrite | CFileEx::ShareExclusive));
  file.SetLength(10);
  EXPECT_EQ(file.GetPosition(), 10u);
  EXPECT_EQ(file.SeekToEnd(), 10u);
  file.Write("0123456789", 10);
  EXPECT_EQ(file.Seek(-15, CFileEx::Current), 5u);
  char buffer[64] = {};
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 15u);  // short read at the end of the file
  EXPECT_EQ(std::string(buffer, 15), "xxxxx0123456789");
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
  EXPECT_EQ(file.Seek(3, CFileEx::Begin), 3u);
  EXPECT_EQ(file.Read(buffer, 2), 2u);
  EXPECT_EQ(file.GetPosition(), 5u);
  file.Close();
  EXPECT_EQ(FileSizeOf(folder_ / L"h.bin"), 20);

  // A position before the start is refused by the system and thrown.
  ASSERT_TRUE(file.Open(folder_ / L"h.bin", CFileEx::OpenRead));
  EXPECT_EQ(Failure([&] { file.Seek(-1, CFileEx::Begin); }).osError, ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(file.GetPosition(), 0u);
}

// Game packages exceed 4 GiB: positions and lengths beyond 32 bits must hold. The file is
// sparse, so it costs no disk space.
TEST_F(FileExTest, PositionsAndLengthsBeyondFourGiB) {
  constexpr uint64_t kGiB = 1ull << 30;
  CFileEx file;
  ASSERT_TRUE(file.Open(folder_ / L"big.bin", kReadWrite));
  file.SetLength(5 * kGiB);
  EXPECT_EQ(file.GetPosition(), 5 * kGiB);
  EXPECT_EQ(file.SeekToEnd(), 5 * kGiB);
  EXPECT_EQ(file.Seek(static_cast<int64_t>(4 * kGiB + 7), CFileEx::Begin), 4 * kGiB + 7);
  file.Write("tail", 4);
  EXPECT_EQ(file.GetPosition(), 4 * kGiB + 11);
  EXPECT_EQ(file.Seek(-static_cast<int64_t>(2 * kGiB), CFileEx::End), 3 * kGiB);
  EXPECT_EQ(file.Seek(static_cast<int64_t>(kGiB) + 7, CFileEx::Current), 4 * kGiB + 7);
  char buffer[4] = {};
  EXPECT_EQ(file.Read(buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, 4), "tail");
  // Resuming a partial package: cut it just past 4 GiB and append after it.
  file.SetLength(4 * kGiB + 9);
  EXPECT_EQ(file.SeekToEnd(), 4 * kGiB + 9);
  file.Write("!", 1);
  file.Close();
  EXPECT_EQ(FileSizeOf(folder_ / L"big.bin"), static_cast<long long>(4 * kGiB + 10));
}

TEST_F(FileExTest, ShareFlagsAndInheritance) {
  ASSERT_TRUE(WriteBinaryFile(folder_ / L"s.bin", "s"));
  const std::wstring path = folder_ / L"s.bin";
  CFileEx holder, other;
  CFileExException error;

  ASSERT_TRUE(holder.Open(path, CFileEx::OpenReadWrite | CFileEx::ShareDenyWrite));
  EXPECT_TRUE(other.Open(path, CFileEx::OpenRead | CFileEx::ShareDenyNone));
  other.Close();
  EXPECT_FALSE(other.Open(path, CFileEx::OpenWrite | CFileEx::ShareDenyNone, &error));
  EXPECT_EQ(error.osError, ERROR_SHARING_VIOLATION);

  ASSERT_TRUE(holder.Open(path, CFileEx::OpenRead | CFileEx::ShareDenyRead));
  EXPECT_FALSE(other.Open(path, CFileEx::OpenRead | CFileEx::ShareDenyNone));
  EXPECT_TRUE(other.Open(path, CFileEx::OpenWrite | CFileEx::ShareDenyNone));
  other.Close();

  ASSERT_TRUE(holder.Open(path, CFileEx::OpenRead | CFileEx::ShareExclusive));
  EXPECT_FALSE(other.Open(path, CFileEx::OpenRead | CFileEx::ShareDenyNone));

  ASSERT_TRUE(holder.Open(path, CFileEx::OpenRead | CFileEx::ShareDenyNone));
  EXPECT_TRUE(other.Open(path, CFileEx::OpenReadWrite | CFileEx::ShareDenyNone));

  DWORD info = 0;
  ASSERT_TRUE(::GetHandleInformation(other.handle(), &info));
  EXPECT_TRUE(info & HANDLE_FLAG_INHERIT);
  ASSERT_TRUE(other.Open(path, CFileEx::OpenRead | CFileEx::ShareDenyNone | CFileEx::NoInherit));
  ASSERT_TRUE(::GetHandleInformation(other.handle(), &info));
  EXPECT_FALSE(info & HANDLE_FLAG_INHERIT);
}

TEST_F(FileExTest, FailuresAfterOpenThrowTheSystemError) {
  ASSERT_TRUE(WriteBinaryFile(folder_ / L"r.bin", "read only"));
  CFileEx file;
  ASSERT_TRUE(file.Open(folder_ / L"r.bin", CFileEx::OpenRead));
  CFileExException e = Failure([&] { file.Write("x", 1); });
  EXPECT_EQ(e.osError, ERROR_ACCESS_DENIED);
  EXPECT_EQ(e.text, folder_ / L"r.bin");
  file.Abort();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_TRUE(file.fileName().empty());

  // A closed object hands the invalid handle to the system, which refuses it.
  EXPECT_EQ(Failure([&] { file.GetPosition(); }).osError, ERROR_INVALID_HANDLE);
  EXPECT_EQ(Failure([&] { file.Seek(0, CFileEx::End); }).osError, ERROR_INVALID_HANDLE);
  EXPECT_EQ(Failure([&] { file.SetLength(1); }).osError, ERROR_INVALID_HANDLE);
  char c;
  EXPECT_EQ(Failure([&] { file.Read(&c, 1); }).osError, ERROR_INVALID_HANDLE);
  EXPECT_EQ(Failure([&] { file.Write(&c, 1); }).osError, ERROR_INVALID_HANDLE);
  // Zero-byte transfers make no system call, so even a closed object does not throw; nor do
  // the closing operations.
  EXPECT_EQ(file.Read(&c, 0), 0u);
  file.Write(&c, 0);
  file.Flush();
  file.Close();
  file.Abort();
}

TEST_F(FileExTest, HandlesAreReleasedByCloseReopenAndDestruction) {
  const std::wstring a = (folder_ / L"a.bin"), b = folder_ / L"b.bin";
  const unsigned exclusive = CFileEx::OpenReadWrite | CFileEx::Create;
  CFileEx probe;
  {
    CFileEx file;
    ASSERT_TRUE(file.Open(a, exclusive));
    EXPECT_FALSE(probe.Open(a, CFileEx::OpenRead | CFileEx::ShareDenyNone));
    // Opening another file releases the first.
    ASSERT_TRUE(file.Open(b, exclusive));
    EXPECT_TRUE(probe.Open(a, exclusive));
    probe.Close();
    EXPECT_FALSE(probe.Open(b, CFileEx::OpenRead | CFileEx::ShareDenyNone));
  }
  EXPECT_TRUE(probe.Open(b, exclusive));
  probe.Close();
  EXPECT_TRUE(probe.Open(b, exclusive));
}

}  // namespace
