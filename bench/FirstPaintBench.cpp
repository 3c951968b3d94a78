// Cold start to the first painted frame: starts a program, and measures the time until a
// visible window of that process shows painted content on the screen (a pixel inside its
// client area is no longer the desktop's colour). Prints "<milliseconds>" or "fail".
//
// Usage: first_paint_bench.exe <probe x> <probe y> <command line...>
// The probe point is in the window's client coordinates; the program is ended afterwards.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Search {
  DWORD process;
  HWND found;
};

BOOL CALLBACK FindVisible(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD process = 0;
  ::GetWindowThreadProcessId(hwnd, &process);
  if (process == search->process && ::IsWindowVisible(hwnd)) {
    RECT rc;
    ::GetWindowRect(hwnd, &rc);
    // The shadow window and tooltips are not the program's picture.
    if (rc.right - rc.left >= 200 && rc.bottom - rc.top >= 100 &&
        !(::GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TRANSPARENT)) {
      search->found = hwnd;
      return FALSE;
    }
  }
  return TRUE;
}

double Now() {
  LARGE_INTEGER counter, frequency;
  ::QueryPerformanceCounter(&counter);
  ::QueryPerformanceFrequency(&frequency);
  return counter.QuadPart * 1000.0 / frequency.QuadPart;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: first_paint_bench <x> <y> <command line>\n");
    return 1;
  }
  const int probeX = _wtoi(argv[1]);
  const int probeY = _wtoi(argv[2]);
  std::wstring command;
  for (int i = 3; i < argc; ++i) {
    if (i > 3) command += L' ';
    command += std::wstring(L"\"") + argv[i] + L"\"";
  }
  HDC screen = ::GetDC(nullptr);
  STARTUPINFOW si = {sizeof(si)};
  PROCESS_INFORMATION pi = {};
  const double start = Now();
  if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
    std::printf("fail\n");
    return 2;
  }
  double painted = -1;
  COLORREF background = CLR_INVALID;
  while (Now() - start < 30000) {
    Search search = {pi.dwProcessId, nullptr};
    ::EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      POINT p = {probeX, probeY};
      ::ClientToScreen(search.found, &p);
      const COLORREF pixel = ::GetPixel(screen, p.x, p.y);
      if (background == CLR_INVALID) background = RGB(0, 0, 0);  // the bare X root
      if (pixel != CLR_INVALID && pixel != background) {
        painted = Now() - start;
        break;
      }
    }
    if (::WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0) break;
  }
  ::ReleaseDC(nullptr, screen);
  ::TerminateProcess(pi.hProcess, 0);
  ::WaitForSingleObject(pi.hProcess, 5000);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  if (painted < 0) {
    std::printf("fail\n");
    return 3;
  }
  std::printf("%.1f\n", painted);
  return 0;
}
