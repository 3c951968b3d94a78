// File downloads end to end under Wine: the real download family (workshop thread, multi
// handle, scheduler, 500 ms timer), real files, the fault-injecting test server on 127.0.0.1
// and, for the DNS step, the fake DNS server. The test's thread pumps messages as the
// user-interface thread does.
#include "http/HttpDownloadFile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "http/EngineFixture.h"
#include "http/HttpEngine.h"
#include "http/HttpMgr.h"
#include "support/TestDnsServer.h"

using engine_test::ClosedPort;
using engine_test::EngineTest;
using engine_test::ExpectRetryPauses;
using engine_test::Pattern;
using testing_support::DnsScript;
using testing_support::FaultRule;
using testing_support::LoggedRequest;

namespace {

struct ProgressStep {
  uint64_t total;
  uint64_t present;
  uint32_t speed;
};

// What a download reported.
struct Reports {
  int calls = 0;
  int type = -1;
  int code = -1;
  std::vector<ProgressStep> progress;
};

void RecordDone(void* user, int type, int code) {
  Reports* reports = static_cast<Reports*>(user);
  ++reports->calls;
  reports->type = type;
  reports->code = code;
}

void RecordProgress(void* user, uint64_t total, uint64_t present, uint32_t speed) {
  static_cast<Reports*>(user)->progress.push_back({total, present, speed});
}

// A download that notes the address and the time of each start.
class CountingDownload : public CHttpDownloadFile {
 public:
  bool Start() override {
    urlsStarted.push_back(GetUrl());
    ticks.push_back(::GetTickCount());
    return CHttpDownloadFile::Start();
  }
  std::vector<std::wstring> urlsStarted;
  std::vector<uint32_t> ticks;
};

class Downloads : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ASSERT_TRUE(testing_support::WriteBinaryFile(root_ / L"mirror.bin", package_));
    partial_ = folder_ / L"qvinstaller_1.0.1.tmp";
  }

  std::wstring Url(const std::string& path) { return server_.WideUrl(path); }
  std::wstring LocalhostUrl(const std::string& path) {
    return L"http://localhost:" + std::to_wstring(server_.port()) +
           std::wstring(path.begin(), path.end());
  }

  bool Setup(CHttpDownloadFile& download, const std::wstring& backups, const std::wstring& primary,
             uint64_t expected = kPackageSize) {
    return download.Setup(backups, primary, partial_, expected, &reports_, RecordDone,
                          RecordProgress);
  }

  // Sets the download up and pumps until it reports its end.
  testing::AssertionResult Run(CHttpDownloadFile& download, const std::wstring& backups,
                               const std::wstring& primary, uint64_t expected = kPackageSize) {
    const int before = reports_.calls;
    if (!Setup(download, backups, primary, expected)) {
      return testing::AssertionFailure() << "the download scheduler refused the download";
    }
    if (!testing_support::PumpMessagesUntil([&] { return reports_.calls > before; }, 90000)) {
      return testing::AssertionFailure() << "no completion within 90 s";
    }
    return testing::AssertionSuccess();
  }

  // The download ended once, with this pair, and is done with: out of the scheduler, no
  // address left.
  void ExpectEnded(const CHttpDownloadFile& download, int type, int code) {
    EXPECT_EQ(reports_.calls, 1);
    EXPECT_EQ(reports_.type, type);
    EXPECT_EQ(reports_.code, code);
    EXPECT_FALSE(download.running);
    EXPECT_TRUE(download.urls.empty());
    EXPECT_TRUE(CHttpEngine::DownloadScheduler()->tasks().empty());
  }

  void ExpectCompleteFile() {
    EXPECT_TRUE(testing_support::ReadBinaryFile(partial_) == package_)
        << testing_support::FileSizeOf(partial_) << " bytes";
  }

  std::vector<std::string> Ranges(const std::string& path) {
    std::vector<std::string> ranges;
    for (const LoggedRequest& request : server_.RequestsFor(path)) ranges.push_back(request.range);
    return ranges;
  }

  testing_support::TempFolder folder_{L"downloads"};
  std::wstring partial_;
  Reports reports_;
};

