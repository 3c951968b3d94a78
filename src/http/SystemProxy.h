// CSystemProxy: the proxy of each request as the player set it up in Windows (Internet
// Options: automatic detection, automatic configuration script, fixed proxy with its bypass
// list), read through WinHTTP, since libcurl reads proxies from environment variables only.
//
// Contract:
// - One per process (Instance), never destroyed: the lookup thread may outlive start-up.
//   For may be called from any thread but the user-interface thread; one lock serialises the
//   lookups, so a request that needs a script's answer waits while another request's script
//   runs. The user-interface thread asks Peek, which never waits for a lookup: it serves the
//   answer known for the origin (one past its lifetime too, while the lookup thread fetches a
//   fresh one) or has the lookup thread find one, and then runs the answer hook there as a
//   main-thread task. Forget never waits either.
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

  // The lookup itself: may take seconds (a detection, a script's fetch).
  Lookup For(const std::wstring& url);
  // The answer known for `url`'s origin, at once: false when there is none yet, and the lookup
  // thread is to find it. A known answer past its lifetime is served while it finds a new one.
  bool Peek(const std::wstring& url, Lookup* lookup);
  // Run on the main thread after each lookup of the lookup thread.
  void SetAnswerHook(void (*hook)());
  // Drops what was read and answered: the next request reads the settings again.
  void Forget();

  // Looks `urls` up on the lookup thread, so that the first requests find their answers ready.
  void WarmUp(const std::vector<std::wstring>& urls);
  // Waits up to `timeoutMs` for the lookup thread to end, then ends it by force.
  void StopLookups(DWORD timeoutMs);

 private:
  friend class CSingleton<CSystemProxy>;
  class LookupThread;
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

  // Queues `url` for the lookup thread, started when there is none; under answersLock_.
  void QueueLookup(const std::wstring& url);
  // The answer for `key`, if any; under answersLock_.
  const Answer* Known(const std::wstring& key) const;

  CCriticalSection lock_;
  // Held only for moments (never across a lookup): the answers, the lookup queue, the
  // generation that Forget advances, the lookup thread and the hook.
  CCriticalSection answersLock_;
  std::map<std::wstring, Answer> answers_;  // by origin
  std::vector<std::wstring> queued_;
  unsigned generation_ = 0;
  void (*answerHook_)() = nullptr;
  std::unique_ptr<LookupThread> lookups_;
  // Under lock_: the generation the settings were read in.
  unsigned settingsGeneration_ = 0;
  bool settingsRead_ = false;
  DWORD settingsTick_ = 0;
  proxy_rules::Settings settings_;
  bool detectionFailed_ = false;
  bool scriptFailed_ = false;
  std::map<std::wstring, std::wstring> logged_;   // the last logged proxy of each origin
  std::wstring loggedSettings_;
  bool loggedEnvironment_ = false;
  void* session_ = nullptr;  // WinHTTP's session for the scripts, opened on first use
};
