// IBufferStream: a request body held in memory. OBufferStream: a response body collected in
// memory, for HTTP commands whose answers are small texts such as the update manifest.
//
// Contract: see BaseStream.h; both are platform-free. The input stream keeps its own copy
// of the bytes it was given. The output stream starts with 2 MiB and doubles its buffer as
// the body grows, up to a limit: a body that would pass the limit, or a buffer that cannot be
// allocated, fails the write with the system's out-of-memory error (kind 1, code 8), so that
// a server sending an endless answer cannot exhaust the player's memory.
#pragma once

#include <cstdint>
#include <memory>

#include "http/BaseStream.h"

class IBufferStream : public IBaseStream {
 public:
  IBufferStream(const void* data, uint32_t size);
  ~IBufferStream() override = default;

  // A read that would pass the end fails as a whole (-1): it never returns fewer bytes than
  // asked, only 0 once everything has been read.
  int32_t Read(void* buffer, uint32_t length) override;
  uint32_t GetSize() override { return size_; }
  void Close() override;

 private:
  std::unique_ptr<char[]> data_;
  uint32_t size_ = 0;
  uint32_t position_ = 0;
};

class OBufferStream : public OBaseStream {
 public:
  static constexpr uint32_t kInitialCapacity = 2097152;  // allocated at construction
  static constexpr uint32_t kRegrowCapacity = 524288;    // first capacity after Close
  static constexpr uint32_t kDefaultMaxSize = 256u << 20;
  // Windows' ERROR_NOT_ENOUGH_MEMORY, recorded with error kind 1 ("sys").
  static constexpr int32_t kOutOfMemoryError = 8;

  explicit OBufferStream(uint32_t maxSize = kDefaultMaxSize);
  ~OBufferStream() override = default;

  int32_t Write(const void* data, uint32_t length) override;
  void Close() override;
  void Truncate() override { Close(); }

  const char* data() const { return buffer_.get(); }
  uint32_t size() const { return size_; }
  uint32_t capacity() const { return capacity_; }

 private:
  // Makes room for `needed` bytes; false when the buffer cannot grow that far.
  bool Reserve(uint64_t needed);

  std::unique_ptr<char[]> buffer_;
  uint32_t capacity_ = 0;
  uint32_t size_ = 0;
  uint32_t maxSize_;
};
