// Proxy settings come from the registry, which any program of the user may write, and from
// proxy scripts' answers: any text must be handled without a fault, and a proxy that comes
// out must be one libcurl can take.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/ProxyRules.h"

namespace {

bool WellFormedProxy(const std::wstring& proxy) {
  if (proxy.empty()) return true;
  const size_t separator = proxy.find(L"://");
  const size_t colon = proxy.rfind(L':');
  return separator != std::wstring::npos && separator > 0 && colon > separator + 3 &&
         colon + 1 < proxy.size() && proxy.find_first_of(L"/;, \t", separator + 3) == std::wstring::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::wstring wide(text.begin(), text.end());
  // The first half as the settings' lists, the second as an address.
  const std::wstring list = wide.substr(0, wide.size() / 2);
  const std::wstring url = wide.substr(wide.size() / 2);

  const proxy_rules::Origin origin = proxy_rules::OriginOf(url);
  if (origin.port <= 0 || origin.port > 65535) std::abort();
  for (const wchar_t* scheme : {L"http", L"https"}) {
    if (!WellFormedProxy(proxy_rules::ProxyFor(list, scheme))) std::abort();
  }
  // "*" names every host, so nothing it bypasses is sent to a proxy.
  if (!proxy_rules::Bypasses(L"*", origin) && !origin.host.empty()) std::abort();
  proxy_rules::Bypasses(list, origin);

  proxy_rules::Settings settings;
  settings.proxy = list;
  settings.bypass = url;
  const proxy_rules::ScriptAnswer none;
  const proxy_rules::Choice choice = proxy_rules::Decide(settings, none, none, url);
  if (!WellFormedProxy(choice.proxy)) std::abort();
  return 0;
}
