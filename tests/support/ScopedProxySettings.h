// ScopedProxySettings: Windows' proxy settings for the current user, changed for a while and
// put back afterwards, the way WinHTTP (and Wine's WinHTTP) reads them: the binary value
// DefaultConnectionSettings under "Internet Settings\Connections".
//
// Contract: owned by one test or benchmark thread. The constructor saves the value as it is;
// the destructor writes it back (or deletes it when there was none). The settings are
// per user, so other programs of the same Wine prefix see them while they are set: callers
// take the CTest lock "proxy_settings" and keep their settings from touching the addresses
// other tests use. Failures come back as false; nothing throws.
#pragma once

#include <cstdint>
#include <string>

namespace testing_support {

class ScopedProxySettings {
 public:
  // The flags of the setting.
  enum Flags : uint32_t { kDirect = 1, kFixedProxy = 2, kScript = 4, kAutoDetect = 8 };

  ScopedProxySettings();
  ~ScopedProxySettings();
  ScopedProxySettings(const ScopedProxySettings&) = delete;
  ScopedProxySettings& operator=(const ScopedProxySettings&) = delete;

  // `proxy` as "host:port" or "http=host:port;https=...", `bypass` ";"-separated, `script`
  // the configuration script's address; each may be empty.
  bool Set(uint32_t flags, const std::string& proxy, const std::string& bypass,
           const std::string& script);

 private:
  std::string saved_;
  bool hadValue_ = false;
  uint32_t counter_ = 100;
};

}  // namespace testing_support
