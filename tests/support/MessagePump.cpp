#include "support/MessagePump.h"

namespace testing_support {

namespace {

void DispatchWaiting(DWORD waitMs) {
  ::MsgWaitForMultipleObjects(0, nullptr, FALSE, waitMs, QS_ALLINPUT);
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

}  // namespace

bool PumpMessagesUntil(const std::function<bool()>& done, DWORD limitMs) {
  const DWORD start = ::GetTickCount();
  while (!done()) {
    if (::GetTickCount() - start > limitMs) return false;
    DispatchWaiting(10);
  }
  return true;
}

void PumpMessagesFor(DWORD ms) {
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < ms) DispatchWaiting(10);
}

HWND FindOwnMessageWindow(const wchar_t* className) {
  HWND window = nullptr;
  while ((window = ::FindWindowExW(HWND_MESSAGE, window, className, nullptr))) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process == ::GetCurrentProcessId()) return window;
  }
  return nullptr;
}

}  // namespace testing_support
