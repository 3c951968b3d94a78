// File downloads end to end under Wine: the download family, real partial files, the test
// server and, for the DNS step and its resolver, the fake DNS server. The downloads of a test
// run side by side, so that each wait for the retry timer serves them all.
#include "http/HttpDownloadFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "http/EngineFixture.h"
#include "http/HttpMgr.h"
#include "runtime/HexDigests.h"
#include "runtime/Win32Handles.h"
#include "http/RangePlan.h"
#include "http/RangedDownload.h"
#include "support/TestDnsServer.h"

using testing_support::DnsScript;
using testing_support::FaultRule;
using testing_support::LoggedRequest;
using testing_support::ScopedSocket;
using testing_support::Utf8ToWide;
using testing_support::WriteBinaryFile;

namespace {

using WideStrings = std::vector<std::wstring>;

win::ScopedHandle OpenForReading(const std::wstring& path) {
  return win::ScopedHandle(::CreateFileW(path.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
}

// The MD5 and SHA-256 of `bytes`, digested at once.
std::pair<std::wstring, std::wstring> DigestsOf(const std::string& bytes) {
  CHexDigests digests(true, true);
  std::pair<std::wstring, std::wstring> texts;
  if (!digests.Update(bytes.data(), bytes.size()) || !digests.Finish(&texts.first, &texts.second)) {
    texts.first = texts.second = L"<no digest>";
  }
  return texts;
}

struct Step {
  uint64_t total;
  uint64_t present;
  uint32_t speed;
};

// One download of a run: how it must end, and what it reported.
class Job : public CHttpDownloadFile {
 public:
  bool Start() override {
    started.push_back(GetUrl());
    return CHttpDownloadFile::Start();
  }
  bool SetUp() {
    return Setup(backups, address, partial, expected, this,
                 [](void* self, int t, int c) {
                   Job* job = static_cast<Job*>(self);
                   ++job->ends;
                   job->end = std::to_string(t) + " " + std::to_string(c);
                 },
                 [](void* self, uint64_t total, uint64_t present, uint32_t speed) {
                   static_cast<Job*>(self)->progress.push_back({total, present, speed});
                 });
  }

  std::string name;
  std::wstring address, backups, partial;
  uint64_t expected = 100000;
  std::string wantEnd = "0 0";  // "<type> <code>"
  std::string wantFile;         // what the partial file holds at the end
  bool quiet = false;           // stopped by its owner: it reports nothing
  int ends = 0;
  std::string end;
  std::vector<Step> progress;
  WideStrings started;
};

class Downloads : public engine_test::EngineTest {
 protected:
  // A download of "/<name>.bin" (a copy of the package) into "<name>.tmp", which holds
  // `partial` first. At its end, the partial file holds the package after a success and what
  // it held before after a failure.
  Job& Add(const std::string& name, const std::string& partial = "", int type = 0, int code = 0) {
    Job& job = jobs_.emplace_back();
    job.name = name;
    job.address = Url(name);
    job.partial = folder_ / (Utf8ToWide(name) + L".tmp");
    job.wantEnd = std::to_string(type) + " " + std::to_string(code);
    job.wantFile = type == 0 ? package_ : partial;
    job.dns.SetServers("");  // the DNS step finds nothing at once
    job.wantDigest = job.wantSha256 = true;
    EXPECT_TRUE(WriteBinaryFile(root_ / (Utf8ToWide(name) + L".bin"), package_));
    if (!partial.empty()) {
      EXPECT_TRUE(WriteBinaryFile(job.partial, partial));
    }
    return job;
  }
  std::wstring Url(const std::string& name) { return server_.WideUrl("/" + name + ".bin"); }

  void StartAll() {
    for (Job& job : jobs_) EXPECT_TRUE(job.SetUp()) << job.name;
  }
  // Pumps until every download has ended, and checks that each ended once as it must; the
  // scheduler holds none of them any more. A complete file's digest, made while it was
  // written (from its start, after resumes, restarts, cuts and out of order ranges), is the
  // digest of its bytes, and names that very file.
  void FinishAll() {
    ASSERT_TRUE(testing_support::PumpMessagesUntil([&] {
      for (const Job& job : jobs_) {
        if (job.ends == 0 && !job.quiet) return false;
      }
      return true;
    }, 90000));
    testing_support::PumpMessagesFor(1100);  // a report that came again would come now
    for (const Job& job : jobs_) {
      EXPECT_EQ(job.ends, job.quiet ? 0 : 1) << job.name;
      if (job.quiet) continue;
      EXPECT_EQ(job.end, job.wantEnd) << job.name;
      EXPECT_TRUE(testing_support::ReadBinaryFile(job.partial) == job.wantFile)
          << job.name << ": " << testing_support::FileSizeOf(job.partial) << " bytes";
      if (job.wantEnd != "0 0") continue;
      std::wstring md5, sha256;
      ASSERT_TRUE(job.digest && job.digest->Wait(job.wantFile.size(), &md5, &sha256)) << job.name;
      const auto want = DigestsOf(job.wantFile);
      EXPECT_EQ(md5, want.first) << job.name;
      EXPECT_EQ(sha256, want.second) << job.name;
      // The server's copy holds the same bytes, but is another file.
      EXPECT_TRUE(job.digest->IsFile(OpenForReading(job.partial).get())) << job.name;
      const std::wstring copy = root_ / (Utf8ToWide(job.name) + L".bin");
      EXPECT_FALSE(job.digest->IsFile(OpenForReading(copy).get())) << job.name;
    }
    EXPECT_TRUE(CHttpEngine::DownloadScheduler()->tasks().empty());
  }

  testing_support::TempFolder folder_{L"downloads"};
  std::deque<Job> jobs_;
};

// Partial files, answers of every kind and backup addresses. A web page where the file is
// expected (a captive portal's, a proxy's) is a network failure, HTTP status 511, known by
// its type or by its markup, also when it drips in byte by byte; none of it reaches the
// partial file, nor costs it the bytes it holds. An https server must show a certificate the
// machine trusts.
TEST_F(Downloads, PartialFilesAnswersPagesAndHttps) {
  const std::string first = package_.substr(0, 40000), half = package_.substr(0, 50000);
  // Without a length the answer ends with the connection: a short one is a broken transfer,
  // continued where its bytes end.
  Add("short");
  AddRule(FaultRule("/short.bin").Times(1).NoLength().CloseAfter(30000));
  // A wrong length: what the answer delivered before it was checked is cut off again.
  Add("wrong", first, 3, 2007);
  AddRule(FaultRule("/wrong.bin").Times(1).LengthDelta(10));
  // The fields of a redirect (its own Content-Length) do not pass for the final answer's.
  Add("moved");
  AddRule(FaultRule("/moved.bin").Times(1).Redirect(1));
  AddRule(FaultRule("/moved.bin").NoLength());
  // A partial file larger than the package cannot be continued: it is emptied first.
  Add("large", std::string(150000, 'L'));
  // Ended at its start, once: it left the scheduler, which never offers it again.
  Job& complete = Add("complete", package_);
  Add("unopened", "", 1, ERROR_PATH_NOT_FOUND).partial = folder_ / L"missing\\unopened.tmp";
  // An HTTP error goes straight to the backup address. Each attempt reports its own error:
  // the backup's refused connections, not the 404 before them.
  Job& last = Add("last", "", 5, CURLE_COULDNT_CONNECT);
  AddRule(FaultRule("/last.bin").Status(404));
  last.backups = L"http://127.0.0.1:" + std::to_wstring(engine_test::ClosedPort()) + L"/x";
  Job& dripped = Add("dripped", first);
  AddRule(FaultRule("/dripped.bin").Drip(20000));
  // The diagnostics name wide paths as they are.
  ASSERT_TRUE(::CreateDirectoryW((folder_ / L"\u4e0b\u8f7d \u76ee\u5f55").c_str(), nullptr));
  Job& logged = Add("logged", "", 4, 404);
  logged.partial = folder_ / L"\u4e0b\u8f7d \u76ee\u5f55\\qvinstaller_1.0.tmp";
  logged.address = server_.WideUrl("/missing.bin");
  // Pages: tried like any network failure, the address and then the DNS step's pass over it.
  AddRule(FaultRule("/portal.bin").Html());
  AddRule(FaultRule("/typeless.bin").Body("\r\n<!DOCTYPE html><html>", "application/x-data"));
  AddRule(FaultRule("/dripping.bin").Body("  \r\n <html>", "").Drip(10));
  AddRule(FaultRule("/kept.bin").Html());
  Job& portal = Add("portal", "", 4, 511);
  Add("typeless", "", 4, 511);
  Add("dripping", "", 4, 511);
  Add("kept", first, 4, 511);
  // Bytes held back while they cannot tell yet are written in their place: a file that
  // opens with blanks arrives whole, byte by byte, or when the server ignores the range.
  const std::string odd = "\r\n  \tMZ, then the package's bytes";
  AddRule(FaultRule("/odd.bin").Drip(10));
  AddRule(FaultRule("/oddagain.bin").IgnoreRange());
  for (Job* job : {&Add("odd"), &Add("oddagain", "\r\n  \tMZxyz")}) {
    ASSERT_TRUE(WriteBinaryFile(root_ / (Utf8ToWide(job->name) + L".bin"), odd));
    job->expected = odd.size();
    job->wantFile = odd;
  }
  // A 200 answer to a range request, another file, when another program maps the partial
  // file, which then cannot be emptied: none of that answer goes into the old bytes.
  Job& mapped = Add("mapped", first, 3, 2007);
  AddRule(FaultRule("/mapped.bin").Body(std::string(30000, 'x'), "application/octet-stream"));
  win::ScopedHandle held(::CreateFileW(mapped.partial.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
  win::ScopedHandle mapping(
      ::CreateFileMappingW(held.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  const void* view = ::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0);
  ASSERT_NE(view, nullptr);
  testing_support::TestHttpServer rogue;
  ASSERT_TRUE(StartTls(rogue, testing_support::RogueLocalhost()));
  Job& untrusted = Add("untrusted", half, 5, CURLE_PEER_FAILED_VERIFICATION);
  untrusted.address = rogue.WideUrl("/untrusted.bin");
  // Through a proxy's tunnel (every https address here) the answer is the server's, not the
  // proxy's: a partial file is continued.
  testing_support::TestHttpServer secure, proxy;
  testing_support::TestHttpServer::Options proxying;
  proxying.proxy = true;
  ASSERT_TRUE(StartTls(secure, testing_support::TrustedLocalhost()));
  ASSERT_TRUE(proxy.Start(root_.path(), proxying)) << proxy.error();
  ::SetEnvironmentVariableW(L"https_proxy", proxy.WideUrl("").c_str());
  Add("tunnelled", half).address = secure.WideUrl("/tunnelled.bin");
  StartAll();
  // Set up again while under way, a download keeps its addresses.
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return !dripped.progress.empty(); }));
  EXPECT_FALSE(dripped.Setup(L"", Url("large"), dripped.partial, 1, nullptr, nullptr, nullptr));
  EXPECT_EQ(dripped.urls, WideStrings{Url("dripped")});
  ASSERT_NO_FATAL_FAILURE(FinishAll());
  ::UnmapViewOfFile(view);
  ::SetEnvironmentVariableW(L"https_proxy", nullptr);

  EXPECT_EQ(server_.RequestsFor("/short.bin").back().range, "bytes=30000-");
  EXPECT_EQ(server_.RequestsFor("/large.bin").back().range, "");
  EXPECT_EQ(complete.started.size(), 1u);
  EXPECT_TRUE(server_.RequestsFor("/complete.bin").empty());
  // The backup address three times, and three more in the DNS step's pass.
  EXPECT_EQ(last.started, (WideStrings{Url("last"), last.backups, last.backups, last.backups,
                                       last.backups, last.backups, last.backups}));
  // The header's report, then one a second; fewer than ten seconds so far: all bytes of
  // this run, divided by ten.
  EXPECT_EQ(server_.RequestsFor("/dripped.bin").back().range, "bytes=40000-");
  ASSERT_GE(dripped.progress.size(), 3u);
  EXPECT_EQ(dripped.progress[0].present, 40000u);
  for (const Step& step : dripped.progress) {
    EXPECT_EQ(step.total, kPackageSize);
    EXPECT_EQ(step.speed, (step.present - 40000) / 10);
  }
  EXPECT_EQ(server_.RequestsFor("/portal.bin").size(), 2u);
  EXPECT_TRUE(portal.progress.empty());
  EXPECT_EQ(server_.RequestsFor("/oddagain.bin").back().status, 200);
  for (const std::wstring& url : untrusted.started) EXPECT_EQ(url.compare(0, 8, L"https://"), 0);
  EXPECT_TRUE(rogue.Requests().empty()) << "a request reached the untrusted server";
  EXPECT_EQ(secure.RequestsFor("/tunnelled.bin").back().range, "bytes=50000-");
  EXPECT_EQ(proxy.Requests().back().method, "CONNECT");
  // One start for the address, one more for the DNS step's pass.
  const std::wstring start = L"CHttpDownloadFile::Start() localPath:" + logged.partial;
  EXPECT_EQ(Logged(start), WideStrings(2, start));
  EXPECT_EQ(Logged(L"CHttpDownloadFile::Done()  code:404"),
            WideStrings{L"CHttpDownloadFile::Done()  code:404 errtype:4  url:" + logged.address +
                        L" "});
}

// Every address failed: the DNS step asks the resolver for the primary address's host, and
// the last pass goes to the addresses it found (the last one found first), each tried three
// times; a host that is an address already is looked up nowhere. Stopped or destroyed
// meanwhile, a download reports nothing, neither when its resolver answers nor with the
// answer already queued.
TEST_F(Downloads, TheDnsStep) {
  testing_support::TestDnsServer dns, slow;
  ASSERT_TRUE(dns.Start()) << dns.error();
  ASSERT_TRUE(slow.Start()) << slow.error();
  ASSERT_TRUE(dns.Answer(DnsScript("localhost").A("127.0.0.1").A("127.0.0.2")));
  ASSERT_TRUE(slow.Answer(DnsScript("localhost").DelayMs(1000).A("127.0.0.1")));
  const std::string named = "http://localhost:" + std::to_string(server_.port());
  Job& resolved = Add("resolved");
  resolved.address = Utf8ToWide(named + "/resolved.bin");
  AddRule(FaultRule("/resolved.bin").Times(3).ResetConnection());
  Job& literal = Add("literal", "", 4, 404);
  AddRule(FaultRule("/literal.bin").Status(404));
  for (Job& job : jobs_) job.dns.SetServers(dns.Address());
  Job& stopped = Add("stopped");
  stopped.address = Utf8ToWide(named + "/stopped.bin");
  AddRule(FaultRule("/stopped.bin").ResetConnection());
  Job& destroyed = Add("destroyed");
  destroyed.address = Utf8ToWide("http://localhost:" + std::to_string(engine_test::ClosedPort()));
  for (Job* job : {&stopped, &destroyed}) job->dns.SetServers(slow.Address());
  StartAll();
  // Destroyed once its resolver's answer, a second late, waits in the queue: no message is
  // pumped meanwhile.
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return destroyed.resolving(); }));
  ::Sleep(1300);
  jobs_.pop_back();
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return stopped.resolving(); }));
  stopped.Stop();
  stopped.quiet = true;
  EXPECT_FALSE(stopped.resolving());
  // Set up again, it starts at once: no retry of the run it left waits for the timer.
  ASSERT_TRUE(stopped.SetUp());
  EXPECT_TRUE(stopped.running);
  stopped.Stop();
  ASSERT_NO_FATAL_FAILURE(FinishAll());

  const std::wstring byName = resolved.address, viaFirst = Url("resolved");
  const std::string port = std::to_string(server_.port());
  const std::wstring viaSecond = Utf8ToWide("http://127.0.0.2:" + port + "/resolved.bin");
  EXPECT_EQ(resolved.started,
            (WideStrings{byName, byName, byName, viaSecond, viaSecond, viaSecond, viaFirst}));
  // The connection goes where the resolver says (at 127.0.0.2 nobody listens), and the
  // request still names the host.
  const std::vector<LoggedRequest> asked = server_.RequestsFor("/resolved.bin");
  ASSERT_EQ(asked.size(), 4u);
  EXPECT_EQ(asked[3].Header("Host"), "localhost:" + port);
  EXPECT_EQ(literal.started, WideStrings(2, Url("literal")));
  EXPECT_EQ(stopped.started.size(), 4u);  // three, and the second set-up's
  EXPECT_EQ(dns.Queries().size(), 1u) << "only the name was looked up";
  EXPECT_EQ(slow.Queries().size(), 2u);
}

