#include "http/BufferStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

std::string Pattern(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + seed + i / 509) & 0xFF);
  return bytes;
}

TEST(IBufferStream, ReadsExactlyWhatIsAskedThenReportsTheEnd) {
  const std::string body = "name=kelto&id=12";
  IBufferStream in(body.data(), static_cast<uint32_t>(body.size()));
  EXPECT_EQ(in.GetSize(), body.size());

  char buffer[32] = {};
  EXPECT_EQ(in.Read(buffer, 5), 5);
  EXPECT_EQ(std::string(buffer, 5), "name=");
  // A read past the end fails as a whole and moves nothing ...
  EXPECT_EQ(in.Read(buffer, 12), -1);
  EXPECT_EQ(in.Read(buffer, 11), 11);
  EXPECT_EQ(std::string(buffer, 11), "kelto&id=12");
  // ... and once everything has been read, every read gives 0.
  EXPECT_EQ(in.Read(buffer, 1), 0);
  EXPECT_EQ(in.Read(buffer, 0), 0);
}

TEST(IBufferStream, KeepsItsOwnCopyAndForgetsItOnClose) {
  std::string body = "abc";
  IBufferStream in(body.data(), 3);
  body = "xyz";
  char buffer[3];
  ASSERT_EQ(in.Read(buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), "abc");

  in.Close();
  EXPECT_EQ(in.GetSize(), 0u);
  EXPECT_EQ(in.Read(buffer, 1), 0);

  IBufferStream empty(nullptr, 0);
  EXPECT_EQ(empty.GetSize(), 0u);
  EXPECT_EQ(empty.Read(buffer, 1), 0);
}

TEST(OBufferStream, GrowsByDoublingAndKeepsEveryByte) {
  OBufferStream out;
  EXPECT_EQ(out.capacity(), OBufferStream::kInitialCapacity);
  // 5 MiB in libcurl-sized pieces: 2 MiB doubles to 4, then to 8 MiB.
  const std::string body = Pattern(5u << 20, 3);
  for (size_t at = 0; at < body.size(); at += 16384) {
    const uint32_t piece = static_cast<uint32_t>(std::min<size_t>(16384, body.size() - at));
    ASSERT_EQ(out.Write(body.data() + at, piece), static_cast<int32_t>(piece));
  }
  EXPECT_EQ(out.size(), body.size());
  EXPECT_EQ(out.capacity(), 8u << 20);
  EXPECT_EQ(std::string(out.data(), out.size()), body);
  EXPECT_EQ(out.errorKind, 0);
  EXPECT_EQ(out.errorCode, 0);
}

TEST(OBufferStream, CloseAndTruncateEmptyItAndAFreshBufferStartsSmall) {
  OBufferStream out;
  ASSERT_EQ(out.Write("hello", 5), 5);
  out.Truncate();
  EXPECT_EQ(out.size(), 0u);
  EXPECT_EQ(out.capacity(), 0u);

  // After Close the buffer starts again at 512 KiB and doubles from there.
  ASSERT_EQ(out.Write("x", 1), 1);
  EXPECT_EQ(out.capacity(), OBufferStream::kRegrowCapacity);
  const std::string more = Pattern(600000, 9);
  ASSERT_EQ(out.Write(more.data(), static_cast<uint32_t>(more.size())), 600000);
  EXPECT_EQ(out.capacity(), 2u * OBufferStream::kRegrowCapacity);
  EXPECT_EQ(std::string(out.data(), out.size()), "x" + more);
}

// A server that never stops sending cannot make a command take all the memory there is: the
// write that would pass the limit fails with the out-of-memory error and keeps what came.
TEST(OBufferStream, RefusesABodyBeyondItsLimit) {
  OBufferStream out(3u << 20);
  const std::string piece = Pattern(1u << 20, 1);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(out.Write(piece.data(), 1u << 20), 1 << 20);
  EXPECT_EQ(out.Write("y", 1), -1);
  EXPECT_EQ(out.errorKind, 1);
  EXPECT_EQ(out.errorCode, OBufferStream::kOutOfMemoryError);
  EXPECT_EQ(out.size(), 3u << 20);
  EXPECT_LE(out.capacity(), (3u << 20) + 10);
  EXPECT_EQ(std::string(out.data(), 1u << 20), piece);
}

}  // namespace
