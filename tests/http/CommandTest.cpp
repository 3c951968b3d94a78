// HTTP commands end to end under Wine: the real command family (workshop thread, multi
// handle, scheduler, 500 ms timer) against the fault-injecting test server; the scheduler's
// retries, requests that vanish while it holds them, and families that go down; the proxy.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "http/EngineFixture.h"
#include "http/HttpMgr.h"
#include "http/SystemProxy.h"
#include "support/ScopedProxySettings.h"

using engine_test::Command;
using testing_support::FaultRule;
using testing_support::PumpMessagesFor;
using testing_support::PumpMessagesUntil;
using testing_support::ScopedProxySettings;
using testing_support::TestHttpServer;
using testing_support::Utf8ToWide;

namespace {

// A command and how it must end.
struct Case : Command {
  using Command::Command;
  void Prepare() override {
    Command::Prepare();
    if (!handleless) return;
    curl_easy_cleanup(curl->easy);
    curl->easy = nullptr;
  }
  bool handleless = false;  // its transfer cannot join the workshop's multi handle
  int wantType = 0;
  int wantCode = 0;
  std::string wantBody;
  size_t runs = 1;
};

class HttpCommands : public engine_test::EngineTest {
 protected:
  // A command for `url`: a path of the plain server, or a whole address.
  Case& Add(const std::string& url, int type, int code, const std::string& body, size_t runs = 1) {
    Case& c = cases_.emplace_back(url[0] == '/' ? server_.WideUrl(url) : Utf8ToWide(url));
    c.wantType = type;
    c.wantCode = code;
    c.wantBody = body;
    c.runs = runs;
    return c;
  }

  std::deque<Case> cases_;
};

std::wstring Ansi(const std::string& bytes) {
  std::wstring text(bytes.size(), L'\0');
  text.resize(::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                    &text[0], static_cast<int>(text.size())));
  return text;
}

