// HTTP commands end to end under Wine: the real command family (workshop thread, multi
// handle, scheduler, 500 ms timer) against the fault-injecting test server. The commands run
// side by side, so that each pause of the retry timer serves them all.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "http/EngineFixture.h"
#include "http/HttpMgr.h"

using engine_test::Command;
using testing_support::FaultRule;

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
    Case& c = cases_.emplace_back(url[0] == '/' ? server_.WideUrl(url)
                                                : testing_support::Utf8ToWide(url));
    c.wantType = type;
    c.wantCode = code;
    c.wantBody = body;
    c.runs = runs;
    return c;
  }

  std::deque<Case> cases_;
};

std::wstring AnsiText(const std::string& bytes) {
  std::wstring text(bytes.size(), L'\0');
  text.resize(::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                    &text[0], static_cast<int>(text.size())));
  return text;
}

// Redirects, up to five; error statuses, never tried again, their pages
// logged as text on one line; POSTs; web pages where a file or a text is expected. libcurl
// failures are tried three times; a dead link ends with libcurl's timeout once nothing moved
// for the stall limit (2 s here); https needs a certificate the machine trusts and is never
// redirected to plain http.
TEST_F(HttpCommands, EveryKindOfAnswerAndFailure) {
  testing_support::TestHttpServer secure, rogue;
  ASSERT_TRUE(StartTls(secure, testing_support::TrustedLocalhost()));
  ASSERT_TRUE(StartTls(rogue, testing_support::RogueLocalhost()));
  const std::string manifest = "[Install]\r\nUrl=x\r\n", page = "\r\n<html><body>Sign in";
  const std::string utf8Page = "<p>\r\n\xe9\xa1\xb5\xe9\x9d\xa2\xe4\xb8\x8d\xe5\xad\x98\xe5\x9c\xa8\n</p>";
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
  upload.postData = engine_test::Pattern(2u << 20, 3);
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
  EXPECT_EQ(Logged(error + L"404 "),
            std::vector<std::wstring>{error + L"404 <p>  \u9875\u9762\u4e0d\u5b58\u5728 </p>"});
  EXPECT_EQ(Logged(error + L"502 "), std::vector<std::wstring>{error + L"502 " + AnsiText(localPage)});
  // Only the first 1000 bytes, less the character cut there.
  EXPECT_EQ(Logged(error + L"503 "),
            std::vector<std::wstring>{error + L"503 " + std::wstring(999, L'x')});
}

}  // namespace
