// The player's proxy from Windows' settings, under Wine: the settings are written where
// WinHTTP reads them (the binary DefaultConnectionSettings), a second test server is the
// proxy, and requests to 127.0.0.2 (which only the proxy reaches: the origin server listens
// on 127.0.0.1 alone) show whether they went through it. Every setting bypasses 127.0.0.1 and
// "localhost", so that the engine tests running meanwhile in other processes go unproxied.
#include <winsock2.h>
#include <windows.h>

#include "http/SystemProxy.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "http/EngineFixture.h"
#include "support/ScopedProxySettings.h"

using testing_support::LoggedRequest;
using testing_support::ScopedProxySettings;
using testing_support::TestHttpServer;

namespace {

constexpr const char* kOthersBypass = "127.0.0.1;localhost;<local>";
constexpr uint32_t kDirect = ScopedProxySettings::kDirect;
constexpr uint32_t kFixedProxy = ScopedProxySettings::kFixedProxy;

class SystemProxy : public engine_test::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ASSERT_TRUE(StartProxy(proxy_));
  }
  void TearDown() override {
    settings_.reset();
    CSystemProxy::Instance().Forget();
    EngineTest::TearDown();
  }

  testing::AssertionResult StartProxy(TestHttpServer& proxy) {
    TestHttpServer::Options options;
    options.proxy = true;
    if (proxy.Start(root_.path(), options)) return testing::AssertionSuccess();
    return testing::AssertionFailure() << proxy.error();
  }
  // Windows' settings for the rest of the test, read again at once.
  bool Set(uint32_t flags, const std::string& proxy, const std::string& bypass,
           const std::string& script) {
    const bool written = settings_->Set(flags, proxy, bypass, script);
    CSystemProxy::Instance().Forget();
    return written;
  }
  std::string ProxyAddress() const { return "127.0.0.1:" + std::to_string(proxy_.port()); }
  // An address of the origin server that only a proxy reaches.
  std::string Proxied(const std::string& path) const {
    return "http://127.0.0.2:" + std::to_string(server_.port()) + path;
  }
  // Whether a command fetched the package from `url`.
  bool Fetched(const std::string& url) {
    engine_test::Command command(testing_support::Utf8ToWide(url));
    return Run(command) && command.type == 0 && command.body == package_;
  }
  std::vector<std::string> Targets(TestHttpServer& proxy) {
    std::vector<std::string> targets;
    for (const LoggedRequest& request : proxy.Requests()) targets.push_back(request.target);
    return targets;
  }

  std::unique_ptr<ScopedProxySettings> settings_ = std::make_unique<ScopedProxySettings>();
  TestHttpServer proxy_;
};

// The fixed proxy carries what its bypass list does not name; libcurl's environment comes
// first; settings the player changes count once they are read again.
TEST_F(SystemProxy, TheFixedProxyItsBypassListAndTheEnvironment) {
  ASSERT_TRUE(Set(kDirect | kFixedProxy, ProxyAddress(), kOthersBypass, ""));
  EXPECT_TRUE(Fetched(Proxied("/pkg.bin")));
  EXPECT_TRUE(Fetched(server_.Url("/pkg.bin")));
  EXPECT_EQ(Targets(proxy_), std::vector<std::string>{Proxied("/pkg.bin")});
  EXPECT_EQ(server_.RequestsFor("/pkg.bin").size(), 2u);

  TestHttpServer other;
  ASSERT_TRUE(StartProxy(other));
  const std::string otherAddress = "127.0.0.1:" + std::to_string(other.port());
  ::SetEnvironmentVariableW(L"http_proxy", testing_support::Utf8ToWide("http://" + otherAddress).c_str());
  EXPECT_TRUE(Fetched(Proxied("/pkg.bin")));
  ::SetEnvironmentVariableW(L"http_proxy", nullptr);
  ASSERT_TRUE(Set(kDirect | kFixedProxy, "http=" + otherAddress + ";https=" + ProxyAddress(),
                  kOthersBypass, ""));
  EXPECT_TRUE(Fetched(Proxied("/pkg.bin")));
  EXPECT_EQ(other.Requests().size(), 2u);
  EXPECT_EQ(proxy_.Requests().size(), 1u);
}

// The configuration script decides per host; a script that cannot be fetched gives way to
// the fixed proxy, and the support log says so.
TEST_F(SystemProxy, TheConfigurationScriptThenTheFixedProxy) {
  const std::string script =
      "function FindProxyForURL(url, host) {\n"
      "  if (host == \"127.0.0.2\") return \"PROXY " + ProxyAddress() + "\";\n"
      "  return \"DIRECT\";\n"
      "}\n";
  ASSERT_TRUE(testing_support::WriteBinaryFile(root_ / L"proxy.pac", script));
  ASSERT_TRUE(Set(kDirect | ScopedProxySettings::kScript, "", "", server_.Url("/proxy.pac")));
  EXPECT_TRUE(Fetched(Proxied("/pkg.bin")));
  EXPECT_TRUE(Fetched(server_.Url("/pkg.bin")));
  EXPECT_EQ(Targets(proxy_), std::vector<std::string>{Proxied("/pkg.bin")});
  EXPECT_FALSE(server_.RequestsFor("/proxy.pac").empty());

  const std::string gone =
      "http://127.0.0.1:" + std::to_string(engine_test::ClosedPort()) + "/proxy.pac";
  ASSERT_TRUE(Set(kDirect | kFixedProxy | ScopedProxySettings::kScript, ProxyAddress(),
                  kOthersBypass, gone));
  EXPECT_TRUE(Fetched(Proxied("/pkg.bin")));
  EXPECT_EQ(proxy_.Requests().size(), 2u);
  const std::wstring wideGone = testing_support::Utf8ToWide(gone);
  const std::wstring proxy = testing_support::Utf8ToWide(ProxyAddress());
  EXPECT_EQ(Logged(L"proxy settings: auto-detection off, auto-config script \"" + wideGone +
                   L"\", proxy \"" + proxy + L"\"").size(),
            1u);
  EXPECT_EQ(Logged(L"proxy auto-config script " + wideGone + L" cannot be used").size(), 1u);
  const std::wstring origin = L"proxy for http://127.0.0.2:" + std::to_wstring(server_.port());
  EXPECT_EQ(Logged(origin), (std::vector<std::wstring>{
                                origin + L": http://" + proxy + L" (auto-config script)",
                                origin + L": http://" + proxy + L" (fixed proxy)"}));
}

}  // namespace
