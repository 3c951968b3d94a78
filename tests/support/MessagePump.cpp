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

namespace {

HWND FindShownWindowOf(DWORD processId, const wchar_t* className) {
  struct Search {
    DWORD processId;
    const wchar_t* className;
    HWND found;
  } search = {processId, className, nullptr};
  ::EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        wchar_t name[64] = L"";
        ::GetClassNameW(window, name, 64);
        if (owner != s->processId || ::lstrcmpW(name, s->className) != 0 ||
            !::IsWindowVisible(window)) {
          return TRUE;
        }
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

HWND WaitForShownWindowOf(DWORD processId, const wchar_t* className, DWORD limitMs) {
  HWND window = nullptr;
  PumpMessagesUntil([&] { return (window = FindShownWindowOf(processId, className)) != nullptr; },
                    limitMs);
  return window;
}

}  // namespace testing_support
