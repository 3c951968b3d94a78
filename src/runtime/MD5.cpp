#include "runtime/MD5.h"

#include <cstring>
#include <memory>

namespace {

inline uint32_t Rotate(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

// The four auxiliary functions, in forms with one operation fewer than RFC 1321's.
inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return y ^ (z & (x ^ y)); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }

#define MD5_STEP(f, a, b, c, d, x, s, ac) \
  a = b + Rotate(a + f(b, c, d) + (x) + static_cast<uint32_t>(ac), s)

inline uint32_t LoadLittleEndian(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline void StoreLittleEndian(uint32_t v, uint8_t* p) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

MD5::MD5() {
  state_[0] = 0x67452301;
  state_[1] = 0xefcdab89;
  state_[2] = 0x98badcfe;
  state_[3] = 0x10325476;
  count_[0] = count_[1] = 0;
  std::memset(buffer_, 0, sizeof buffer_);
  std::memset(digest_, 0, sizeof digest_);
  hexText_[0] = '\0';
}

MD5::MD5(std::FILE* file) : MD5() {
  if (!file) {
    readFailed_ = true;
    finalize();
    return;
  }
  // Large blocks: one system call per block instead of one per KiB.
  std::unique_ptr<uint8_t[]> block(new uint8_t[kReadBlock]);
  size_t got;
  while ((got = std::fread(block.get(), 1, kReadBlock, file)) > 0) update(block.get(), got);
  readFailed_ = std::ferror(file) != 0;
  std::fclose(file);
  finalize();
}

void MD5::update(const void* input, size_t length) {
  if (finalized_) {
    std::fputs("MD5::update:  Can't update a finalized digest!\n", stderr);
    return;
  }
  const uint8_t* bytes = static_cast<const uint8_t*>(input);
  size_t index = (count_[0] >> 3) & 0x3F;

  // The bit count, two 32-bit words with the carry.
  const uint64_t bits = (static_cast<uint64_t>(count_[1]) << 32 | count_[0]) +
                        (static_cast<uint64_t>(length) << 3);
  count_[0] = static_cast<uint32_t>(bits);
  count_[1] = static_cast<uint32_t>(bits >> 32);

  // 1. Complete the partial block kept from before.
  if (index != 0) {
    const size_t room = 64 - index;
    if (length < room) {
      std::memcpy(buffer_ + index, bytes, length);
      return;
    }
    std::memcpy(buffer_ + index, bytes, room);
    Transform(buffer_);
    bytes += room;
    length -= room;
  }
  // 2. Whole blocks straight from the input.
  for (; length >= 64; bytes += 64, length -= 64) Transform(bytes);
  // 3. Keep the rest.
  std::memcpy(buffer_, bytes, length);
}

void MD5::finalize() {
  if (finalized_) {
    std::fputs("MD5::finalize:  Already finalized this digest!\n", stderr);
    return;
  }
  uint8_t bitCount[8];
  StoreLittleEndian(count_[0], bitCount);
  StoreLittleEndian(count_[1], bitCount + 4);

  // Pad with 0x80 and zeros to 56 bytes modulo 64, then append the bit count.
  static const uint8_t kPadding[64] = {0x80};
  const size_t index = (count_[0] >> 3) & 0x3F;
  update(kPadding, index < 56 ? 56 - index : 120 - index);
  update(bitCount, 8);

  for (int i = 0; i < 4; ++i) StoreLittleEndian(state_[i], digest_ + 4 * i);
  std::memset(buffer_, 0, sizeof buffer_);
  finalized_ = true;
}

const char* MD5::hex_digest() {
  if (!finalized_) {
    std::fputs("MD5::hex_digest:  Can't get digest if you haven't finalized the digest!\n",
               stderr);
    hexText_[0] = '\0';
    return hexText_;
  }
  static const char kDigits[] = "0123456789abcdef";
  for (int i = 0; i < 16; ++i) {
    hexText_[2 * i] = kDigits[digest_[i] >> 4];
    hexText_[2 * i + 1] = kDigits[digest_[i] & 0xF];
  }
  hexText_[32] = '\0';
  return hexText_;
}

void MD5::Transform(const uint8_t* block) {
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = LoadLittleEndian(block + 4 * i);

  // Round 1.
  MD5_STEP(F, a, b, c, d, x[0], 7, 0xd76aa478);
  MD5_STEP(F, d, a, b, c, x[1], 12, 0xe8c7b756);
  MD5_STEP(F, c, d, a, b, x[2], 17, 0x242070db);
  MD5_STEP(F, b, c, d, a, x[3], 22, 0xc1bdceee);
  MD5_STEP(F, a, b, c, d, x[4], 7, 0xf57c0faf);
  MD5_STEP(F, d, a, b, c, x[5], 12, 0x4787c62a);
  MD5_STEP(F, c, d, a, b, x[6], 17, 0xa8304613);
  MD5_STEP(F, b, c, d, a, x[7], 22, 0xfd469501);
  MD5_STEP(F, a, b, c, d, x[8], 7, 0x698098d8);
  MD5_STEP(F, d, a, b, c, x[9], 12, 0x8b44f7af);
  MD5_STEP(F, c, d, a, b, x[10], 17, 0xffff5bb1);
  MD5_STEP(F, b, c, d, a, x[11], 22, 0x895cd7be);
  MD5_STEP(F, a, b, c, d, x[12], 7, 0x6b901122);
  MD5_STEP(F, d, a, b, c, x[13], 12, 0xfd987193);
  MD5_STEP(F, c, d, a, b, x[14], 17, 0xa679438e);
  MD5_STEP(F, b, c, d, a, x[15], 22, 0x49b40821);

  // Round 2.
  MD5_STEP(G, a, b, c, d, x[1], 5, 0xf61e2562);
  MD5_STEP(G, d, a, b, c, x[6], 9, 0xc040b340);
  MD5_STEP(G, c, d, a, b, x[11], 14, 0x265e5a51);
  MD5_STEP(G, b, c, d, a, x[0], 20, 0xe9b6c7aa);
  MD5_STEP(G, a, b, c, d, x[5], 5, 0xd62f105d);
  MD5_STEP(G, d, a, b, c, x[10], 9, 0x02441453);
  MD5_STEP(G, c, d, a, b, x[15], 14, 0xd8a1e681);
  MD5_STEP(G, b, c, d, a, x[4], 20, 0xe7d3fbc8);
  MD5_STEP(G, a, b, c, d, x[9], 5, 0x21e1cde6);
  MD5_STEP(G, d, a, b, c, x[14], 9, 0xc33707d6);
  MD5_STEP(G, c, d, a, b, x[3], 14, 0xf4d50d87);
  MD5_STEP(G, b, c, d, a, x[8], 20, 0x455a14ed);
  MD5_STEP(G, a, b, c, d, x[13], 5, 0xa9e3e905);
  MD5_STEP(G, d, a, b, c, x[2], 9, 0xfcefa3f8);
  MD5_STEP(G, c, d, a, b, x[7], 14, 0x676f02d9);
  MD5_STEP(G, b, c, d, a, x[12], 20, 0x8d2a4c8a);

  // Round 3.
  MD5_STEP(H, a, b, c, d, x[5], 4, 0xfffa3942);
  MD5_STEP(H, d, a, b, c, x[8], 11, 0x8771f681);
  MD5_STEP(H, c, d, a, b, x[11], 16, 0x6d9d6122);
  MD5_STEP(H, b, c, d, a, x[14], 23, 0xfde5380c);
  MD5_STEP(H, a, b, c, d, x[1], 4, 0xa4beea44);
  MD5_STEP(H, d, a, b, c, x[4], 11, 0x4bdecfa9);
  MD5_STEP(H, c, d, a, b, x[7], 16, 0xf6bb4b60);
  MD5_STEP(H, b, c, d, a, x[10], 23, 0xbebfbc70);
  MD5_STEP(H, a, b, c, d, x[13], 4, 0x289b7ec6);
  MD5_STEP(H, d, a, b, c, x[0], 11, 0xeaa127fa);
  MD5_STEP(H, c, d, a, b, x[3], 16, 0xd4ef3085);
  MD5_STEP(H, b, c, d, a, x[6], 23, 0x04881d05);
  MD5_STEP(H, a, b, c, d, x[9], 4, 0xd9d4d039);
  MD5_STEP(H, d, a, b, c, x[12], 11, 0xe6db99e5);
  MD5_STEP(H, c, d, a, b, x[15], 16, 0x1fa27cf8);
  MD5_STEP(H, b, c, d, a, x[2], 23, 0xc4ac5665);

  // Round 4.
  MD5_STEP(I, a, b, c, d, x[0], 6, 0xf4292244);
  MD5_STEP(I, d, a, b, c, x[7], 10, 0x432aff97);
  MD5_STEP(I, c, d, a, b, x[14], 15, 0xab9423a7);
  MD5_STEP(I, b, c, d, a, x[5], 21, 0xfc93a039);
  MD5_STEP(I, a, b, c, d, x[12], 6, 0x655b59c3);
  MD5_STEP(I, d, a, b, c, x[3], 10, 0x8f0ccc92);
  MD5_STEP(I, c, d, a, b, x[10], 15, 0xffeff47d);
  MD5_STEP(I, b, c, d, a, x[1], 21, 0x85845dd1);
  MD5_STEP(I, a, b, c, d, x[8], 6, 0x6fa87e4f);
  MD5_STEP(I, d, a, b, c, x[15], 10, 0xfe2ce6e0);
  MD5_STEP(I, c, d, a, b, x[6], 15, 0xa3014314);
  MD5_STEP(I, b, c, d, a, x[13], 21, 0x4e0811a1);
  MD5_STEP(I, a, b, c, d, x[4], 6, 0xf7537e82);
  MD5_STEP(I, d, a, b, c, x[11], 10, 0xbd3af235);
  MD5_STEP(I, c, d, a, b, x[2], 15, 0x2ad7d2bb);
  MD5_STEP(I, b, c, d, a, x[9], 21, 0xeb86d391);

  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}
