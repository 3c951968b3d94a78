// The test HTTP server's promises without faults: files, ranges, methods, the request log,
// the control routes and the server's lifetime.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "support/HttpServerFixture.h"
#include "support/ProcessRunner.h"

namespace testing_support {
namespace {

using HttpServer = HttpServerFixture;

TEST_F(HttpServer, ServesWholeFilesWithLengthAndValidators) {
  const HttpReply reply = Get("/pkg.bin");
  ASSERT_TRUE(reply.bodyComplete);
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.Header("Content-Length"), "100000");
  EXPECT_EQ(reply.Header("Accept-Ranges"), "bytes");
  EXPECT_FALSE(reply.Header("ETag").empty());
  EXPECT_FALSE(reply.Header("Last-Modified").empty());
  EXPECT_FALSE(reply.HasHeader("Content-Range"));
  EXPECT_TRUE(reply.body == payload_);
}

TEST_F(HttpServer, AnswersRangesWith206AndTheRightSlice) {
  struct Case {
    const char* range;
    size_t first;
    size_t length;
    const char* contentRange;
  };
  const Case cases[] = {
      {"bytes=0-99", 0, 100, "bytes 0-99/100000"},
      {"bytes=99990-", 99990, 10, "bytes 99990-99999/100000"},        // open-ended
      {"bytes=99990-250000", 99990, 10, "bytes 99990-99999/100000"},  // end cut to the file
      {"bytes=99999-99999", 99999, 1, "bytes 99999-99999/100000"},
      {"bytes=-10", 99990, 10, "bytes 99990-99999/100000"},           // suffix
      {"bytes=-250000", 0, 100000, "bytes 0-99999/100000"},           // suffix beyond the start
      {"bytes=0-", 0, 100000, "bytes 0-99999/100000"},
  };
  for (const Case& c : cases) {
    const HttpReply reply = Get("/pkg.bin", c.range);
    ASSERT_TRUE(reply.bodyComplete) << c.range;
    EXPECT_EQ(reply.status, 206) << c.range;
    EXPECT_EQ(reply.Header("Content-Range"), c.contentRange) << c.range;
    EXPECT_EQ(reply.Header("Content-Length"), std::to_string(c.length)) << c.range;
    EXPECT_TRUE(reply.body == Slice(c.first, c.length)) << c.range;
  }
}

TEST_F(HttpServer, RefusesRangesPastTheEndWith416) {
  for (const char* range : {"bytes=100000-", "bytes=100000-100010", "bytes=250000-", "bytes=-0"}) {
    const HttpReply reply = Get("/pkg.bin", range);
    ASSERT_TRUE(reply.bodyComplete) << range;
    EXPECT_EQ(reply.status, 416) << range;
    EXPECT_EQ(reply.Header("Content-Range"), "bytes */100000") << range;
  }
}

TEST_F(HttpServer, IgnoresRangesItCannotHonour) {
  // Malformed, backwards and multiple ranges: the whole file, as RFC 7233 allows.
  for (const char* range : {"bytes=500-100", "bytes=0-1,5-6", "items=0-5", "bytes=x-", "bytes=-"}) {
    const HttpReply reply = Get("/pkg.bin", range);
    ASSERT_TRUE(reply.bodyComplete) << range;
    EXPECT_EQ(reply.status, 200) << range;
    EXPECT_EQ(reply.body.size(), kPayloadSize) << range;
  }
}

TEST_F(HttpServer, HonoursIfRangeOnlyWhileTheFileIsUnchanged) {
  const std::string etag = Get("/pkg.bin", "", 15000).Header("ETag");
  ASSERT_FALSE(etag.empty());
  HttpRequest request;
  request.target = "/pkg.bin";
  request.headers = {{"Range", "bytes=10-19"}, {"If-Range", etag}};
  HttpReply reply = SendHttpRequest(server_.port(), request);
  EXPECT_EQ(reply.status, 206);
  EXPECT_TRUE(reply.body == Slice(10, 10));
  request.headers[1].second = "\"stale\"";
  reply = SendHttpRequest(server_.port(), request);
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.body.size(), kPayloadSize);
}

