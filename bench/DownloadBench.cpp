// Downloads through the engine, in one run under one Wine, in parts named on the command line
// (download.sh names them all):
//
//   idle     the engine's process while its one download waits on a server that stopped
//            sending (20 s after the first 64 KiB), against the engine's former worker loop
//            (5 ms selects) driving the same stalled answer on a thread of its own
//   server   a 1 GiB package over loopback from the test server:
//              engine        CHttpDownloadFile through the download family, as shipped
//              curl.exe      the curl tool built from the same libcurl (-o file), the
//                            reference; its own transfer time (-w %{time_total}), so process
//                            start-up is not counted
//            and, to show where a download's time goes, 256 MiB with libcurl's default
//            16 KiB reads:
//              engine 16k    the engine at 16 KiB a turn
//              poll loop     the same libcurl multi interface driven by curl_multi_poll on
//                            this thread, each 16 KiB chunk written as it arrives
//              block writes  the poll loop with the chunks gathered into 1 MiB writes
//   nginx OPEN THROTTLED
//            the same 1 GiB from nginx at two addresses (download.sh starts it): the engine
//            against curl.exe on an open loopback, and where each connection is held to a
//            fixed rate, as CDNs and ISPs hold a single stream; and how soon after each
//            engine download's last byte its digest's verdict comes, against a full read
//
// Timed contenders run in turns, and each keeps its best time. Prints "BENCH <name> <value>
// <unit>" lines; the ratios compare figures of this run. KELTO_BENCH_MIB sets a smaller
// package for trials. Exit code 1 when something fails.
#include <winsock2.h>
#include <windows.h>

#include <psapi.h>

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "http/DownloadWriteFile.h"
#include "http/HttpDownloadFile.h"
#include "http/HttpEngine.h"
#include "runtime/PrefixDigest.h"
#include "runtime/FileEx.h"
#include "runtime/MainThreadTask.h"
#include "support/MessagePump.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"
#include "support/TestHttpServer.h"

