// The process's own command line, split the way Windows splits it.
#include <windows.h>
#include <shellapi.h>

#include "runtime/CommandLineOptions.h"

CommandLineOptions::CommandLineOptions() {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  Parse(argv ? argc : 0, argv);
  if (argv) ::LocalFree(argv);
}
