// Starts a test HTTP server, reports its port and work folder in "<folder>\server.txt", then
// ends its own process at once, the way a crashing test would: no destructor runs, nobody
// asks the server to stop.
#include <winsock2.h>
#include <windows.h>

#include <string>

#include "support/TestHttpServer.h"
#include "support/TestFiles.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  const std::wstring folder = argv[1];
  auto* server = new testing_support::TestHttpServer();  // never deleted, on purpose
  if (!server->Start(folder)) return 3;
  const std::string report = std::to_string(server->port()) + "\n" +
                             testing_support::WideToUtf8(server->process().workDir().path());
  if (!testing_support::WriteBinaryFile(folder + L"\\server.txt", report)) return 4;
  ::TerminateProcess(::GetCurrentProcess(), 0);
  return 0;
}
