#include "ui/markup/Utf8.h"

namespace SkinUI {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes the code point at `bytes[*pos]` and advances *pos over it (or over its maximal
// ill-formed subpart, yielding U+FFFD). Ranges follow the Unicode table of well-formed
// UTF-8 byte sequences.
char32_t DecodeOne(const uint8_t* bytes, size_t count, size_t* pos) {
  const uint8_t lead = bytes[(*pos)++];
  if (lead < 0x80) return lead;
  int length;
  uint8_t low = 0x80, high = 0xBF;  // allowed range of the first continuation byte
  char32_t value;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return kReplacement;
  }
  for (int i = 1; i < length; ++i) {
    if (*pos >= count) return kReplacement;
    const uint8_t c = bytes[*pos];
    const uint8_t lo = (i == 1) ? low : 0x80;
    const uint8_t hi = (i == 1) ? high : 0xBF;
    if (c < lo || c > hi) return kReplacement;  // this byte starts the next sequence
    value = (value << 6) | (c & 0x3F);
    ++*pos;
  }
  return value;
}

// One pass serves both counting (out == nullptr) and writing.
size_t Convert(const uint8_t* bytes, size_t count, wchar_t* out) {
  size_t written = 0;
  size_t pos = 0;
  while (pos < count) {
    char32_t cp = DecodeOne(bytes, count, &pos);
    if (sizeof(wchar_t) == 2 && cp > 0xFFFF) {
      if (out) {
        cp -= 0x10000;
        out[written] = static_cast<wchar_t>(0xD800 + (cp >> 10));
        out[written + 1] = static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
      }
      written += 2;
    } else {
      if (out) out[written] = static_cast<wchar_t>(cp);
      ++written;
    }
  }
  return written;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

size_t Utf8ToWideLength(const uint8_t* bytes, size_t count) {
  return Convert(bytes, count, nullptr);
}

size_t Utf8ToWide(const uint8_t* bytes, size_t count, wchar_t* out) {
  return Convert(bytes, count, out);
}

std::wstring Utf8ToWide(const std::string& text) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  std::wstring out(Utf8ToWideLength(bytes, text.size()), L'\0');
  Utf8ToWide(bytes, text.size(), out.data());
  return out;
}

std::string WideToUtf8(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = static_cast<char32_t>(text[i]);
    if (sizeof(wchar_t) == 2 && cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() &&
        text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      ++i;
    } else if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
      cp = kReplacement;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

}  // namespace SkinUI
