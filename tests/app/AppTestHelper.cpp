// Copied into folders and started by the tests: "sleep <seconds>" waits (10 minutes at most);
// "kill <name>" ends the processes named <name> and exits with 100 and their count.
#include <windows.h>

#include <cwchar>

#include "app/CommonUtils.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  if (std::wcscmp(argv[1], L"kill") == 0) return 100 + KillProcessesByName(argv[2]);
  const unsigned long seconds = std::wcstoul(argv[2], nullptr, 10);
  ::Sleep((seconds < 600 ? seconds : 600) * 1000);
  return 0;
}
