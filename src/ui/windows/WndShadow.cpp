#include "ui/windows/WndShadow.h"

#include <algorithm>
#include <map>
#include <new>

#include "runtime/Logging.h"
#include "ui/windows/ShadowPixels.h"

namespace SkinUI {

namespace {

using UpdateLayeredWindowFn = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF,
                                            BLENDFUNCTION*, DWORD);

constexpr const wchar_t* kClassName = L"QvShadowWnd";
constexpr UINT_PTR kFirstDrawTimerId = 1;
constexpr UINT kFirstDrawDelayMs = 1000;

// Process-wide, touched only on the user-interface thread.
struct ShadowSupport {
  bool initialized = false;
  HINSTANCE instance = nullptr;
  UpdateLayeredWindowFn updateLayeredWindow = nullptr;
  // Parent window -> its shadow. Never destroyed: a window torn down while the process
  // exits may still look itself up.
  std::map<HWND, CWndShadow*>& parents = *new std::map<HWND, CWndShadow*>();
};

ShadowSupport& Support() {
  static ShadowSupport support;
  return support;
}

int8_t ClampToByte(int value, int low) {
  return static_cast<int8_t>(std::clamp(value, low, 127));
}

}  // namespace

CWndShadow::CWndShadow() = default;

CWndShadow::~CWndShadow() {
  Detach();
  window_.reset();
}

bool CWndShadow::Initialize(HINSTANCE instance) {
  ShadowSupport& support = Support();
  if (support.initialized) return false;
  HMODULE user32 = ::GetModuleHandleW(L"USER32.DLL");
  FARPROC entry = user32 ? ::GetProcAddress(user32, "UpdateLayeredWindow") : nullptr;
  if (!entry) return false;

  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kClassName;
  if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    LOG_TRACE(2, 2, L"CWndShadow: RegisterClassExW failed, error %lu", ::GetLastError());
    return false;
  }
  support.instance = instance;
  support.updateLayeredWindow =
      reinterpret_cast<UpdateLayeredWindowFn>(reinterpret_cast<void*>(entry));
  support.initialized = true;
  return true;
}

bool CWndShadow::Create(HWND parent) {
  ShadowSupport& support = Support();
  if (!support.initialized || parent_ || !::IsWindow(parent) ||
      ::GetWindowThreadProcessId(parent, nullptr) != ::GetCurrentThreadId() ||
      FromParent(parent)) {
    return false;
  }
  try {
    support.parents[parent] = this;
  } catch (const std::bad_alloc&) {
    return false;
  }
  parent_ = parent;

  // A bare pop-up: a border or system menu means nothing to a layered window that is all
  // bitmap, and under Wine they would make the X window manager decorate and track it.
  window_.reset(::CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT, kClassName, kClassName,
                                  WS_POPUP, CW_USEDEFAULT, 0, 0, 0, parent, nullptr,
                                  support.instance, nullptr));
  if (!window_) {
    LOG_TRACE(2, 2, L"CWndShadow: CreateWindowExW failed, error %lu", ::GetLastError());
    Detach();
    return false;
  }
  ::SetTimer(window_.get(), kFirstDrawTimerId, kFirstDrawDelayMs, FirstDrawTimerProc);

  previousProc_ = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
      parent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWndShadow::ParentProc)));
  if (!previousProc_) {
    LOG_TRACE(2, 2, L"CWndShadow: cannot subclass the parent, error %lu", ::GetLastError());
    Detach();
    window_.reset();
    return false;
  }

  // The shadow window starts hidden. A parent that is already on screen gets its shadow at
  // once: hiding it unconditionally would leave it off until the parent is resized or shown
  // again, while the state said it was visible.
  status_ = kEnabled;
  ApplyVisibility(parent);
  return true;
}

void CWndShadow::SetSize(int size) { size_ = ClampToByte(size, 0); }

void CWndShadow::SetPosition(int offsetX, int offsetY) {
  offsetX_ = ClampToByte(offsetX, -128);
  offsetY_ = ClampToByte(offsetY, -128);
}

void CWndShadow::SetColor(COLORREF color) { color_ = color; }

