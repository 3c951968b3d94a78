// The player's proxy from Windows' settings, under Wine: the settings are written where
// WinHTTP reads them (the binary DefaultConnectionSettings), a second test server is the
// proxy, and requests to 127.0.0.2 (which only the proxy reaches: the origin server listens
// on 127.0.0.1 alone) show whether they went through it. Every setting bypasses 127.0.0.1 and
// "localhost", so that the engine tests running meanwhile in other processes go on unproxied.
#include <winsock2.h>
#include <windows.h>

#include "http/SystemProxy.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "http/EngineFixture.h"
#include "http/HttpDownloadFile.h"
#include "runtime/Loggers.h"
#include "support/ScopedProxySettings.h"
#include "support/SupportLogFile.h"

using engine_test::ClosedPort;
using engine_test::Completion;
using engine_test::EngineTest;
using testing_support::FaultRule;
using testing_support::LoggedRequest;
using testing_support::TestHttpServer;

namespace {

// The bypass list of every setting here: what the other tests use.
constexpr const char* kOthersBypass = "127.0.0.1;localhost;<local>";

constexpr uint32_t kDirect = testing_support::ScopedProxySettings::kDirect;
constexpr uint32_t kFixedProxy = testing_support::ScopedProxySettings::kFixedProxy;
constexpr uint32_t kScript = testing_support::ScopedProxySettings::kScript;

// Windows' proxy settings for the test's duration, read again at once when they change.
class ProxySettings {
 public:
  ~ProxySettings() {
    settings_.reset();
    CSystemProxy::Instance().Forget();
  }
  bool Set(uint32_t flags, const std::string& proxy, const std::string& bypass,
           const std::string& script) {
    const bool written = settings_->Set(flags, proxy, bypass, script);
    CSystemProxy::Instance().Forget();
    return written;
  }

 private:
  std::unique_ptr<testing_support::ScopedProxySettings> settings_ =
      std::make_unique<testing_support::ScopedProxySettings>();
};

// The proxy in libcurl's environment variable for the test's duration.
class ProxyVariable {
 public:
  ProxyVariable(const wchar_t* name, const std::wstring& value) : name_(name) {
    ::SetEnvironmentVariableW(name_, value.c_str());
  }
  ~ProxyVariable() { ::SetEnvironmentVariableW(name_, nullptr); }

 private:
  const wchar_t* name_;
};

class SystemProxy : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    TestHttpServer::Options options;
    options.proxy = true;
    ASSERT_TRUE(proxy_.Start(root_.path(), options)) << proxy_.error();
  }

  // "127.0.0.1:PORT" of the proxy.
  std::string ProxyAddress() const { return "127.0.0.1:" + std::to_string(proxy_.port()); }
  // An address of the origin server that only a proxy reaches.
  std::string Proxied(const std::string& path) const {
    return "http://127.0.0.2:" + std::to_string(server_.port()) + path;
  }
  static std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

  // Fetches `url` with a command; its completion in `done`.
  testing::AssertionResult Get(const std::string& url, Completion& done) {
    command_ = std::make_unique<CHttpCommand>();
    command_->url = Wide(url);
    command_->onDone = engine_test::RecordCompletion;
    command_->userData = &done;
    return Run(*command_, done);
  }

  // The targets the proxy received, in order.
  std::vector<std::string> ProxiedTargets() {
    std::vector<std::string> targets;
    for (const LoggedRequest& request : proxy_.Requests()) targets.push_back(request.target);
    return targets;
  }

  void TearDown() override {
    command_.reset();
    EngineTest::TearDown();
  }

  ProxySettings settings_;
  TestHttpServer proxy_;
  std::unique_ptr<CHttpCommand> command_;
};

