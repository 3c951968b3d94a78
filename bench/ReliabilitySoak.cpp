// Reliability soak of the real installer: KeltoSetup.exe in hidden mode, each run from a copy
// in a folder of its own, against the update server on the installer's own port (the demo
// game's package, served slowly enough that its download takes a few seconds).
//
//   reliability_soak.exe [--seed N] [--rounds N] [--part all|kills|faults]
//                        [--build all|stream|ranges]
//
// First, kills: a reference install without interruption, then `rounds` installs, each
// killed (TerminateProcess) once at a random point of its package download (a byte count
// drawn from the seed) and started again. Each must end installed (the installer ran the
// package only after its MD5 matched; the game's data as the reference made it; the launcher
// started with the given number), and the restart must ask for no byte that was already in
// the partial file when it was killed: the bytes the server sends again are at most those it
// had sent that never reached the file.
// Then, faults: a matrix of server faults for the manifest and the package (drops, resets,
// 5xx, stalls, slow drip, 200 to a range request, wrong lengths, a portal's page); every run
// must end, installed, or (for lasting faults) given up after hidden mode's retries, and never
// leave a corrupt game, a web page as the package or a partial file that is not the package's
// beginning.
//
// Both parts run twice: with the installer as built (the demo's package comes as one stream)
// and with a build that fetches it in parallel ranges. A ranged download's partial file has
// gaps: what it holds is read through its record (which bytes are written), the kill point is
// counted in recorded bytes, and the restart must ask for none of them again.
//
// Prints a table of the fault runs and lines "BENCH <name> <value> <unit>"; exits 1 when any
// check fails. Runs inside the test harness (tools/soak.sh, `make soak`): it takes the
// installer's port and the launcher's records for itself.
#include <winsock2.h>  // before windows.h: the test servers' helpers use sockets
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "app/ExitCodes.h"
#include "app/InstallerUnderTest.h"
#include "http/RangePlan.h"
#include "platform/CommonUtils.h"
#include "support/FaultRule.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"

using testing_support::FaultRule;
using testing_support::FileExists;
using testing_support::FileSizeOf;
using testing_support::LoggedRequest;
using testing_support::Quoted;
using testing_support::RunningProcess;
using testing_support::TempFolder;

namespace {

constexpr DWORD kRunLimitMs = 240000;
// The package's pace in the kill rounds: a few seconds for the demo's package.
constexpr int kKillRoundBytesPerSecond = 6 << 20;
const char kPackagePath[] = "/qvinstaller.exe";
const char kManifestPath[] = "/qvinstall.txt";

double Seconds(DWORD fromTick) { return (::GetTickCount() - fromTick) / 1000.0; }

void Report(const char* name, double value, const char* unit) {
  std::printf("BENCH %s %.3f %s\n", name, value, unit);
  std::fflush(stdout);
}

// The first byte a request asked for ("bytes=N-"), 0 without a range.
long long RangeStart(const std::string& range) {
  return range.rfind("bytes=", 0) == 0 ? std::atoll(range.c_str() + 6) : 0;
}

// The last byte a request asked for ("bytes=N-M"); -1 for an open range or none.
long long RangeLast(const std::string& range) {
  const size_t dash = range.find('-');
  if (range.rfind("bytes=", 0) != 0 || dash == std::string::npos || dash + 1 >= range.size()) {
    return -1;
  }
  return std::atoll(range.c_str() + dash + 1);
}

// The ranges' record beside a partial file, when there is one that reads.
bool ReadRecord(const std::wstring& partial, range_plan::Record* record) {
  const std::wstring path = partial + L".ranges";
  return FileExists(path) &&
         range_plan::ParseRecord(testing_support::ReadBinaryFile(path), record);
}

// One installer copy, in a folder of its own, and what it leaves.
struct Kit {
  TempFolder folder{L"soak"};
  std::wstring installer;
  std::wstring Game() const { return folder / L"凯途星联"; }
  std::wstring Partial() const { return Game() + L"\\qvinstaller_test-1.tmp"; }
  std::wstring Package() const { return Game() + L"\\qvinstaller.exe"; }
};

class Soak {
 public:
  Soak(unsigned seed, std::wstring installer, const char* label)
      : random_(seed), installer_(std::move(installer)), label_(label) {}