using Strings = std::vector<std::string>;
using WideStrings = std::vector<std::wstring>;

TEST_F(Downloads, WholeFileInOneRequest) {
  CountingDownload download;
  ASSERT_TRUE(Run(download, L"", Url("/pkg.bin")));
  ExpectEnded(download, 0, 0);
  ExpectCompleteFile();
  EXPECT_EQ(Ranges("/pkg.bin"), Strings{""});
  ASSERT_FALSE(reports_.progress.empty());
  // The first report follows the answer's header.
  EXPECT_EQ(reports_.progress[0].total, kPackageSize);
  EXPECT_EQ(reports_.progress[0].present, 0u);
  EXPECT_EQ(reports_.progress[0].speed, 0u);
}

TEST_F(Downloads, PartialFileContinuesWithAnOpenEndedRange) {
  ASSERT_TRUE(testing_support::WriteBinaryFile(partial_, package_.substr(0, 40000)));
  CountingDownload download;
  ASSERT_TRUE(Run(download, L"", Url("/pkg.bin")));
  ExpectEnded(download, 0, 0);
  ExpectCompleteFile();
  EXPECT_EQ(Ranges("/pkg.bin"), Strings{"bytes=40000-"});
  EXPECT_EQ(server_.RequestsFor("/pkg.bin")[0].status, 206);
  ASSERT_FALSE(reports_.progress.empty());
  EXPECT_EQ(reports_.progress[0].total, kPackageSize);
  EXPECT_EQ(reports_.progress[0].present, 40000u);
}

// A transfer that breaks off is tried again from where its bytes end.
TEST_F(Downloads, BrokenTransferContinuesWhereItStopped) {
  AddRule(FaultRule("/pkg.bin").Times(1).CloseAfter(30000));
  CountingDownload download;
  ASSERT_TRUE(Run(download, L"", Url("/pkg.bin")));
  ExpectEnded(download, 0, 0);
  ExpectCompleteFile();
  EXPECT_EQ(Ranges("/pkg.bin"), (Strings{"", "bytes=30000-"}));
  ExpectRetryPauses(download.ticks);
}

TEST_F(Downloads, CompleteFileFinishesWithoutARequest) {
  ASSERT_TRUE(testing_support::WriteBinaryFile(partial_, package_));
  CountingDownload download;
  ASSERT_TRUE(Setup(download, L"", Url("/pkg.bin")));
  // Reported at once, and only once: it left the scheduler, which never offers it again.
  ExpectEnded(download, 0, 0);
  CountingDownload other;
  ASSERT_TRUE(other.Setup(L"", Url("/mirror.bin"), folder_ / L"other.tmp", kPackageSize, nullptr,
                          nullptr, nullptr));
  testing_support::PumpMessagesUntil([&] { return !other.running && other.urls.empty(); });
  testing_support::PumpMessagesFor(1100);
  EXPECT_EQ(reports_.calls, 1);
  EXPECT_EQ(download.urlsStarted.size(), 1u);
  EXPECT_TRUE(server_.RequestsFor("/pkg.bin").empty());
  ExpectCompleteFile();
}

TEST_F(Downloads, FileThatCannotBeStartedOverIsEmptiedFirst) {
  // Larger than expected: emptied, then fetched whole.
  ASSERT_TRUE(testing_support::WriteBinaryFile(partial_, Pattern(150000, 9)));
  CountingDownload larger;
  ASSERT_TRUE(Run(larger, L"", Url("/pkg.bin")));
  ExpectEnded(larger, 0, 0);
  ExpectCompleteFile();

  // Without an expected size a partial file cannot be trusted either.
  reports_ = Reports();
  ASSERT_TRUE(testing_support::WriteBinaryFile(partial_, Pattern(40000, 9)));
  CountingDownload unknown;
  ASSERT_TRUE(Run(unknown, L"", Url("/pkg.bin"), 0));
  ExpectEnded(unknown, 0, 0);
  ExpectCompleteFile();
  EXPECT_EQ(Ranges("/pkg.bin"), (Strings{"", ""}));
  ASSERT_FALSE(reports_.progress.empty());
  EXPECT_EQ(reports_.progress[0].total, kPackageSize);
}

