#include "updater/UpdateManifest.h"

#include <limits>

#include "http/DownloadRules.h"

std::vector<std::wstring> UpdateManifest::PackageUrls() const {
  return download_rules::MakeUrlList(mirrorUrls, packageUrl);
}

uint64_t UpdateManifest::ParseSize(const std::wstring& text) {
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  uint64_t value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') break;
    const uint64_t digit = static_cast<uint64_t>(c - L'0');
    if (value > (kMax - digit) / 10) return kMax;
    value = value * 10 + digit;
  }
  return value;
}

int UpdateManifest::ParallelRanges(int deployed) const {
  const uint64_t wanted = ParseSize(parallelText);
  if (wanted == 0 || wanted >= static_cast<uint64_t>(deployed)) return deployed;
  return static_cast<int>(wanted);
}

namespace manifest_file {

std::wstring TempPath(const std::wstring& downloadDir, int32_t seconds) {
  return downloadDir + L"\\xwinstall_" + std::to_wstring(seconds) + L".ini";
}

std::string Bytes(const std::wstring& text) {
  std::string bytes;
  bytes.reserve(2 + text.size() * 2);
  bytes.push_back('\xFF');
  bytes.push_back('\xFE');
  auto put = [&bytes](uint32_t unit) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>((unit >> 8) & 0xFF));
  };
  const size_t first = (!text.empty() && text[0] == L'\xFEFF') ? 1 : 0;
  for (size_t i = first; i < text.size(); ++i) {
    const uint32_t c = static_cast<uint32_t>(text[i]);
    // Wide characters are UTF-16 units on Windows; elsewhere whole code points, which are
    // split into surrogate pairs here.
    if (c > 0xFFFF && c <= 0x10FFFF) {
      put(0xD800 + ((c - 0x10000) >> 10));
      put(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else if (c > 0x10FFFF) {
      put(0xFFFD);
    } else {
      put(c);
    }
  }
  return bytes;
}

}  // namespace manifest_file