TEST_F(HttpServer, EmptyFileHasNoSatisfiableRange) {
  ASSERT_TRUE(WriteBinaryFile(root_ / L"empty.bin", ""));
  HttpReply reply = Get("/empty.bin");
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.Header("Content-Length"), "0");
  EXPECT_TRUE(reply.bodyComplete);
  EXPECT_EQ(Get("/empty.bin", "bytes=0-").status, 416);
  EXPECT_EQ(Get("/empty.bin", "bytes=-5").status, 416);
}

TEST_F(HttpServer, KeepsMissingFilesFoldersAndEscapesOut) {
  ASSERT_TRUE(::CreateDirectoryW((root_ / L"sub").c_str(), nullptr));
  ASSERT_TRUE(WriteBinaryFile(root_ / L"sub\\a.txt", "in sub"));
  EXPECT_EQ(Get("/sub/a.txt").body, "in sub");
  EXPECT_EQ(Get("/s%75b/a.txt").body, "in sub");  // percent-decoded
  for (const char* target : {"/missing.bin", "/sub", "/", "/../pkg.bin", "/sub/../../etc/passwd",
                             "/%2e%2e/%2e%2e/etc/passwd", "/%ff%fe", "/a%00b"}) {
    EXPECT_EQ(Get(target).status, 404) << target;
  }
}

TEST_F(HttpServer, HeadGivesHeadersOnlyAndPostServesTheFileAndLogsTheBody) {
  HttpRequest head;
  head.method = "HEAD";
  head.target = "/pkg.bin";
  head.headers = {{"Range", "bytes=5-9"}};
  TestHttpConnection connection(server_.port(), 15000);
  HttpReply reply = connection.Exchange(head);
  EXPECT_EQ(reply.status, 206);
  EXPECT_EQ(reply.Header("Content-Length"), "5");
  EXPECT_TRUE(reply.body.empty());
  // Nothing of a body followed the HEAD reply: the next reply on the connection is clean.
  reply = connection.Exchange(HttpRequest{"GET", "/pkg.bin", {{"Range", "bytes=0-3"}}, ""});
  EXPECT_EQ(reply.status, 206);
  EXPECT_TRUE(reply.body == Slice(0, 4));

  const std::string body("id=30&name=\xE5\x87\xAF\x00\xFF", 16);
  reply = SendHttpRequest(server_.port(), HttpRequest{"POST", "/pkg.bin?x=1", {}, body});
  EXPECT_EQ(reply.status, 200);
  EXPECT_TRUE(reply.body == payload_);
  const std::vector<LoggedRequest> log = server_.Requests();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].method, "HEAD");
  EXPECT_EQ(log[2].method, "POST");
  EXPECT_EQ(log[2].target, "/pkg.bin?x=1");
  EXPECT_EQ(log[2].path, "/pkg.bin");
  EXPECT_TRUE(log[2].body == body) << "the body must come back byte for byte";
}