// A server that ignores the range answers 200 with the whole file: the partial bytes go and
// the file is written from its start.
TEST_F(Downloads, ServerIgnoringTheRange) {
  ASSERT_TRUE(testing_support::WriteBinaryFile(partial_, Pattern(40000, 9)));
  AddRule(FaultRule("/pkg.bin").IgnoreRange());
  CountingDownload download;
  ASSERT_TRUE(Run(download, L"", Url("/pkg.bin")));
  ExpectEnded(download, 0, 0);
  ExpectCompleteFile();
  const std::vector<LoggedRequest> log = server_.RequestsFor("/pkg.bin");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].range, "bytes=40000-");
  EXPECT_EQ(log[0].status, 200);
  ASSERT_FALSE(reports_.progress.empty());
  EXPECT_EQ(reports_.progress[0].total, kPackageSize);
  EXPECT_EQ(reports_.progress[0].present, 0u);
  EXPECT_EQ(download.resumeOffset, 0u);
}

TEST_F(Downloads, LengthThatDiffersFromTheExpectedSize) {
  // The server announces a wrong length. Whatever its answer delivered before the length
  // was checked is cut off again: the partial file keeps only the bytes it had.
  ASSERT_TRUE(testing_support::WriteBinaryFile(partial_, package_.substr(0, 40000)));
  AddRule(FaultRule("/pkg.bin").Times(1).LengthDelta(10));
  CountingDownload wrong;
  ASSERT_TRUE(Run(wrong, L"", Url("/pkg.bin")));
  ExpectEnded(wrong, 3, 2007);
  EXPECT_TRUE(testing_support::ReadBinaryFile(partial_) == package_.substr(0, 40000))
      << testing_support::FileSizeOf(partial_) << " bytes";

  // ... or the manifest a wrong size: either way one request, no retry.
  reports_ = Reports();
  ASSERT_TRUE(::DeleteFileW(partial_.c_str()));
  CountingDownload unexpected;
  ASSERT_TRUE(Run(unexpected, L"", Url("/pkg.bin"), kPackageSize + 1));
  ExpectEnded(unexpected, 3, 2007);
  EXPECT_EQ(server_.RequestsFor("/pkg.bin").size(), 2u);
  EXPECT_EQ(wrong.urlsStarted.size() + unexpected.urlsStarted.size(), 2u);
}

// Without a length the answer ends with the connection: too short, the rest is fetched; too
// long, it is no file of the expected size.
TEST_F(Downloads, AnswerWithoutLengthIsCheckedAgainstTheExpectedSize) {
  AddRule(FaultRule("/pkg.bin").Times(1).NoLength().CloseAfter(30000));
  CountingDownload shortBody;
  ASSERT_TRUE(Run(shortBody, L"", Url("/pkg.bin")));
  ExpectEnded(shortBody, 0, 0);
  ExpectCompleteFile();
  EXPECT_EQ(Ranges("/pkg.bin"), (Strings{"", "bytes=30000-"}));

  reports_ = Reports();
  ASSERT_TRUE(::DeleteFileW(partial_.c_str()));
  AddRule(FaultRule("/pkg.bin").Times(1).NoLength());
  CountingDownload longBody;
  ASSERT_TRUE(Run(longBody, L"", Url("/pkg.bin"), kPackageSize - 1000));
  ExpectEnded(longBody, 3, 2007);
}

// The fields of a redirect (its own Content-Length) are not taken for the final answer's.
TEST_F(Downloads, RedirectToAnAnswerWithoutLength) {
  AddRule(FaultRule("/moved.bin").Redirect(1, "/pkg.bin"));
  AddRule(FaultRule("/pkg.bin").NoLength());
  CountingDownload download;
  ASSERT_TRUE(Run(download, L"", Url("/moved.bin")));
  ExpectEnded(download, 0, 0);
  ExpectCompleteFile();
}

