// The player's proxy from Windows' settings, under Wine: the settings are written where
// WinHTTP reads them (the binary DefaultConnectionSettings), two more test servers are
// proxies, and requests to 127.0.0.2 (which only a proxy reaches: the origin server listens
// on 127.0.0.1 alone) show whether they went through one. Every setting bypasses 127.0.0.1 and
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

using testing_support::ScopedProxySettings;
using testing_support::TestHttpServer;
using testing_support::Utf8ToWide;

namespace {

constexpr const char* kOthersBypass = "127.0.0.1;localhost;<local>";
constexpr uint32_t kDirect = ScopedProxySettings::kDirect;
constexpr uint32_t kFixedProxy = ScopedProxySettings::kFixedProxy;
constexpr uint32_t kScript = ScopedProxySettings::kScript;

class SystemProxy : public engine_test::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    TestHttpServer::Options options;
    options.proxy = true;
    ASSERT_TRUE(proxy_.Start(root_.path(), options)) << proxy_.error();
    ASSERT_TRUE(other_.Start(root_.path(), options)) << other_.error();
  }
  void TearDown() override {
    settings_.reset();
    CSystemProxy::Instance().Forget();
    EngineTest::TearDown();
  }

  // Windows' settings for the rest of the test, read again at once.
  bool Set(uint32_t flags, const std::string& proxy, const std::string& bypass,
           const std::string& script) {
    const bool written = settings_->Set(flags, proxy, bypass, script);
    CSystemProxy::Instance().Forget();
    return written;
  }
  // Fetches the package from `url`: "proxy" or "other" for the proxy that carried it,
  // "direct" when none did, "failed" when it did not arrive.
  std::string Route(const std::string& url) {
    const size_t before = proxy_.Requests().size(), otherBefore = other_.Requests().size();
    engine_test::Command command(Utf8ToWide(url));
    if (!Run(command) || command.type != 0 || command.body != package_) return "failed";
    if (proxy_.Requests().size() > before) return "proxy";
    return other_.Requests().size() > otherBefore ? "other" : "direct";
  }
  static std::string Address(const TestHttpServer& proxy) {
    return "127.0.0.1:" + std::to_string(proxy.port());
  }

  std::unique_ptr<ScopedProxySettings> settings_ = std::make_unique<ScopedProxySettings>();
  TestHttpServer proxy_, other_;
};

// The fixed proxy carries what its bypass list does not name; libcurl's environment comes
// first; changed settings count once they are read again; the configuration script decides
// per host, and one that cannot be fetched gives way to the fixed proxy, as the support log
// says.
TEST_F(SystemProxy, FixedProxyEnvironmentAndScript) {
  const std::string proxied = "http://127.0.0.2:" + std::to_string(server_.port()) + "/pkg.bin";
  const std::string direct = server_.Url("/pkg.bin");
  ASSERT_TRUE(Set(kDirect | kFixedProxy, Address(proxy_), kOthersBypass, ""));
  EXPECT_EQ(Route(proxied), "proxy");
  EXPECT_EQ(Route(direct), "direct");
  ::SetEnvironmentVariableW(L"http_proxy", Utf8ToWide("http://" + Address(other_)).c_str());
  EXPECT_EQ(Route(proxied), "other");
  ::SetEnvironmentVariableW(L"http_proxy", nullptr);
  ASSERT_TRUE(Set(kDirect | kFixedProxy, "http=" + Address(other_) + ";https=" + Address(proxy_),
                  kOthersBypass, ""));
  EXPECT_EQ(Route(proxied), "other");

  ASSERT_TRUE(testing_support::WriteBinaryFile(
      root_ / L"proxy.pac", "function FindProxyForURL(url, host) {\n"
                            "  if (host == \"127.0.0.2\") return \"PROXY " + Address(proxy_) +
                                "\";\n  return \"DIRECT\";\n}\n"));
  ASSERT_TRUE(Set(kDirect | kScript, "", "", server_.Url("/proxy.pac")));
  EXPECT_EQ(Route(proxied), "proxy");
  EXPECT_EQ(Route(direct), "direct");
  const std::string gone =
      "http://127.0.0.1:" + std::to_string(engine_test::ClosedPort()) + "/proxy.pac";
  ASSERT_TRUE(Set(kDirect | kFixedProxy | kScript, Address(other_), kOthersBypass, gone));
  EXPECT_EQ(Route(proxied), "other");
  EXPECT_EQ(Logged(L"proxy auto-config script " + Utf8ToWide(gone) + L" cannot be used").size(),
            1u);
  const std::wstring origin = L"proxy for http://127.0.0.2:" + std::to_wstring(server_.port());
  const std::vector<std::wstring> chosen = Logged(origin);
  ASSERT_FALSE(chosen.empty());
  EXPECT_EQ(chosen.back(), origin + L": http://" + Utf8ToWide(Address(other_)) + L" (fixed proxy)");
}

}  // namespace
