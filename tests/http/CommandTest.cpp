// HTTP commands end to end under Wine: the real command family (workshop thread, multi
// handle, scheduler, 500 ms timer) against the fault-injecting test server. The commands of
// a test run side by side, so that each pause of the retry timer serves them all.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "http/EngineFixture.h"
#include "http/HttpMgr.h"

using engine_test::Command;
using testing_support::FaultRule;
using testing_support::LoggedRequest;

namespace {

class HttpCommands : public engine_test::EngineTest {
 protected:
  // One command of the run and how it must end.
  struct Case {
    explicit Case(const std::wstring& url) : command(url) {}
    Command command;
    int type = 0;
    int code = 0;
    std::string body;
    size_t runs = 1;  // 0: not counted
  };

  // A command for `url` (a path of the plain server, or a whole address).
  Command& Add(const std::string& url, int type, int code, const std::string& body,
               size_t runs = 1) {
    cases_.emplace_back(url[0] == '/' ? server_.WideUrl(url) : testing_support::Utf8ToWide(url));
    cases_.back().type = type;
    cases_.back().code = code;
    cases_.back().body = body;
    cases_.back().runs = runs;
    return cases_.back().command;
  }

  void RunAndCheck() {
    std::vector<Command*> commands;
    for (Case& c : cases_) commands.push_back(&c.command);
    ASSERT_TRUE(RunAll(commands));
    for (const Case& c : cases_) {
      SCOPED_TRACE(testing_support::WideToUtf8(c.command.url));
      EXPECT_EQ(c.command.calls, 1);
      EXPECT_EQ(c.command.type, c.type);
      EXPECT_EQ(c.command.code, c.code);
      EXPECT_TRUE(c.command.body == c.body) << c.command.body.size() << " bytes";
      if (c.runs != 0) {
        EXPECT_EQ(c.command.starts.size(), c.runs);
      }
    }
    EXPECT_TRUE(CHttpEngine::CommandScheduler()->tasks().empty());
  }

  std::deque<Case> cases_;
};

std::wstring AnsiText(const std::string& bytes) {
  std::wstring text(bytes.size(), L'\0');
  text.resize(::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                    &text[0], static_cast<int>(text.size())));
  return text;
}

// Bodies of every size, redirects, error statuses (never retried, their pages logged as
// text on one line), POSTs, and web pages where a file or a text is expected.
TEST_F(HttpCommands, AnswersErrorsAndPages) {
  const std::string big = engine_test::Pattern((5u << 20) + 123, 7);  // past the first buffer
  const std::string manifest = "[Install]\r\nUrl=x\r\n";
  const std::string page = "\r\n<!DOCTYPE html><html><body>Sign in</body></html>";
  ASSERT_TRUE(testing_support::WriteBinaryFile(root_ / L"big.bin", big));
  ASSERT_TRUE(testing_support::WriteBinaryFile(root_ / L"report", "accepted"));
  ASSERT_TRUE(testing_support::WriteBinaryFile(root_ / L"manifest.txt", manifest));
  const std::string utf8Page = "<p>\r\n\xe9\xa1\xb5\xe9\x9d\xa2\xe4\xb8\x8d\xe5\xad\x98\xe5\x9c\xa8\n</p>";
  const std::string localPage = "\xcd\xf8\xc2\xe7 error";  // a local code page's, not UTF-8
  const std::string longPage = std::string(999, 'x') + "\xe4\xb8\xad\xe6\x96\x87";
  ASSERT_TRUE(AddRule(FaultRule("/gone.txt").Status(404).Body(utf8Page, "text/html")));
  ASSERT_TRUE(AddRule(FaultRule("/local.txt").Status(502).Body(localPage)));
  ASSERT_TRUE(AddRule(FaultRule("/long.txt").Status(503).Body(longPage)));
  ASSERT_TRUE(AddRule(FaultRule("/moved.bin").Redirect(5, "/pkg.bin")));
  ASSERT_TRUE(AddRule(FaultRule("/upload").Method("POST").Status(500)));
  ASSERT_TRUE(AddRule(FaultRule("/portal.txt").Html()));
  ASSERT_TRUE(AddRule(FaultRule("/notice.txt").Body(page, "text/plain")));

  Add("/pkg.bin", 0, 0, package_);
  Add("/big.bin", 0, 0, big);
  Add("/moved.bin", 0, 0, package_);
  Add("/gone.txt", 4, 404, "");
  Add("/local.txt", 4, 502, "");
  Add("/long.txt", 4, 503, "");
  Command& post = Add("/report", 0, 0, "accepted");
  post.method = CHttpBase::kPost;
  post.postData = "game=12&state=installed&path=D%3A%5Cgames";
  // A large body waits for "100 Continue"; the status after it is the one that counts.
  Command& upload = Add("/upload", 4, 500, "");
  upload.method = CHttpBase::kPost;
  upload.postData = engine_test::Pattern(2u << 20, 3);
  // The manifest's command takes no page for its text; other commands may fetch pages.
  Add("/portal.txt", 4, 511, "").refuseWebPages = true;
  Add("/notice.txt", 4, 511, "").refuseWebPages = true;
  Add("/manifest.txt", 0, 0, manifest).refuseWebPages = true;
  Add("/notice.txt", 0, 0, page);
  ASSERT_NO_FATAL_FAILURE(RunAndCheck());

  EXPECT_EQ(server_.RequestsFor("/moved.bin").size(), 1u);
  const std::vector<LoggedRequest> posted = server_.RequestsFor("/report");
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].method, "POST");
  EXPECT_EQ(posted[0].body, post.postData);
  const std::vector<LoggedRequest> uploaded = server_.RequestsFor("/upload");
  ASSERT_EQ(uploaded.size(), 1u);
  EXPECT_EQ(uploaded[0].Header("Expect"), "100-continue");
  const std::wstring error = L"CCurlHttp::OnRecieveBody HTTP error  httpcode:";
  EXPECT_EQ(Logged(error + L"404 "),
            std::vector<std::wstring>{error + L"404 <p>  \u9875\u9762\u4e0d\u5b58\u5728 </p>"});
  EXPECT_EQ(Logged(error + L"502 "), std::vector<std::wstring>{error + L"502 " + AnsiText(localPage)});
  // Only the first 1000 bytes, less the character cut there.
  EXPECT_EQ(Logged(error + L"503 "),
            std::vector<std::wstring>{error + L"503 " + std::wstring(999, L'x')});
}