TEST_F(Downloads, ThreeFailuresThenTheBackupAddress) {
  AddRule(FaultRule("/pkg.bin").ResetConnection());
  CountingDownload download;
  ASSERT_TRUE(Run(download, Url("/mirror.bin") + L";", Url("/pkg.bin")));
  ExpectEnded(download, 0, 0);
  ExpectCompleteFile();
  EXPECT_EQ(download.urlsStarted,
            (WideStrings{Url("/pkg.bin"), Url("/pkg.bin"), Url("/pkg.bin"), Url("/mirror.bin")}));
  EXPECT_EQ(server_.RequestsFor("/pkg.bin").size(), 3u);
  ExpectRetryPauses(download.ticks);
}

// An HTTP error is not tried again on the same address.
TEST_F(Downloads, HttpErrorGoesStraightToTheBackupAddress) {
  AddRule(FaultRule("/pkg.bin").Status(404));
  CountingDownload download;
  ASSERT_TRUE(Run(download, Url("/mirror.bin"), Url("/pkg.bin")));
  ExpectEnded(download, 0, 0);
  EXPECT_EQ(download.urlsStarted, (WideStrings{Url("/pkg.bin"), Url("/mirror.bin")}));
}

// Each attempt reports its own error: the backup address's refused connections, not the 404
// that the primary address answered before them.
TEST_F(Downloads, EndReportsTheLastAttemptsError) {
  AddRule(FaultRule("/pkg.bin").Status(404));
  const std::wstring refused = L"http://127.0.0.1:" + std::to_wstring(ClosedPort()) + L"/pkg.bin";
  CountingDownload download;
  download.dns.SetServers("");  // the DNS step finds nothing at once
  ASSERT_TRUE(Run(download, refused, Url("/pkg.bin")));
  ExpectEnded(download, 5, CURLE_COULDNT_CONNECT);
  // The backup address three times, and three more in the DNS step's pass.
  EXPECT_EQ(download.urlsStarted,
            (WideStrings{Url("/pkg.bin"), refused, refused, refused, refused, refused, refused}));
}

class DownloadsWithDns : public Downloads {
 protected:
  void SetUp() override {
    Downloads::SetUp();
    ASSERT_TRUE(dns_.Start()) << dns_.error();
  }

  testing_support::TestDnsServer dns_;
};

// Every address fails; the DNS step asks the resolver for the primary address's host and
// the last pass goes to the address it found, still naming the host in the request.
TEST_F(DownloadsWithDns, AllAddressesFailThenTheResolversAddress) {
  ASSERT_TRUE(dns_.Answer(DnsScript("localhost").A("127.0.0.1")));
  AddRule(FaultRule("/pkg.bin").Times(3).ResetConnection());
  AddRule(FaultRule("/mirror.bin").ResetConnection());
  CountingDownload download;
  download.dns.SetServers(dns_.Address());
  ASSERT_TRUE(Run(download, Url("/mirror.bin"), LocalhostUrl("/pkg.bin")));
  ExpectEnded(download, 0, 0);
  ExpectCompleteFile();

  const std::wstring primary = LocalhostUrl("/pkg.bin"), mirror = Url("/mirror.bin");
  EXPECT_EQ(download.urlsStarted,
            (WideStrings{primary, primary, primary, mirror, mirror, mirror, Url("/pkg.bin")}));
  ASSERT_EQ(dns_.Queries().size(), 1u);
  EXPECT_EQ(dns_.Queries()[0].name, "localhost");
  const std::vector<LoggedRequest> log = server_.RequestsFor("/pkg.bin");
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[3].Header("Host"), "localhost:" + std::to_string(server_.port()));
  EXPECT_TRUE(download.primaryUrl.empty());
}

