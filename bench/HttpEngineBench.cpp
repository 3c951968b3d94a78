// The engine's cost: HTTP commands against the test server on loopback, and the same
// requests made, in the same run, by libcurl's blocking easy interface on the calling thread
// (the reference: the same library without the engine's worker thread, scheduler and task
// hop) and by the test client (one bare Winsock connection per request). Prints
// "BENCH <name> <value> <unit>" lines.
//
//   latency     200 sequential GETs of a 200-byte file, per request
//   throughput  one 64 MiB answer into memory, best of three
//
// Exit code 1 when the server cannot start or a request fails.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include <curl/curl.h>

#include "http/HttpCommand.h"
#include "http/HttpEngine.h"
#include "runtime/MainThreadTask.h"
#include "support/MessagePump.h"
#include "support/TestFiles.h"
#include "support/TestHttpClient.h"
#include "support/TestHttpServer.h"

namespace {

constexpr int kLatencyRounds = 200;
constexpr size_t kSmallSize = 200;
constexpr size_t kBigSize = 64u << 20;

struct Result {
  bool done = false;
  int type = -1;
  size_t size = 0;
};

void OnDone(void* user, const std::string& body, int type, int) {
  Result* result = static_cast<Result*>(user);
  result->done = true;
  result->type = type;
  result->size = body.size();
}

// Seconds for one command of `url`; negative when it fails.
double TimeCommand(const std::wstring& url, size_t expected) {
  CHttpCommand command;
  Result result;
  command.url = url;
  command.onDone = OnDone;
  command.userData = &result;
  const double start = PreciseNow();
  if (!CHttpEngine::JoinCommandScheduler(&command)) return -1;
  if (!testing_support::PumpMessagesUntil([&] { return result.done; }, 120000)) return -1;
  const double seconds = PreciseNow() - start;
  return result.type == 0 && result.size == expected ? seconds : -1;
}

size_t Collect(char* data, size_t size, size_t count, void* body) {
  static_cast<std::string*>(body)->append(data, size * count);
  return size * count;
}

// The handle is kept from call to call, so it reuses its connection as the engine does.
double TimeEasy(CURL* easy, const std::string& url, size_t expected) {
  std::string body;
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
  const double start = PreciseNow();
  const CURLcode code = curl_easy_perform(easy);
  const double seconds = PreciseNow() - start;
  return code == CURLE_OK && body.size() == expected ? seconds : -1;
}

double TimeClient(uint16_t port, const std::string& target, size_t expected) {
  const double start = PreciseNow();
  const testing_support::HttpReply reply = testing_support::HttpGet(port, target, "", 120000);
  const double seconds = PreciseNow() - start;
  return reply.status == 200 && reply.body.size() == expected ? seconds : -1;
}

int Fail(const char* what) {
  std::fprintf(stderr, "http engine bench: %s failed\n", what);
  return 1;
}

}  // namespace

int wmain() {
  InitMainThreadTasks();
  CHttpEngine::StartTimer();
  CHttpEngine::StartCommandFamily();

  testing_support::TempFolder root(L"bench-http");
  if (!testing_support::WriteBinaryFile(root / L"small.txt", std::string(kSmallSize, 's')) ||
      !testing_support::WriteTestFile(root / L"big.bin", kBigSize)) {
    return Fail("writing the files");
  }
  testing_support::TestHttpServer server;
  if (!server.Start(root.path())) return Fail("starting the test server");
  const std::wstring smallUrl = server.WideUrl("/small.txt");
  const std::string smallEasyUrl = server.Url("/small.txt");
  CURL* easy = curl_easy_init();

  // Each side warms up once: connections, the server's file cache, the page cache.
  if (TimeCommand(smallUrl, kSmallSize) < 0) return Fail("a command");
  if (TimeEasy(easy, smallEasyUrl, kSmallSize) < 0) return Fail("the easy interface");
  if (TimeClient(server.port(), "/small.txt", kSmallSize) < 0) return Fail("the test client");

  double ours = 0, reference = 0, client = 0;
  for (int i = 0; i < kLatencyRounds; ++i) {
    const double a = TimeCommand(smallUrl, kSmallSize);
    const double b = TimeEasy(easy, smallEasyUrl, kSmallSize);
    const double c = TimeClient(server.port(), "/small.txt", kSmallSize);
    if (a < 0 || b < 0 || c < 0) return Fail("a small request");
    ours += a;
    reference += b;
    client += c;
  }
  const double oursMs = ours * 1000 / kLatencyRounds;
  const double referenceMs = reference * 1000 / kLatencyRounds;
  std::printf("BENCH http_command_latency %.3f ms\n", oursMs);
  std::printf("BENCH http_easy_latency %.3f ms\n", referenceMs);
  std::printf("BENCH http_test_client_latency %.3f ms\n", client * 1000 / kLatencyRounds);
  std::printf("BENCH http_command_latency_ratio %.3f ratio\n", oursMs / referenceMs);

  double bestOurs = 1e9, bestReference = 1e9, bestClient = 1e9;
  for (int i = 0; i < 3; ++i) {
    const double a = TimeCommand(server.WideUrl("/big.bin"), kBigSize);
    const double b = TimeEasy(easy, server.Url("/big.bin"), kBigSize);
    const double c = TimeClient(server.port(), "/big.bin", kBigSize);
    if (a < 0 || b < 0 || c < 0) return Fail("a 64 MiB request");
    bestOurs = a < bestOurs ? a : bestOurs;
    bestReference = b < bestReference ? b : bestReference;
    bestClient = c < bestClient ? c : bestClient;
  }
  curl_easy_cleanup(easy);
  const double mb = kBigSize / 1e6;
  std::printf("BENCH http_command_64mib_throughput %.1f MB/s\n", mb / bestOurs);
  std::printf("BENCH http_easy_64mib_throughput %.1f MB/s\n", mb / bestReference);
  std::printf("BENCH http_test_client_64mib_throughput %.1f MB/s\n", mb / bestClient);
  std::printf("BENCH http_command_64mib_throughput_ratio %.3f ratio\n", bestReference / bestOurs);

  server.Stop();
  CHttpEngine::ShutdownCommandFamily();
  CHttpEngine::StopTimer();
  return 0;
}