TEST_F(HttpServer, LogsEveryRequestInOrderWithRangesAttemptsAndConnections) {
  TestHttpConnection kept(server_.port(), 15000);
  kept.Exchange(HttpRequest{"GET", "/pkg.bin", {{"Range", "bytes=0-"}}, ""});
  kept.Exchange(HttpRequest{"GET", "/pkg.bin", {{"Range", "bytes=50000-"}, {"X-Try", "2"}}, ""});
  Get("/other.bin");
  Get("/pkg.bin");

  const std::vector<LoggedRequest> log = server_.Requests();
  ASSERT_EQ(log.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(log[i].seq, i + 1);
  EXPECT_EQ(log[0].range, "bytes=0-");
  EXPECT_EQ(log[1].range, "bytes=50000-");
  EXPECT_EQ(log[1].Header("x-try"), "2");
  EXPECT_EQ(log[3].range, "");
  EXPECT_EQ(log[0].attempt, 1);
  EXPECT_EQ(log[1].attempt, 2);
  EXPECT_EQ(log[2].attempt, 1);
  EXPECT_EQ(log[3].attempt, 3);
  EXPECT_EQ(log[0].status, 206);
  EXPECT_EQ(log[2].status, 404);
  EXPECT_EQ(log[0].conn, log[1].conn) << "two requests on one kept-alive connection";
  EXPECT_NE(log[2].conn, log[1].conn);
  EXPECT_EQ(server_.RequestsFor("/pkg.bin").size(), 3u);

  // The same log is written to the file a shell script would read.
  const std::string file = ReadBinaryFile(server_.process().workDir() / L"log.jsonl");
  std::vector<JsonLine> lines;
  ASSERT_TRUE(JsonLine::ParseLines(file, &lines));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1].Text("range"), "bytes=50000-");

  ASSERT_TRUE(server_.Reset());
  EXPECT_TRUE(server_.Requests().empty());
  Get("/pkg.bin");
  ASSERT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(server_.Requests()[0].attempt, 1) << "reset starts the attempts again";
}

TEST_F(HttpServer, RefusesMalformedRulesWithAReason) {
  TestServerProcess& process = server_.process();
  EXPECT_FALSE(process.Control("POST", "rules", "{\"path\": \"/x\", \"bogus\": 1}"));
  EXPECT_NE(process.error().find("bogus"), std::string::npos) << process.error();
  EXPECT_FALSE(process.Control("POST", "rules", "{\"path\": \"/x\", \"status\": \"503\"}"));
  EXPECT_FALSE(process.Control("POST", "rules", "{\"status\": 503}"));
  EXPECT_FALSE(process.Control("POST", "rules", "not json"));
  EXPECT_FALSE(server_.AddRule(FaultRule("/x").Drip(0)));
  // A batch with one bad rule adds none of them.
  EXPECT_FALSE(process.Control("POST", "rules", "[{\"path\": \"/pkg.bin\", \"status\": 500},"
                                                " {\"path\": \"/x\", \"times\": true}]"));
  EXPECT_EQ(Get("/pkg.bin").status, 200);
  EXPECT_FALSE(process.Control("GET", "no-such-route"));
}

TEST_F(HttpServer, StopsOnRequestAndFreesItsPort) {
  const uint16_t port = server_.port();
  ASSERT_TRUE(IsListening(port));
  ASSERT_TRUE(server_.Stop()) << server_.error();
  EXPECT_FALSE(IsListening(port));
  EXPECT_TRUE(server_.Stop()) << "stopping twice is harmless";
}

// A test that dies without stopping its server must not leave the server running: the
// helper starts one and ends its own process abruptly; the server notices its tether close.
TEST(HttpServerLifetime, EndsWhenItsOwnerDiesWithoutStoppingIt) {
  TempFolder dir(L"orphan");
  const std::wstring helper = WindowsPathOfBuildFile(KELTO_ORPHAN_HELPER_EXE);
  const ProcessResult run = RunProcess(Quoted(helper) + L" " + Quoted(dir.path()), 60000);
  ASSERT_TRUE(run.started);
  ASSERT_FALSE(run.timedOut);
  const std::string report = ReadBinaryFile(dir / L"server.txt");
  ASSERT_FALSE(report.empty()) << "the helper wrote nothing";
  const size_t newline = report.find('\n');
  ASSERT_NE(newline, std::string::npos) << report;
  const uint16_t port = static_cast<uint16_t>(std::stoi(report.substr(0, newline)));
  const std::wstring serverDir = Utf8ToWide(report.substr(newline + 1));

  const uint32_t start = ::GetTickCount();
  while (IsListening(port) && ::GetTickCount() - start < 30000) ::Sleep(50);
  EXPECT_FALSE(IsListening(port)) << "the orphaned server still runs 30 s after its owner died";
  RemoveFolderTree(serverDir);
}

}  // namespace
}  // namespace testing_support
