// KeltoLauncher.exe of the demo game: the program the installer starts after an install.
//
// It records how it was started in "KeltoLauncher.started.txt" beside itself (UTF-8 lines
// "cmdline=", "id=", "d=", "pid=") so tests and the demo can check the installer's command
// line, then shows a small window for a while. Not part of the installer.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

constexpr UINT_PTR kCloseTimer = 1;
constexpr UINT kShowMs = 20000;

std::wstring g_gameId;

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                0, nullptr, nullptr);
  std::string out(n, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n,
                        nullptr, nullptr);
  return out;
}

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH * 2] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  std::wstring p(path);
  return p.substr(0, p.find_last_of(L'\\'));
}

void RecordStart() {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  bool d = false;
  for (int k = 1; argv && k < argc; ++k) {
    std::wstring a = argv[k];
    if (a == L"-i" && k + 1 < argc) g_gameId = argv[++k];
    else if (a == L"-d") d = true;
  }
  if (argv) ::LocalFree(argv);
  std::string text = "cmdline=" + Utf8(::GetCommandLineW()) + "\r\n" + "id=" + Utf8(g_gameId) +
                     "\r\n" + "d=" + (d ? "1" : "0") + "\r\n" +
                     "pid=" + std::to_string(::GetCurrentProcessId()) + "\r\n";
  HANDLE file = ::CreateFileW((OwnFolder() + L"\\KeltoLauncher.started.txt").c_str(),
                              GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
  }
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd, &ps);
      RECT rc;
      ::GetClientRect(hwnd, &rc);
      HBRUSH bg = ::CreateSolidBrush(RGB(24, 44, 92));
      ::FillRect(dc, &rc, bg);
      ::DeleteObject(bg);
      ::SetBkMode(dc, TRANSPARENT);
      ::SetTextColor(dc, RGB(255, 214, 90));
      HFONT font = ::CreateFontW(-22, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                 CLEARTYPE_QUALITY, 0, L"Microsoft YaHei");
      HGDIOBJ old = ::SelectObject(dc, font);
      std::wstring text = L"凯途星联启动器\n\n游戏编号 " + g_gameId;
      rc.top += 50;
      ::DrawTextW(dc, text.c_str(), -1, &rc, DT_CENTER | DT_WORDBREAK);
      ::SelectObject(dc, old);
      ::DeleteObject(font);
      ::EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_TIMER:
      if (wParam == kCloseTimer) ::DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  RecordStart();
  WNDCLASSW wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = L"KeltoDemoLauncher";
  ::RegisterClassW(&wc);
  HWND hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"凯途星联启动器",
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                                CW_USEDEFAULT, 360, 200, nullptr, nullptr, instance, nullptr);
  if (hwnd) {
    ::ShowWindow(hwnd, show);
    ::SetTimer(hwnd, kCloseTimer, kShowMs, nullptr);
  }
  MSG msg;
  while (hwnd && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}