namespace {

constexpr int kRounds = 3;
constexpr uint64_t kSmallShare = 4;  // the 16 KiB runs move a quarter of the package
constexpr size_t kBlock = 1 << 20;
// A rate-held connection is slow enough that its time hardly varies: one round each.
constexpr int kThrottledRounds = 1;
constexpr int64_t kStallAfterBytes = 64 * 1024;
constexpr DWORD kStallMs = 20000;
// The former loop's cost is steady; a shorter look at it gives its rate as well.
constexpr DWORD kFormerLoopMs = 10000;

struct Measure {
  double seconds = -1;  // < 0: failed
  double cpuSeconds = -1;
  double verdictSeconds = 0;  // the digest's wait after the download ended
};

double CpuSeconds(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
  auto value = [](const FILETIME& t) {
    return ((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
  };
  return value(kernel) + value(user);
}

bool HasSize(const std::wstring& path, uint64_t size) {
  return testing_support::FileSizeOf(path) == static_cast<long long>(size);
}

struct EngineRun {
  bool done = false;
  bool answered = false;
  int type = -1;
};

// The engine digests the package while it downloads, as the update module has it do: its MD5,
// as the manifests here give, and with `sha256` its SHA-256 too, as a signed manifest gives.
// The verdict's wait after the download ended, against the time the same digests take
// reading the whole file after its last byte, as the install step did before (the first
// run's file, page cache warm).
double gFullReadVerdict = -1;

double VerdictSeconds(CPrefixDigest& digest, uint64_t size, bool sha256) {
  std::wstring md5, sha;
  const double start = PreciseNow();
  return digest.Wait(size, &md5, sha256 ? &sha : nullptr) ? PreciseNow() - start : -1;
}

void OnEngineDone(void* user, int type, int) {
  EngineRun* run = static_cast<EngineRun*>(user);
  run->done = true;
  run->type = type;
}

Measure Engine(const std::wstring& url, const std::wstring& path, uint64_t size, long bufferSize,
               int parallel = CHttpDownloadFile::kDefaultParallelRanges, bool sha256 = false) {
  Measure m;
  CHttpDownloadFile download;
  download.receiveBufferSize = bufferSize;
  download.parallelRanges = parallel;
  download.wantDigest = true;
  download.wantSha256 = sha256;
  EngineRun run;
  const double cpu = CpuSeconds(::GetCurrentProcess());
  const double start = PreciseNow();
  if (!download.Setup(L"", url, path, size, &run, OnEngineDone, nullptr)) return m;
  if (!testing_support::PumpMessagesUntil([&] { return run.done; }, 600000)) return m;
  const double seconds = PreciseNow() - start;
  if (run.type != 0 || !HasSize(path, size)) return m;
  m.verdictSeconds = VerdictSeconds(*download.digest, size, sha256);
  if (m.verdictSeconds < 0) return m;
  if (gFullReadVerdict < 0) {
    CPrefixDigest whole(path, false);
    gFullReadVerdict = VerdictSeconds(whole, size, false);
  }
  m.seconds = seconds;
  m.cpuSeconds = CpuSeconds(::GetCurrentProcess()) - cpu;
  return m;
}

// curl.exe's own figure for the transfer: what -w printed on its standard output.
Measure CurlTool(const std::wstring& curlExe, const std::wstring& url, const std::wstring& path,
                 uint64_t size) {
  Measure m;
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return m;
  ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  std::wstring command = testing_support::Quoted(curlExe) + L" -s -S -o " +
                         testing_support::Quoted(path) + L" -w %{time_total} " + url;
  STARTUPINFOW startup = {sizeof(startup)};
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  startup.hStdInput = nullptr;
  PROCESS_INFORMATION process = {};
  const bool started = ::CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
  ::CloseHandle(writeEnd);
  std::string output;
  if (started) {
    char buffer[256];
    DWORD got = 0;
    while (::ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
      output.append(buffer, got);
    }
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 1;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    const double seconds = std::atof(output.c_str());
    if (exitCode == 0 && seconds > 0 && HasSize(path, size)) m.seconds = seconds;
  }
  ::CloseHandle(readEnd);
  return m;
}

// Where the poll loop's chunks go: straight to the download writer, or gathered first.
struct Sink {
  DownloadWriteFile writer;
  std::vector<char> block;
  bool failed = false;

  bool Flush() {
    if (!block.empty() && writer.Write(block.data(), static_cast<uint32_t>(block.size())) < 0) {
      failed = true;
    }
    block.clear();
    return !failed;
  }
};

size_t WriteChunk(char* data, size_t size, size_t count, void* user) {
  Sink* sink = static_cast<Sink*>(user);
  const size_t length = size * count;
  if (sink->block.capacity() == 0) {
    return sink->writer.Write(data, static_cast<uint32_t>(length)) < 0 ? 0 : length;
  }
  sink->block.insert(sink->block.end(), data, data + length);
  if (sink->block.size() >= kBlock && !sink->Flush()) return 0;
  return length;
}

Measure PollLoop(const std::string& url, const std::wstring& path, uint64_t size, bool gather) {
  Measure m;
  Sink sink;
  if (gather) sink.block.reserve(kBlock + CURL_MAX_WRITE_SIZE);
  if (!sink.writer.Open(path)) return m;
  CURLM* multi = curl_multi_init();
  CURL* easy = curl_easy_init();
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, WriteChunk);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);
  const double cpu = CpuSeconds(::GetCurrentProcess());
  const double start = PreciseNow();
  curl_multi_add_handle(multi, easy);
  CURLcode result = CURLE_FAILED_INIT;
  for (;;) {
    int running = 0;
    curl_multi_perform(multi, &running);
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
      if (message->msg == CURLMSG_DONE) result = message->data.result;
    }
    if (running == 0) break;
    curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
  }
  const bool flushed = sink.Flush();
  sink.writer.Close();
  const double seconds = PreciseNow() - start;
  curl_multi_remove_handle(multi, easy);
  curl_easy_cleanup(easy);
  curl_multi_cleanup(multi);
  if (result == CURLE_OK && flushed && HasSize(path, size)) {
    m.seconds = seconds;
    m.cpuSeconds = CpuSeconds(::GetCurrentProcess()) - cpu;
  }
  return m;
}

