#include "runtime/MD5.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#if defined(_WIN32)
#include <io.h>
#include <process.h>
#define close _close
#define fileno _fileno
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace {

// Scratch files live in a folder of this process's own: test processes running at the same
// time never write to one another's files.
class MD5Test : public testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(folder_); }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // A new file holding `content`, open for reading.
  std::FILE* File(const std::string& content) {
    const std::string path = (folder_ / std::to_string(files_++)).string();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return nullptr;
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
    return std::fopen(path.c_str(), "rb");
  }

  std::string Digest(const std::string& content) {
    std::FILE* f = File(content);
    return f ? MD5(f).hex_digest() : "<no file>";
  }

  const std::filesystem::path folder_ =
      std::filesystem::temp_directory_path() / ("kelto-md5-" + std::to_string(getpid()));
  int files_ = 0;
};

TEST_F(MD5Test, DigestsOfFiles) {
  EXPECT_EQ(Digest(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Digest("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Digest("1234567890123456789012345678901234567890"
                   "1234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
  // Sizes around the 64-byte blocks, the padding limit of 56 bytes and the 256 KiB reads;
  // digests from an independent implementation.
  const struct {
    size_t size;
    const char* digest;
  } cases[] = {
      {55, "8d24280288a696559fd8d5aa1b6d8c6e"},     {56, "ef2c72b7254c92459e498eddd4ace573"},
      {64, "a2fcb39a253b9b785b1f97518fa37683"},     {65, "e49fe82d0bb12967a196c85de313e446"},
      {262143, "7460aaca32416d02d99ffc9082433165"}, {262144, "3cd2f99b33ba34daa35b7d09e37078c8"},
      {262145, "b35d7b804832d6854bbfa779324ea7b6"}, {1048593, "3a72db49382a0c6130aaf91066e72b69"},
  };
  for (const auto& c : cases) {
    std::string data(c.size, '\0');
    for (size_t i = 0; i < c.size; ++i) data[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    EXPECT_EQ(Digest(data), c.digest) << c.size << " bytes";
  }
}

TEST_F(MD5Test, ReadErrorIsReportedBesideTheDigest) {
  EXPECT_FALSE(MD5(File("abc")).readFailed());
  // A stream whose descriptor is gone underneath it: every read fails.
  std::FILE* broken = File("content that cannot be read");
  ASSERT_NE(broken, nullptr);
  close(fileno(broken));
  MD5 md5(broken);
  EXPECT_TRUE(md5.readFailed());
  EXPECT_STREQ(md5.hex_digest(), "d41d8cd98f00b204e9800998ecf8427e");
}

}  // namespace
