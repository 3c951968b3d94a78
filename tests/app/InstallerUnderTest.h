// The installer of this build as Wine names it, for tests that start it. Contract: any thread;
// the test target defines KELTO_INSTALLER_EXE (the program's Unix path).
#pragma once

#include <string>

#include "support/TestFiles.h"

inline std::wstring InstallerPath() {
  return testing_support::WindowsPathOfBuildFile(KELTO_INSTALLER_EXE);
}