TEST_F(SystemProxy, TheFixedProxyCarriesRequestsItsBypassListDoesNot) {
  ASSERT_TRUE(settings_.Set(kDirect | kFixedProxy, ProxyAddress(), kOthersBypass, ""));
  Completion done;
  ASSERT_TRUE(Get(Proxied("/pkg.bin"), done));
  EXPECT_EQ(done.type, 0);
  EXPECT_TRUE(done.body == package_);
  EXPECT_EQ(ProxiedTargets(), std::vector<std::string>{Proxied("/pkg.bin")});
  // The proxy passed it on to the origin server.
  EXPECT_EQ(server_.RequestsFor("/pkg.bin").size(), 1u);

  // 127.0.0.1 is on the bypass list: straight to the server.
  Completion direct;
  ASSERT_TRUE(Get(server_.Url("/pkg.bin"), direct));
  EXPECT_EQ(direct.type, 0);
  EXPECT_EQ(proxy_.Requests().size(), 1u);
  EXPECT_EQ(server_.RequestsFor("/pkg.bin").size(), 2u);
}

// A download continues its partial file through the proxy as it would directly.
TEST_F(SystemProxy, ADownloadResumesThroughTheProxy) {
  ASSERT_TRUE(settings_.Set(kDirect | kFixedProxy, ProxyAddress(), kOthersBypass, ""));
  testing_support::TempFolder folder(L"proxy-dl");
  const std::wstring partial = folder / L"qvinstaller_1.0.tmp";
  ASSERT_TRUE(testing_support::WriteBinaryFile(partial, package_.substr(0, 40000)));
  CHttpDownloadFile download;
  int ends = 0, type = -1;
  struct Result { int* ends; int* type; } result{&ends, &type};
  ASSERT_TRUE(download.Setup(L"", Wide(Proxied("/pkg.bin")), partial, kPackageSize, &result,
                             [](void* user, int t, int) {
                               auto* r = static_cast<Result*>(user);
                               ++*r->ends;
                               *r->type = t;
                             },
                             nullptr));
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return ends > 0; }, 60000));
  EXPECT_EQ(type, 0);
  EXPECT_TRUE(testing_support::ReadBinaryFile(partial) == package_);
  const std::vector<LoggedRequest> relayed = proxy_.Requests();
  ASSERT_EQ(relayed.size(), 1u);
  EXPECT_EQ(relayed[0].range, "bytes=40000-");
  EXPECT_EQ(relayed[0].status, 206);
}

// The proxy's own page (its error page, a portal behind it) is a network failure.
TEST_F(SystemProxy, TheProxysOwnPageIsANetworkFailure) {
  ASSERT_TRUE(settings_.Set(kDirect | kFixedProxy, ProxyAddress(), kOthersBypass, ""));
  ASSERT_TRUE(proxy_.AddRule(FaultRule("/qvinstall.txt").Html()));
  Completion done;
  command_ = std::make_unique<CHttpCommand>();
  command_->refuseWebPages = true;
  command_->url = Wide(Proxied("/qvinstall.txt"));
  command_->onDone = engine_test::RecordCompletion;
  command_->userData = &done;
  ASSERT_TRUE(Run(*command_, done));
  EXPECT_EQ(done.type, 4);
  EXPECT_EQ(done.code, 511);
  EXPECT_TRUE(server_.Requests().empty()) << "the proxy answered itself";
}

// The configuration script decides per host; it is fetched from where the settings say.
TEST_F(SystemProxy, TheConfigurationScriptChoosesPerHost) {
  const std::string script =
      "function FindProxyForURL(url, host) {\n"
      "  if (host == \"127.0.0.2\") return \"PROXY " + ProxyAddress() + "\";\n"
      "  return \"DIRECT\";\n"
      "}\n";
  ASSERT_TRUE(testing_support::WriteBinaryFile(root_ / L"proxy.pac", script));
  ASSERT_TRUE(settings_.Set(kDirect | kScript, "", "", server_.Url("/proxy.pac")));

  Completion proxied, direct;
  ASSERT_TRUE(Get(Proxied("/pkg.bin"), proxied));
  ASSERT_TRUE(Get(server_.Url("/pkg.bin"), direct));
  EXPECT_EQ(proxied.type, 0);
  EXPECT_EQ(direct.type, 0);
  EXPECT_EQ(ProxiedTargets(), std::vector<std::string>{Proxied("/pkg.bin")});
  EXPECT_FALSE(server_.RequestsFor("/proxy.pac").empty());
  EXPECT_EQ(server_.RequestsFor("/pkg.bin").size(), 2u);
}