// Error statuses, never tried again, their pages logged as text on one line; POSTs; web pages
// where a file or a text is expected; transfers that cannot run. libcurl failures are tried
// three times; a dead link ends with libcurl's timeout once nothing moved for the stall limit
// (2 s here); https needs a certificate the machine trusts and is never redirected to http.
TEST_F(HttpCommands, EveryKindOfAnswerAndFailure) {
  TestHttpServer secure, rogue;
  ASSERT_TRUE(StartTls(secure, testing_support::TrustedLocalhost()));
  ASSERT_TRUE(StartTls(rogue, testing_support::RogueLocalhost()));
  const std::string manifest = "[Install]\r\nUrl=x\r\n", page = "\r\n<html><body>Sign in";
  const std::string utf8Page = "<p>\r\n\xe9\xa1\xb5\n</p>";
  const std::string localPage = "\xcd\xf8\xc2\xe7 error";  // a local code page's, not UTF-8
  ASSERT_TRUE(testing_support::WriteBinaryFile(root_ / L"post", page));
  ASSERT_TRUE(testing_support::WriteBinaryFile(root_ / L"manifest.txt", manifest));
  AddRule(FaultRule("/gone.txt").Status(404).Body(utf8Page, "text/html"));
  AddRule(FaultRule("/local.txt").Status(502).Body(localPage));
  AddRule(FaultRule("/long.txt").Status(503).Body(std::string(999, 'x') + "\xe4\xb8\xad"));
  AddRule(FaultRule("/loop.bin").Redirect(6));
  AddRule(FaultRule("/upload").Method("POST").Status(500));
  AddRule(FaultRule("/portal.txt").Html());
  AddRule(FaultRule("/notice.txt").Body(page, "text/plain"));
  AddRule(FaultRule("/silent.txt").Stall(-1));
  AddRule(FaultRule("/up.bin").Redirect(1, secure.Url("/pkg.bin")));
  ASSERT_TRUE(secure.AddRule(FaultRule("/down.bin").Redirect(1, server_.Url("/down.bin"))));
  ASSERT_TRUE(secure.AddRule(FaultRule("/up.bin").Redirect(1, secure.Url("/pkg.bin"))));

  Add("/loop.bin", 5, CURLE_TOO_MANY_REDIRECTS, "", 3);
  Add("/gone.txt", 4, 404, "");
  Add("/local.txt", 4, 502, "");
  Add("/long.txt", 4, 503, "");
  Case& post = Add("/post", 0, 0, page);
  post.method = CHttpBase::kPost;
  post.postData = "game=12&state=installed";
  // A large body waits for "100 Continue"; the status after it is the one that counts.
  Case& upload = Add("/upload", 4, 500, "");
  upload.method = CHttpBase::kPost;
  upload.postData = std::string(2u << 20, 'u');
  // The manifest's command takes no page for its text; other commands may fetch pages.
  Add("/portal.txt", 4, 511, "").refuseWebPages = true;
  Add("/notice.txt", 4, 511, "").refuseWebPages = true;
  Add("/manifest.txt", 0, 0, manifest).refuseWebPages = true;
  Add("/notice.txt", 0, 0, page);
  Add("http://127.0.0.1:" + std::to_string(engine_test::ClosedPort()), 5, CURLE_COULDNT_CONNECT,
      "", 3);
  Case& stalled = Add("/silent.txt", 5, CURLE_OPERATION_TIMEDOUT, "");
  stalled.stallTimeout = 2;
  stalled.maxRetries = 0;
  Add(secure.Url("/pkg.bin"), 0, 0, package_);
  Add(rogue.Url("/pkg.bin"), 5, CURLE_PEER_FAILED_VERIFICATION, "", 3);
  Add(secure.Url("/down.bin"), 5, CURLE_UNSUPPORTED_PROTOCOL, "", 3);
  Add(secure.Url("/up.bin"), 0, 0, package_);
  Add("/up.bin", 0, 0, package_);
  // A transfer the workshop cannot run ends as a failed run: its request never waits for ever.
  Add("/pkg.bin", 5, CURLE_FAILED_INIT, "", 3).handleless = true;
  std::vector<Command*> commands;
  for (Case& c : cases_) commands.push_back(&c);
  ASSERT_TRUE(RunAll(commands));

  for (const Case& c : cases_) {
    SCOPED_TRACE(testing_support::WideToUtf8(c.url));
    EXPECT_EQ(c.calls, 1);
    EXPECT_EQ(c.type, c.wantType);
    EXPECT_EQ(c.code, c.wantCode);
    EXPECT_TRUE(c.body == c.wantBody) << c.body.size() << " bytes";
    EXPECT_EQ(c.starts.size(), c.runs);
  }
  EXPECT_TRUE(CHttpEngine::CommandScheduler()->tasks().empty());
  EXPECT_EQ(server_.RequestsFor("/post")[0].body, post.postData);
  EXPECT_EQ(server_.RequestsFor("/upload")[0].Header("Expect"), "100-continue");
  EXPECT_TRUE(rogue.Requests().empty()) << "a request reached the untrusted server";
  EXPECT_TRUE(server_.RequestsFor("/down.bin").empty()) << "an https answer came over http";
  const std::wstring error = L"CCurlHttp::OnRecieveBody HTTP error  httpcode:";
  EXPECT_EQ(Logged(error + L"404 "), std::vector<std::wstring>{error + L"404 <p>  \u9875 </p>"});
  EXPECT_EQ(Logged(error + L"502 "), std::vector<std::wstring>{error + L"502 " + Ansi(localPage)});
  // Only the first 1000 bytes, less the character cut there.
  EXPECT_EQ(Logged(error + L"503 "),
            std::vector<std::wstring>{error + L"503 " + std::wstring(999, L'x')});
}

using Scheduler = engine_test::EngineTest;

