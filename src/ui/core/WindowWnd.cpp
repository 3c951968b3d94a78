#include "ui/core/WindowWnd.h"

#include "ui/core/FrameGeometry.h"
#include "ui/core/WindowHostUI.h"
#include "ui/skin/SkinModule.h"
#include "ui/skin/WinGeometry.h"

namespace SkinUI {

namespace {

constexpr const wchar_t* kSelfProperty = L"WndX";

// The objects whose windows are being created on this thread, innermost first: a window
// destroyed during its own creation makes Create fail, and its object stays the caller's.
struct TCreation {
  const CWindowWnd* object;
  TCreation* outer;
};
thread_local TCreation* t_creations = nullptr;

class CCreationScope {
 public:
  explicit CCreationScope(const CWindowWnd* object) : entry_{object, t_creations} {
    t_creations = &entry_;
  }
  ~CCreationScope() { t_creations = entry_.outer; }
  CCreationScope(const CCreationScope&) = delete;
  CCreationScope& operator=(const CCreationScope&) = delete;

  static bool IsCreating(const CWindowWnd* object) {
    for (const TCreation* c = t_creations; c; c = c->outer) {
      if (c->object == object) return true;
    }
    return false;
  }

 private:
  TCreation entry_;
};

}  // namespace

CWindowWnd::CWindowWnd() = default;

CWindowWnd::~CWindowWnd() {
  if (!window_ || !::IsWindow(window_)) return;
  if (subclassed_) {
    Unsubclass();
    return;
  }
  // The window's remaining messages reach this base part only: the derived parts are gone.
  ::DestroyWindow(window_);
}

HINSTANCE CWindowWnd::ClassInstance() {
  HINSTANCE instance = CSkinModule::GetInstance();
  return instance ? instance : ::GetModuleHandleW(nullptr);
}

const wchar_t* CWindowWnd::GetSuperClassName() const { return nullptr; }

UINT CWindowWnd::GetClassStyle() const { return 0; }

bool CWindowWnd::RegisterWindowClass() {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = GetClassStyle();
  wc.lpfnWndProc = &CWindowWnd::WindowProc;
  wc.hInstance = ClassInstance();
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = nullptr;
  wc.lpszClassName = GetWindowClassName();
  return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CWindowWnd::RegisterSuperclass() {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  const wchar_t* super = GetSuperClassName();
  if (!::GetClassInfoExW(nullptr, super, &wc) && !::GetClassInfoExW(ClassInstance(), super, &wc)) {
    return false;
  }
  // Every object of the class learns the procedure it hands unhandled messages to.
  previousProc_ = wc.lpfnWndProc;
  wc.lpfnWndProc = &CWindowWnd::ControlProc;
  wc.hInstance = ClassInstance();
  wc.lpszClassName = GetWindowClassName();
  return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, int x,
                        int y, int cx, int cy, HMENU menu) {
  if (window_) return nullptr;
  if (GetSuperClassName() ? !RegisterSuperclass() : !RegisterWindowClass()) return nullptr;
  CCreationScope scope(this);
  // Nothing of this object may be touched once the call is back: a window destroyed during
  // its creation has run the final message already. The handle is learnt at creation.
  return ::CreateWindowExW(exStyle, GetWindowClassName(), name, style, x, y, cx, cy, parent,
                           menu, ClassInstance(), this);
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle,
                        const RECT& rect, HMENU menu) {
  return Create(parent, name, style, exStyle, rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top, menu);
}

HWND CWindowWnd::Subclass(HWND window) {
  if (window_ || !::IsWindow(window)) return nullptr;
  // Linked before the procedure changes, so that no message finds the window without us.
  if (!::SetPropW(window, kSelfProperty, this)) return nullptr;
  const auto previous = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
      window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWindowWnd::ControlProc)));
  if (!previous) {
    ::RemovePropW(window, kSelfProperty);
    return nullptr;
  }
  previousProc_ = previous;
  subclassed_ = true;
  window_ = window;
  return window_;
}