void KeepBest(Measure& best, const Measure& m) {
  if (m.seconds > 0 && (best.seconds < 0 || m.seconds < best.seconds)) best = m;
}

int Fail(const char* what) {
  std::fprintf(stderr, "download bench: %s failed\n", what);
  return 1;
}

struct Contender {
  const char* name;
  std::function<Measure()> run;
  Measure best;
  double worstVerdict = 0;
};

// Runs each contender `rounds` times, each round starting with another one, so that none
// always runs right after the same one (the page cache still writing back the file before,
// say). False, after saying which, when a run fails.
bool RunRounds(std::vector<Contender>& contenders, int rounds, const std::wstring& target) {
  const size_t count = contenders.size();
  for (int round = 0; round < rounds; ++round) {
    for (size_t i = 0; i < count; ++i) {
      Contender& contender = contenders[(round + i) % count];
      const Measure m = contender.run();
      ::DeleteFileW(target.c_str());
      if (m.seconds < 0) {
        Fail(contender.name);
        return false;
      }
      KeepBest(contender.best, m);
      contender.worstVerdict = std::max(contender.worstVerdict, m.verdictSeconds);
    }
  }
  return true;
}

// The installer's message loop: asleep until a message comes (the tests' pump looks every
// 10 ms, which would count here).
void DispatchFor(DWORD ms) {
  const DWORD start = ::GetTickCount();
  for (DWORD spent = 0; spent < ms; spent = ::GetTickCount() - start) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

// Percent of one core that this whole process uses over `ms` of its message loop.
double CorePercentOver(DWORD ms) {
  const double cpu = CpuSeconds(::GetCurrentProcess());
  const double start = PreciseNow();
  DispatchFor(ms);
  return 100 * (CpuSeconds(::GetCurrentProcess()) - cpu) / (PreciseNow() - start);
}

void OnStalledProgress(void* user, uint64_t, uint64_t, uint32_t) {
  static_cast<EngineRun*>(user)->answered = true;
}

// The engine's process while its download waits on the stalled answer; < 0 when the
// download does not get there or ends meanwhile.
double EngineStalled(const std::wstring& url, const std::wstring& path, uint64_t size) {
  CHttpDownloadFile download;
  EngineRun run;
  if (!download.Setup(L"", url, path, size, &run, OnEngineDone, OnStalledProgress)) return -1;
  // The answer's head comes before the first bytes, which are written a moment later.
  if (!testing_support::PumpMessagesUntil([&] { return run.answered || run.done; }, 30000)) {
    return -1;
  }
  DispatchFor(1000);
  const double percent = CorePercentOver(kStallMs);
  const bool waited = !run.done;
  download.Stop();
  DispatchFor(500);  // the workshop lets the transfer go
  return waited ? percent : -1;
}

size_t CountChunk(char*, size_t size, size_t count, void* received) {
  *static_cast<std::atomic<int64_t>*>(received) += static_cast<int64_t>(size * count);
  return size * count;
}

// The engine's worker loop before it slept in curl_multi_poll, on a thread of its own,
// driving the same stalled answer while this thread runs the message loop; < 0 as above.
double FormerLoopStalled(const std::string& url) {
  CURLM* multi = curl_multi_init();
  CURL* easy = curl_easy_init();
  std::atomic<int64_t> received{0};
  std::atomic<bool> stop{false}, ended{false};
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, CountChunk);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &received);
  curl_multi_add_handle(multi, easy);
  std::thread worker([&] {
    while (!stop) {
      fd_set readSet, writeSet, errorSet;
      FD_ZERO(&readSet);
      FD_ZERO(&writeSet);
      FD_ZERO(&errorSet);
      int highest = 0;
      curl_multi_fdset(multi, &readSet, &writeSet, &errorSet, &highest);
      if (highest < 0) {
        ::Sleep(1);
      } else {
        timeval timeout = {0, 5000};
        ::select(highest + 1, &readSet, &writeSet, &errorSet, &timeout);
      }
      int running = 0;
      curl_multi_perform(multi, &running);
      int left = 0;
      while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
        if (message->msg == CURLMSG_DONE) ended = true;
      }
    }
  });
  const DWORD start = ::GetTickCount();
  while (received < kStallAfterBytes && !ended && ::GetTickCount() - start < 30000) {
    DispatchFor(50);
  }
  double percent = -1;
  if (received >= kStallAfterBytes && !ended) {
    DispatchFor(1000);
    percent = CorePercentOver(kFormerLoopMs);
    if (ended) percent = -1;
  }
  stop = true;
  worker.join();
  curl_multi_remove_handle(multi, easy);
  curl_easy_cleanup(easy);
  curl_multi_cleanup(multi);
  return percent;
}

