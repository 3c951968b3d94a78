// The installer of this build (KeltoSetup.exe), for tests that start it as a real process.
//
// Contract: the test target defines KELTO_INSTALLER_EXE (the program's Unix path); the path
// returned is Wine's Windows form of it. Any thread.
#pragma once

#include <string>

#include "support/TestFiles.h"

inline std::wstring InstallerPath() {
  return testing_support::WindowsPathOfBuildFile(KELTO_INSTALLER_EXE);
}
