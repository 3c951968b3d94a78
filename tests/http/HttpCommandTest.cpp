// HTTP commands end to end under Wine: the real command family (workshop thread, multi
// handle, scheduler, 500 ms timer) against the fault-injecting test server on 127.0.0.1.
#include "http/HttpCommand.h"

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "http/EngineFixture.h"
#include "http/HttpEngine.h"
#include "http/HttpMgr.h"

using engine_test::Completion;
using engine_test::ClosedPort;
using engine_test::CountingCommand;
using engine_test::EngineTest;
using engine_test::ExpectRetryPauses;
using engine_test::Pattern;
using testing_support::FaultRule;
using testing_support::LoggedRequest;

namespace {

using HttpCommands = EngineTest;

TEST_F(HttpCommands, GetDeliversTheBodyInOneRequest) {
  CHttpCommand command;
  Completion done;
  ASSERT_TRUE(Fetch(command, "/pkg.bin", done));
  EXPECT_EQ(done.calls, 1);
  EXPECT_EQ(done.type, 0);
  EXPECT_EQ(done.code, 0);
  EXPECT_TRUE(done.body == package_);

  const std::vector<LoggedRequest> log = server_.RequestsFor("/pkg.bin");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].method, "GET");
  EXPECT_EQ(log[0].range, "");
  // The command is done with: not running, out of the scheduler, ready for another run.
  EXPECT_FALSE(command.running);
  EXPECT_EQ(command.attempts, 0);
  EXPECT_TRUE(CHttpEngine::CommandScheduler()->tasks().empty());
  EXPECT_EQ(CHttpEngine::CommandScheduler()->runningCount(), 0u);

  // The same command runs again.
  ASSERT_TRUE(Run(command, done));
  EXPECT_EQ(done.calls, 2);
  EXPECT_EQ(done.type, 0);
  EXPECT_TRUE(done.body == package_);
}

// The in-memory body starts at 2 MiB and doubles; all of a larger answer arrives.
TEST_F(HttpCommands, ResponseLargerThanTwoMebibytes) {
  const std::string big = Pattern((5u << 20) + 123, 7);
  ASSERT_TRUE(testing_support::WriteBinaryFile(root_ / L"big.bin", big));
  CHttpCommand command;
  Completion done;
  ASSERT_TRUE(Fetch(command, "/big.bin", done));
  EXPECT_EQ(done.type, 0);
  EXPECT_EQ(done.body.size(), big.size());
  EXPECT_TRUE(done.body == big);
}

// An error status ends the command after one request, with the status and an empty body.
TEST_F(HttpCommands, ErrorStatusCompletesOnceWithoutRetry) {
  ASSERT_TRUE(AddRule(FaultRule("/gone.txt").Status(404).Body("no such manifest here")));
  CountingCommand command;
  Completion done;
  ASSERT_TRUE(Fetch(command, "/gone.txt", done));
  EXPECT_EQ(done.type, 4);
  EXPECT_EQ(done.code, 404);
  EXPECT_EQ(done.body, "");
  EXPECT_EQ(command.starts.size(), 1u);
  EXPECT_EQ(server_.RequestsFor("/gone.txt").size(), 1u);

  ASSERT_TRUE(AddRule(FaultRule("/busy.txt").Status(503)));
  Completion busy;
  ASSERT_TRUE(Fetch(command, "/busy.txt", busy));
  EXPECT_EQ(busy.type, 4);
  EXPECT_EQ(busy.code, 503);
  EXPECT_EQ(server_.RequestsFor("/busy.txt").size(), 1u);
}

// A refused connection is a libcurl failure: tried three times in all, each retry after
// the scheduler's pause, then reported with libcurl's code.
TEST_F(HttpCommands, ConnectionRefusedIsTriedThreeTimes) {
  CountingCommand command;
  Completion done;
  command.url = L"http://127.0.0.1:" + std::to_wstring(ClosedPort()) + L"/qvinstall.txt";
  ASSERT_TRUE(Run(command, done));
  EXPECT_EQ(done.calls, 1);
  EXPECT_EQ(done.type, 5);
  EXPECT_EQ(done.code, CURLE_COULDNT_CONNECT);
  EXPECT_EQ(done.body, "");
  ASSERT_EQ(command.starts.size(), 3u);
  ExpectRetryPauses(command.starts);
  EXPECT_GT(done.tick - command.starts.front(), 1000u);
}

