#include "support/ScopedProxySettings.h"

#include <windows.h>

namespace testing_support {

namespace {

constexpr const wchar_t* kConnectionsKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
constexpr const wchar_t* kSettingsValue = L"DefaultConnectionSettings";

}  // namespace

ScopedProxySettings::ScopedProxySettings() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kConnectionsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return;
  }
  DWORD size = 0;
  if (::RegQueryValueExW(key, kSettingsValue, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
    saved_.resize(size);
    hadValue_ = ::RegQueryValueExW(key, kSettingsValue, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(&saved_[0]), &size) == ERROR_SUCCESS;
  }
  ::RegCloseKey(key);
}

ScopedProxySettings::~ScopedProxySettings() {
  if (hadValue_) {
    Write(saved_);
    return;
  }
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kConnectionsKey, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
    ::RegDeleteValueW(key, kSettingsValue);
    ::RegCloseKey(key);
  }
}

// WinHTTP's form: version 0x46, a change counter, the flags, then the proxy, the bypass list
// and the script's address, each as a 32-bit length and its bytes.
bool ScopedProxySettings::Set(uint32_t flags, const std::string& proxy, const std::string& bypass,
                              const std::string& script) {
  std::string value;
  auto add32 = [&value](uint32_t number) {
    for (int i = 0; i < 4; ++i) value += static_cast<char>((number >> (8 * i)) & 0xFF);
  };
  add32(0x46);
  add32(++counter_);
  add32(flags);
  for (const std::string* text : {&proxy, &bypass, &script}) {
    add32(static_cast<uint32_t>(text->size()));
    value += *text;
  }
  value += std::string(32, '\0');
  return Write(value);
}

bool ScopedProxySettings::Write(const std::string& value) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kConnectionsKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const bool written = ::RegSetValueExW(key, kSettingsValue, 0, REG_BINARY,
                                        reinterpret_cast<const BYTE*>(value.data()),
                                        static_cast<DWORD>(value.size())) == ERROR_SUCCESS;
  ::RegCloseKey(key);
  return written;
}

}  // namespace testing_support
