// A small Windows program that the application tests copy into folders of their choosing and
// start, so that routines which look at the running program (its folder, its name, other
// processes) meet real processes. Results go to a UTF-16 file named on the command line.
//
//   sleep <seconds>            waits (at most 10 minutes), then exits with 0
//   args <out>                 writes its own command line
//   report <out>               writes its folder, its hidden-mode folder and what it finds
//                              beside itself, one "key=value" line each
//   kill <name> <out>          ends every process named <name> and writes the count
//   wait-write <ms> <out>      waits <ms>, then writes "done"
#include <windows.h>

#include <cwchar>
#include <string>

#include "app/CommonUtils.h"
#include "app/InstallLocation.h"

namespace {

bool WriteResult(const wchar_t* path, const std::wstring& text) {
  HANDLE file = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  const bool ok = ::WriteFile(file, text.data(), size, &written, nullptr) && written == size;
  ::CloseHandle(file);
  return ok;
}

DWORD BoundedNumber(const wchar_t* text, DWORD limit) {
  const unsigned long value = std::wcstoul(text, nullptr, 10);
  return value < limit ? static_cast<DWORD>(value) : limit;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::wstring command = argv[1];
  if (command == L"sleep" && argc >= 3) {
    ::Sleep(BoundedNumber(argv[2], 600) * 1000);
    return 0;
  }
  if (command == L"args" && argc >= 3) {
    return WriteResult(argv[2], ::GetCommandLineW()) ? 0 : 1;
  }
  if (command == L"report" && argc >= 3) {
    install_location::InstallPaths paths;
    install_location::DetectLocalPackage(paths);
    const std::wstring text = L"ModuleDir=" + ModuleDir() + L"\n" +
                              L"SilentInstallDir=" + install_location::SilentInstallDir() +
                              L"\n" + L"downloadDir=" + paths.downloadDir + L"\n" +
                              L"packageBeside=" + (paths.packageBeside ? L"1" : L"0") + L"\n";
    return WriteResult(argv[2], text) ? 0 : 1;
  }
  if (command == L"kill" && argc >= 4) {
    const int count = KillProcessesByName(argv[2]);
    return WriteResult(argv[3], std::to_wstring(count)) ? 0 : 1;
  }
  if (command == L"wait-write" && argc >= 4) {
    ::Sleep(BoundedNumber(argv[2], 60000));
    return WriteResult(argv[3], L"done") ? 0 : 1;
  }
  return 2;
}