// Failures that clear up within the three tries end in success, with one request each.
TEST_F(HttpCommands, ResetConnectionsAreRetriedUntilTheAnswerComes) {
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Times(2).ResetConnection()));
  CountingCommand command;
  Completion done;
  ASSERT_TRUE(Fetch(command, "/pkg.bin", done));
  EXPECT_EQ(done.type, 0);
  EXPECT_TRUE(done.body == package_);
  EXPECT_EQ(command.starts.size(), 3u);
  ExpectRetryPauses(command.starts);
  EXPECT_EQ(server_.RequestsFor("/pkg.bin").size(), 3u);
}

TEST_F(HttpCommands, PostSendsItsBody) {
  ASSERT_TRUE(testing_support::WriteBinaryFile(root_ / L"report", "accepted"));
  CHttpCommand command;
  Completion done;
  Prepare(command, "/report", done);
  command.method = CHttpBase::kPost;
  command.postData = "game=12&state=installed&path=D%3A%5Cgames";
  ASSERT_TRUE(Run(command, done));
  EXPECT_EQ(done.type, 0);
  EXPECT_EQ(done.body, "accepted");
  std::vector<LoggedRequest> log = server_.RequestsFor("/report");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].method, "POST");
  EXPECT_EQ(log[0].body, command.postData);
  EXPECT_EQ(log[0].Header("Content-Length"), std::to_string(command.postData.size()));

  // An empty body: no input stream, a POST of length 0.
  command.postData.clear();
  Completion empty;
  ASSERT_TRUE(Run(command, empty));
  EXPECT_EQ(empty.type, 0);
  log = server_.RequestsFor("/report");
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1].method, "POST");
  EXPECT_EQ(log[1].body, "");
  EXPECT_EQ(log[1].Header("Content-Length"), "0");
}

// A large body is sent after the server's "100 Continue"; the status that counts is the
// final one, so an error after the interim answer is reported as the error it is.
TEST_F(HttpCommands, LargePostGoesThroughContinueAndItsFinalStatusCounts) {
  ASSERT_TRUE(testing_support::WriteBinaryFile(root_ / L"upload", "stored"));
  std::string body;
  for (int i = 0; body.size() < (2u << 20); ++i) body += "line " + std::to_string(i) + "\n";
  CHttpCommand command;
  Completion done;
  Prepare(command, "/upload", done);
  command.method = CHttpBase::kPost;
  command.postData = body;
  ASSERT_TRUE(Run(command, done));
  EXPECT_EQ(done.type, 0);
  EXPECT_EQ(done.body, "stored");
  std::vector<LoggedRequest> log = server_.RequestsFor("/upload");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].Header("Expect"), "100-continue");
  EXPECT_TRUE(log[0].body == body);

  ASSERT_TRUE(AddRule(FaultRule("/upload").Method("POST").Status(500)));
  Completion failed;
  ASSERT_TRUE(Run(command, failed));
  EXPECT_EQ(failed.type, 4);
  EXPECT_EQ(failed.code, 500);
  EXPECT_EQ(failed.body, "");
}

TEST_F(HttpCommands, RedirectsAreFollowedUpToFive) {
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Times(1).Redirect(5)));
  CHttpCommand command;
  Completion done;
  ASSERT_TRUE(Fetch(command, "/pkg.bin", done));
  EXPECT_EQ(done.type, 0);
  // Only the final answer's body: the redirects' own texts are not part of it.
  EXPECT_TRUE(done.body == package_);
  // The request, four hops, and the request again at the end of the chain.
  EXPECT_EQ(server_.Requests().size(), 6u);

  // Six redirects are one too many: libcurl's error, tried three times.
  ASSERT_TRUE(server_.Reset());
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").Redirect(6)));
  CountingCommand looping;
  Completion tooMany;
  ASSERT_TRUE(Fetch(looping, "/pkg.bin", tooMany));
  EXPECT_EQ(tooMany.type, 5);
  EXPECT_EQ(tooMany.code, CURLE_TOO_MANY_REDIRECTS);
  EXPECT_EQ(looping.starts.size(), 3u);
}