// The workshop relies on it: a wake-up given while the worker is busy ends its next wait at
// once. Milliseconds that wait took (the limit is 2 s).
double PollAfterWakeupMs() {
  CURLM* multi = curl_multi_init();
  // The first wait of a handle also pays for Wine's first use of its event.
  curl_multi_poll(multi, nullptr, 0, 0, nullptr);
  curl_multi_wakeup(multi);
  const double start = PreciseNow();
  curl_multi_poll(multi, nullptr, 0, 2000, nullptr);
  const double ms = (PreciseNow() - start) * 1000;
  curl_multi_cleanup(multi);
  return ms;
}

int IdlePart(const testing_support::TempFolder& folder, const std::wstring& target) {
  // Below the size at which a download may split into ranges: one connection, as the former
  // loop drives.
  constexpr uint64_t kSize = 16 << 20;
  if (!testing_support::WriteTestFile(folder / L"stalled.bin", kSize)) {
    return Fail("writing the stalled file");
  }
  testing_support::TestHttpServer server;
  if (!server.Start(folder.path()) ||
      !server.AddRule(testing_support::FaultRule("/stalled.bin").StallAfter(kStallAfterBytes))) {
    return Fail("starting the test server");
  }
  const double wakeupMs = PollAfterWakeupMs();
  if (wakeupMs > 500) return Fail("a wake-up before curl_multi_poll");
  const double engine = EngineStalled(server.WideUrl("/stalled.bin"), target, kSize);
  ::DeleteFileW(target.c_str());
  if (engine < 0) return Fail("the engine's stalled download");
  const double former = FormerLoopStalled(server.Url("/stalled.bin"));
  if (former < 0) return Fail("the former loop's stalled download");
  std::printf("BENCH idle_poll_after_early_wakeup %.1f ms\n", wakeupMs);
  // The whole process (message loop, the engine's 500 ms timer, both workshops' workers);
  // Wine's server works on top of it.
  std::printf("BENCH idle_stalled_engine_cpu %.2f %%core\n", engine);
  std::printf("BENCH idle_stalled_former_loop_cpu %.2f %%core\n", former);
  // Below 1: what is left of the former loop's cost while nothing arrives.
  std::printf("BENCH idle_stalled_cpu_ratio %.3f ratio\n", engine / former);
  return 0;
}