CWndShadow* CWndShadow::FromParent(HWND parent) {
  const auto& parents = Support().parents;
  const auto found = parents.find(parent);
  return found == parents.end() ? nullptr : found->second;
}

LRESULT CALLBACK CWndShadow::ParentProc(HWND parent, UINT message, WPARAM wParam,
                                        LPARAM lParam) {
  CWndShadow* shadow = FromParent(parent);
  if (!shadow) {
    // Only when a shadow deleted early could not unhook itself (a later subclass sits on
    // top): its previous procedure is gone with it.
    return ::DefWindowProcW(parent, message, wParam, lParam);
  }
  if (message == WM_NCDESTROY) return ParentFinalDestroy(shadow, parent, wParam, lParam);

  LRESULT result = 0;
  try {
    result = ::CallWindowProcW(shadow->previousProc_, parent, message, wParam, lParam);
    // The parent's own handling may have deleted the shadow.
    if (FromParent(parent) == shadow) shadow->FollowParent(parent, message, wParam, lParam);
  } catch (...) {
    LOG_TRACE(2, 2, L"CWndShadow: exception while handling message 0x%04X", message);
  }
  return result;
}

LRESULT CWndShadow::ParentFinalDestroy(CWndShadow* shadow, HWND parent, WPARAM wParam,
                                       LPARAM lParam) {
  const WNDPROC previous = shadow->previousProc_;
  shadow->Detach();
  LRESULT result = 0;
  try {
    result = ::CallWindowProcW(previous, parent, WM_NCDESTROY, wParam, lParam);
  } catch (...) {
    LOG_TRACE(2, 2, L"CWndShadow: exception in the parent's final destroy");
  }
  delete shadow;
  return result;
}

void CALLBACK CWndShadow::FirstDrawTimerProc(HWND window, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(window, id);
  try {
    HWND parent = ::GetWindow(window, GW_OWNER);
    CWndShadow* shadow = FromParent(parent);
    if (shadow && shadow->window_.get() == window) shadow->Redraw(parent);
  } catch (...) {
    LOG_TRACE(2, 2, L"CWndShadow: exception while drawing the shadow");
  }
}

void CWndShadow::FollowParent(HWND parent, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SHOWWINDOW:
      if (!(status_ & kEnabled)) break;
      if (wParam) {
        status_ |= kShadowVisible | kParentVisible;
        updateNeeded_ = true;
        ApplyVisibility(parent);
      } else {
        HideWindow();
        status_ &= static_cast<uint8_t>(~(kShadowVisible | kParentVisible));
      }
      break;
    case WM_MOVE:
      if (status_ & kShadowVisible) MoveToParent(parent);
      break;
    case WM_SIZE:
      if (status_ & kEnabled) FollowParentSize(parent, wParam, lParam);
      break;
    case WM_PAINT:
      if (updateNeeded_) {
        ApplyVisibility(parent);
        updateNeeded_ = false;
      }
      break;
    case WM_EXITSIZEMOVE:
      if (status_ & kShadowVisible) Redraw(parent);
      break;
    case WM_DESTROY:
      window_.reset();
      break;
    case WM_DWMCOMPOSITIONCHANGED:
      ApplyVisibility(parent);
      break;
    default:
      break;
  }
}

void CWndShadow::FollowParentSize(HWND parent, WPARAM wParam, LPARAM lParam) {
  if (wParam == SIZE_MINIMIZED || wParam == SIZE_MAXIMIZED) {
    HideWindow();
    status_ &= static_cast<uint8_t>(~kShadowVisible);
    return;
  }
  if (!::IsWindowVisible(parent)) return;
  status_ |= kParentVisible;
  const uint32_t size = static_cast<uint32_t>(lParam);
  if (!(status_ & kShadowVisible)) {
    if (window_) ::ShowWindow(window_.get(), SW_SHOWNOACTIVATE);
    status_ |= kShadowVisible;
    updateNeeded_ = true;
  } else if (LOWORD(size) > LOWORD(lastParentSize_) || HIWORD(size) > HIWORD(lastParentSize_)) {
    // A larger parent exposes new area, so a paint follows and draws the shadow then.
    updateNeeded_ = true;
  } else if (size != lastParentSize_) {
    // A smaller one may get no paint at all, and no end of a size-move loop when resized by
    // the program: without drawing now the old, larger shadow would stay.
    Redraw(parent);
  }
  lastParentSize_ = size;
}

