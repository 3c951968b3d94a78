// Copied into folders and started by the tests: "sleep <seconds>" waits (10 minutes at most);
// "kill <name>" ends the processes named <name> and exits with 100 and their count;
// "swap <package>" is another program that, once the event "KeltoSwapNow" is set, tries to
// open the package for writing and to replace it: it exits with 0 when both were refused
// because the file is in use, 2 when either worked, 1 when the event never came. Started as a
// package ("/S ..."), it hangs for 10 minutes.
#include <windows.h>

#include <cwchar>

#include "platform/CommonUtils.h"

namespace {

int Swap(const std::wstring& package) {
  HANDLE now = ::CreateEventW(nullptr, TRUE, FALSE, L"KeltoSwapNow");
  if (::WaitForSingleObject(now, 60000) != WAIT_OBJECT_0) return 1;
  HANDLE file = ::CreateFileW(package.c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) return 2;
  const bool held = ::GetLastError() == ERROR_SHARING_VIOLATION;
  const std::wstring forged = package + L".forged";
  if (CreateEmptyFile(forged) &&
      ::MoveFileExW(forged.c_str(), package.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return 2;
  }
  return held ? 0 : 3;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  if (std::wcscmp(argv[1], L"kill") == 0) return 100 + KillProcessesByName(argv[2]);
  if (std::wcscmp(argv[1], L"swap") == 0) return Swap(argv[2]);
  const unsigned long seconds =
      std::wcscmp(argv[1], L"/S") == 0 ? 600 : std::wcstoul(argv[2], nullptr, 10);
  ::Sleep((seconds < 600 ? seconds : 600) * 1000);
  return 0;
}
