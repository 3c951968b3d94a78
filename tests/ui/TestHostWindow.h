// Test helpers for the paint manager and the controls: a real top-level window whose
// messages go to a CWindowHostUI (as the window base will route them), a listener that
// records notifications, and a message pump that runs until a condition holds.
//
// Contract: the test's thread, which owns the window. The window is destroyed before the
// manager, as a skinned dialog's is. Nothing throws; a window that cannot be created leaves
// hwnd() null, which the tests check first.
#pragma once

#include <windows.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "ui/core/ControlEvents.h"
#include "ui/core/WindowHostUI.h"

// RECTs compared and printed in test expectations.
inline bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline void PrintTo(const RECT& r, std::ostream* os) {
  *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace testing_support {

class TestHostWindow {
 public:
  // A borderless window of `width` x `height` client pixels, titled `title`, not yet shown.
  explicit TestHostWindow(const wchar_t* title, int width = 540, int height = 355);
  ~TestHostWindow();
  TestHostWindow(const TestHostWindow&) = delete;
  TestHostWindow& operator=(const TestHostWindow&) = delete;

  HWND hwnd() const { return window_; }
  SkinUI::CWindowHostUI& host() { return host_; }

  // Shows and activates the window and lets it paint.
  void Show();
  // Dispatches messages (through the paint manager's pre-translation) for `ms`.
  void Pump(DWORD ms);
  // Dispatches messages until `done` holds or `timeoutMs` passed; the final answer of done.
  bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);
  // Repaints at once and returns the colour of the back buffer at (x, y), 0xRRGGBB (GDI
  // leaves the alpha byte of what it draws undefined).
  uint32_t BackBufferRgb(int x, int y);

  // Messages as a user's mouse makes them, sent straight to the window.
  void Click(int x, int y);
  void Press(int x, int y);
  void Release(int x, int y);
  void Move(int x, int y);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  SkinUI::CWindowHostUI host_;
};

// Records the notifications of a window, as "type:sender name".
class NotifyRecorder : public SkinUI::INotifyUI {
 public:
  explicit NotifyRecorder(SkinUI::CWindowHostUI& host);
  ~NotifyRecorder();

  void Notify(SkinUI::TControlNotify& notify) override;

  std::vector<std::wstring> entries;
  // The number of entries equal to `entry`.
  int Count(const std::wstring& entry) const;
  void Clear();

 private:
  SkinUI::CWindowHostUI& host_;
};

// Starts `command` with the Unix shell Wine maps to Z:\bin\sh (used for xdotool, which
// moves the X server's real pointer and keyboard) and returns at once: Wine does not report
// the end of a Unix process, so callers wait for the command's effect instead. False when it
// could not be started.
bool StartShell(const std::wstring& command);

// Starts xdotool on the visible window titled `title` (waiting for it to appear): `commands`
// refer to the window as %1, e.g. L"mousemove --window %1 10 20 click 1".
bool StartXdotool(const std::wstring& title, const std::wstring& commands);
// The xdotool commands that click the left button at `point` of the window's client area.
std::wstring XdotoolClick(POINT point);
// The xdotool commands that press `keys` on the window (key names separated by blanks,
// e.g. L"Escape Return").
std::wstring XdotoolKeys(const std::wstring& keys);

}  // namespace testing_support
