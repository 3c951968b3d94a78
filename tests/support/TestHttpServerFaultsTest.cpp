// The test HTTP server's scripted faults: each does what it promises on the wire, applies to
// the requests it is meant for, and shows in the request log.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "support/HttpServerFixture.h"

namespace testing_support {
namespace {

using HttpServerFaults = HttpServerFixture;

TEST_F(HttpServerFaults, StatusForTheFirstAttemptsThenTheFile) {
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Times(2).Status(503)));
  EXPECT_EQ(Get("/other.bin").status, 404) << "a rule applies to its own path only";
  HttpReply first = Get("/pkg.bin");
  EXPECT_EQ(first.status, 503);
  EXPECT_TRUE(first.bodyComplete);
  EXPECT_EQ(Get("/pkg.bin").status, 503);
  HttpReply third = Get("/pkg.bin");
  EXPECT_EQ(third.status, 200);
  EXPECT_TRUE(third.body == payload_);

  const std::vector<LoggedRequest> log = server_.RequestsFor("/pkg.bin");
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].rule, 0);
  EXPECT_EQ(log[0].faults, "status");
  EXPECT_EQ(log[1].status, 503);
  EXPECT_EQ(log[2].rule, -1);
  EXPECT_EQ(log[2].attempt, 3);
}

TEST_F(HttpServerFaults, RulesApplyInOrderWithSkipTimesAndMethod) {
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Method("HEAD").Status(405)));
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Method("GET").Skip(1).Times(1).Status(500)));
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Method("GET").Times(1).CloseAfter(10)));
  ASSERT_TRUE(AddRule(FaultRule("*").Times(1).Status(502)));

  // GET 1: rule 1 skips it, rule 2 closes after 10 bytes.
  EXPECT_EQ(Get("/pkg.bin").body.size(), 10u);
  // GET 2: rule 1 fires (its skip is used up).
  EXPECT_EQ(Get("/pkg.bin").status, 500);
  // GET 3: rules 1 and 2 are retired; the catch-all fires once.
  EXPECT_EQ(Get("/pkg.bin").status, 502);
  EXPECT_EQ(Get("/pkg.bin").status, 200);
  HttpRequest head{"HEAD", "/pkg.bin", {}, ""};
  EXPECT_EQ(SendHttpRequest(server_.port(), head).status, 405);

  ASSERT_TRUE(server_.ClearRules());
  EXPECT_EQ(SendHttpRequest(server_.port(), head).status, 200);
}

TEST_F(HttpServerFaults, CloseAfterSendsThatManyBodyBytesThenCloses) {
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Times(1).CloseAfter(1000)));
  const HttpReply cut = Get("/pkg.bin", "bytes=2000-");
  EXPECT_EQ(cut.status, 206);
  EXPECT_EQ(cut.Header("Content-Length"), "98000");
  EXPECT_TRUE(cut.closedByPeer);
  EXPECT_FALSE(cut.bodyComplete);
  EXPECT_TRUE(cut.body == Slice(2000, 1000));
  // Once: the resumed request gets the rest.
  const HttpReply rest = Get("/pkg.bin", "bytes=3000-");
  EXPECT_TRUE(rest.bodyComplete);
  EXPECT_TRUE(rest.body == Slice(3000, kPayloadSize - 3000));
}

TEST_F(HttpServerFaults, ResetEndsTheConnectionBeforeAnyReply) {
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Times(1).ResetConnection()));
  const HttpReply reply = Get("/pkg.bin");
  EXPECT_FALSE(reply.headersComplete);
  EXPECT_TRUE(reply.resetByPeer || reply.closedByPeer);
  EXPECT_EQ(reply.status, 0);
  const std::vector<LoggedRequest> log = server_.Requests();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].status, 0);
  EXPECT_EQ(log[0].faults, "reset");
}

TEST_F(HttpServerFaults, StallForeverHoldsTheReplyUntilTheClientGivesUp) {
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Times(1).Stall(-1)));
  const HttpReply stalled = Get("/pkg.bin", "", 800);
  EXPECT_TRUE(stalled.timedOut);
  EXPECT_FALSE(stalled.headersComplete);
  // The stalled request is in the log already, and the server goes on serving.
  ASSERT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(Get("/pkg.bin").status, 200);
}

TEST_F(HttpServerFaults, StallAfterSomeBodyBytes) {
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Times(1).StallAfter(100)));
  const HttpReply stalled = Get("/pkg.bin", "", 800);
  EXPECT_EQ(stalled.status, 200);
  EXPECT_TRUE(stalled.timedOut);
  EXPECT_TRUE(stalled.body == Slice(0, 100));

  // A finite stall delays the rest of the body but delivers all of it.
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Times(1).StallAfter(100, 0.5)));
  const HttpReply late = Get("/pkg.bin");
  EXPECT_TRUE(late.bodyComplete);
  EXPECT_TRUE(late.body == payload_);
  EXPECT_GE(late.elapsedMs, 400u);
}

