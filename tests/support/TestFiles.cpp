#include "support/TestFiles.h"

#include <shellapi.h>
#include <shlobj.h>

#include <vector>

#include "support/ProcessRunner.h"

namespace testing_support {

TempFolder::TempFolder(const std::wstring& label) {
  static LONG counter = 0;
  wchar_t temp[MAX_PATH] = L"";
  ::GetTempPathW(MAX_PATH, temp);
  path_ = std::wstring(temp) + L"kelto-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
          std::to_wstring(::InterlockedIncrement(&counter)) + L"-" + label;
  RemoveFolderTree(path_);
  ::SHCreateDirectoryExW(nullptr, path_.c_str(), nullptr);
}

TempFolder::~TempFolder() { RemoveFolderTree(path_); }

std::wstring TempFolder::operator/(const std::wstring& relative) const {
  return path_ + L"\\" + relative;
}

bool RemoveFolderTree(const std::wstring& folder) {
  if (!FolderExists(folder)) return true;
  std::vector<wchar_t> from(folder.begin(), folder.end());
  from.resize(from.size() + 2, 0);  // the shell takes a double-null-terminated list
  SHFILEOPSTRUCTW op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = from.data();
  op.fFlags = FOF_NO_UI;
  ::SHFileOperationW(&op);
  return !FolderExists(folder);
}

bool WriteTestFile(const std::wstring& path, std::uint64_t bytes) {
  const size_t slash = path.find_last_of(L"\\/");
  if (slash != std::wstring::npos) {
    ::SHCreateDirectoryExW(nullptr, path.substr(0, slash).c_str(), nullptr);
  }
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  std::vector<char> block(1 << 16);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 7);
  bool ok = file != INVALID_HANDLE_VALUE;
  for (std::uint64_t left = bytes; ok && left > 0;) {
    const DWORD chunk = static_cast<DWORD>(left < block.size() ? left : block.size());
    DWORD written = 0;
    ok = ::WriteFile(file, block.data(), chunk, &written, nullptr) && written == chunk;
    left -= chunk;
  }
  if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
  return ok;
}

bool WriteWideFile(const std::wstring& path, const std::wstring& text) {
  return WriteBinaryFile(
      path, std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
}

std::wstring ReadWideFile(const std::wstring& path) {
  const std::string bytes = ReadBinaryFile(path);
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()),
                      bytes.size() / sizeof(wchar_t));
}

bool WriteBinaryFile(const std::wstring& path, const std::string& bytes) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const DWORD size = static_cast<DWORD>(bytes.size());
  const bool ok =
      size == 0 || (::WriteFile(file, bytes.data(), size, &written, nullptr) && written == size);
  ::CloseHandle(file);
  return ok;
}

std::string ReadBinaryFile(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    bytes.append(buffer, read);
  }
  ::CloseHandle(file);
  return bytes;
}

long long FileSizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
  const auto isLink = [&] {
    const DWORD attributes = ::GetFileAttributesW(link.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
  };
  if (::CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) &&
      isLink()) {
    return true;
  }
  const std::string unixLink = UnixPathOf(link);
  const std::string unixTarget = UnixPathOf(target);
  const bool started = !unixLink.empty() && !unixTarget.empty() &&
                       StartDetached(L"/bin/ln -s \"" + Utf8ToWide(unixTarget) + L"\" \"" +
                                     Utf8ToWide(unixLink) + L"\"");
  for (int i = 0; started && i < 200 && !isLink(); ++i) ::Sleep(25);
  return isLink();
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring WindowsPathOfBuildFile(const char* unixPath) {
  std::wstring path = L"Z:";
  for (const char* c = unixPath; *c; ++c) path += (*c == '/') ? L'\\' : static_cast<wchar_t>(*c);
  return path;
}

std::string UnixPathOf(const std::wstring& windowsPath) {
  // Wine's own export; absent on Windows.
  using UnixNameFn = char*(CDECL*)(const wchar_t*);
  const auto unixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* name = unixName ? unixName(windowsPath.c_str()) : nullptr;
  if (!name) return std::string();
  std::string path(name);
  ::HeapFree(::GetProcessHeap(), 0, name);
  return path;
}

std::string SourceFile(const std::string& relative) {
  return std::string(KELTO_SOURCE_DIR) + "/" + relative;
}

std::wstring Utf8ToWide(const std::string& text) {
  std::wstring out(text.size(), L'\0');
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      &out[0], static_cast<int>(out.size()));
  out.resize(n > 0 ? n : 0);
  return out;
}

std::string WideToUtf8(const std::wstring& text) {
  std::string out(text.size() * 3, '\0');
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      &out[0], static_cast<int>(out.size()), nullptr, nullptr);
  out.resize(n > 0 ? n : 0);
  return out;
}

}  // namespace testing_support