// A retry waits for the timer to release it, more than the scheduler's pause after it was
// asked for; its tick taken before the tick counter wrapped lies above the counter's value
// after it, and it is released all the same. Requests belong to their creators, who may
// destroy them in their own completion callback or in the middle of a transfer.
TEST_F(Scheduler, RetriesAndRequestsDestroyedAnyTime) {
  // Alone: any other request's scheduling would start a waiting retry at once.
  Command wrapped(server_.WideUrl("/pkg.bin"));
  wrapped.retryPending = true;
  wrapped.retryTick = ::GetTickCount() - 0x70000000u;
  ASSERT_TRUE(CHttpEngine::JoinCommandScheduler(&wrapped));
  EXPECT_FALSE(wrapped.running);
  ASSERT_TRUE(PumpMessagesUntil([&] { return wrapped.calls == 1; }, 5000));
  EXPECT_EQ(wrapped.type, 0);
  Command refused(L"http://127.0.0.1:" + std::to_wstring(engine_test::ClosedPort()));
  ASSERT_TRUE(Run(refused));
  ASSERT_EQ(refused.starts.size(), 3u);
  EXPECT_GT(refused.starts[1] - refused.starts[0], CHttpMgr::kRetryDelayMs);
  EXPECT_GT(refused.starts[2] - refused.starts[1], CHttpMgr::kRetryDelayMs);

  ASSERT_TRUE(AddRule(FaultRule("/slow.txt").Stall(-1)));
  for (const char* path : {"/pkg.bin", "/missing.txt"}) {
    auto* command = new CHttpCommand();
    command->url = server_.WideUrl(path);
    command->onDone = [](void* self, const std::string&, int, int) {
      delete static_cast<CHttpCommand*>(self);
    };
    command->userData = command;
    ASSERT_TRUE(CHttpEngine::JoinCommandScheduler(command));
  }
  auto* running = new Command(server_.WideUrl("/slow.txt"));
  ASSERT_TRUE(CHttpEngine::JoinCommandScheduler(running));
  CHttpMgr* scheduler = CHttpEngine::CommandScheduler();
  ASSERT_TRUE(PumpMessagesUntil([&] {
    return scheduler->tasks().size() == 1 && !server_.RequestsFor("/slow.txt").empty();
  }));
  delete running;
  EXPECT_TRUE(scheduler->tasks().empty());
  EXPECT_EQ(scheduler->runningCount(), 0u);
  // The workshop lets the transfer go; the last reference leaves with its notification.
  ASSERT_TRUE(PumpMessagesUntil([&] { return CCurlBase::LiveCount() == liveBefore_; }));
}

// A request joins only its own family's scheduler, where its transfers' reports reach it.
// Shut-down lets the requests go without stopping them, and none keeps pointing at the
// family's scheduler or workshop, nor its transfer at the scheduler: also a request that
// never joined. A stopped request reports nothing. Start-up again brings a fresh family, which
// runs both: the one it let go of and the one made while no family ran.
TEST_F(Scheduler, OwnFamilyOnlyAndShutdownLeavesRequestsToTheirCreators) {
  ASSERT_TRUE(AddRule(FaultRule("/slow.txt").Stall(-1)));
  Command joined(server_.WideUrl("/slow.txt")), idle;
  EXPECT_FALSE(CHttpEngine::JoinDownloadScheduler(&joined));
  ASSERT_TRUE(CHttpEngine::JoinCommandScheduler(&joined));
  ASSERT_TRUE(PumpMessagesUntil([&] { return server_.RequestsFor("/slow.txt").size() == 1; }));
  CHttpEngine::ShutdownCommandFamily();
  for (const Command* command : {&joined, &idle}) {
    EXPECT_EQ(command->owner, nullptr);
    EXPECT_EQ(command->workshop, nullptr);
  }
  ASSERT_TRUE(joined.curl);
  EXPECT_EQ(joined.curl->listener(), nullptr);
  EXPECT_TRUE(joined.running);
  EXPECT_FALSE(CHttpEngine::JoinCommandScheduler(&joined));
  EXPECT_TRUE(joined.Stop());
  EXPECT_TRUE(idle.Stop());

  EXPECT_EQ(joined.calls, 0);
  Command unborn(server_.WideUrl("/pkg.bin"));
  ASSERT_TRUE(CHttpEngine::StartCommandFamily());
  joined.url = server_.WideUrl("/pkg.bin");
  ASSERT_TRUE(RunAll({&joined, &unborn}));
  for (const Command* command : {&joined, &unborn}) {
    EXPECT_EQ(command->calls, 1);
    EXPECT_EQ(command->type, 0);
  }
}

// The player's proxy from Windows' settings: the settings are written where WinHTTP reads
// them (the binary DefaultConnectionSettings), two more test servers are proxies, and requests
// to 127.0.0.2 (which only a proxy reaches: the origin server listens on 127.0.0.1 alone) show
// whether they went through one. Every setting bypasses 127.0.0.1 and "localhost", so that the
// engine tests running meanwhile in other processes go unproxied.
constexpr const char* kOthersBypass = "127.0.0.1;localhost;<local>";
constexpr uint32_t kDirect = ScopedProxySettings::kDirect;
constexpr uint32_t kFixedProxy = ScopedProxySettings::kFixedProxy;
constexpr uint32_t kScript = ScopedProxySettings::kScript;

class SystemProxy : public engine_test::EngineTest {
 protected:
  void TearDown() override {
    settings_.reset();
    CSystemProxy::Instance().Forget();
    EngineTest::TearDown();
  }

