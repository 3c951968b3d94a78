// Test helper: scratch folders and small file operations for Windows tests.
//
// Contract: called from a test's thread. A TempFolder owns its folder and deletes it, with
// everything in it, in its destructor (through the shell, not through the code under test).
// The file helpers report failure by their result (false, or an empty string); they never
// throw.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace testing_support {

class TempFolder {
 public:
  // A new, empty folder "<Windows temp>\\kelto-<process>-<n>-<label>".
  explicit TempFolder(const std::wstring& label = L"t");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::wstring& path() const { return path_; }
  // path() + "\\" + relative
  std::wstring operator/(const std::wstring& relative) const;

 private:
  std::wstring path_;
};

// Deletes a folder tree through the shell; true when it is gone afterwards.
bool RemoveFolderTree(const std::wstring& folder);

// Writes `bytes` bytes (a repeating pattern) to `path`, creating missing folders first.
bool WriteTestFile(const std::wstring& path, std::uint64_t bytes = 16);
// Writes the UTF-16 text as it is (no byte-order mark unless the text starts with one).
bool WriteWideFile(const std::wstring& path, const std::wstring& text);
// Reads a file written by WriteWideFile (or by the app test helper); empty when unreadable.
std::wstring ReadWideFile(const std::wstring& path);
// Writes the bytes as they are; reads a whole file's bytes (empty when unreadable).
bool WriteBinaryFile(const std::wstring& path, const std::string& bytes);
std::string ReadBinaryFile(const std::wstring& path);
// The file's size; -1 when it does not exist.
long long FileSizeOf(const std::wstring& path);

// Makes `link` a symbolic link to the folder `target`. Under Wine, whose CreateSymbolicLinkW
// does nothing, the link is a Unix symbolic link made by /bin/ln, which Wine shows as a
// folder with FILE_ATTRIBUTE_REPARSE_POINT. True when the link is there afterwards.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target);

bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);

// The Windows path of a file of the build tree: Wine maps "/" to drive Z:.
std::wstring WindowsPathOfBuildFile(const char* unixPath);

// The Unix path of a Windows path, for Unix programs a test starts under Wine ("C:\\users\\x"
// -> "/.../drive_c/users/x"); "" when Wine cannot map it (or outside Wine).
std::string UnixPathOf(const std::wstring& windowsPath);
// A file of the source tree (e.g. "tests/support/test_server.py"), as a Unix path.
std::string SourceFile(const std::string& relative);

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

}  // namespace testing_support
