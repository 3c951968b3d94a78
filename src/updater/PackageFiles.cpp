#include "updater/PackageFiles.h"

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
  return safe;
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
