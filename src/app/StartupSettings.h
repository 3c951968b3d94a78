// StartupSettings: the process-wide record of the start-up options and of the main dialog.
//
// Contract: written only by the start-up routine on the user-interface thread, before the
// install window is created; read afterwards by the install dialog and the install worker
// (which only reads fields that no longer change). Created on first use; never destroyed.
#pragma once

#include <windows.h>

#include <string>

class CMainDlg;
class CommandLineOptions;

struct StartupSettings {
  CMainDlg* mainDialog = nullptr;
  UINT_PTR heartbeatTimer = 0;
  int gameIdOption = 0;      // option i; 0 when not given
  bool hidden = false;       // option h
  bool runLauncher = true;   // option r
  bool supportLog = false;   // option l: the file logger is on
  std::wstring supportLogPath;  // option l's value; empty for the default file

  static StartupSettings& Get();

  // Takes the options start-up understands (i, h, r, l) from a parsed command line.
  void ApplyOptions(const CommandLineOptions& options);
};