  // Windows' settings for the rest of the test, read again at once.
  bool Set(uint32_t flags, const std::string& proxy, const std::string& script = "") {
    const bool written = settings_->Set(flags, proxy, kOthersBypass, script);
    CSystemProxy::Instance().Forget();
    return written;
  }
  // Fetches the package from `url`: "proxy" or "other" for the proxy that carried it,
  // "direct" when none did, "failed" when it did not arrive. busiestMs_ is the longest the
  // thread spent away from its message loop meanwhile.
  std::string Route(const std::string& url) {
    const size_t before = proxy_.Requests().size(), otherBefore = other_.Requests().size();
    engine_test::Command command(Utf8ToWide(url));
    DWORD last = ::GetTickCount();
    busiestMs_ = 0;
    const auto beat = [&] {
      busiestMs_ = std::max<DWORD>(busiestMs_, ::GetTickCount() - last);
      last = ::GetTickCount();
      return command.calls > 0;
    };
    if (!CHttpEngine::JoinCommandScheduler(&command)) return "failed";
    beat();
    if (!PumpMessagesUntil(beat, 60000) || command.type != 0 || command.body != package_) {
      return "failed";
    }
    if (proxy_.Requests().size() > before) return "proxy";
    return other_.Requests().size() > otherBefore ? "other" : "direct";
  }
  static std::string Address(const TestHttpServer& proxy) {
    return "127.0.0.1:" + std::to_string(proxy.port());
  }

  std::unique_ptr<ScopedProxySettings> settings_ = std::make_unique<ScopedProxySettings>();
  TestHttpServer proxy_, other_;
  DWORD busiestMs_ = 0;
};

// The fixed proxy carries what its bypass list does not name; libcurl's environment comes
// first; changed settings count once they are read again; the configuration script decides
// per host (fetched while the thread's messages go on: it takes 3 s to come here), and one
// that cannot be fetched gives way to the fixed proxy, as the support log says.
TEST_F(SystemProxy, FixedProxyEnvironmentAndScript) {
  TestHttpServer::Options options;
  options.proxy = true;
  ASSERT_TRUE(proxy_.Start(root_.path(), options) && other_.Start(root_.path(), options));
  const std::string proxied = "http://127.0.0.2:" + std::to_string(server_.port()) + "/pkg.bin";
  const std::string direct = server_.Url("/pkg.bin");
  ASSERT_TRUE(Set(kDirect | kFixedProxy, Address(proxy_)));
  EXPECT_EQ(Route(proxied), "proxy");
  EXPECT_EQ(Route(direct), "direct");
  ::SetEnvironmentVariableW(L"http_proxy", Utf8ToWide("http://" + Address(other_)).c_str());
  EXPECT_EQ(Route(proxied), "other");
  ::SetEnvironmentVariableW(L"http_proxy", nullptr);
  ASSERT_TRUE(Set(kDirect | kFixedProxy, "http=" + Address(other_) + ";https=" + Address(proxy_)));
  EXPECT_EQ(Route(proxied), "other");

  ASSERT_TRUE(testing_support::WriteBinaryFile(
      root_ / L"proxy.pac", "function FindProxyForURL(url, host) {\n"
                            "  if (host == \"127.0.0.2\") return \"PROXY " + Address(proxy_) +
                                "\";\n  return \"DIRECT\";\n}\n"));
  AddRule(FaultRule("/proxy.pac").Times(1).Stall(3));
  ASSERT_TRUE(Set(kDirect | kScript, "", server_.Url("/proxy.pac")));
  EXPECT_EQ(Route(proxied), "proxy");
  EXPECT_LT(busiestMs_, 1000u) << "a proxy lookup held the thread";
  EXPECT_EQ(Route(direct), "direct");
  const std::string gone =
      "http://127.0.0.1:" + std::to_string(engine_test::ClosedPort()) + "/proxy.pac";
  ASSERT_TRUE(Set(kDirect | kFixedProxy | kScript, Address(other_), gone));
  EXPECT_EQ(Route(proxied), "other");
  EXPECT_EQ(Logged(L"proxy auto-config script " + Utf8ToWide(gone) + L" cannot be used").size(),
            1u);
  const std::wstring origin = L"proxy for http://127.0.0.2:" + std::to_wstring(server_.port());
  const std::vector<std::wstring> chosen = Logged(origin);
  ASSERT_FALSE(chosen.empty());
  EXPECT_EQ(chosen.back(), origin + L": http://" + Utf8ToWide(Address(other_)) + L" (fixed proxy)");
}

}  // namespace