TEST_F(HttpServerFaults, StopEndsAStalledReply) {
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Stall(-1)));
  TestHttpConnection connection(server_.port(), 15000);
  ASSERT_TRUE(connection.SendRaw("GET /pkg.bin HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
  const uint32_t start = ::GetTickCount();
  while (server_.Requests().empty() && ::GetTickCount() - start < 10000) ::Sleep(20);
  ASSERT_TRUE(server_.Stop()) << server_.error();
  EXPECT_TRUE(connection.WaitForClose());
}

TEST_F(HttpServerFaults, DripSendsTheBodySlowlyAndWhole) {
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Times(1).Drip(2000)));
  const HttpReply reply = Get("/pkg.bin", "bytes=0-999");
  EXPECT_TRUE(reply.bodyComplete);
  EXPECT_TRUE(reply.body == Slice(0, 1000));
  EXPECT_GE(reply.elapsedMs, 350u) << "1000 bytes at 2000 bytes/s take about half a second";
}

TEST_F(HttpServerFaults, IgnoreRangeAnswers200WithTheWholeFile) {
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").IgnoreRange()));
  const HttpReply reply = Get("/pkg.bin", "bytes=5000-");
  EXPECT_EQ(reply.status, 200);
  EXPECT_FALSE(reply.HasHeader("Content-Range"));
  EXPECT_TRUE(reply.body == payload_);
  EXPECT_EQ(server_.Requests()[0].range, "bytes=5000-");
}

TEST_F(HttpServerFaults, WrongContentLengthIsAnnouncedAndTheTrueBodySent) {
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Times(1).LengthDelta(5)));
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Times(1).LengthDelta(-5)));
  const HttpReply longer = Get("/pkg.bin", "bytes=0-99");
  EXPECT_EQ(longer.Header("Content-Length"), "105");
  EXPECT_FALSE(longer.bodyComplete);
  EXPECT_TRUE(longer.closedByPeer);
  EXPECT_TRUE(longer.body == Slice(0, 100));

  TestHttpConnection connection(server_.port(), 15000);
  const HttpReply shorter = connection.Exchange(HttpRequest{"GET", "/pkg.bin", {{"Range", "bytes=0-99"}}, ""});
  EXPECT_EQ(shorter.Header("Content-Length"), "95");
  EXPECT_TRUE(shorter.bodyComplete);
  EXPECT_TRUE(shorter.body == Slice(0, 95));
  EXPECT_TRUE(connection.WaitForClose()) << "the server closes after the surplus bytes";
}

TEST_F(HttpServerFaults, NoLengthEndsTheBodyWithTheConnection) {
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").NoLength()));
  const HttpReply reply = Get("/pkg.bin");
  EXPECT_EQ(reply.status, 200);
  EXPECT_FALSE(reply.HasHeader("Content-Length"));
  EXPECT_TRUE(reply.closedByPeer);
  EXPECT_TRUE(reply.body == payload_);
}

TEST_F(HttpServerFaults, HtmlPageOrScriptedBodyInPlaceOfTheFile) {
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Times(1).Html()));
  ASSERT_TRUE(AddRule(FaultRule("/qvinstall.txt").Body("[Install]\r\nVersion=3\r\n")
                          .Header("X-Mirror", "a")));
  ASSERT_TRUE(AddRule(FaultRule("/gone").Status(410).Body("gone for good")));
  const HttpReply html = Get("/pkg.bin", "bytes=0-");
  EXPECT_EQ(html.status, 200);
  EXPECT_EQ(html.Header("Content-Type").find("text/html"), 0u);
  EXPECT_EQ(html.body.find("<!DOCTYPE html>"), 0u);
  const HttpReply manifest = Get("/qvinstall.txt");
  EXPECT_EQ(manifest.status, 200);
  EXPECT_EQ(manifest.body, "[Install]\r\nVersion=3\r\n");
  EXPECT_EQ(manifest.Header("X-Mirror"), "a");
  const HttpReply gone = Get("/gone");
  EXPECT_EQ(gone.status, 410);
  EXPECT_EQ(gone.body, "gone for good");
}

TEST_F(HttpServerFaults, RedirectChainEndsAtTheTarget) {
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Times(1).Redirect(3)));
  ASSERT_TRUE(AddRule(FaultRule("/old.bin").Redirect(1, "/pkg.bin", 301)));
  std::string target = "/pkg.bin";
  int redirects = 0;
  HttpReply reply;
  for (int hop = 0; hop < 10; ++hop) {
    reply = Get(target);
    if (reply.status != 302) break;
    ++redirects;
    target = reply.Header("Location");
    ASSERT_EQ(target.find('/'), 0u) << target;
  }
  EXPECT_EQ(redirects, 3);
  EXPECT_EQ(reply.status, 200);
  EXPECT_TRUE(reply.body == payload_);
  const std::vector<LoggedRequest> log = server_.Requests();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0].path, "/pkg.bin");
  EXPECT_EQ(log[3].path, "/pkg.bin");
  EXPECT_EQ(log[3].status, 200);

  const HttpReply moved = Get("/old.bin");
  EXPECT_EQ(moved.status, 301);
  EXPECT_EQ(moved.Header("Location"), "/pkg.bin");
}

}  // namespace
}  // namespace testing_support
