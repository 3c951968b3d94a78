// ProxyRules: the player's proxy settings, as Windows keeps them for Internet Options and
// WinHTTP reports them, turned into the proxy of one request in libcurl's form. libcurl reads
// proxies from environment variables only; SystemProxy.h reads the system's settings and asks
// these rules.
//
// Contract: pure functions of their arguments; any thread. Malformed settings never yield a
// half-parsed proxy: an entry that names no host is skipped, and a request that no usable
// entry covers goes straight to its server. Nothing throws (allocation failure aside).
//
// The order of precedence, the one browsers on Windows follow: automatic detection (WPAD),
// then the automatic configuration script, then the fixed proxy with its bypass list, then no
// proxy. A step that fails (no script found, a script that cannot be fetched) passes to the
// next. Loopback addresses get no special treatment: they go through a proxy unless the
// bypass list names them.
#pragma once

#include <string>

namespace proxy_rules {

// Where a request's proxy came from.
enum class Source {
  kDirect,      // no proxy is set up
  kFixed,       // the fixed proxy and its bypass list
  kAutoConfig,  // the automatic configuration script (PAC)
  kAutoDetect,  // the script found by automatic detection (WPAD)
};

// "direct", "fixed proxy", "auto-config script", "auto-detection".
const wchar_t* SourceName(Source source);

struct Choice {
  Source source = Source::kDirect;
  std::wstring proxy;  // libcurl's form, "http://host:port"; empty: straight to the server
};

// The system's settings, as WinHttpGetIEProxyConfigForCurrentUser gives them.
struct Settings {
  bool autoDetect = false;
  std::wstring autoConfigUrl;
  std::wstring proxy;   // "host:port", or per scheme "http=host:port;https=host:port"
  std::wstring bypass;  // ";"-separated: "*.example.com", "192.168.*", "<local>", ...
};

// What a proxy script said for one address, as WinHttpGetProxyForUrl gives it.
struct ScriptAnswer {
  bool ok = false;      // the script was found and ran
  std::wstring proxy;   // the proxies it named, "host:port;host:port"; empty for DIRECT
  std::wstring bypass;
};

// The scheme (lower case, "http" when the URL has none), host (lower case, without brackets)
// and port (the scheme's default when none is given) of a URL.
struct Origin {
  std::wstring scheme;
  std::wstring host;
  int port = 0;
};
Origin OriginOf(const std::wstring& url);

// The proxy that a WinHTTP proxy list names for `scheme`, in libcurl's form: the entry for
// the scheme ("https=..."), else the first entry for every scheme, else a SOCKS entry
// ("socks=...", SOCKS version 4 as Windows speaks it); port 80 (1080 for SOCKS) when the
// entry gives none. Empty when the list names none.
std::wstring ProxyFor(const std::wstring& list, const std::wstring& scheme);

// Whether the bypass list names the origin: "<local>" names hosts without a dot; other
// entries are host patterns with "*" wildcards (case ignored), optionally with a scheme in
// front ("http://") and a port behind (":8080"), which must then match too.
bool Bypasses(const std::wstring& bypassList, const Origin& origin);

// The proxy for `url` by the order of precedence above. `detected` and `configured` are the
// answers of the two scripts; the caller asks a script only when its step is reached.
Choice Decide(const Settings& settings, const ScriptAnswer& detected,
              const ScriptAnswer& configured, const std::wstring& url);

// The environment variables through which libcurl takes a proxy, null-terminated. When any
// of them is set, the environment decides and the system's settings are not used.
extern const char* const kEnvironmentVariables[];

}  // namespace proxy_rules
