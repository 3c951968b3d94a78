#include "http/BufferStream.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Room kept free behind the body, so a reader may append a terminator without a copy.
constexpr uint64_t kSlack = 10;

}  // namespace

IBufferStream::IBufferStream(const void* data, uint32_t size) {
  if (size == 0) return;
  data_.reset(new char[size]);
  std::memcpy(data_.get(), data, size);
  size_ = size;
}

int32_t IBufferStream::Read(void* buffer, uint32_t length) {
  if (position_ == size_) return 0;
  if (static_cast<uint64_t>(position_) + length > size_ || length > INT32_MAX) return -1;
  std::memcpy(buffer, data_.get() + position_, length);
  position_ += length;
  return static_cast<int32_t>(length);
}

void IBufferStream::Close() {
  data_.reset();
  size_ = 0;
  position_ = 0;
}

OBufferStream::OBufferStream(uint32_t maxSize) : maxSize_(maxSize) {
  // A machine that cannot spare 2 MiB starts empty and fails on its first write instead.
  const uint32_t initial =
      static_cast<uint32_t>(std::min<uint64_t>(kInitialCapacity, maxSize_ + kSlack));
  buffer_.reset(new (std::nothrow) char[initial]);
  if (buffer_) capacity_ = initial;
}

int32_t OBufferStream::Write(const void* data, uint32_t length) {
  const uint64_t newSize = static_cast<uint64_t>(size_) + length;
  if (newSize > maxSize_ || newSize > INT32_MAX || !Reserve(newSize + kSlack)) {
    errorKind = 1;
    errorCode = kOutOfMemoryError;
    return -1;
  }
  if (length != 0) std::memcpy(buffer_.get() + size_, data, length);
  size_ = static_cast<uint32_t>(newSize);
  return static_cast<int32_t>(length);
}

bool OBufferStream::Reserve(uint64_t needed) {
  if (needed <= capacity_ && buffer_) return true;
  uint64_t capacity = capacity_;
  while (capacity < needed) capacity = capacity ? capacity * 2 : kRegrowCapacity;
  // Never more than the largest body the stream accepts needs.
  capacity = std::min<uint64_t>(capacity, static_cast<uint64_t>(maxSize_) + kSlack);
  if (capacity > UINT32_MAX) return false;
  std::unique_ptr<char[]> grown(new (std::nothrow) char[capacity]);
  if (!grown) return false;
  if (size_ != 0) std::memcpy(grown.get(), buffer_.get(), size_);
  buffer_ = std::move(grown);
  capacity_ = static_cast<uint32_t>(capacity);
  return true;
}

void OBufferStream::Close() {
  buffer_.reset();
  capacity_ = 0;
  size_ = 0;
}
