// Windows' proxy settings turned into one request's proxy: the cases a plain reading of the
// settings gets wrong (libcurl's own bypass matching among them, which is why the engine
// never hands it a bypass list).
#include "http/ProxyRules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace proxy_rules;

TEST(ProxyRules, OriginsAndTheListsEntryForTheScheme) {
  const Origin o = OriginOf(L"HTTPS://user:pw@CDN.kelto.com/pkg.exe?x=1");
  EXPECT_EQ(o.scheme + L" " + o.host + L" " + std::to_wstring(o.port), L"https cdn.kelto.com 443");
  EXPECT_EQ(OriginOf(L"127.0.0.1:8080/a").port, 8080);
  EXPECT_EQ(OriginOf(L"http://host:99999/").port, 80) << "no port of that size";
  EXPECT_EQ(ProxyFor(L"proxy.corp", L"https"), L"http://proxy.corp:80");
  const std::wstring perScheme = L"HTTP=a.corp:81 https=b.corp:82;socks=c.corp";
  EXPECT_EQ(ProxyFor(perScheme, L"http"), L"http://a.corp:81");
  EXPECT_EQ(ProxyFor(perScheme, L"https"), L"http://b.corp:82");
  EXPECT_EQ(ProxyFor(L"ftp=f:21;socks=c.corp", L"http"), L"socks4://c.corp:1080");
  EXPECT_EQ(ProxyFor(L"p1:8080; p2:8080", L"http"), L"http://p1:8080");
  // Entries that name no host, or no scheme before "://", are skipped.
  EXPECT_EQ(ProxyFor(L"=;http=;:80;://p:8;1x://p:8;q:1", L"http"), L"http://q:1");
}

TEST(ProxyRules, BypassListsAsWindowsReadsThem) {
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
  EXPECT_TRUE(Bypasses(L"*", OriginOf(L"http://anything.at.all/")));
  EXPECT_FALSE(Bypasses(L"", OriginOf(L"http://localhost/")));
}

TEST(ProxyRules, DetectionThenScriptThenFixedProxyThenNone) {
  Settings settings{true, L"http://wpad.corp/proxy.pac", L"fixed:3128", L"*.corp"};
  const ScriptAnswer none, detected{true, L"detected:8080", L""};
  const ScriptAnswer configured{true, L"configured:8080", L""};
  const std::wstring url = L"http://update.kelto.com/qvinstall.txt";
  Choice c = Decide(settings, detected, configured, url);
  EXPECT_EQ(c.source, Source::kAutoDetect);
  EXPECT_EQ(c.proxy, L"http://detected:8080");
  EXPECT_EQ(Decide(settings, none, configured, url).proxy, L"http://configured:8080");
  EXPECT_EQ(Decide(settings, none, none, url).proxy, L"http://fixed:3128");
  // The fixed proxy's bypass list does not apply to what a script decides.
  EXPECT_EQ(Decide(settings, none, none, L"http://files.corp/").proxy, L"");
  EXPECT_EQ(Decide(settings, none, configured, L"http://files.corp/").proxy,
            L"http://configured:8080");
  // A script that says DIRECT, or bypasses the host, sends the request straight on.
  EXPECT_EQ(Decide(settings, ScriptAnswer{true, L"", L""}, configured, url).proxy, L"");
  EXPECT_EQ(Decide(settings, ScriptAnswer{true, L"p:1", L"update.kelto.com"}, none, url).proxy,
            L"");
  // Steps that are not set up are passed over, whatever a script would have said.
  settings = Settings();
  c = Decide(settings, detected, configured, url);
  EXPECT_EQ(c.source, Source::kDirect);
  EXPECT_EQ(c.proxy, L"");
}

}  // namespace
