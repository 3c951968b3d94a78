// Conversion between UTF-8 bytes and the platform's wide characters (UTF-16 on Windows,
// UTF-32 elsewhere), done by this code on every platform so that both builds agree.
//
// Contract: pure functions, any thread. Input is untrusted: every ill-formed sequence
// (stray continuation byte, truncated sequence, overlong form, surrogate code point, value
// above U+10FFFF) becomes one U+FFFD per maximal ill-formed subpart, as the platform's code
// page 65001 conversion does. Nothing here fails or reads past the given count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace SkinUI {

// The number of wide characters that Utf8ToWide writes for these bytes.
size_t Utf8ToWideLength(const uint8_t* bytes, size_t count);

// Writes the converted text to `out`, which holds Utf8ToWideLength(bytes, count) characters;
// returns the number written. No terminator is added.
size_t Utf8ToWide(const uint8_t* bytes, size_t count, wchar_t* out);

std::wstring Utf8ToWide(const std::string& text);

// Unpaired surrogates of UTF-16 text become U+FFFD.
std::string WideToUtf8(const std::wstring& text);

}  // namespace SkinUI
