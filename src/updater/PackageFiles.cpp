#include "updater/PackageFiles.h"

#include <algorithm>

#include "runtime/MD5.h"

namespace package_files {

namespace {

bool IsUnsafeInFileName(wchar_t c) {
  if (static_cast<unsigned>(c) < 0x20 || c == 0x7F) return true;
  switch (c) {
    case L'\\': case L'/': case L':': case L'*': case L'?':
    case L'"': case L'<': case L'>': case L'|':
      return true;
    default:
      return false;
  }
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// What no file system changes or confuses with another character. Windows takes "A" and "a"
// for the same letter, so capitals are not among them.
bool IsKeptAsItIs(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || c == L'.' || c == L'-' ||
         c == L'_';
}

}  // namespace

std::wstring PackagePath(const std::wstring& downloadDir) {
  return downloadDir + L"\\" + kPackageName;
}

std::wstring FileNameVersion(const std::wstring& version) {
  std::wstring safe = version.substr(0, kMaxVersionChars);
  if (safe.size() == kMaxVersionChars && IsHighSurrogate(safe.back())) safe.pop_back();
  for (wchar_t& c : safe) {
    if (IsUnsafeInFileName(c)) c = L'_';
  }
  if (version.size() <= kMaxVersionChars &&
      std::all_of(version.begin(), version.end(), IsKeptAsItIs)) {
    return safe;
  }
  // The text alone could stand for other versions too: the exact version's digest makes the
  // name its own. A plain version never holds the "~" that marks it.
  MD5 digest;
  digest.update(version.data(), version.size() * sizeof(wchar_t));
  digest.finalize();
  const std::string hex(digest.hex_digest(), kVersionDigestChars);
  return safe + L"~" + std::wstring(hex.begin(), hex.end());
}

std::wstring PartPath(const std::wstring& packageFile, const std::wstring& version,
                      const std::wstring& suffix) {
  // The last "." of the file name: one in a folder's name is no extension.
  const size_t dot = packageFile.rfind(L'.');
  const size_t separator = packageFile.find_last_of(L"\\/");
  const bool hasExtension =
      dot != std::wstring::npos && (separator == std::wstring::npos || dot > separator);
  const std::wstring stem = hasExtension ? packageFile.substr(0, dot) : packageFile;
  return stem + L"_" + FileNameVersion(version) + suffix;
}

bool HasExtension(const std::wstring& path, const std::wstring& extension) {
  const size_t dot = path.rfind(L'.');
  return dot != std::wstring::npos && path.compare(dot, std::wstring::npos, extension) == 0;
}

}  // namespace package_files