  bool Start() {
    if (!server_.Start()) {
      std::fprintf(stderr, "soak: no update server: %s\n", server_.http().error().c_str());
      return false;
    }
    package_ = testing_support::ReadBinaryFile(app_test::DemoPackage());
    return !package_.empty();
  }

  bool RunKills(int rounds);
  bool RunFaults();

 private:
  struct Outcome {
    bool ended = false;
    DWORD exitCode = 0;
    double seconds = 0;
    bool installed = false;  // the game's data in place and as the reference made it
    bool launcherStarted = false;
    std::string damage;      // what the run left that it must not; empty when nothing
  };

  bool PlaceKit(Kit& kit);
  Outcome Finish(RunningProcess& run, const Kit& kit, DWORD startTick, bool launcher);
  Outcome Install(const Kit& kit, const std::wstring& options, bool launcher);
  // The newest package request and its body bytes once the server has stopped sending.
  LoggedRequest SettledPackageRequest();

  app_test::UpdateServer server_;
  std::string package_;
  std::wstring gameDigest_;
  std::mt19937 random_;
  std::wstring installer_;
  std::string label_;  // the build's, in front of every figure
  bool ranged_ = !label_.empty();
  // Each connection's pace in the kill rounds: the same few seconds for either build.
  int Pace() const { return ranged_ ? kKillRoundBytesPerSecond / 4 : kKillRoundBytesPerSecond; }
  // Bytes the partial file holds as the package's: its length, or its record's written bytes.
  long long Written(const Kit& kit) const;
  void Report(const char* name, double value, const char* unit) const {
    ::Report((label_ + name).c_str(), value, unit);
  }
};

long long Soak::Written(const Kit& kit) const {
  // A ranged file's length says nothing of what it holds: only its record counts.
  if (!FileExists(kit.Partial() + L".ranges")) return FileSizeOf(kit.Partial());
  range_plan::Record record;
  if (!ReadRecord(kit.Partial(), &record)) return 0;
  return static_cast<long long>(range_plan::WrittenBytes(record.ranges));
}

bool Soak::PlaceKit(Kit& kit) {
  app_test::ClearInstallTraces();
  kit.installer = app_test::PlaceProgram(installer_, kit.folder / L"bin\\KeltoSetup.exe");
  return !kit.installer.empty();
}

Soak::Outcome Soak::Finish(RunningProcess& run, const Kit& kit, DWORD startTick, bool launcher) {
  Outcome outcome;
  outcome.ended = run.Wait(kRunLimitMs, &outcome.exitCode);
  outcome.seconds = Seconds(startTick);
  if (!outcome.ended) {
    run.Terminate();
    outcome.damage = "did not end";
  }
  const std::wstring data = kit.Game() + L"\\bin\\game.dat";
  const std::wstring digest = FileExists(data) ? FileDigest(data) : std::wstring();
  outcome.installed = FileSizeOf(data) == KELTO_DEMO_DATA_BYTES &&
                      (gameDigest_.empty() || digest == gameDigest_);
  if (FileExists(data) && !outcome.installed) outcome.damage += " corrupt game data;";
  if (launcher) outcome.launcherStarted = app_test::WaitForLauncherStart(kit.Game(), 15000).found;
  // What stays after a failed run must be the package or its beginning: never a page.
  if (FileExists(kit.Package()) &&
      testing_support::ReadBinaryFile(kit.Package()) != package_) {
    outcome.damage += " qvinstaller.exe is not the package;";
  }
  range_plan::Record record;
  if (FileExists(kit.Partial()) && ReadRecord(kit.Partial(), &record)) {
    const std::string partial = testing_support::ReadBinaryFile(kit.Partial());
    for (const range_plan::Range& range : record.ranges) {
      if (range.next > partial.size() ||
          partial.compare(range.begin, range.next - range.begin, package_, range.begin,
                          range.next - range.begin) != 0) {
        outcome.damage += " a recorded range of the partial file is not the package's;";
      }
    }
  } else if (FileExists(kit.Partial())) {
    const std::string partial = testing_support::ReadBinaryFile(kit.Partial());
    if (partial.size() > package_.size() || package_.compare(0, partial.size(), partial) != 0) {
      outcome.damage += " the partial file is not the package's beginning;";
    }
  }
  return outcome;
}

Soak::Outcome Soak::Install(const Kit& kit, const std::wstring& options, bool launcher) {
  const DWORD start = ::GetTickCount();
  RunningProcess run(Quoted(kit.installer) + L" " + options);
  if (!run.started()) return Outcome();
  return Finish(run, kit, start, launcher);
}

LoggedRequest Soak::SettledPackageRequest() {
  LoggedRequest last;
  for (int i = 0; i < 50; ++i) {
    LoggedRequest now;
    for (const LoggedRequest& r : server_.http().RequestsFor(kPackagePath)) now = r;
    if (i > 0 && now.seq == last.seq && now.sent == last.sent) return now;
    last = now;
    ::Sleep(150);
  }
  return last;
}

bool Soak::RunKills(int rounds) {
  bool ok = true;
  // The reference: one install at the soak's pace, without a kill.
  server_.http().Reset();
  server_.http().AddRule(FaultRule(kPackagePath).Drip(Pace()));
  Kit reference;
  if (!PlaceKit(reference)) return false;
  const Outcome first = Install(reference, L"-h -i 30", true);
  if (!first.installed || !first.launcherStarted) {
    std::fprintf(stderr, "soak: the reference install failed:%s\n", first.damage.c_str());
    return false;
  }
  gameDigest_ = FileDigest(reference.Game() + L"\\bin\\game.dat");
  Report("soak_reference_install_seconds", first.seconds, "s");

  // A ranged download's record moves in steps of about a second (a quarter of the package at
  // this pace): a later point would often be passed by the download's end, and the kill would
  // fall into the install instead.
  std::uniform_real_distribution<double> point(0.02, ranged_ ? 0.75 : 0.98);
  int installsOk = 0;
  double worstRatio = 0;
  long long refetchedTotal = 0, unwrittenTotal = 0;
  std::vector<double> roundSeconds;
  for (int round = 1; round <= rounds; ++round) {
    server_.http().Reset();
    server_.http().AddRule(FaultRule(kPackagePath).Drip(Pace()));
    Kit kit;
    if (!PlaceKit(kit)) return false;
    const long long target = static_cast<long long>(point(random_) * package_.size());
    const DWORD start = ::GetTickCount();
    {
      RunningProcess run(Quoted(kit.installer) + L" -h -i 30");
      while (run.IsRunning() && Written(kit) < target &&
             ::GetTickCount() - start < kRunLimitMs) {
        ::Sleep(2);
      }
      // A record is replaced about once a second: the kill comes at any moment after it.
      if (ranged_) ::Sleep(std::uniform_int_distribution<int>(0, 1000)(random_));
      if (!run.IsRunning()) {
        std::printf("round %d: the installer ended before byte %lld\n", round, target);
        ok = false;
        continue;
      }
      run.Terminate();
    }
    range_plan::Record record;
    const bool ranged = ReadRecord(kit.Partial(), &record);
    const long long written = std::max(0LL, Written(kit));
    const LoggedRequest killed = SettledPackageRequest();
    const long long sentUpTo = RangeStart(killed.range) + killed.sent;
    const int seenBefore = killed.seq;

    RunningProcess again(Quoted(kit.installer) + L" -h -i 30");
    const Outcome outcome = Finish(again, kit, start, true);
    roundSeconds.push_back(outcome.seconds);
    long long resumedFrom = -1, servedAfter = 0;
    long long refetchedRecorded = 0;
    for (const LoggedRequest& r : server_.http().RequestsFor(kPackagePath)) {
      if (r.seq <= seenBefore) continue;
      if (resumedFrom < 0) resumedFrom = r.status == 206 ? RangeStart(r.range) : 0;
      servedAfter += r.sent;
      if (!ranged) continue;
      // Recorded bytes asked for again, by any connection of the restart.
      const long long from = r.status == 206 ? RangeStart(r.range) : 0;
      const long long last = RangeLast(r.range) >= 0 ? RangeLast(r.range)
                                                     : static_cast<long long>(package_.size()) - 1;
      for (const range_plan::Range& range : record.ranges) {
        const long long overlap = std::min<long long>(last + 1, range.next) -
                                  std::max<long long>(from, range.begin);
        refetchedRecorded += std::max(0LL, overlap);
      }
    }
    // One stream: what the server sent beyond the file's end may be asked again, nothing
    // before it. Ranges: no recorded byte may be asked again.
    const long long unwritten = ranged ? 0 : std::max(0LL, sentUpTo - written);
    const long long refetched = ranged ? refetchedRecorded
                                       : resumedFrom < 0 ? 0 : std::max(0LL, sentUpTo - resumedFrom);
    const double ratio = unwritten > 0 ? static_cast<double>(refetched) / unwritten
                                       : (refetched > 0 ? 1e9 : 0);
    const bool good = outcome.ended && outcome.exitCode == 0 && outcome.installed &&
                      outcome.launcherStarted && outcome.damage.empty() && refetched <= unwritten;
    installsOk += good ? 1 : 0;
    ok = ok && good;
    worstRatio = std::max(worstRatio, ratio);
    refetchedTotal += refetched;
    unwrittenTotal += unwritten;
    std::printf("round %2d: killed at %5.1f%% (file %lld, server had sent up to %lld), resumed "
                "from %lld, refetched %lld of %lld unwritten, then %lld bytes; %s%s\n",
                round, 100.0 * written / package_.size(), written, sentUpTo, resumedFrom,
                refetched, unwritten, servedAfter, good ? "installed" : "FAILED",
                outcome.damage.c_str());
    std::fflush(stdout);
  }
  std::sort(roundSeconds.begin(), roundSeconds.end());
  Report("soak_installs_ok", installsOk, "count");
  Report("soak_installs_total", rounds, "count");
  Report("soak_refetched_over_unwritten_max", worstRatio, "ratio");
  Report("soak_refetched_bytes_total", static_cast<double>(refetchedTotal), "bytes");
  Report("soak_unwritten_bytes_total", static_cast<double>(unwrittenTotal), "bytes");
  if (!roundSeconds.empty()) {
    const double median = roundSeconds[roundSeconds.size() / 2];
    Report("soak_killed_install_median_seconds", median, "s");
    Report("soak_killed_install_per_reference", median / first.seconds, "ratio");
  }
  return ok;
}

struct FaultCase {
  const char* name;
  const char* target;  // kManifestPath or kPackagePath
  std::vector<FaultRule> rules;
  bool lasting = false;  // hidden mode is expected to give up
};

bool Soak::RunFaults() {
  const long long size = static_cast<long long>(package_.size());
  const FaultRule package(kPackagePath);
  const FaultRule manifest(kManifestPath);
  const std::vector<FaultCase> cases = {
      {"connection drop mid-body", kPackagePath, {FaultRule(package).Times(3).CloseAfter(size / 3)}},
      {"connection drop mid-body", kManifestPath, {FaultRule(manifest).Times(2).CloseAfter(20)}},
      {"reset before the answer", kPackagePath, {FaultRule(package).Times(2).ResetConnection()}},
      {"reset before the answer", kManifestPath, {FaultRule(manifest).Times(2).ResetConnection()}},
      {"503 twice", kPackagePath, {FaultRule(package).Times(2).Status(503)}},
      {"503 twice", kManifestPath, {FaultRule(manifest).Times(2).Status(503)}},
      {"stall mid-body", kPackagePath, {FaultRule(package).Times(1).StallAfter(size / 2)}},
      {"stall before the answer", kManifestPath, {FaultRule(manifest).Times(1).Stall(-1)}},
      {"slow drip 2 MiB/s", kPackagePath, {FaultRule(package).Drip(2 << 20)}},
      {"slow drip 20 B/s", kManifestPath, {FaultRule(manifest).Drip(20)}},
      {"200 to a range request", kPackagePath,
       {FaultRule(package).Times(1).CloseAfter(size / 2), FaultRule(package).Times(1).IgnoreRange()}},
      {"Content-Length 1000 short", kPackagePath, {FaultRule(package).Times(1).LengthDelta(-1000)}},
      {"Content-Length 1000 long", kPackagePath, {FaultRule(package).Times(1).LengthDelta(1000)}},
      {"Content-Length wrong", kManifestPath, {FaultRule(manifest).Times(2).LengthDelta(50)}},
      {"portal page twice", kPackagePath, {FaultRule(package).Times(2).Html()}},
      {"portal page twice", kManifestPath, {FaultRule(manifest).Times(2).Html()}},
      {"portal page, lasting", kPackagePath, {FaultRule(package).Html()}, true},
      {"503, lasting", kManifestPath, {FaultRule(manifest).Status(503)}, true},
  };
  bool ok = true;
  int passed = 0;
  double longest = 0;
  std::printf("%-28s %-16s %-22s %8s %6s %6s  %s\n", "fault", "on", "outcome", "seconds",
              "manif.", "pkg", "check");
  for (const FaultCase& c : cases) {
    server_.http().Reset();
    for (const FaultRule& rule : c.rules) server_.http().AddRule(rule);
    Kit kit;
    if (!PlaceKit(kit)) return false;
    const Outcome outcome = Install(kit, L"-h -r 0", false);
    const bool expected = c.lasting ? !outcome.installed : outcome.installed;
    const DWORD wantExit = c.lasting ? exit_code::kGaveUp : exit_code::kInstalled;
    const bool good =
        outcome.ended && outcome.exitCode == wantExit && expected && outcome.damage.empty();
    const std::string shown = !outcome.ended     ? std::string("HUNG")
                              : outcome.installed ? std::string("installed")
                                                  : "gave up (exit " +
                                                        std::to_string(outcome.exitCode) + ")";
    passed += good ? 1 : 0;
    ok = ok && good;
    longest = std::max(longest, outcome.seconds);
    std::printf("%-28s %-16s %-22s %8.1f %6zu %6zu  %s%s\n", c.name, c.target,
                shown.c_str(),
                outcome.seconds, server_.http().RequestsFor(kManifestPath).size(),
                server_.http().RequestsFor(kPackagePath).size(), good ? "ok" : "FAILED",
                outcome.damage.c_str());
    std::fflush(stdout);
  }
  Report("soak_fault_runs_ok", passed, "count");
  Report("soak_fault_runs_total", static_cast<double>(cases.size()), "count");
  Report("soak_fault_run_longest_seconds", longest, "s");
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  unsigned seed = 20240611;
  int rounds = 20;
  std::wstring part = L"all";
  std::wstring build = L"all";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::wstring option = argv[i];
    if (option == L"--seed") {
      seed = static_cast<unsigned>(std::wcstoul(argv[i + 1], nullptr, 10));
    } else if (option == L"--rounds") {
      rounds = std::max(1, _wtoi(argv[i + 1]));
    } else if (option == L"--part") {
      part = argv[i + 1];
    } else if (option == L"--build") {
      build = argv[i + 1];
    } else {
      std::fprintf(stderr, "usage: reliability_soak [--seed N] [--rounds N] [--part all|kills|faults] [--build all|stream|ranges]\n");
      return 2;
    }
  }
  if (!app_test::TestDrivesPresent()) {
    std::fprintf(stderr, "soak: run it inside the test harness (make soak)\n");
    return 2;
  }
  std::printf("soak: seed %u (--seed N to change), %d kill rounds, part %ls\n", seed, rounds,
              part.c_str());
  std::fflush(stdout);
  bool ok = true;
  const std::pair<const char*, const char*> builds[] = {
      {KELTO_INSTALLER_EXE, ""}, {KELTO_RANGED_INSTALLER_EXE, "ranged_"}};
  for (const auto& installer : builds) {
    const bool ranges = *installer.second != 0;
    if (build != L"all" && build != (ranges ? L"ranges" : L"stream")) continue;
    std::printf("soak: %s\n", ranges ? "parallel ranges" : "one stream");
    Soak soak(seed, testing_support::WindowsPathOfBuildFile(installer.first), installer.second);
    if (!soak.Start()) return 1;
    if (part == L"all" || part == L"kills") ok = soak.RunKills(rounds) && ok;
    if (part == L"all" || part == L"faults") ok = soak.RunFaults() && ok;
  }
  app_test::ClearInstallTraces();
  std::printf("soak: %s\n", ok ? "all checks passed" : "SOME CHECKS FAILED");
  return ok ? 0 : 1;
}