// The connection goes where the resolver says, not where the system resolves the name: at
// 127.0.0.2 nobody listens. The resolved address goes in front of the address that failed
// last, which then has its one more pass.
TEST_F(DownloadsWithDns, ConnectionGoesToTheResolversAddress) {
  ASSERT_TRUE(dns_.Answer(DnsScript("localhost").A("127.0.0.2")));
  AddRule(FaultRule("/pkg.bin").ResetConnection());
  CountingDownload download;
  download.dns.SetServers(dns_.Address());
  ASSERT_TRUE(Run(download, L"", LocalhostUrl("/pkg.bin")));
  EXPECT_EQ(reports_.type, 5);
  EXPECT_NE(reports_.code, 0);
  ExpectEnded(download, 5, reports_.code);
  const std::wstring primary = LocalhostUrl("/pkg.bin");
  const std::wstring resolved =
      L"http://127.0.0.2:" + std::to_wstring(server_.port()) + L"/pkg.bin";
  EXPECT_EQ(download.urlsStarted, (WideStrings{primary, primary, primary, resolved, resolved,
                                               resolved, primary, primary, primary}));
  // None of the resolved address's attempts reached the server.
  EXPECT_EQ(server_.RequestsFor("/pkg.bin").size(), 6u);
}

// The resolver finds nothing: one more pass over the last address, then its error.
TEST_F(DownloadsWithDns, ResolverFindsNothing) {
  AddRule(FaultRule("/pkg.bin").ResetConnection());
  AddRule(FaultRule("/mirror.bin").ResetConnection());
  CountingDownload download;
  download.dns.SetServers(dns_.Address());  // it answers every name with NXDOMAIN
  ASSERT_TRUE(Run(download, Url("/mirror.bin"), Url("/pkg.bin")));
  EXPECT_EQ(reports_.type, 5);
  EXPECT_NE(reports_.code, 0);
  ExpectEnded(download, 5, reports_.code);
  EXPECT_EQ(server_.RequestsFor("/pkg.bin").size(), 3u);
  EXPECT_EQ(server_.RequestsFor("/mirror.bin").size(), 6u);
  ASSERT_EQ(dns_.Queries().size(), 1u);
  EXPECT_EQ(dns_.Queries()[0].name, "127.0.0.1");
}

// Stopped or destroyed while its resolver works, a download reports nothing and comes back
// neither when the resolver answers nor when a report is already queued.
TEST_F(DownloadsWithDns, StoppedOrDestroyedDuringTheDnsStep) {
  AddRule(FaultRule("/pkg.bin").ResetConnection());
  ASSERT_TRUE(dns_.Answer(DnsScript("localhost").Times(1).DelayMs(1000).A("127.0.0.1")));
  CountingDownload stopped;
  stopped.dns.SetServers(dns_.Address());
  ASSERT_TRUE(Setup(stopped, L"", LocalhostUrl("/pkg.bin")));
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return stopped.resolving(); }, 30000));
  stopped.Stop();
  EXPECT_FALSE(stopped.resolving());
  testing_support::PumpMessagesFor(1500);
  EXPECT_EQ(reports_.calls, 0);
  EXPECT_EQ(stopped.urlsStarted.size(), 3u);
  EXPECT_TRUE(CHttpEngine::DownloadScheduler()->tasks().empty());

  // Destroyed with the resolver's report already posted: the answer comes at once, and the
  // thread is left time to post it before the download goes.
  ASSERT_TRUE(dns_.Answer(DnsScript("localhost").A("127.0.0.1")));
  auto destroyed = std::make_unique<CountingDownload>();
  destroyed->dns.SetServers(dns_.Address());
  ASSERT_TRUE(Setup(*destroyed, L"", LocalhostUrl("/pkg.bin")));
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return destroyed->resolving(); }, 30000));
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return dns_.Queries().size() == 2; }));
  ::Sleep(300);
  destroyed.reset();
  testing_support::PumpMessagesFor(1500);
  EXPECT_EQ(reports_.calls, 0);
  EXPECT_EQ(server_.RequestsFor("/pkg.bin").size(), 6u);
}

TEST_F(Downloads, ProgressOnceASecondWithTheTenSecondSpeed) {
  ASSERT_TRUE(testing_support::WriteBinaryFile(partial_, package_.substr(0, 40000)));
  AddRule(FaultRule("/pkg.bin").Drip(20000));
  CountingDownload download;
  ASSERT_TRUE(Run(download, L"", Url("/pkg.bin")));
  ExpectEnded(download, 0, 0);
  ExpectCompleteFile();
  // The header's report, then one a second over the three seconds of the transfer.
  ASSERT_GE(reports_.progress.size(), 3u);
  EXPECT_EQ(reports_.progress[0].present, 40000u);
  EXPECT_EQ(reports_.progress[0].speed, 0u);
  uint64_t before = 40000;
  for (const ProgressStep& step : reports_.progress) {
    EXPECT_EQ(step.total, kPackageSize);
    EXPECT_GE(step.present, before);
    EXPECT_LE(step.present, kPackageSize);
    // Fewer than ten samples so far: their sum, all bytes of this run, divided by ten.
    EXPECT_EQ(step.speed, (step.present - 40000) / 10);
    before = step.present;
  }
  EXPECT_GT(reports_.progress.back().present, 40000u);
}

