#include "http/SystemProxy.h"

#include <winhttp.h>

#include "runtime/Logging.h"
#include "runtime/MainThreadTask.h"
#include "runtime/SimpleThread.h"
#include "runtime/Win32Handles.h"

namespace {

// WinHTTP's timeouts while it fetches a proxy script: resolve, connect, send, receive.
constexpr int kScriptTimeoutMs = 3000;

class HookTask : public MainThreadTaskBase {
 public:
  explicit HookTask(void (*hook)()) : hook_(hook) {}
  void Run() override { hook_(); }

 private:
  void (*const hook_)();
};

std::wstring TakeGlobalString(LPWSTR text) {
  if (!text) return std::wstring();
  std::wstring copy(text);
  ::GlobalFree(text);
  return copy;
}

// The names of libcurl's proxy variables that are set, ", "-separated.
std::wstring SetProxyVariables() {
  std::wstring names;
  for (const char* const* name = proxy_rules::kEnvironmentVariables; *name; ++name) {
    char value[2];
    // The length is all that counts: libcurl takes a set variable, whatever its value.
    const DWORD length = ::GetEnvironmentVariableA(*name, value, sizeof value);
    if (length == 0) continue;
    if (!names.empty()) names += L", ";
    names += std::wstring(*name, *name + std::char_traits<char>::length(*name));
  }
  return names;
}

std::wstring OriginKey(const proxy_rules::Origin& origin) {
  return origin.scheme + L"://" + origin.host + L":" + std::to_wstring(origin.port);
}

}  // namespace

// Looks queued addresses up, one at a time, for as long as the program runs; between lookups
// it sleeps until an address is queued or it is asked to stop.
class CSystemProxy::LookupThread : public CSimpleThread {
 public:
  LookupThread() : wake_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
  // Called under the answers' lock after an address was queued; an auto-reset event, so a
  // wake-up given before the thread sleeps is not lost.
  void Wake() { ::SetEvent(wake_.get()); }

 protected:
  void WakeForStop() override { Wake(); }

  void Run() override {
    CSystemProxy& proxy = CSystemProxy::Instance();
    while (!stopRequested()) {
      std::wstring url;
      void (*hook)() = nullptr;
      {
        CAutoLock hold(proxy.answersLock_);
        if (!proxy.queued_.empty()) {
          url = proxy.queued_.front();
          proxy.queued_.erase(proxy.queued_.begin());
        }
        hook = proxy.answerHook_;
      }
      if (url.empty()) {
        // Without an event (out of handles) the queue is looked at now and then instead.
        if (!wake_ || ::WaitForSingleObject(wake_.get(), INFINITE) != WAIT_OBJECT_0) ::Sleep(50);
        continue;
      }
      proxy.For(url);
      if (hook) PostTaskToMainThread(new HookTask(hook));
    }
  }

 private:
  win::ScopedHandle wake_;
};

CSystemProxy::CSystemProxy() = default;

bool CSystemProxy::EnvironmentDecides() {
  const std::wstring names = SetProxyVariables();
  if (names.empty()) {
    loggedEnvironment_ = false;
    return false;
  }
  if (!loggedEnvironment_) {
    loggedEnvironment_ = true;
    LOG_FILE(0, L"proxy: the environment decides (%ls); Windows' settings are not used",
             names.c_str());
  }
  return true;
}

CSystemProxy::Lookup CSystemProxy::For(const std::wstring& url) {
  CAutoLock hold(lock_);
  Lookup lookup;
  if (EnvironmentDecides()) {
    lookup.fromEnvironment = true;
    return lookup;
  }
  const DWORD now = ::GetTickCount();
  unsigned generation = 0;
  const std::wstring key = OriginKey(proxy_rules::OriginOf(url));
  {
    CAutoLock answers(answersLock_);
    generation = generation_;
    const Answer* known = Known(key);
    if (known && generation == settingsGeneration_ && now - known->tick < kLifetimeMs) {
      lookup.choice = known->choice;
      return lookup;
    }
  }
  if (!settingsRead_ || generation != settingsGeneration_ || now - settingsTick_ >= kLifetimeMs) {
    settingsGeneration_ = generation;
    ReadSettings(now);
  }
  lookup.choice = Evaluate(url);
  {
    // Settings forgotten meanwhile may have answered otherwise: the answer is not kept.
    CAutoLock answers(answersLock_);
    if (generation == generation_) answers_[key] = Answer{lookup.choice, now};
  }
  const std::wstring shown =
      (lookup.choice.proxy.empty() ? std::wstring(L"none") : lookup.choice.proxy) + L" (" +
      proxy_rules::SourceName(lookup.choice.source) + L")";
  std::wstring& last = logged_[key];
  if (last != shown) {
    last = shown;
    LOG_FILE(0, L"proxy for %ls: %ls", key.c_str(), shown.c_str());
  }
  return lookup;
}

bool CSystemProxy::Peek(const std::wstring& url, Lookup* lookup) {
  *lookup = Lookup();
  // Without the lookup lock; For logs what it finds.
  if (!SetProxyVariables().empty()) {
    lookup->fromEnvironment = true;
    return true;
  }
  CAutoLock hold(answersLock_);
  const Answer* known = Known(OriginKey(proxy_rules::OriginOf(url)));
  if (known) lookup->choice = known->choice;
  if (!known || ::GetTickCount() - known->tick >= kLifetimeMs) QueueLookup(url);
  return known != nullptr;
}

