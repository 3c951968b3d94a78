// The cost of finding the player's proxy for a request, under Wine, in one run: with a proxy
// configuration script served by the test server on loopback, a lookup that reads the
// settings and runs the script (what every request would cost without the cache), one that
// only reads the settings (no script set up), and one the cache answers (what requests cost
// within the cache's lifetime). Prints "BENCH <name> <value> <unit>" lines; the ratio is the
// scripted lookup against the cached one of the same run: what the cache saves a request.
//
// The settings are the current user's: the benchmark puts them back when it ends, and runs
// alone (`make bench`), never beside the tests.
//
// Exit code 1 when the server cannot start or the settings cannot be written.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "BenchSupport.h"
#include "http/SystemProxy.h"
#include "support/ScopedProxySettings.h"
#include "support/TestFiles.h"
#include "support/TestHttpServer.h"

namespace {

constexpr int kScriptRounds = 20;
constexpr int kSettingsRounds = 200;
constexpr int kCachedRounds = 20000;

using testing_support::ScopedProxySettings;

}  // namespace

int wmain() {
  testing_support::TempFolder root(L"bench-proxy");
  const std::string script =
      "function FindProxyForURL(url, host) {\n"
      "  if (shExpMatch(host, \"*.kelto.test\")) return \"PROXY 127.0.0.1:3128\";\n"
      "  return \"DIRECT\";\n"
      "}\n";
  testing_support::TestHttpServer server;
  if (!testing_support::WriteBinaryFile(root / L"proxy.pac", script) ||
      !server.Start(root.path())) {
    std::fprintf(stderr, "proxy bench: the script's server did not start: %s\n",
                 server.error().c_str());
    return 1;
  }
  const std::wstring url = L"http://update.kelto.test/qvinstall.txt";
  CSystemProxy& proxy = CSystemProxy::Instance();
  int status = 0;
  {
    ScopedProxySettings settings;
    if (!settings.Set(ScopedProxySettings::kDirect | ScopedProxySettings::kScript, "", "",
                      server.Url("/proxy.pac"))) {
      std::fprintf(stderr, "proxy bench: the settings cannot be written\n");
      return 1;
    }
    proxy.Forget();
    if (proxy.For(url).choice.proxy != L"http://127.0.0.1:3128") {
      std::fprintf(stderr, "proxy bench: the script did not choose its proxy\n");
      status = 1;
    }
    const double scripted = bench_support::Median(kScriptRounds, [&] {
      proxy.Forget();
      proxy.For(url);
    });
    const double cached = bench_support::Median(1, [&] {
      for (int i = 0; i < kCachedRounds; ++i) proxy.For(url);
    }) / kCachedRounds;

    settings.Set(ScopedProxySettings::kDirect, "", "", "");
    const double settingsOnly = bench_support::Median(kSettingsRounds, [&] {
      proxy.Forget();
      proxy.For(url);
    });

    bench_support::Report("proxy_lookup_script", scripted * 1e3, "ms");
    bench_support::Report("proxy_lookup_settings_only", settingsOnly * 1e6, "us");
    bench_support::Report("proxy_lookup_cached", cached * 1e6, "us");
    bench_support::Report("proxy_lookup_script_vs_cached", scripted / cached, "ratio");
  }
  proxy.Forget();
  return status;
}
