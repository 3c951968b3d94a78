// qvinstaller.exe of the demo game: the package that the installer downloads and runs.
//
// Understands the installer's command line `/S "/unpack=<folder>" /launch=off`: it unpacks
// the game archive carried in its resources (RCDATA "PAYLOAD") into <folder>, creating the
// folders it needs, and ends with exit code 0 (1 for a bad command line, 2 for a failed
// unpack). Not part of the installer; the game files it writes are what the installer's tests
// and the demo check.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "ui/markup/ZipArchive.h"

namespace {

bool WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = bytes.empty() ||
                  (::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                               nullptr) &&
                   written == bytes.size());
  ::CloseHandle(file);
  return ok;
}

bool Unpack(const std::wstring& folder) {
  HRSRC info = ::FindResourceW(nullptr, L"PAYLOAD", MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  HGLOBAL loaded = info ? ::LoadResource(nullptr, info) : nullptr;
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (!bytes) return false;
  SkinUI::CZipArchive archive;
  if (!archive.OpenMemory(static_cast<const uint8_t*>(bytes), ::SizeofResource(nullptr, info))) {
    return false;
  }
  if (::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr) != ERROR_SUCCESS &&
      ::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return false;
  }
  for (size_t i = 0; i < archive.GetEntryCount(); ++i) {
    const SkinUI::CZipArchive::TEntry* entry = archive.GetEntry(static_cast<int>(i));
    std::wstring relative = entry->name;
    for (wchar_t& c : relative) {
      if (c == L'/') c = L'\\';
    }
    // The archive is our own, but never let a name climb out of the target folder.
    if (relative.find(L"..") != std::wstring::npos || relative.empty()) continue;
    const std::wstring path = folder + L"\\" + relative;
    if (relative.back() == L'\\') {
      ::SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
      continue;
    }
    const size_t slash = path.find_last_of(L'\\');
    ::SHCreateDirectoryExW(nullptr, path.substr(0, slash).c_str(), nullptr);
    std::vector<uint8_t> content(entry->uncompressedSize);
    if (archive.Extract(static_cast<int>(i), content.data(), content.size()) !=
        SkinUI::CZipArchive::kOk) {
      return false;
    }
    if (!WriteWholeFile(path, content)) return false;
  }
  return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  std::wstring folder;
  bool silent = false;
  for (int k = 1; argv && k < argc; ++k) {
    const std::wstring arg = argv[k];
    if (arg == L"/S") silent = true;
    else if (arg.rfind(L"/unpack=", 0) == 0) folder = arg.substr(8);
  }
  if (argv) ::LocalFree(argv);
  while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  if (!silent || folder.empty()) return 1;
  return Unpack(folder) ? 0 : 2;
}
