// Windows' proxy settings turned into one request's proxy, in the cases the system proxy's
// test under Wine does not reach: bypass entries as Windows reads them (libcurl's own bypass
// matching differs, which is why the engine never hands it a list), per-scheme and SOCKS
// entries, malformed lists, and the order of precedence.
#include "http/ProxyRules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace proxy_rules;

TEST(ProxyRules, ListsEntriesAndBypassesAsWindowsReadsThem) {
  EXPECT_EQ(OriginOf(L"http://host:99999/").port, 80) << "no port of that size";
  EXPECT_EQ(ProxyFor(L"HTTP=a.corp:81 https=b.corp:82", L"https"), L"http://b.corp:82");
  EXPECT_EQ(ProxyFor(L"ftp=f:21;socks=c.corp", L"http"), L"socks4://c.corp:1080");
  // Entries that name no host, or no scheme before "://", are skipped.
  EXPECT_EQ(ProxyFor(L"=;http=;:80;://p:8;1x://p:8;q", L"http"), L"http://q:80");
  const std::wstring list = L"*.kelto.local; 192.168.* ;<local>;http://intra.corp:8080;Exact.Host";
  for (const wchar_t* url : {L"http://cdn.kelto.local/p", L"http://192.168.1.20/p",
                             L"http://fileserver/p", L"http://intra.corp:8080/", L"https://exact.host/"}) {
    EXPECT_TRUE(Bypasses(list, OriginOf(url))) << url;
  }
  for (const wchar_t* url : {L"http://kelto.local/p", L"http://10.192.168.1/p", L"http://[::1]/p",
                             L"http://intra.corp.x:8080/", L"https://intra.corp:8080/",
                             L"http://intra.corp/", L"https://www.exact.host/"}) {
    EXPECT_FALSE(Bypasses(list, OriginOf(url))) << url;
  }
}

TEST(ProxyRules, DetectionThenScriptThenFixedProxyThenNone) {
  Settings settings{true, L"http://wpad.corp/proxy.pac", L"fixed:3128", L"*.corp"};
  const ScriptAnswer none, detected{true, L"detected:8080", L""};
  const ScriptAnswer configured{true, L"configured:8080", L""};
  const std::wstring url = L"http://update.kelto.com/qvinstall.txt";
  EXPECT_EQ(Decide(settings, detected, configured, url).proxy, L"http://detected:8080");
  EXPECT_EQ(Decide(settings, none, configured, url).proxy, L"http://configured:8080");
  // The fixed proxy's bypass list does not apply to what a script decides.
  EXPECT_EQ(Decide(settings, none, configured, L"http://files.corp/").proxy,
            L"http://configured:8080");
  EXPECT_EQ(Decide(settings, none, none, L"http://files.corp/").proxy, L"");
  // A script that says DIRECT, or bypasses the host, sends the request straight on.
  EXPECT_EQ(Decide(settings, ScriptAnswer{true, L"", L""}, configured, url).proxy, L"");
  EXPECT_EQ(Decide(settings, ScriptAnswer{true, L"p:1", L"update.kelto.com"}, none, url).proxy,
            L"");
  // Steps that are not set up are passed over, whatever a script would have said.
  EXPECT_EQ(Decide(Settings(), detected, configured, url).source, Source::kDirect);
}

}  // namespace
