// MD5: the MD5 message digest (RFC 1321) of a file or of bytes fed in pieces, as 32
// lower-case hexadecimal digits.
//
// Contract: one object per digest, used by one thread. The file constructor reads the open
// stream to its end, closes it and finalizes; the caller must not touch the stream afterwards.
// A read error ends the reading like the end of the file: the digest then covers the bytes
// read so far, and readFailed() tells the caller not to trust it. Misuse (update after
// finalize, a second finalize, hex_digest before finalize) writes one line to the standard
// error stream and changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

class MD5 {
 public:
  MD5();
  // Digests the whole of `file` (opened for binary reading), closes it and finalizes.
  explicit MD5(std::FILE* file);

  MD5(const MD5&) = delete;
  MD5& operator=(const MD5&) = delete;

  void update(const void* input, size_t length);
  void finalize();
  // The digest's 32 hexadecimal digits; empty before finalize. Valid while the object lives.
  const char* hex_digest();

  bool readFailed() const { return readFailed_; }

  // Bytes read from a file at a time.
  static constexpr size_t kReadBlock = 256 * 1024;

 private:
  void Transform(const uint8_t* block);

  uint32_t state_[4];
  uint32_t count_[2];  // bits processed, low word first
  uint8_t buffer_[64];
  uint8_t digest_[16];
  bool finalized_ = false;
  char hexText_[33];
  bool readFailed_ = false;
};
