// Keeps Wine's desktop open for a whole test run.
//
// Wine closes a desktop about a second after its last user process has gone, and the next
// program that needs a window starts the desktop process (explorer.exe /desktop) anew. With
// test programs coming and going that happens all the time, and a program that arrives while
// the desktop is closing can find no desktop at all: its windows fail for good. The harness
// starts this program once; it holds the desktop with one hidden window that is never shown
// and waits for messages until the Wine server ends it.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = instance;
  wc.lpszClassName = L"KeltoDesktopHolder";
  if (!::RegisterClassW(&wc)) return 1;
  HWND window = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                  nullptr, instance, nullptr);
  if (!window) return 1;
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
  return 0;
}
