#include "support/TempFolder.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <system_error>

namespace testing_support {

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  std::error_code error;
  const auto base = std::filesystem::temp_directory_path(error);
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  path_ = base / ("kelto-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(path_, error);
}

TempFolder::~TempFolder() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

std::wstring TempFolder::Path() const {
  std::wstring path = path_.wstring();
  path += static_cast<wchar_t>(std::filesystem::path::preferred_separator);
  return path;
}

std::wstring TempFolder::PathOf(const std::string& name) const {
  return (path_ / name).wstring();
}

bool TempFolder::Write(const std::string& name, const std::string& bytes) const {
  std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace testing_support
