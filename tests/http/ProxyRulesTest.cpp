#include "http/ProxyRules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using proxy_rules::Bypasses;
using proxy_rules::Choice;
using proxy_rules::Decide;
using proxy_rules::OriginOf;
using proxy_rules::ProxyFor;
using proxy_rules::ScriptAnswer;
using proxy_rules::Settings;
using proxy_rules::Source;

TEST(ProxyRules, OriginsOfAddresses) {
  proxy_rules::Origin o = OriginOf(L"HTTP://Update.Kelto.COM/qvinstall.txt");
  EXPECT_EQ(o.scheme, L"http");
  EXPECT_EQ(o.host, L"update.kelto.com");
  EXPECT_EQ(o.port, 80);
  o = OriginOf(L"https://user:pw@cdn.kelto.com:8443/pkg.exe?x=1");
  EXPECT_EQ(o.scheme, L"https");
  EXPECT_EQ(o.host, L"cdn.kelto.com");
  EXPECT_EQ(o.port, 8443);
  o = OriginOf(L"https://[::1]/a");
  EXPECT_EQ(o.host, L"::1");
  EXPECT_EQ(o.port, 443);
  o = OriginOf(L"127.0.0.1:8080/a");
  EXPECT_EQ(o.scheme, L"http");
  EXPECT_EQ(o.host, L"127.0.0.1");
  EXPECT_EQ(o.port, 8080);
  EXPECT_EQ(OriginOf(L"http://host:99999/").port, 80) << "no port of that size";
  EXPECT_EQ(OriginOf(L"").host, L"");
}

TEST(ProxyRules, TheListsEntryForTheScheme) {
  EXPECT_EQ(ProxyFor(L"10.0.0.1:3128", L"http"), L"http://10.0.0.1:3128");
  EXPECT_EQ(ProxyFor(L"10.0.0.1:3128", L"https"), L"http://10.0.0.1:3128");
  EXPECT_EQ(ProxyFor(L"proxy.corp", L"http"), L"http://proxy.corp:80");
  const std::wstring perScheme = L"http=a.corp:81;https=b.corp:82;socks=c.corp";
  EXPECT_EQ(ProxyFor(perScheme, L"http"), L"http://a.corp:81");
  EXPECT_EQ(ProxyFor(perScheme, L"https"), L"http://b.corp:82");
  EXPECT_EQ(ProxyFor(L"ftp=f:21;socks=c.corp", L"http"), L"socks4://c.corp:1080");
  EXPECT_EQ(ProxyFor(L"ftp=f:21", L"http"), L"");
  // A script's answer lists proxies to try in turn: the first is taken.
  EXPECT_EQ(ProxyFor(L"p1:8080; p2:8080", L"http"), L"http://p1:8080");
  EXPECT_EQ(ProxyFor(L"HTTP=a:1 https=b:2", L"http"), L"http://a:1");
  EXPECT_EQ(ProxyFor(L"http://p:8000/", L"https"), L"http://p:8000");
  EXPECT_EQ(ProxyFor(L"[fe80::1]:3128", L"http"), L"http://[fe80::1]:3128");
  // Entries that name no host, or no scheme before "://", are skipped.
  EXPECT_EQ(ProxyFor(L"=;http=;:80;://p:8;1x://p:8;q:1", L"http"), L"http://q:1");
  EXPECT_EQ(ProxyFor(L"", L"http"), L"");
}

TEST(ProxyRules, BypassListsAsWindowsReadsThem) {
  const auto origin = [](const wchar_t* url) { return OriginOf(url); };
  const std::wstring list = L"*.kelto.local; 192.168.* ;<local>;http://intranet:8080;Exact.Host";
  EXPECT_TRUE(Bypasses(list, origin(L"http://cdn.kelto.local/p")));
  EXPECT_FALSE(Bypasses(list, origin(L"http://kelto.local/p")));
  EXPECT_TRUE(Bypasses(list, origin(L"http://192.168.1.20/p")));
  EXPECT_FALSE(Bypasses(list, origin(L"http://10.192.168.1/p")));
  EXPECT_TRUE(Bypasses(list, origin(L"http://fileserver/p"))) << "<local>: no dot";
  EXPECT_FALSE(Bypasses(list, origin(L"http://[::1]/p")));
  EXPECT_TRUE(Bypasses(list, origin(L"http://intranet:8080/")));
  EXPECT_FALSE(Bypasses(list, origin(L"http://intranet.corp:8080/")));
  EXPECT_TRUE(Bypasses(L"http://intranet.corp:8080", origin(L"http://intranet.corp:8080/")));
  EXPECT_FALSE(Bypasses(L"http://intranet.corp:8080", origin(L"https://intranet.corp:8080/")));
  EXPECT_FALSE(Bypasses(L"http://intranet.corp:8080", origin(L"http://intranet.corp/")));
  EXPECT_TRUE(Bypasses(list, origin(L"https://exact.host/")));
  EXPECT_FALSE(Bypasses(list, origin(L"https://www.exact.host/")));
  EXPECT_TRUE(Bypasses(L"*", origin(L"http://anything.at.all/")));
  EXPECT_TRUE(Bypasses(L"127.0.0.1", origin(L"http://127.0.0.1:18601/")));
  EXPECT_FALSE(Bypasses(L"", origin(L"http://localhost/")));
}

TEST(ProxyRules, DetectionThenScriptThenFixedProxyThenNone) {
  Settings settings;
  settings.autoDetect = true;
  settings.autoConfigUrl = L"http://wpad.corp/proxy.pac";
  settings.proxy = L"fixed:3128";
  settings.bypass = L"*.corp";
  const ScriptAnswer none;
  ScriptAnswer detected{true, L"detected:8080", L""};
  ScriptAnswer configured{true, L"configured:8080", L""};
  const std::wstring url = L"http://update.kelto.com/qvinstall.txt";

  Choice c = Decide(settings, detected, configured, url);
  EXPECT_EQ(c.source, Source::kAutoDetect);
  EXPECT_EQ(c.proxy, L"http://detected:8080");
  c = Decide(settings, none, configured, url);
  EXPECT_EQ(c.source, Source::kAutoConfig);
  EXPECT_EQ(c.proxy, L"http://configured:8080");
  c = Decide(settings, none, none, url);
  EXPECT_EQ(c.source, Source::kFixed);
  EXPECT_EQ(c.proxy, L"http://fixed:3128");
  // The fixed proxy's bypass list does not apply to what a script decides.
  EXPECT_EQ(Decide(settings, none, none, L"http://files.corp/").proxy, L"");
  EXPECT_EQ(Decide(settings, none, configured, L"http://files.corp/").proxy,
            L"http://configured:8080");

  // A script that says DIRECT, or bypasses the host, sends the request straight on.
  c = Decide(settings, ScriptAnswer{true, L"", L""}, configured, url);
  EXPECT_EQ(c.source, Source::kAutoDetect);
  EXPECT_EQ(c.proxy, L"");
  EXPECT_EQ(Decide(settings, ScriptAnswer{true, L"p:1", L"update.kelto.com"}, none, url).proxy,
            L"");

  // Steps that are not set up are passed over, whatever a script would have said.
  settings.autoDetect = false;
  settings.autoConfigUrl.clear();
  EXPECT_EQ(Decide(settings, detected, configured, url).proxy, L"http://fixed:3128");
  settings.proxy.clear();
  c = Decide(settings, detected, configured, url);
  EXPECT_EQ(c.source, Source::kDirect);
  EXPECT_EQ(c.proxy, L"");
  EXPECT_STREQ(proxy_rules::SourceName(c.source), L"direct");
}

}  // namespace