void CWndShadow::ApplyVisibility(HWND parent) {
  status_ &= kEnabled;
  if ((status_ & kEnabled) && ::IsWindowVisible(parent)) {
    status_ |= kParentVisible;
    if (!::IsIconic(parent) && !::IsZoomed(parent)) status_ |= kShadowVisible;
  }
  if (status_ & kShadowVisible) {
    if (window_) ::ShowWindow(window_.get(), SW_SHOWNOACTIVATE);
    Redraw(parent);
  } else {
    HideWindow();
  }
}

void CWndShadow::HideWindow() {
  if (window_) ::ShowWindow(window_.get(), SW_HIDE);
}

bool CWndShadow::BoundsAround(HWND parent, TRect* bounds) const {
  RECT rc;
  if (!window_ || !::GetWindowRect(parent, &rc)) return false;
  *bounds = CShadowPixels::Bounds(TRect{rc.left, rc.top, rc.right, rc.bottom}, size_,
                                  offsetX_, offsetY_);
  return !bounds->IsEmpty();
}

void CWndShadow::MoveToParent(HWND parent) {
  TRect bounds;
  if (!BoundsAround(parent, &bounds)) return;
  ::SetWindowPos(window_.get(), nullptr, bounds.left, bounds.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWndShadow::Redraw(HWND parent) {
  // 1. The shadow window's place and size. The size drawn for is the one a later WM_SIZE is
  //    compared with: left at none, the first smaller size would pass for a larger one and
  //    wait for a paint that does not come.
  TRect bounds;
  if (!BoundsAround(parent, &bounds)) return;
  RECT client;
  if (::GetClientRect(parent, &client)) {
    lastParentSize_ = static_cast<uint32_t>(MAKELONG(client.right, client.bottom));
  }
  const int width = static_cast<int>(bounds.Width());
  const int height = static_cast<int>(bounds.Height());

  // 2. A bottom-up 32-bit bitmap filled with the shadow pixels.
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  win::ScopedMemoryDC dc(::CreateCompatibleDC(nullptr));
  void* bits = nullptr;
  win::ScopedBitmap bitmap(dc ? ::CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits,
                                                   nullptr, 0)
                              : nullptr);
  if (!bitmap || !bits) {
    LOG_TRACE(1, 1, L"CWndShadow: no %dx%d bitmap for the shadow", width, height);
    return;
  }
  // Bottom-up: the image's top row is the last one in memory.
  TPixelView view;
  view.pixels = static_cast<uint32_t*>(bits) + static_cast<std::ptrdiff_t>(height - 1) * width;
  view.width = width;
  view.height = height;
  view.stride = -width;
  CShadowPixels::Fill(view, size_, color_);

  // 3. Place the window and push the pixels.
  win::ScopedSelectObject selected(dc.get(), bitmap.get());
  ::SetWindowPos(window_.get(), nullptr, bounds.left, bounds.top, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  POINT destination = {bounds.left, bounds.top};
  SIZE extent = {width, height};
  POINT source = {0, 0};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  if (!Support().updateLayeredWindow(window_.get(), nullptr, &destination, &extent, dc.get(),
                                     &source, 0, &blend, ULW_ALPHA)) {
    LOG_TRACE(1, 1, L"CWndShadow: UpdateLayeredWindow failed, error %lu", ::GetLastError());
  }
  // 4. The bitmap and its context go with the scope.
}

void CWndShadow::Detach() {
  if (!parent_) return;
  if (previousProc_) {
    const auto ours = reinterpret_cast<LONG_PTR>(&CWndShadow::ParentProc);
    if (::GetWindowLongPtrW(parent_, GWLP_WNDPROC) == ours) {
      ::SetWindowLongPtrW(parent_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
    } else {
      LOG_TRACE(1, 1, L"CWndShadow: the parent was subclassed again; cannot unhook");
    }
    previousProc_ = nullptr;
  }
  Support().parents.erase(parent_);
  parent_ = nullptr;
}

}  // namespace SkinUI