void CWindowWnd::Unsubclass() {
  if (!subclassed_) return;
  if (::IsWindow(window_)) {
    ::SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
    ::RemovePropW(window_, kSelfProperty);
  }
  previousProc_ = ::DefWindowProcW;
  subclassed_ = false;
  window_ = nullptr;
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus) {
  if (!::IsWindow(window_)) return;
  ::ShowWindow(window_, show ? (takeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::ShowModal() {
  // Only locals from here on: a self-owning window object is deleted while its window is
  // destroyed inside this loop.
  const HWND window = window_;
  if (!::IsWindow(window)) return 0;
  const HWND owner = ::GetWindow(window, GW_OWNER);
  ::ShowWindow(window, SW_SHOWNORMAL);
  // An owner that another modal window disabled already stays disabled when this one ends.
  const bool disabledOwner = owner && ::IsWindowEnabled(owner);
  if (disabledOwner) ::EnableWindow(owner, FALSE);
  const auto giveOwnerBack = [owner, disabledOwner] {
    if (!disabledOwner) return;
    ::EnableWindow(owner, TRUE);
    ::SetFocus(owner);
  };

  UINT result = 0;
  MSG msg = {};
  bool quit = false;
  while (::IsWindow(window)) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      quit = true;
      break;
    }
    if (got < 0) break;
    if (msg.message == WM_CLOSE && msg.hwnd == window) {
      result = static_cast<UINT>(msg.wParam);
      // Enabled before the window goes, so that the owner, not another program, is
      // activated next.
      giveOwnerBack();
    }
    if (!CWindowHostUI::TranslateMessage(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  giveOwnerBack();
  if (quit) ::PostQuitMessage(static_cast<int>(msg.wParam));
  return result;
}

void CWindowWnd::Close(UINT result) {
  if (::IsWindow(window_)) ::PostMessageW(window_, WM_CLOSE, result, 0);
}

void CWindowWnd::CenterWindow() {
  if (!::IsWindow(window_)) return;
  RECT bounds = {};
  ::GetWindowRect(window_, &bounds);
  HWND owner = ::GetWindow(window_, GW_OWNER);
  if (owner && (!::IsWindowVisible(owner) || ::IsIconic(owner))) owner = nullptr;
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  if (!::GetMonitorInfoW(::MonitorFromWindow(owner ? owner : window_, MONITOR_DEFAULTTONEAREST),
                         &monitor)) {
    return;
  }
  RECT over = monitor.rcWork;
  if (owner) ::GetWindowRect(owner, &over);
  const TPoint corner = CFrameGeometry::CenterOver(
      TSize{bounds.right - bounds.left, bounds.bottom - bounds.top}, ToTRect(over),
      ToTRect(monitor.rcWork));
  ::SetWindowPos(window_, nullptr, corner.x, corner.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::SetIcon(UINT resourceId) {
  if (!::IsWindow(window_)) return;
  // Shared icons belong to the system: nothing to free when the window goes.
  const auto load = [resourceId](int cx, int cy) {
    return reinterpret_cast<LPARAM>(::LoadImageW(ClassInstance(), MAKEINTRESOURCEW(resourceId),
                                                 IMAGE_ICON, cx, cy, LR_SHARED));
  };
  ::SendMessageW(window_, WM_SETICON, ICON_BIG,
                 load(::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON)));
  ::SendMessageW(window_, WM_SETICON, ICON_SMALL,
                 load(::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON)));
}

LRESULT CWindowWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::SendMessageW(window_, message, wParam, lParam);
}

bool CWindowWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::PostMessageW(window_, message, wParam, lParam) != FALSE;
}

LRESULT CWindowWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::CallWindowProcW(previousProc_, window_, message, wParam, lParam);
}

void CWindowWnd::OnFinalMessage(HWND) {}

// --- Window procedures ---------------------------------------------------------------------

CWindowWnd* CWindowWnd::Link(HWND window, UINT message, LPARAM lParam, bool byProperty) {
  if (message != WM_NCCREATE) {
    return byProperty ? static_cast<CWindowWnd*>(::GetPropW(window, kSelfProperty))
                      : reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  }
  auto* self =
      static_cast<CWindowWnd*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
  if (!self) return nullptr;
  self->window_ = window;
  if (byProperty) {
    ::SetPropW(window, kSelfProperty, self);
  } else {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  return self;
}

LRESULT CALLBACK CWindowWnd::WindowProc(HWND window, UINT message, WPARAM wParam,
                                        LPARAM lParam) {
  CWindowWnd* self = Link(window, message, lParam, false);
  if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
  return self->Route(window, message, wParam, lParam, false);
}

LRESULT CALLBACK CWindowWnd::ControlProc(HWND window, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
  CWindowWnd* self = Link(window, message, lParam, true);
  if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
  return self->Route(window, message, wParam, lParam, true);
}

LRESULT CWindowWnd::Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          bool byProperty) {
  if (message == WM_NCDESTROY) return FinalMessage(window, message, wParam, lParam, byProperty);
  try {
    return HandleMessage(message, wParam, lParam);
  } catch (...) {
    // Nothing may unwind through the platform's code.
    return ::CallWindowProcW(previousProc_, window, message, wParam, lParam);
  }
}

LRESULT CWindowWnd::FinalMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                 bool byProperty) {
  const LRESULT result = ::CallWindowProcW(previousProc_, window, message, wParam, lParam);
  if (subclassed_) {
    Unsubclass();
  } else if (byProperty) {
    ::RemovePropW(window, kSelfProperty);
  } else {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  }
  window_ = nullptr;
  previousProc_ = ::DefWindowProcW;
  if (CCreationScope::IsCreating(this)) return result;
  try {
    OnFinalMessage(window);
  } catch (...) {
    // The window is gone either way; nothing may unwind through the platform's code.
  }
  return result;
}

}  // namespace SkinUI
