// CSystemProxy: the proxy of each request as the player set it up in Windows (Internet
// Options: automatic detection, automatic configuration script, fixed proxy with its bypass
// list), read through WinHTTP, since libcurl reads proxies from environment variables only.
//
// Contract:
// - One per process (Instance), never destroyed: the warm-up thread may outlive start-up.
//   For may be called from any thread; one lock serialises the lookups, so a
//   request that needs a script's answer waits while another request's script runs.
// - Precedence: when any of libcurl's proxy variables is set (http_proxy, HTTPS_PROXY,
//   ALL_PROXY, NO_PROXY and their spellings, proxy_rules::kEnvironmentVariables), the
//   environment decides: libcurl reads it as it always has, and Windows' settings are not
//   used. Otherwise Windows' settings decide by the order of ProxyRules.h.
// - Windows' settings are read at most once per kLifetimeMs, and a script's answer for an
//   origin (scheme, host, port) is kept as long, as is a failed detection or an unreachable
//   script: a request costs a script's run only when its origin is new. Forget drops all of
//   it, so that settings the player has just changed count at once.
// - Scripts run through WinHTTP with timeouts of a few seconds. A step that fails passes to
//   the next; no error reaches the caller: without usable settings a request goes straight
//   to its server. Settings, failures and each origin's proxy are written to the file log
//   when they change.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "http/ProxyRules.h"
#include "runtime/CriticalSection.h"
#include "runtime/Singleton.h"

class CSystemProxy : public CSingleton<CSystemProxy> {
 public:
  static constexpr DWORD kLifetimeMs = 30000;

  struct Lookup {
    bool fromEnvironment = false;  // libcurl takes the proxy from the environment
    proxy_rules::Choice choice;    // otherwise: Windows' settings' answer
  };

  Lookup For(const std::wstring& url);
  // Drops what was read and answered: the next request reads the settings again.
  void Forget();

  // Looks `urls` up on a thread of its own, so that the first requests find their answers
  // ready instead of waiting for a detection or a script on the user-interface thread.
  void WarmUp(const std::vector<std::wstring>& urls);
  // Waits up to `timeoutMs` for the warm-up to end, then ends it by force.
  void StopWarmUp(DWORD timeoutMs);

 private:
  friend class CSingleton<CSystemProxy>;
  class WarmUpThread;
  struct Answer {
    proxy_rules::Choice choice;
    DWORD tick = 0;
  };

  CSystemProxy();
  ~CSystemProxy() = default;

  // Under the lock.
  void ReadSettings(DWORD now);
  proxy_rules::Choice Evaluate(const std::wstring& url);
  proxy_rules::ScriptAnswer RunScript(const std::wstring& url, bool detect);
  bool EnvironmentDecides();

  CCriticalSection lock_;
  bool settingsRead_ = false;
  DWORD settingsTick_ = 0;
  proxy_rules::Settings settings_;
  bool detectionFailed_ = false;
  bool scriptFailed_ = false;
  std::map<std::wstring, Answer> answers_;        // by origin
  std::map<std::wstring, std::wstring> logged_;   // the last logged proxy of each origin
  std::wstring loggedSettings_;
  bool loggedEnvironment_ = false;
  void* session_ = nullptr;  // WinHTTP's session for the scripts, opened on first use
  std::unique_ptr<WarmUpThread> warmUp_;
};
