// A program that the application tests copy into folders of their choosing and start, so that
// the routines which look for the processes of a folder meet real ones: "sleep <seconds>"
// waits (at most 10 minutes), then exits with 0.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3 || std::wcscmp(argv[1], L"sleep") != 0) return 2;
  const unsigned long seconds = std::wcstoul(argv[2], nullptr, 10);
  ::Sleep((seconds < 600 ? seconds : 600) * 1000);
  return 0;
}