TEST_F(Downloads, LocalFileThatCannotBeOpened) {
  partial_ = folder_ / L"missing\\qvinstaller.tmp";
  CountingDownload download;
  ASSERT_TRUE(Setup(download, L"", Url("/pkg.bin")));
  ExpectEnded(download, 1, ERROR_PATH_NOT_FOUND);
  testing_support::PumpMessagesFor(1100);
  EXPECT_EQ(reports_.calls, 1);
  EXPECT_TRUE(server_.RequestsFor("/pkg.bin").empty());
}

TEST_F(Downloads, SetupWhileUnderWayChangesNothing) {
  AddRule(FaultRule("/pkg.bin").Drip(20000));
  CountingDownload download;
  ASSERT_TRUE(Setup(download, L"", Url("/pkg.bin")));
  ASSERT_TRUE(download.running);
  EXPECT_FALSE(Setup(download, Url("/pkg.bin"), Url("/mirror.bin")));
  EXPECT_EQ(download.urls, WideStrings{Url("/pkg.bin")});
  EXPECT_EQ(download.GetUrl(), Url("/pkg.bin"));

  // Stopped, it reports nothing and leaves the scheduler.
  download.Stop();
  testing_support::PumpMessagesFor(1100);
  EXPECT_EQ(reports_.calls, 0);
  EXPECT_TRUE(CHttpEngine::DownloadScheduler()->tasks().empty());
}

// An https package address whose server shows a certificate no trusted authority signed:
// every attempt ends before the request is sent, with libcurl's certificate error; the
// partial file keeps its bytes and nothing is asked over plain http instead.
TEST_F(Downloads, UntrustedHttpsServerFailsAndKeepsThePartialFile) {
  testing_support::TestHttpServer rogue;
  ASSERT_TRUE(StartTls(rogue, testing_support::RogueLocalhost()));
  const std::string half = package_.substr(0, kPackageSize / 2);
  ASSERT_TRUE(testing_support::WriteBinaryFile(partial_, half));
  CountingDownload download;
  download.dns.SetServers("");  // the DNS step finds nothing at once
  ASSERT_TRUE(Run(download, L"", rogue.WideUrl("/pkg.bin")));
  ExpectEnded(download, 5, CURLE_PEER_FAILED_VERIFICATION);
  EXPECT_GE(download.urlsStarted.size(), 3u);
  for (const std::wstring& url : download.urlsStarted) {
    EXPECT_EQ(url.compare(0, 8, L"https://"), 0) << testing_support::WideToUtf8(url);
  }
  EXPECT_TRUE(rogue.Requests().empty()) << "a request reached the untrusted server";
  EXPECT_TRUE(server_.Requests().empty()) << "the package was asked over plain http";
  EXPECT_TRUE(testing_support::ReadBinaryFile(partial_) == half);

  // Signed by the trusted authority, the same address continues the file.
  testing_support::TestHttpServer secure;
  ASSERT_TRUE(StartTls(secure, testing_support::TrustedLocalhost()));
  CHttpDownloadFile again;
  reports_ = Reports();
  ASSERT_TRUE(Run(again, L"", secure.WideUrl("/pkg.bin")));
  ExpectEnded(again, 0, 0);
  ExpectCompleteFile();
  EXPECT_EQ(Ranges("/pkg.bin"), Strings());  // the plain server saw nothing
  const std::vector<LoggedRequest> asked = secure.RequestsFor("/pkg.bin");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].range, "bytes=" + std::to_string(kPackageSize / 2) + "-");
}

}  // namespace
