#include "runtime/WideFormat.h"

#include <cerrno>
#include <cwchar>
#include <vector>

namespace wide_format {

namespace {

#if !defined(__MINGW32__)
// glibc's vswprintf returns -1 both for a text longer than the buffer and for an encoding
// error (which alone sets errno), so a text's length is found by formatting into ever larger
// buffers. The limit ends the search all the same.
constexpr size_t kFirstTry = 256;
constexpr size_t kLimit = size_t{1} << 26;
#endif

}  // namespace

int MeasureV(const wchar_t* format, va_list args) {
#if defined(__MINGW32__)
  // mingw-w64's C99 printf returns the full length even when given no buffer.
  va_list copy;
  va_copy(copy, args);
  const int n = std::vswprintf(nullptr, 0, format, copy);
  va_end(copy);
  return n;
#else
  wchar_t stackBuffer[kFirstTry];
  std::vector<wchar_t> heapBuffer;
  wchar_t* buffer = stackBuffer;
  for (size_t size = kFirstTry; size <= kLimit; size *= 2) {
    if (size > kFirstTry) {
      heapBuffer.resize(size);
      buffer = heapBuffer.data();
    }
    va_list copy;
    va_copy(copy, args);
    errno = 0;
    const int n = std::vswprintf(buffer, size, format, copy);
    va_end(copy);
    if (n >= 0) return n;
    if (errno != 0) return -1;
  }
  return -1;
#endif
}

int FormatBoundedV(wchar_t* buffer, size_t size, const wchar_t* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = std::vswprintf(buffer, size, format, copy);
  va_end(copy);
#if defined(__MINGW32__)
  if (n < 0) {
    buffer[0] = L'\0';
    return -1;
  }
  if (static_cast<size_t>(n) >= size) n = static_cast<int>(size - 1);
  return n;
#else
  if (n >= 0) return n;
  // Too long for the buffer, or not formattable at all: tell the two apart by measuring.
  const int full = MeasureV(format, args);
  if (full < 0) {
    buffer[0] = L'\0';
    return -1;
  }
  std::vector<wchar_t> whole(static_cast<size_t>(full) + 1);
  va_copy(copy, args);
  std::vswprintf(whole.data(), whole.size(), format, copy);
  va_end(copy);
  std::wmemcpy(buffer, whole.data(), size - 1);
  buffer[size - 1] = L'\0';
  return static_cast<int>(size - 1);
#endif
}

int FormatBounded(wchar_t* buffer, size_t size, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = FormatBoundedV(buffer, size, format, args);
  va_end(args);
  return n;
}

int AppendV(std::wstring& out, const wchar_t* format, va_list args) {
  const int n = MeasureV(format, args);
  if (n <= 0) return n;
  const size_t old = out.size();
  // The extra character holds vswprintf's terminator; it is cut off again below.
  out.resize(old + static_cast<size_t>(n) + 1);
  va_list copy;
  va_copy(copy, args);
  const int written = std::vswprintf(&out[old], static_cast<size_t>(n) + 1, format, copy);
  va_end(copy);
  if (written != n) {
    out.resize(old);
    return -1;
  }
  out.resize(old + static_cast<size_t>(n));
  return n;
}

std::wstring Format(const wchar_t* format, ...) {
  std::wstring out;
  va_list args;
  va_start(args, format);
  AppendV(out, format, args);
  va_end(args);
  return out;
}

}  // namespace wide_format
