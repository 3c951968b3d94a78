// Test helper: a fresh folder under the Windows temporary folder, removed with everything in
// it when the helper is destroyed.
//
// Contract: used by one test thread. File helpers work on whole files and report failures
// through their results (false, or an empty string); nothing throws.
#pragma once

#include <string>

namespace testing_support {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::wstring& path() const { return path_; }
  // The full path of `name` inside the folder.
  std::wstring Path(const std::wstring& name) const;

  bool WriteBytes(const std::wstring& name, const std::string& bytes) const;
  std::string ReadBytes(const std::wstring& name) const;
  // -1 when the file does not exist.
  long long SizeOf(const std::wstring& name) const;

 private:
  std::wstring path_;
};

}  // namespace testing_support
