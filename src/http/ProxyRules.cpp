#include "http/ProxyRules.h"

#include <vector>

namespace proxy_rules {

namespace {

wchar_t Lower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c; }

std::wstring LowerCase(std::wstring text) {
  for (wchar_t& c : text) c = Lower(c);
  return text;
}

bool IsDigits(const std::wstring& text) {
  if (text.empty()) return false;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
  }
  return true;
}

// A scheme as URLs spell it: a letter, then letters, digits, "+", "-" or ".".
bool IsSchemeName(const std::wstring& text) {
  if (text.empty() || !((text[0] >= L'a' && text[0] <= L'z'))) return false;
  for (wchar_t c : text) {
    const bool allowed = (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'+' ||
                         c == L'-' || c == L'.';
    if (!allowed) return false;
  }
  return true;
}

// Port text to a number; 0 when it is none (too long, or out of range).
int PortOf(const std::wstring& text) {
  if (!IsDigits(text) || text.size() > 5) return 0;
  const int port = std::stoi(text);
  return port <= 65535 ? port : 0;
}

int DefaultPort(const std::wstring& scheme) { return scheme == L"https" ? 443 : 80; }

// Entries of a list separated by ";", "," or white space.
std::vector<std::wstring> Entries(const std::wstring& list) {
  std::vector<std::wstring> entries;
  std::wstring entry;
  for (wchar_t c : list + L";") {
    if (c == L';' || c == L',' || c == L' ' || c == L'\t' || c == L'\r' || c == L'\n') {
      if (!entry.empty()) entries.push_back(entry);
      entry.clear();
    } else {
      entry += c;
    }
  }
  return entries;
}

// Splits "host:port", "[v6]:port", "host" into host and port text.
void SplitHostPort(const std::wstring& text, std::wstring* host, std::wstring* port) {
  host->clear();
  port->clear();
  if (!text.empty() && text[0] == L'[') {
    const size_t close = text.find(L']');
    if (close == std::wstring::npos) return;
    *host = text.substr(1, close - 1);
    if (close + 1 < text.size() && text[close + 1] == L':') *port = text.substr(close + 2);
    return;
  }
  const size_t colon = text.rfind(L':');
  if (colon != std::wstring::npos && text.find(L':') == colon) {
    *host = text.substr(0, colon);
    *port = text.substr(colon + 1);
  } else {
    *host = text;
  }
}

// A proxy entry's address in libcurl's form; empty when it names no host.
std::wstring CurlProxy(const std::wstring& entry, const wchar_t* defaultScheme) {
  std::wstring scheme = defaultScheme;
  std::wstring rest = entry;
  const size_t separator = entry.find(L"://");
  if (separator != std::wstring::npos) {
    scheme = LowerCase(entry.substr(0, separator));
    rest = entry.substr(separator + 3);
    if (!IsSchemeName(scheme)) return std::wstring();
  }
  rest = rest.substr(0, rest.find(L'/'));
  std::wstring host, port;
  SplitHostPort(rest, &host, &port);
  if (host.empty()) return std::wstring();
  if (PortOf(port) == 0) port = scheme.compare(0, 5, L"socks") == 0 ? L"1080" : L"80";
  const bool v6 = host.find(L':') != std::wstring::npos;
  return scheme + L"://" + (v6 ? L"[" + host + L"]" : host) + L":" + port;
}

// "*" stands for any run of characters; case is ignored.
bool WildcardMatch(const std::wstring& pattern, const std::wstring& text) {
  size_t p = 0, t = 0, star = std::wstring::npos, resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == L'*') {
      star = p++;
      resume = t;
    } else if (p < pattern.size() && Lower(pattern[p]) == Lower(text[t])) {
      ++p;
      ++t;
    } else if (star != std::wstring::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  return p == pattern.size();
}

bool EntryBypasses(const std::wstring& entry, const Origin& origin) {
  if (LowerCase(entry) == L"<local>") {
    return !origin.host.empty() && origin.host.find(L'.') == std::wstring::npos &&
           origin.host.find(L':') == std::wstring::npos;
  }
  std::wstring rest = entry;
  const size_t separator = entry.find(L"://");
  if (separator != std::wstring::npos) {
    if (LowerCase(entry.substr(0, separator)) != origin.scheme) return false;
    rest = entry.substr(separator + 3);
  }
  std::wstring host, port;
  SplitHostPort(rest, &host, &port);
  if (!port.empty() && PortOf(port) != origin.port) return false;
  return !host.empty() && WildcardMatch(host, origin.host);
}

Choice FromScript(const ScriptAnswer& answer, Source source, const Origin& origin) {
  Choice choice;
  choice.source = source;
  if (!Bypasses(answer.bypass, origin)) choice.proxy = ProxyFor(answer.proxy, origin.scheme);
  return choice;
}

}  // namespace

