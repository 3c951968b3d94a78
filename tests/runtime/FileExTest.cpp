#include "runtime/FileEx.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/TestFiles.h"

namespace {

// The download writer's flags: read and write, others may read, not inherited, created
// when missing, content kept.
constexpr unsigned kResume = 0xB0A2;

class FileExTest : public testing::Test {
 protected:
  testing_support::TempFolder folder_;
};

// Game packages exceed 4 GiB: positions and lengths beyond 32 bits must hold. The file is
// sparse, so it costs no disk space.
TEST_F(FileExTest, PositionsAndLengthsBeyondFourGiB) {
  constexpr uint64_t kGiB = 1ull << 30;
  CFileEx file;
  ASSERT_TRUE(file.Open(folder_ / L"big.bin", kResume));
  file.SetLength(5 * kGiB);
  EXPECT_EQ(file.GetPosition(), 5 * kGiB);
  EXPECT_EQ(file.Seek(static_cast<int64_t>(4 * kGiB + 7), CFileEx::Begin), 4 * kGiB + 7);
  file.Write("tail", 4);
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
  ASSERT_TRUE(file.Open(folder_ / L"big.bin", kResume));
  EXPECT_EQ(file.SeekToEnd(), 4 * kGiB + 10);
}

TEST_F(FileExTest, HandlesAreReleasedByReopenAndDestruction) {
  const std::wstring a = folder_ / L"a.bin";
  const std::wstring b = folder_ / L"b.bin";
  const unsigned exclusive = CFileEx::OpenReadWrite | CFileEx::Create;
  CFileEx probe;
  {
    CFileEx file;
    ASSERT_TRUE(file.Open(a, exclusive));
    EXPECT_FALSE(probe.Open(a, CFileEx::OpenRead | CFileEx::ShareDenyNone));
    ASSERT_TRUE(file.Open(b, exclusive));  // releases a
    EXPECT_TRUE(probe.Open(a, exclusive));
    probe.Close();
  }
  EXPECT_TRUE(probe.Open(b, exclusive));
  // A destructor must not throw, even when closing fails: here the handle is already gone.
  {
    CFileEx file;
    ASSERT_TRUE(file.Open(a, exclusive));
    ::CloseHandle(file.handle());
  }
}

}  // namespace
