#include "support/ScopedProxySettings.h"

#include <windows.h>

namespace testing_support {

namespace {

constexpr const wchar_t* kConnectionsKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
constexpr const wchar_t* kSettingsValue = L"DefaultConnectionSettings";

bool Write(const std::string& value) {
  return ::RegSetKeyValueW(HKEY_CURRENT_USER, kConnectionsKey, kSettingsValue, REG_BINARY,
                           value.data(), static_cast<DWORD>(value.size())) == ERROR_SUCCESS;
}

}  // namespace

ScopedProxySettings::ScopedProxySettings() {
  DWORD size = 0;
  if (::RegGetValueW(HKEY_CURRENT_USER, kConnectionsKey, kSettingsValue, RRF_RT_REG_BINARY, nullptr,
                     nullptr, &size) == ERROR_SUCCESS) {
    saved_.resize(size);
    hadValue_ = ::RegGetValueW(HKEY_CURRENT_USER, kConnectionsKey, kSettingsValue,
                               RRF_RT_REG_BINARY, nullptr, &saved_[0], &size) == ERROR_SUCCESS;
  }
}

ScopedProxySettings::~ScopedProxySettings() {
  if (hadValue_) {
    Write(saved_);
  } else {
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kConnectionsKey, kSettingsValue);
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

}  // namespace testing_support