const char* const kEnvironmentVariables[] = {"http_proxy", "https_proxy", "HTTPS_PROXY",
                                              "all_proxy",  "ALL_PROXY",   "no_proxy",
                                              "NO_PROXY",   nullptr};

const wchar_t* SourceName(Source source) {
  switch (source) {
    case Source::kFixed:
      return L"fixed proxy";
    case Source::kAutoConfig:
      return L"auto-config script";
    case Source::kAutoDetect:
      return L"auto-detection";
    case Source::kDirect:
      break;
  }
  return L"direct";
}

Origin OriginOf(const std::wstring& url) {
  Origin origin;
  std::wstring rest = url;
  const size_t separator = url.find(L"://");
  origin.scheme = L"http";
  if (separator != std::wstring::npos) {
    origin.scheme = LowerCase(url.substr(0, separator));
    rest = url.substr(separator + 3);
  }
  rest = rest.substr(0, rest.find_first_of(L"/?#"));
  const size_t at = rest.rfind(L'@');
  if (at != std::wstring::npos) rest = rest.substr(at + 1);
  std::wstring port;
  SplitHostPort(rest, &origin.host, &port);
  origin.host = LowerCase(origin.host);
  origin.port = PortOf(port);
  if (origin.port == 0) origin.port = DefaultPort(origin.scheme);
  return origin;
}

std::wstring ProxyFor(const std::wstring& list, const std::wstring& scheme) {
  std::wstring forScheme, forAll, socks;
  for (const std::wstring& entry : Entries(list)) {
    const size_t equals = entry.find(L'=');
    const size_t separator = entry.find(L"://");
    if (equals == std::wstring::npos || (separator != std::wstring::npos && separator < equals)) {
      if (forAll.empty()) forAll = CurlProxy(entry, L"http");
      continue;
    }
    const std::wstring key = LowerCase(entry.substr(0, equals));
    const std::wstring value = entry.substr(equals + 1);
    if (key == scheme && forScheme.empty()) forScheme = CurlProxy(value, L"http");
    if (key == L"socks" && socks.empty()) socks = CurlProxy(value, L"socks4");
  }
  if (!forScheme.empty()) return forScheme;
  if (!forAll.empty()) return forAll;
  return socks;
}

bool Bypasses(const std::wstring& bypassList, const Origin& origin) {
  for (const std::wstring& entry : Entries(bypassList)) {
    if (EntryBypasses(entry, origin)) return true;
  }
  return false;
}

Choice Decide(const Settings& settings, const ScriptAnswer& detected,
              const ScriptAnswer& configured, const std::wstring& url) {
  const Origin origin = OriginOf(url);
  // 1. Automatic detection.
  if (settings.autoDetect && detected.ok) return FromScript(detected, Source::kAutoDetect, origin);
  // 2. The configuration script.
  if (!settings.autoConfigUrl.empty() && configured.ok) {
    return FromScript(configured, Source::kAutoConfig, origin);
  }
  // 3. The fixed proxy.
  Choice choice;
  if (!settings.proxy.empty()) {
    choice.source = Source::kFixed;
    if (!Bypasses(settings.bypass, origin)) choice.proxy = ProxyFor(settings.proxy, origin.scheme);
  }
  // 4. No proxy at all.
  return choice;
}

}  // namespace proxy_rules