// A dead link ends with libcurl's timeout code once nothing has moved for the stall limit
// (a short one here; 30 s by default), before the answer or in the middle of the body.
TEST_F(HttpCommands, StalledServerEndsInATimeout) {
  ASSERT_TRUE(AddRule(FaultRule("/silent.txt").Stall(-1)));
  ASSERT_TRUE(AddRule(FaultRule("/pkg.bin").StallAfter(20000)));
  for (const char* path : {"/silent.txt", "/pkg.bin"}) {
    CHttpCommand command;
    Completion done;
    command.url = server_.WideUrl(path);
    command.stallTimeout = 2;
    command.maxRetries = 0;
    const DWORD start = ::GetTickCount();
    ASSERT_TRUE(Run(command, done)) << path;
    EXPECT_EQ(done.type, 5) << path;
    EXPECT_EQ(done.code, CURLE_OPERATION_TIMEDOUT) << path;
    EXPECT_GE(done.tick - start, 1900u) << path;
    EXPECT_EQ(server_.RequestsFor(path).size(), 1u);
  }
}

// HTTPS through Schannel to a "localhost" certificate that the machine's trusted test
// authority signed, which names no revocation server. (Wine's Schannel does not check
// revocation at all, so the best-effort revocation setting shows its worth only on Windows.)
TEST_F(HttpCommands, HttpsToATrustedServer) {
  testing_support::TestHttpServer secure;
  ASSERT_TRUE(StartTls(secure, testing_support::TrustedLocalhost()));
  CHttpCommand command;
  Completion done;
  Prepare(command, secure, "/pkg.bin", done);
  ASSERT_EQ(command.url.compare(0, 8, L"https://"), 0);
  ASSERT_TRUE(Run(command, done));
  EXPECT_EQ(done.type, 0) << done.code;
  EXPECT_TRUE(done.body == package_);
  EXPECT_EQ(secure.RequestsFor("/pkg.bin").size(), 1u);
}

// A certificate no trusted authority signed ends each attempt before the request is sent,
// with libcurl's certificate error, retried like any transfer failure.
TEST_F(HttpCommands, HttpsToAnUntrustedServerFailsWithTheCertificateError) {
  testing_support::TestHttpServer rogue;
  ASSERT_TRUE(StartTls(rogue, testing_support::RogueLocalhost()));
  CountingCommand command;
  Completion done;
  Prepare(command, rogue, "/pkg.bin", done);
  ASSERT_TRUE(Run(command, done));
  EXPECT_EQ(done.type, 5);
  EXPECT_EQ(done.code, CURLE_PEER_FAILED_VERIFICATION);
  EXPECT_EQ(done.body, "");
  EXPECT_EQ(command.starts.size(), 3u);
  EXPECT_TRUE(rogue.Requests().empty()) << "a request reached the untrusted server";
}

// A redirect from https to plain http is not followed: the answer would come unprotected.
TEST_F(HttpCommands, HttpsNeverFollowsARedirectToPlainHttp) {
  testing_support::TestHttpServer secure;
  ASSERT_TRUE(StartTls(secure, testing_support::TrustedLocalhost()));
  ASSERT_TRUE(secure.AddRule(FaultRule("/pkg.bin").Times(3).Redirect(1, server_.Url("/pkg.bin"))));
  ASSERT_TRUE(secure.AddRule(FaultRule("/up.bin").Redirect(1, secure.Url("/pkg.bin"))));
  CHttpCommand command;
  Completion done;
  Prepare(command, secure, "/pkg.bin", done);
  ASSERT_TRUE(Run(command, done));
  EXPECT_EQ(done.type, 5);
  EXPECT_EQ(done.code, CURLE_UNSUPPORTED_PROTOCOL);
  EXPECT_TRUE(server_.RequestsFor("/pkg.bin").empty()) << "the plain http address was asked";
  EXPECT_EQ(secure.RequestsFor("/pkg.bin").size(), 3u);  // a transfer failure, tried 3 times

  // From https to https, and from http up to https, redirects are followed.
  CHttpCommand same;
  Completion sameDone;
  Prepare(same, secure, "/up.bin", sameDone);
  ASSERT_TRUE(Run(same, sameDone));
  EXPECT_EQ(sameDone.type, 0) << sameDone.code;
  EXPECT_TRUE(sameDone.body == package_);
  ASSERT_TRUE(AddRule(FaultRule("/up.bin").Redirect(1, secure.Url("/pkg.bin"))));
  CHttpCommand up;
  Completion upDone;
  Prepare(up, "/up.bin", upDone);
  ASSERT_TRUE(Run(up, upDone));
  EXPECT_EQ(upDone.type, 0) << upDone.code;
  EXPECT_TRUE(upDone.body == package_);
}

}  // namespace
