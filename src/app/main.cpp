// Entry point of the installer.
#include <windows.h>

#include "app/InstallerApp.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  CInstallerApp app(instance);
  return app.Run();
}
