// Wide printf-style formatting that behaves the same in the Windows build (mingw-w64's C99
// printf family, where "%ls" is a wide string and "%s" a narrow one) and in the native build
// (glibc).
//
// Contract: pure functions, callable from any thread. Formats follow C99: write "%ls" for
// wide-string arguments and "%lld" for 64-bit integers. Nothing throws for a bad format or
// argument: an encoding error comes back as -1 (or false) and leaves the output as it was.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace wide_format {

// Number of characters the format and its arguments produce, without the terminator; -1 when
// they cannot be formatted. `args` is left untouched (the callee formats a copy).
int MeasureV(const wchar_t* format, va_list args);

// Formats into a fixed buffer of `size` characters (size > 0), cutting the text at size - 1
// characters; the buffer always ends up terminated. Returns the characters stored, or -1 (and
// an empty buffer) when the text cannot be formatted.
int FormatBoundedV(wchar_t* buffer, size_t size, const wchar_t* format, va_list args);
int FormatBounded(wchar_t* buffer, size_t size, const wchar_t* format, ...);

// Appends the formatted text, of any length, to `out`; returns the number of characters
// appended, or -1 with `out` unchanged.
int AppendV(std::wstring& out, const wchar_t* format, va_list args);

// The formatted text; empty when it cannot be formatted.
std::wstring Format(const wchar_t* format, ...);

}  // namespace wide_format