int ServerPart(const testing_support::TempFolder& folder, const std::wstring& target, uint64_t size,
               const std::wstring& curlExe) {
  const uint64_t smallSize = size / kSmallShare;
  if (!testing_support::WriteTestFile(folder / L"package.bin", size) ||
      !testing_support::WriteTestFile(folder / L"small.bin", smallSize)) {
    return Fail("writing the files to serve");
  }
  testing_support::TestHttpServer server;
  if (!server.Start(folder.path())) return Fail("starting the test server");
  const std::wstring url = server.WideUrl("/package.bin");
  const std::wstring smallUrl = server.WideUrl("/small.bin");
  const std::string smallNarrowUrl = server.Url("/small.bin");

  constexpr long kLibcurlDefault = CURL_MAX_WRITE_SIZE;
  std::vector<Contender> contenders = {
      {"the engine's download",
       [&] { return Engine(url, target, size, CHttpDownloadFile::kReceiveBufferSize); }},
      {"curl.exe's download", [&] { return CurlTool(curlExe, url, target, size); }},
      {"the engine's 16 KiB download",
       [&] { return Engine(smallUrl, target, smallSize, kLibcurlDefault); }},
      {"the poll loop's download",
       [&] { return PollLoop(smallNarrowUrl, target, smallSize, false); }},
      {"the poll loop's gathered download",
       [&] { return PollLoop(smallNarrowUrl, target, smallSize, true); }},
  };
  if (!RunRounds(contenders, kRounds, target)) return 1;
  const Measure& engine = contenders[0].best;
  const Measure& tool = contenders[1].best;
  const Measure& engine16k = contenders[2].best;
  const Measure& poll = contenders[3].best;
  const Measure& gathered = contenders[4].best;

  const double mb = size / 1e6, smallMb = smallSize / 1e6;
  std::printf("BENCH download_1gib_engine_throughput %.1f MB/s\n", mb / engine.seconds);
  std::printf("BENCH download_1gib_curl_exe_throughput %.1f MB/s\n", mb / tool.seconds);
  std::printf("BENCH download_1gib_throughput_ratio %.3f ratio\n", tool.seconds / engine.seconds);
  // The download's own process time (both threads); Wine's server works on top of it.
  std::printf("BENCH download_1gib_engine_cpu %.2f s\n", engine.cpuSeconds);
  std::printf("BENCH download_1gib_engine_cpu_per_wall %.3f ratio\n",
              engine.cpuSeconds / engine.seconds);
  std::printf("BENCH download_16k_engine_throughput %.1f MB/s\n", smallMb / engine16k.seconds);
  std::printf("BENCH download_16k_poll_loop_throughput %.1f MB/s\n", smallMb / poll.seconds);
  std::printf("BENCH download_16k_block_writes_throughput %.1f MB/s\n", smallMb / gathered.seconds);
  // Above 1: the engine's turns cost that much against a bare curl_multi_poll loop, at 16 KiB
  // a turn.
  std::printf("BENCH download_16k_engine_loop_cost_ratio %.3f ratio\n",
              engine16k.seconds / poll.seconds);
  // Above 1: writing each 16 KiB chunk as it arrives costs that much against 1 MiB writes.
  std::printf("BENCH download_16k_chunk_writes_cost_ratio %.3f ratio\n",
              poll.seconds / gathered.seconds);
  // What the engine's larger receive buffer gains over libcurl's default.
  std::printf("BENCH download_buffer_gain_ratio %.3f ratio\n",
              (mb / engine.seconds) / (smallMb / engine16k.seconds));
  return 0;
}