void CSystemProxy::SetAnswerHook(void (*hook)()) {
  CAutoLock hold(answersLock_);
  answerHook_ = hook;
}

void CSystemProxy::Forget() {
  CAutoLock hold(answersLock_);
  ++generation_;
  answers_.clear();
}

void CSystemProxy::WarmUp(const std::vector<std::wstring>& urls) {
  CAutoLock hold(answersLock_);
  for (const std::wstring& url : urls) QueueLookup(url);
}

void CSystemProxy::StopLookups(DWORD timeoutMs) {
  std::unique_ptr<LookupThread> thread;
  {
    CAutoLock hold(answersLock_);
    thread = std::move(lookups_);
    queued_.clear();
  }
  // Outside the lock: the thread needs it to finish its lookup.
  if (thread) thread->StopThread(timeoutMs);
}

void CSystemProxy::QueueLookup(const std::wstring& url) {
  for (const std::wstring& queued : queued_) {
    if (queued == url) return;
  }
  queued_.push_back(url);
  if (lookups_ && lookups_->IsRunning()) {
    lookups_->Wake();
    return;
  }
  lookups_ = std::make_unique<LookupThread>();
  if (!lookups_->StartThread()) lookups_.reset();
}

const CSystemProxy::Answer* CSystemProxy::Known(const std::wstring& key) const {
  const auto known = answers_.find(key);
  return known == answers_.end() ? nullptr : &known->second;
}

void CSystemProxy::ReadSettings(DWORD now) {
  settingsRead_ = true;
  settingsTick_ = now;
  settings_ = proxy_rules::Settings();
  detectionFailed_ = false;
  scriptFailed_ = false;

  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
  if (::WinHttpGetIEProxyConfigForCurrentUser(&config)) {
    settings_.autoDetect = config.fAutoDetect != FALSE;
    settings_.autoConfigUrl = TakeGlobalString(config.lpszAutoConfigUrl);
    settings_.proxy = TakeGlobalString(config.lpszProxy);
    settings_.bypass = TakeGlobalString(config.lpszProxyBypass);
  } else {
    const DWORD error = ::GetLastError();
    if (loggedSettings_ != L"unreadable") {
      loggedSettings_ = L"unreadable";
      LOG_FILE(1, L"proxy settings cannot be read (system error %lu): no proxy", error);
    }
    return;
  }
  const std::wstring shown = (settings_.autoDetect ? L"auto-detection on" : L"auto-detection off") +
                             std::wstring(L", auto-config script \"") + settings_.autoConfigUrl +
                             L"\", proxy \"" + settings_.proxy + L"\", bypass \"" +
                             settings_.bypass + L"\"";
  if (loggedSettings_ != shown) {
    loggedSettings_ = shown;
    LOG_FILE(0, L"proxy settings: %ls", shown.c_str());
  }
}

proxy_rules::Choice CSystemProxy::Evaluate(const std::wstring& url) {
  proxy_rules::ScriptAnswer detected, configured;
  // Asked one at a time: a script is only fetched when detection found none.
  if (settings_.autoDetect && !detectionFailed_) {
    detected = RunScript(url, true);
    detectionFailed_ = !detected.ok;
  }
  if (!detected.ok && !settings_.autoConfigUrl.empty() && !scriptFailed_) {
    configured = RunScript(url, false);
    scriptFailed_ = !configured.ok;
  }
  return proxy_rules::Decide(settings_, detected, configured, url);
}

proxy_rules::ScriptAnswer CSystemProxy::RunScript(const std::wstring& url, bool detect) {
  proxy_rules::ScriptAnswer answer;
  if (!session_) {
    session_ = ::WinHttpOpen(L"KeltoSetup", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                             WINHTTP_NO_PROXY_BYPASS, 0);
    if (!session_) {
      LOG_FILE(1, L"proxy scripts cannot run (system error %lu)", ::GetLastError());
      return answer;
    }
    ::WinHttpSetTimeouts(session_, kScriptTimeoutMs, kScriptTimeoutMs, kScriptTimeoutMs,
                         kScriptTimeoutMs);
  }
  WINHTTP_AUTOPROXY_OPTIONS options = {};
  if (detect) {
    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
  } else {
    options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = settings_.autoConfigUrl.c_str();
  }
  // A script behind an authenticating server may use the player's own sign-in.
  options.fAutoLogonIfChallenged = TRUE;
  WINHTTP_PROXY_INFO info = {};
  if (!::WinHttpGetProxyForUrl(session_, url.c_str(), &options, &info)) {
    const DWORD error = ::GetLastError();
    if (detect) {
      LOG_FILE(0, L"proxy auto-detection found no script (WinHTTP error %lu)", error);
    } else {
      LOG_FILE(1, L"proxy auto-config script %ls cannot be used (WinHTTP error %lu)",
               settings_.autoConfigUrl.c_str(), error);
    }
    return answer;
  }
  answer.ok = true;
  const std::wstring proxy = TakeGlobalString(info.lpszProxy);
  const std::wstring bypass = TakeGlobalString(info.lpszProxyBypass);
  if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY) {
    answer.proxy = proxy;
    answer.bypass = bypass;
  }
  return answer;
}
