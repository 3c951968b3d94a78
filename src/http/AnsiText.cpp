#include "http/AnsiText.h"

#include <windows.h>

#include <climits>

#include "http/HttpText.h"

std::string WideToAnsi(const std::wstring& text) {
  if (text.empty() || text.size() > INT_MAX) return std::string();
  const int length = static_cast<int>(text.size());
  const int size =
      ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, " ", nullptr);
  if (size <= 0) return std::string();
  std::string out(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, &out[0], size, " ", nullptr);
  return out;
}

std::wstring AnsiToWide(const std::string& text) {
  if (text.empty() || text.size() > INT_MAX) return std::wstring();
  const int length = static_cast<int>(text.size());
  const int size = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, &out[0], size);
  return out;
}

std::wstring LogExcerpt(const char* data, size_t length) {
  if (!data || length == 0 || length > INT_MAX) return std::wstring();
  const int whole = static_cast<int>(http_text::WithoutCutUtf8Sequence(data, length));
  std::wstring text;
  const int size = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, data, whole, nullptr, 0);
  if (size > 0) {
    text.resize(static_cast<size_t>(size));
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, data, whole, &text[0], size);
  } else {
    text = AnsiToWide(std::string(data, length));
  }
  for (wchar_t& c : text) {
    if (c < L' ' || c == 0x7F) c = L' ';
  }
  return text;
}
