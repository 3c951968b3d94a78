// Test helper: a fresh folder under the system's temporary folder, removed with everything
// in it when the object goes away.
//
// Contract: one test's thread; failures to create or write make the test fail through the
// returned bool, never through an exception.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder with a trailing separator, as the skin's resource path wants it.
  std::wstring Path() const;
  std::wstring PathOf(const std::string& name) const;
  bool Write(const std::string& name, const std::string& bytes) const;

 private:
  std::filesystem::path path_;
};

}  // namespace testing_support
