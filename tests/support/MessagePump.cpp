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

// A window of `className` under `parent` (null: the top-level windows) that belongs to process
// `processId`, and is visible unless `hidden` windows count too.
HWND FindWindowOf(HWND parent, DWORD processId, const wchar_t* className, bool hidden) {
  HWND window = nullptr;
  while ((window = ::FindWindowExW(parent, window, className, nullptr))) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == processId && (hidden || ::IsWindowVisible(window))) return window;
  }
  return nullptr;
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
  return FindWindowOf(HWND_MESSAGE, ::GetCurrentProcessId(), className, true);
}

HWND WaitForShownWindowOf(DWORD processId, const wchar_t* className, DWORD limitMs) {
  HWND window = nullptr;
  PumpMessagesUntil(
      [&] { return (window = FindWindowOf(nullptr, processId, className, false)) != nullptr; },
      limitMs);
  return window;
}

}  // namespace testing_support
