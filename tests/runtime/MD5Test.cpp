#include "runtime/MD5.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

void CloseDescriptorOf(std::FILE* stream) {
#if defined(_WIN32)
  _close(_fileno(stream));
#else
  close(fileno(stream));
#endif
}

// A file of the test's own in the temporary folder, removed afterwards.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& content) {
    const char* dir = std::getenv("TEMP");
    if (!dir) dir = std::getenv("TMPDIR");
    if (!dir) dir = "/tmp";
    static int serial = 0;
    path_ = std::string(dir) + "/kelto-md5-" + std::to_string(std::rand()) + "-" +
            std::to_string(serial++) + ".bin";
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    if (f) {
      std::fwrite(content.data(), 1, content.size(), f);
      std::fclose(f);
    }
  }
  ~ScratchFile() { std::remove(path_.c_str()); }
  std::FILE* OpenForReading() const { return std::fopen(path_.c_str(), "rb"); }
  // A stream whose descriptor is gone underneath it: every read fails.
  std::FILE* OpenBroken() const {
    std::FILE* f = std::fopen(path_.c_str(), "rb");
    if (f) CloseDescriptorOf(f);
    return f;
  }

 private:
  std::string path_;
};

std::string FileDigest(const std::string& content, bool* readFailed = nullptr) {
  ScratchFile file(content);
  std::FILE* stream = file.OpenForReading();
  if (!stream) return "<cannot open>";
  MD5 md5(stream);
  if (readFailed) *readFailed = md5.readFailed();
  return md5.hex_digest();
}

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return s;
}

TEST(MD5, TestSuiteOfRfc1321ForFilesWithThoseContents) {
  EXPECT_EQ(FileDigest(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(FileDigest("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(FileDigest("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(FileDigest("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(FileDigest("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(FileDigest("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(FileDigest("1234567890123456789012345678901234567890"
                       "1234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

// Sizes around the 64-byte blocks, the padding limit of 56 bytes, 1 KiB and the read block.
TEST(MD5, FilesAcrossBlockBoundaries) {
  const struct {
    size_t size;
    const char* digest;  // from an independent MD5 implementation
  } cases[] = {
      {1, "93b885adfe0da089cdf634904fd59f71"},       {55, "8d24280288a696559fd8d5aa1b6d8c6e"},
      {56, "ef2c72b7254c92459e498eddd4ace573"},      {63, "c4c8c6d513f4e1604eb18508a1769364"},
      {64, "a2fcb39a253b9b785b1f97518fa37683"},      {65, "e49fe82d0bb12967a196c85de313e446"},
      {119, "1640deea49ebb258ec6ede18d4b2d2d7"},     {120, "05f879f7b542a7ebf0605adff67d4423"},
      {1023, "47d72a045d48a797640db7b5919f4912"},    {1024, "6cd8e81aa97eb4792758fbcb7304bf4d"},
      {1025, "f85a696adad4e94fc175c4afe0186cb6"},    {262143, "7460aaca32416d02d99ffc9082433165"},
      {262144, "3cd2f99b33ba34daa35b7d09e37078c8"},  {262145, "b35d7b804832d6854bbfa779324ea7b6"},
      {1048593, "3a72db49382a0c6130aaf91066e72b69"},
  };
  static_assert(MD5::kReadBlock == 262144, "the sizes above straddle the read block");
  for (const auto& c : cases) {
    EXPECT_EQ(FileDigest(Pattern(c.size)), c.digest) << c.size << " bytes";
  }
}

// Feeding the same bytes in pieces of any size gives the digest of the whole.
TEST(MD5, PiecesOfAnySizeGiveTheSameDigest) {
  const std::string data = Pattern(5000);
  for (size_t piece : {1u, 3u, 63u, 64u, 65u, 1000u, 4999u}) {
    MD5 md5;
    for (size_t at = 0; at < data.size(); at += piece) {
      md5.update(data.data() + at, std::min(piece, data.size() - at));
    }
    md5.finalize();
    EXPECT_STREQ(md5.hex_digest(), FileDigest(data).c_str()) << piece;
  }
}

TEST(MD5, MisuseIsReportedAndChangesNothing) {
  MD5 md5;
  md5.update("abc", 3);
  testing::internal::CaptureStderr();
  EXPECT_STREQ(md5.hex_digest(), "");
  md5.finalize();
  md5.update("more", 4);
  md5.finalize();
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_STREQ(md5.hex_digest(), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(errors,
            "MD5::hex_digest:  Can't get digest if you haven't finalized the digest!\n"
            "MD5::update:  Can't update a finalized digest!\n"
            "MD5::finalize:  Already finalized this digest!\n");
}

TEST(MD5, ReadErrorIsReportedBesideTheDigest) {
  bool failed = true;
  EXPECT_EQ(FileDigest("abc", &failed), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_FALSE(failed);

  ScratchFile file("content that cannot be read");
  std::FILE* broken = file.OpenBroken();
  ASSERT_NE(broken, nullptr);
  MD5 md5(broken);
  EXPECT_TRUE(md5.readFailed());
  EXPECT_STREQ(md5.hex_digest(), "d41d8cd98f00b204e9800998ecf8427e");

  MD5 none(nullptr);
  EXPECT_TRUE(none.readFailed());
}

}  // namespace
