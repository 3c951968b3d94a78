#include "TestHostWindow.h"

#include <algorithm>

#include "ui/core/ControlUI.h"
#include "ui/skin/DibSection.h"

namespace testing_support {

namespace {

constexpr const wchar_t* kClassName = L"KeltoSkinTestHost";

bool RegisterTestClass() {
  static const bool registered = [] {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    return ::RegisterClassExW(&wc) != 0;
  }();
  return registered;
}

}  // namespace

TestHostWindow::TestHostWindow(const wchar_t* title, int width, int height) {
  if (!RegisterTestClass()) return;
  window_ = ::CreateWindowExW(0, kClassName, title, WS_POPUP | WS_CLIPCHILDREN, 100, 100, width,
                              height, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (!window_) return;
  ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
  host_.Init(window_);
}

TestHostWindow::~TestHostWindow() {
  if (window_) ::DestroyWindow(window_);
  Pump(0);
}

LRESULT CALLBACK TestHostWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  auto* self = reinterpret_cast<TestHostWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self) {
    if (message == WM_NCDESTROY) {
      self->window_ = nullptr;
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    } else {
      LRESULT result = 0;
      if (self->host_.MessageHandler(message, wParam, lParam, result)) return result;
    }
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

void TestHostWindow::Show() {
  ::ShowWindow(window_, SW_SHOW);
  ::SetForegroundWindow(window_);
  ::SetActiveWindow(window_);
  ::SetFocus(window_);
  ::UpdateWindow(window_);
  Pump(50);
}

void TestHostWindow::Pump(DWORD ms) {
  const DWORD start = ::GetTickCount();
  do {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (SkinUI::CWindowHostUI::TranslateMessage(&msg)) continue;
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (ms) ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  } while (::GetTickCount() - start < ms);
}

bool TestHostWindow::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  while (!done()) {
    if (::GetTickCount() - start >= timeoutMs) return done();
    Pump(10);
  }
  return true;
}

uint32_t TestHostWindow::BackBufferRgb(int x, int y) {
  ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  ::GdiFlush();
  const SkinUI::TConstPixelView pixels = SkinUI::CDibSection::PixelsOf(host_.GetOffscreenBitmap());
  if (!pixels.pixels || x < 0 || y < 0 || x >= pixels.width || y >= pixels.height) return 0;
  return pixels.pixels[static_cast<size_t>(y) * pixels.stride + x] & 0xFFFFFF;
}

void TestHostWindow::Click(int x, int y) {
  Press(x, y);
  Release(x, y);
}

void TestHostWindow::Press(int x, int y) {
  ::SendMessageW(window_, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  ::SendMessageW(window_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
}

void TestHostWindow::Release(int x, int y) {
  ::SendMessageW(window_, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void TestHostWindow::Move(int x, int y) {
  ::SendMessageW(window_, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
}

NotifyRecorder::NotifyRecorder(SkinUI::CWindowHostUI& host) : host_(host) {
  host_.AddNotifier(this);
}

NotifyRecorder::~NotifyRecorder() { host_.RemoveNotifier(this); }

void NotifyRecorder::Notify(SkinUI::TControlNotify& notify) {
  const std::wstring name = notify.sender ? notify.sender->GetName() : L"";
  entries.push_back(notify.typeName + L":" + name);
}

int NotifyRecorder::Count(const std::wstring& entry) const {
  return static_cast<int>(std::count(entries.begin(), entries.end(), entry));
}

void NotifyRecorder::Clear() { entries.clear(); }

bool StartShell(const std::wstring& command) {
  std::wstring line = L"Z:\\bin\\sh -c \"" + command + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process)) {
    return false;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return true;
}

bool StartXdotool(const std::wstring& title, const std::wstring& commands) {
  return StartShell(L"xdotool search --sync --onlyvisible --name '" + title + L"' " + commands);
}

std::wstring XdotoolKeys(const std::wstring& keys) {
  // A key whose press closed its window (Escape in a dialog) never has its release delivered
  // there (xdotool ends on the window's absence), and Wine takes it for held down: that
  // swallows its next press, and the key repeats into whichever window has the focus next.
  // Each key is released first, and once more afterwards wherever the focus is.
  return L"keyup --window %1 " + keys + L" key --window %1 " + keys + L"; xdotool keyup " + keys;
}

std::wstring XdotoolClick(POINT point) {
  return L"mousemove --window %1 " + std::to_wstring(point.x) + L" " + std::to_wstring(point.y) +
         L" click 1";
}

}  // namespace testing_support