// libcurl failures are tried three times; a dead
// link ends with libcurl's timeout once nothing moved for the stall limit (2 s here); https
// needs a certificate the machine trusts and never falls back to plain http.
TEST_F(HttpCommands, FailuresRetriesAndHttps) {
  testing_support::TestHttpServer secure, rogue;
  ASSERT_TRUE(StartTls(secure, testing_support::TrustedLocalhost()));
  ASSERT_TRUE(StartTls(rogue, testing_support::RogueLocalhost()));
  ASSERT_TRUE(AddRule(FaultRule("/reset.bin").Times(2).ResetConnection()));
  ASSERT_TRUE(AddRule(FaultRule("/loop.bin").Redirect(6)));
  ASSERT_TRUE(AddRule(FaultRule("/silent.txt").Stall(-1)));
  ASSERT_TRUE(AddRule(FaultRule("/up.bin").Redirect(1, secure.Url("/pkg.bin"))));
  ASSERT_TRUE(secure.AddRule(FaultRule("/down.bin").Redirect(1, server_.Url("/down.bin"))));
  ASSERT_TRUE(secure.AddRule(FaultRule("/up.bin").Redirect(1, secure.Url("/pkg.bin"))));
  ASSERT_TRUE(testing_support::WriteBinaryFile(root_ / L"reset.bin", package_));

  const std::string refused = "http://127.0.0.1:" + std::to_string(engine_test::ClosedPort());
  Add(refused + "/qvinstall.txt", 5, CURLE_COULDNT_CONNECT, "", 3);
  // libcurl itself sends a request again once when a kept-alive connection was reset.
  Add("/reset.bin", 0, 0, package_, 0);
  Add("/loop.bin", 5, CURLE_TOO_MANY_REDIRECTS, "", 3);
  Command& stalled = Add("/silent.txt", 5, CURLE_OPERATION_TIMEDOUT, "");
  stalled.stallTimeout = 2;
  stalled.maxRetries = 0;
  Add(secure.Url("/pkg.bin"), 0, 0, package_);
  Add(rogue.Url("/pkg.bin"), 5, CURLE_PEER_FAILED_VERIFICATION, "", 3);
  Add(secure.Url("/down.bin"), 5, CURLE_UNSUPPORTED_PROTOCOL, "", 3);
  Add(secure.Url("/up.bin"), 0, 0, package_);
  Add("/up.bin", 0, 0, package_);
  ASSERT_NO_FATAL_FAILURE(RunAndCheck());

  EXPECT_EQ(server_.RequestsFor("/reset.bin").size(), 3u);
  EXPECT_TRUE(rogue.Requests().empty()) << "a request reached the untrusted server";
  EXPECT_TRUE(server_.RequestsFor("/down.bin").empty()) << "an https answer came over http";
}

}  // namespace