// A script that cannot be fetched gives way to the fixed proxy; the support log says so.
TEST_F(SystemProxy, AnUnreachableScriptGivesWayToTheFixedProxy) {
  testing_support::TempFolder logs(L"proxy-log");
  LoggerConfig config;
  config.flags = LoggerConfig::kTimeStamp | LoggerConfig::kProcessId | LoggerConfig::kThreadId;
  config.appendNewline = true;
  ASSERT_TRUE(FileLogger::Instance().Open(logs / L"support.log", config));
  const std::string script = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/proxy.pac";
  ASSERT_TRUE(settings_.Set(kDirect | kFixedProxy | kScript, ProxyAddress(), kOthersBypass, script));
  Completion done;
  ASSERT_TRUE(Get(Proxied("/pkg.bin"), done));
  FileLogger::Instance().Close();
  FileLogger::Instance().Detach();
  EXPECT_EQ(done.type, 0);
  EXPECT_EQ(ProxiedTargets(), std::vector<std::string>{Proxied("/pkg.bin")});

  const testing_support::SupportLogFile log = testing_support::ReadSupportLog(logs / L"support.log");
  EXPECT_EQ(log.Messages(L"proxy settings: auto-detection off, auto-config script \"" +
                         Wide(script) + L"\", proxy \"" + Wide(ProxyAddress()) + L"\"")
                .size(),
            1u);
  EXPECT_EQ(log.Messages(L"proxy auto-config script " + Wide(script) + L" cannot be used").size(),
            1u);
  const std::wstring origin = L"http://127.0.0.2:" + std::to_wstring(server_.port());
  EXPECT_EQ(log.Messages(L"proxy for " + origin),
            std::vector<std::wstring>{L"proxy for " + origin + L": http://" + Wide(ProxyAddress()) +
                                      L" (fixed proxy)"});
}

// libcurl's environment variables come first: with one set, Windows' settings are not used.
// Settings changed meanwhile count after Forget.
TEST_F(SystemProxy, TheEnvironmentComesBeforeWindowsSettings) {
  TestHttpServer other;
  TestHttpServer::Options options;
  options.proxy = true;
  ASSERT_TRUE(other.Start(root_.path(), options)) << other.error();
  ASSERT_TRUE(settings_.Set(kDirect | kFixedProxy, ProxyAddress(), kOthersBypass, ""));
  {
    ProxyVariable variable(L"http_proxy", L"http://127.0.0.1:" + std::to_wstring(other.port()));
    Completion done;
    ASSERT_TRUE(Get(Proxied("/pkg.bin"), done));
    EXPECT_EQ(done.type, 0);
    EXPECT_EQ(other.Requests().size(), 1u);
    EXPECT_TRUE(proxy_.Requests().empty());
  }
  Completion windows;
  ASSERT_TRUE(Get(Proxied("/pkg.bin"), windows));
  EXPECT_EQ(proxy_.Requests().size(), 1u);

  // The player switches to the other proxy.
  ASSERT_TRUE(settings_.Set(kDirect | kFixedProxy,
                            "http=127.0.0.1:" + std::to_string(other.port()) + ";https=" +
                                ProxyAddress(),
                            kOthersBypass, ""));
  Completion switched;
  ASSERT_TRUE(Get(Proxied("/pkg.bin"), switched));
  EXPECT_EQ(switched.type, 0);
  EXPECT_EQ(other.Requests().size(), 2u);
  EXPECT_EQ(proxy_.Requests().size(), 1u);
}

}  // namespace