// The engine is given the package's size, as the update module gives it, so that it may
// split the download into ranges where the server answers them.
int NginxPart(const std::wstring& openUrl, const std::wstring& throttledUrl,
              const std::wstring& target, uint64_t size, const std::wstring& curlExe) {
  const long buffer = CHttpDownloadFile::kReceiveBufferSize;
  std::vector<Contender> throttled = {
      {"the engine's throttled download",
       [&] { return Engine(throttledUrl, target, size, buffer); }},
      {"curl.exe's throttled download",
       [&] { return CurlTool(curlExe, throttledUrl, target, size); }},
      {"the engine's throttled download with SHA-256",
       [&] {
         return Engine(throttledUrl, target, size, buffer,
                       CHttpDownloadFile::kDefaultParallelRanges, true);
       }},
  };
  std::vector<Contender> open = {
      {"the engine's download from nginx", [&] { return Engine(openUrl, target, size, buffer); }},
      {"curl.exe's download from nginx", [&] { return CurlTool(curlExe, openUrl, target, size); }},
      {"the engine's download from nginx in one stream",
       [&] { return Engine(openUrl, target, size, buffer, 1); }},
  };
  PROCESS_MEMORY_COUNTERS before = {};
  ::K32GetProcessMemoryInfo(::GetCurrentProcess(), &before, sizeof(before));
  // The open rounds first: the first download of a process pays for starting libcurl, the
  // proxy lookup and Wine's first use of what it calls, which would weigh on the one
  // throttled round.
  if (!RunRounds(open, kRounds, target) || !RunRounds(throttled, kThrottledRounds, target)) {
    return 1;
  }
  PROCESS_MEMORY_COUNTERS after = {};
  ::K32GetProcessMemoryInfo(::GetCurrentProcess(), &after, sizeof(after));
  // The most this process ever held above what it held before these downloads: an upper
  // bound of what the downloads (in ranges, and in one stream) took.
  std::printf("BENCH download_peak_memory_growth %.1f MiB\n",
              (static_cast<double>(after.PeakWorkingSetSize) - before.WorkingSetSize) / (1 << 20));
  const double mb = size / 1e6;
  std::printf("BENCH download_throttled_engine_throughput %.1f MB/s\n",
              mb / throttled[0].best.seconds);
  std::printf("BENCH download_throttled_curl_exe_throughput %.1f MB/s\n",
              mb / throttled[1].best.seconds);
  std::printf("BENCH download_throttled_ratio %.3f ratio\n",
              throttled[1].best.seconds / throttled[0].best.seconds);
  std::printf("BENCH download_open_engine_throughput %.1f MB/s\n", mb / open[0].best.seconds);
  std::printf("BENCH download_open_curl_exe_throughput %.1f MB/s\n", mb / open[1].best.seconds);
  std::printf("BENCH download_open_ratio %.3f ratio\n",
              open[1].best.seconds / open[0].best.seconds);
  std::printf("BENCH download_open_one_stream_ratio %.3f ratio\n",
              open[1].best.seconds / open[2].best.seconds);
  // The slowest verdict of any run, in ranges or one stream, open or throttled (MD5).
  const double verdict = std::max({open[0].worstVerdict, open[2].worstVerdict,
                                   throttled[0].worstVerdict});
  std::printf("BENCH digest_verdict_after_last_byte %.3f s\n", verdict);
  std::printf("BENCH digest_full_read_after_last_byte %.3f s\n", gFullReadVerdict);
  std::printf("BENCH digest_verdict_ratio %.3f ratio\n", verdict / gFullReadVerdict);
  std::printf("BENCH digest_verdict_sha256_throttled %.3f s\n", throttled[2].worstVerdict);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  uint64_t size = 1ull << 30;
  if (const char* mib = std::getenv("KELTO_BENCH_MIB"))
    size = std::strtoull(mib, nullptr, 10) << 20;
  InitMainThreadTasks();
  CHttpEngine::StartTimer();
  CHttpEngine::StartDownloadFamily();
  const std::wstring curlExe = testing_support::WindowsPathOfBuildFile(KELTO_CURL_EXE);
  testing_support::TempFolder root(L"bench-download");
  testing_support::TempFolder out(L"bench-download-out");
  const std::wstring target = out / L"package.bin";

  int status = 0;
  for (int i = 1; i < argc && status == 0; ++i) {
    const std::wstring part = argv[i];
    if (part == L"idle") {
      status = IdlePart(root, target);
    } else if (part == L"server") {
      status = ServerPart(root, target, size, curlExe);
    } else if (part == L"nginx" && i + 2 < argc) {
      status = NginxPart(argv[i + 1], argv[i + 2], target, size, curlExe);
      i += 2;
    } else {
      std::fprintf(stderr, "usage: download_bench [idle] [server] [nginx OPEN THROTTLED]\n");
      status = 1;
    }
  }
  CHttpEngine::ShutdownDownloadFamily();
  CHttpEngine::StopTimer();
  return status;
}