// The first and last byte a logged request asked for; false for none or an open range.
bool AskedRange(const LoggedRequest& request, uint64_t* first, uint64_t* last) {
  unsigned long long from = 0, to = 0;
  if (std::sscanf(request.range.c_str(), "bytes=%llu-%llu", &from, &to) != 2) return false;
  *first = from;
  *last = to;
  return true;
}

// Large files come in closed ranges over several connections, spread over the addresses; a
// connection that finishes takes half of the slowest one's rest. A range cut mid-way goes on
// from its last byte; a server that ignores ranges gets one stream. Stopped, a download keeps
// a record of what it wrote and, set up again, asks for none of it again; a record of another
// version goes with its file.
TEST_F(Downloads, LargeFilesInRanges) {
  std::string big;
  for (size_t i = 0; i < 16u << 20; ++i) big += static_cast<char>(i * 131 + i / 251);
  auto large = [&](const std::string& name, size_t size) -> Job& {
    Job& job = Add(name);
    job.expected = size;
    job.wantFile = big.substr(0, size);
    job.rangeThreshold = 1 << 20;
    job.rangeTag = "1.0 digest";
    EXPECT_TRUE(WriteBinaryFile(root_ / (Utf8ToWide(name) + L".bin"), job.wantFile));
    return job;
  };
  // Two connections over the primary, which drips, and the mirror: 2 MiB ranges.
  Job& spread = large("spread", 16u << 20);
  spread.backups = Url("mirror");
  spread.parallelRanges = 2;
  EXPECT_TRUE(WriteBinaryFile(root_ / L"mirror.bin", big));
  AddRule(FaultRule("/spread.bin").Drip(1 << 19));
  large("cut", 8u << 20);
  AddRule(FaultRule("/cut.bin").Times(1).CloseAfter(300000));
  large("ignored", 8u << 20);
  AddRule(FaultRule("/ignored.bin").IgnoreRange());
  Job& stale = large("stale", 8u << 20);
  ASSERT_TRUE(WriteBinaryFile(stale.partial, std::string(3000000, 'X')));
  const std::string staleRecord = "kelto-ranges 1\n8388608 0.9 digest\n0 3000000 8388608\nend\n";
  ASSERT_TRUE(WriteBinaryFile(CRangedDownload::RecordPath(stale.partial), staleRecord));
  Job& resumed = large("resumed", 8u << 20);
  AddRule(FaultRule("/resumed.bin").Drip(1 << 20));
  StartAll();
  EXPECT_TRUE(spread.ranged());
  // Stopped once it wrote something: the record says what.
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] {
    return !resumed.progress.empty() && resumed.progress.back().present > (1u << 20);
  }));
  resumed.Stop();
  range_plan::Record record;
  ASSERT_TRUE(range_plan::ParseRecord(
      testing_support::ReadBinaryFile(CRangedDownload::RecordPath(resumed.partial)), &record));
  EXPECT_GT(range_plan::WrittenBytes(record.ranges), 1u << 20);
  const size_t askedBefore = server_.RequestsFor("/resumed.bin").size();
  ASSERT_TRUE(server_.ClearRules());
  ASSERT_TRUE(resumed.SetUp());
  ASSERT_NO_FATAL_FAILURE(FinishAll());

  uint64_t first = 0, last = 0;
  std::vector<uint64_t> starts;
  for (const char* path : {"/spread.bin", "/mirror.bin"}) {
    const std::vector<LoggedRequest> asked = server_.RequestsFor(path);
    EXPECT_GE(asked.size(), 1u) << path;
    for (const LoggedRequest& request : asked) {
      ASSERT_TRUE(AskedRange(request, &first, &last)) << request.range;
      starts.push_back(first);
    }
  }
  EXPECT_TRUE(std::any_of(starts.begin(), starts.end(), [](uint64_t start) {
    return start % (2u << 20) != 0;
  })) << "no connection took over a part of another's range";
  const std::vector<LoggedRequest> cut = server_.RequestsFor("/cut.bin");
  const auto cutOne = std::find_if(cut.begin(), cut.end(),
                                   [](const LoggedRequest& request) { return request.sent == 300000; });
  ASSERT_NE(cutOne, cut.end());
  ASSERT_TRUE(AskedRange(*cutOne, &first, &last));
  const uint64_t cutAt = first + 300000;
  EXPECT_TRUE(std::any_of(cut.begin(), cut.end(), [&](const LoggedRequest& request) {
    uint64_t from = 0, to = 0;
    return AskedRange(request, &from, &to) && from == cutAt;
  })) << "the cut range did not go on from its last byte";
  const std::vector<LoggedRequest> ignored = server_.RequestsFor("/ignored.bin");
  EXPECT_EQ(ignored.back().status, 200);
  EXPECT_EQ(ignored.back().range, "");
  for (const LoggedRequest& request : server_.RequestsFor("/stale.bin")) {
    ASSERT_TRUE(AskedRange(request, &first, &last));
    EXPECT_NE(first, 3000000u) << "went on from the stale record";
  }
  const std::vector<LoggedRequest> again = server_.RequestsFor("/resumed.bin");
  for (size_t n = askedBefore; n < again.size(); ++n) {
    ASSERT_TRUE(AskedRange(again[n], &first, &last));
    for (const range_plan::Range& range : record.ranges) {
      EXPECT_FALSE(first < range.next && range.begin <= last)
          << again[n].range << " asks again for bytes written before";
    }
  }
  for (const Job& job : jobs_) {
    EXPECT_EQ(testing_support::FileSizeOf(CRangedDownload::RecordPath(job.partial)), -1) << job.name;
  }
  ASSERT_FALSE(spread.progress.empty());
  EXPECT_EQ(spread.progress.back().total, 16u << 20);
}

