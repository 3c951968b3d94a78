// Copied into folders and started by the tests: "sleep <seconds>" waits (10 minutes at most).
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3 || std::wcscmp(argv[1], L"sleep") != 0) return 2;
  const unsigned long seconds = std::wcstoul(argv[2], nullptr, 10);
  ::Sleep((seconds < 600 ? seconds : 600) * 1000);
  return 0;
}
