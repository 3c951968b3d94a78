// Stands in for a package that still runs from an earlier attempt: the update module must end
// it before it can replace the file. Waits for a minute, then exits with 0.
#include <windows.h>

int main() {
  ::Sleep(60000);
  return 0;
}