// One lookup of the resolver and its report: its addresses, or "-1" when no server answered.
struct Lookup {
  CDNSThread resolver;
  std::string want;
  std::string got;
};

// The resolver on its own, its lookups side by side so that the time each server is given
// passes once for all of them; each reports once, on this thread.
TEST_F(Downloads, TheResolversAnswersFailuresAndForgeries) {
  testing_support::TestDnsServer dns;
  ASSERT_TRUE(dns.Start()) << dns.error();
  std::deque<Lookup> lookups;
  auto add = [&lookups](const std::string& host, const std::string& want,
                        const std::string& servers) {
    Lookup& lookup = lookups.emplace_back();
    lookup.resolver.host = host;
    lookup.resolver.SetServers(servers);
    lookup.resolver.context = &lookup;
    // The elapsed time on the server that answered, within its wait, then the addresses.
    lookup.resolver.callback = [](int elapsed, void* context, const std::string&,
                                  const std::string& addresses) {
      const bool inTime = elapsed >= 0 && elapsed < static_cast<int>(CDNSThread::kAnswerWaitMs);
      static_cast<Lookup*>(context)->got +=
          (elapsed == -1 ? "-1" : inTime ? "" : "late ") + addresses + "|";
    };
    lookup.want = want + "|";
  };
  const std::string one = dns.Address(), two = one + ";" + one;
  ASSERT_TRUE(dns.Answer(DnsScript("cdn.test").Cname("edge.example").A("10.0.0.7").A("1.2.3.255")));
  add("cdn.test", "10.0.0.7;1.2.3.255", one);
  // Copies with another identifier are someone else's answers: the wait goes on for ours.
  ASSERT_TRUE(dns.Answer(DnsScript("wrongid.test").WrongIdFirst(3).A("10.0.0.7")));
  add("wrongid.test", "10.0.0.7", one);
  // A truncated answer, one without records, one that cannot be parsed: that
  // server has failed, and the next one is asked; so is it after a port where nobody listens
  // (the system reports it on the next read). A silent server is given up.
  const DnsScript failures[] = {
      DnsScript("truncated.test").Times(1).Truncated().A("10.6.6.6"),
      DnsScript("empty.test").Times(1),
      DnsScript("bad.test").Times(1).RawReply("00008180000100010000000002646c0000010001c0ff"),
  };
  for (const DnsScript& failure : failures) ASSERT_TRUE(dns.Answer(failure));
  for (const char* host : {"truncated.test", "empty.test", "bad.test"}) {
    ASSERT_TRUE(dns.Answer(DnsScript(host).A("10.0.0.7")));
    add(host, "10.0.0.7", two);
  }
  ASSERT_TRUE(dns.Answer(DnsScript("closed.test").A("10.0.0.7")));
  uint16_t closed = 0;
  { ScopedSocket gone = testing_support::BindLoopback(SOCK_DGRAM, &closed); }
  add("closed.test", "10.0.0.7", "127.0.0.1:" + std::to_string(closed) + ";" + one);
  ASSERT_TRUE(dns.Answer(DnsScript("silent.test").Silent()));
  add("silent.test", "-1", one);
  // Names that do not fit a query, and a list without a usable server, ask nobody.
  std::string tooLong;  // six labels of 50: 307 bytes encoded, the limit is 255
  for (int i = 0; i < 6; ++i) tooLong += std::string(50, 'a') + ".";
  for (const std::string& host : {std::string(".."), std::string(64, 'a') + ".test", tooLong}) {
    add(host, "-1", one);
  }
  // The answer must come from the server that was asked: a forged one from another port of
  // the same machine, even with the right identifier, is ignored.
  uint16_t port = 0, forgerPort = 0;
  ScopedSocket asked = testing_support::BindLoopback(SOCK_DGRAM, &port);
  ScopedSocket forger = testing_support::BindLoopback(SOCK_DGRAM, &forgerPort);
  const DWORD limitMs = 20000;
  ::setsockopt(asked.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limitMs),
               sizeof(limitMs));
  std::thread fake([&] {
    char query[512];
    sockaddr_in client = {};
    int clientSize = sizeof(client);
    const int size = ::recvfrom(asked.get(), query, sizeof(query), 0,
                                reinterpret_cast<sockaddr*>(&client), &clientSize);
    for (const SOCKET from : {forger.get(), asked.get()}) {
      // The query as its answer, with one A record: 10.0.0.66 forged, 10.0.0.7 asked.
      std::string reply = std::string(query, size > 12 ? size : 0) + "\xc0\x0c" +
                          std::string("\0\x01\0\x01\0\0\0\x3c\0\x04\x0a\0\0", 13) +
                          (from == asked.get() ? "\x07" : "\x42");
      reply.replace(2, 6, std::string("\x81\x80\0\x01\0\x01", 6));
      ::sendto(from, reply.data(), static_cast<int>(reply.size()), 0,
               reinterpret_cast<sockaddr*>(&client), clientSize);
      ::Sleep(200);
    }
  });
  add("forged.test", "10.0.0.7", "127.0.0.1:" + std::to_string(port));
  for (Lookup& lookup : lookups) ASSERT_TRUE(lookup.resolver.StartThread());
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] {
    for (Lookup& lookup : lookups) {
      if (lookup.got.empty() || lookup.resolver.IsRunning()) return false;
    }
    return true;
  }));
  fake.join();
  testing_support::PumpMessagesFor(50);
  for (const Lookup& lookup : lookups) EXPECT_EQ(lookup.got, lookup.want) << lookup.resolver.host;
  EXPECT_EQ(dns.Queries().size(), 2u + 2 * 3 + 1 + 1);
}

}  // namespace
