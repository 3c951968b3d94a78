// CWindowHostUI painting: the layout pass, double-buffered painting of the tree, painting as
// a layered window ("bktrans") and printing into a given device context.
#include <cstring>
#include <memory>

#include "runtime/WideFormat.h"
#include "ui/core/ContainerUI.h"
#include "ui/core/ControlUI.h"
#include "ui/core/WindowHostUI.h"
#include "ui/skin/SkinPainter.h"

namespace SkinUI {

namespace {

using UpdateLayeredWindowFunction = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*,
                                                  COLORREF, BLENDFUNCTION*, DWORD);

// Places a control flagged for an update where it belongs now. A floating one goes where its
// fixed offset and size put it: those may have changed (SetFixedXY and the like), and its
// old rectangle, set again, would overwrite them with where it was.
void PlaceAgain(CControlUI* control) {
  CControlUI* parent = control->GetParent();
  auto* container = control->IsFloat() && parent
                        ? static_cast<CContainerUI*>(parent->GetInterface(L"Container"))
                        : nullptr;
  const int index = container ? container->GetItemIndex(control) : -1;
  if (index >= 0) {
    container->SetFloatPos(index);
  } else {
    control->SetPos(control->GetPos());
  }
}

UpdateLayeredWindowFunction PlatformUpdateLayeredWindow() {
  static const UpdateLayeredWindowFunction function = [] {
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<UpdateLayeredWindowFunction>(reinterpret_cast<void*>(
                        ::GetProcAddress(user32, "UpdateLayeredWindow")))
                  : nullptr;
  }();
  return function;
}

// A 32-bit DIB of `width` x `height` selected into a memory DC compatible with `reference`;
// made again when the size changed. False when it cannot be made.
bool EnsureBackBuffer(HDC reference, std::unique_ptr<CDibSection>& bitmap,
                      win::ScopedMemoryDC& dc, HGDIOBJ& previous, int width, int height) {
  if (width <= 0 || height <= 0) return false;
  if (bitmap && bitmap->width() == width && bitmap->height() == height) return true;
  if (!dc) dc.reset(::CreateCompatibleDC(reference));
  if (!dc) return false;
  if (previous) {
    ::SelectObject(dc.get(), previous);
    previous = nullptr;
  }
  bitmap = std::make_unique<CDibSection>();
  if (!bitmap->Create(width, height)) {
    bitmap.reset();
    return false;
  }
  previous = ::SelectObject(dc.get(), bitmap->handle());
  return true;
}

void DropBackBuffer(std::unique_ptr<CDibSection>& bitmap, win::ScopedMemoryDC& dc,
                    HGDIOBJ& previous) {
  if (previous) ::SelectObject(dc.get(), previous);
  previous = nullptr;
  bitmap.reset();
}

}  // namespace

void CWindowHostUI::LayoutIfNeeded(const RECT& area) {
  if (updateNeeded_ && root_) {
    updateNeeded_ = false;
    if (!::IsRectEmpty(&area)) {
      if (root_->IsUpdateNeeded()) {
        root_->SetPos(area);
        DropBackBuffer(offscreen_, offscreenDC_, offscreenOld_);
      } else {
        // Each control flagged for an update, first found first. Positioning one clears its
        // flag (and those of its children); the bound guards against a control that
        // flags itself again while being positioned.
        for (int pass = 0; pass < 10000; ++pass) {
          CControlUI* control = root_->FindControl(
              [](CControlUI* c, void*) { return c->IsUpdateNeeded() ? c : nullptr; }, nullptr,
              kFindVisible | kFindMeFirst);
          if (!control) break;
          PlaceAgain(control);
        }
      }
    }
    if (firstLayout_) {
      firstLayout_ = false;
      SendNotify(root_, L"windowinit");
    }
  }
  if (focusNeeded_ && root_) {
    focusNeeded_ = false;
    CControlUI* target = focusTarget_;
    focusTarget_ = nullptr;
    if (target) {
      SetFocus(target);
    } else if (!focus_) {
      SetNextTabControl();
    }
  }
}

void CWindowHostUI::Paint() {
  RECT update;
  if (!::GetUpdateRect(paintWindow_, &update, FALSE)) return;
  if (!root_) {
    PAINTSTRUCT ps;
    ::BeginPaint(paintWindow_, &ps);
    ::EndPaint(paintWindow_, &ps);
    return;
  }
  if (settings_.IsBackgroundTransparent()) {
    PaintLayered();
    return;
  }
  RECT client;
  ::GetClientRect(paintWindow_, &client);
  LayoutIfNeeded(client);
  // A listener of "windowinit" may have closed the window.
  if (!::IsWindow(paintWindow_) || !root_) return;

  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(paintWindow_, &ps);
  if (!dc) return;
  const bool buffered = offscreenPaint_ &&
                        EnsureBackBuffer(dc, offscreen_, offscreenDC_, offscreenOld_,
                                         client.right - client.left, client.bottom - client.top);
  HDC target = buffered ? offscreenDC_.get() : dc;
  root_->DoPaint(target, ps.rcPaint);
  for (size_t i = 0; i < postPaint_.size(); ++i) postPaint_[i]->DoPostPaint(target, ps.rcPaint);
  PaintFocusMark(target, ps.rcPaint);
  if (buffered) {
    ::BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
             ps.rcPaint.bottom - ps.rcPaint.top, offscreenDC_.get(), ps.rcPaint.left,
             ps.rcPaint.top, SRCCOPY);
  }
  if (settings_.IsShowUpdateRect()) {
    // Red 220: the frame of every repainted area, for finding needless repaints.
    static const HPEN redPen = ::CreatePen(PS_SOLID, 1, RGB(220, 0, 0));
    win::ScopedSelectObject pen(dc, redPen);
    win::ScopedSelectObject brush(dc, ::GetStockObject(NULL_BRUSH));
    ::Rectangle(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom);
  }
  ::EndPaint(paintWindow_, &ps);
  if (updateNeeded_) ::InvalidateRect(paintWindow_, nullptr, FALSE);
}

void CWindowHostUI::PaintLayered() {
  const LONG exStyle = ::GetWindowLongW(paintWindow_, GWL_EXSTYLE);
  if (!(exStyle & WS_EX_LAYERED)) {
    ::SetWindowLongW(paintWindow_, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
  }
  RECT client;
  ::GetClientRect(paintWindow_, &client);
  RECT content = client;
  // The image string counts at 96 dpi; the content's margins are in the window's pixels.
  const RECT border = settings_.GetShadowBorder(), margins = Scaled(border);
  if (settings_.IsShadowWanted()) {
    content = RECT{client.left + margins.left, client.top + margins.top,
                   client.right - margins.right, client.bottom - margins.bottom};
  }
  LayoutIfNeeded(content);
  if (!::IsWindow(paintWindow_) || !root_) return;

  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(paintWindow_, &ps);
  const int width = client.right - client.left, height = client.bottom - client.top;
  if (dc && EnsureBackBuffer(dc, layered_, layeredDC_, layeredOld_, width, height)) {
    ::GdiFlush();
    std::memset(layered_->bits(), 0, static_cast<size_t>(width) * height * 4);
    HDC target = layeredDC_.get();
    if (settings_.IsShadowWanted() && !settings_.GetShadowImage().empty()) {
      const std::wstring shadow = wide_format::Format(
          L"file='%ls' corner='%u,%u,%u,%u' hole='true'", settings_.GetShadowImage().c_str(),
          static_cast<unsigned>(border.left), static_cast<unsigned>(border.top),
          static_cast<unsigned>(border.right), static_cast<unsigned>(border.bottom));
      CSkinPainter::DrawImageString(target, &resources_, client, client, shadow.c_str());
    }
    root_->DoPaint(target, content);
    for (size_t i = 0; i < postPaint_.size(); ++i) postPaint_[i]->DoPostPaint(target, content);
    PaintFocusMark(target, content);
    ::GdiFlush();
    RECT window;
    ::GetWindowRect(paintWindow_, &window);
    POINT position = {window.left, window.top}, source = {0, 0};
    SIZE size = {width, height};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    if (const auto update = PlatformUpdateLayeredWindow()) {
      update(paintWindow_, nullptr, &position, &size, target, &source, 0, &blend, ULW_ALPHA);
    }
  }
  if (dc) ::EndPaint(paintWindow_, &ps);
  if (updateNeeded_) ::InvalidateRect(paintWindow_, nullptr, FALSE);
}

void CWindowHostUI::PrintClient(HDC dc, LPARAM flags) {
  if (!root_ || !dc) return;
  RECT client;
  ::GetClientRect(paintWindow_, &client);
  root_->DoPaint(dc, client);
  if (!(flags & PRF_CHILDREN)) return;
  for (HWND child = ::GetWindow(paintWindow_, GW_CHILD); child;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    RECT bounds;
    ::GetWindowRect(child, &bounds);
    ::MapWindowPoints(HWND_DESKTOP, paintWindow_, reinterpret_cast<POINT*>(&bounds), 2);
    POINT origin;
    ::SetWindowOrgEx(dc, -bounds.left, -bounds.top, &origin);
    ::SendMessageW(child, WM_PRINT, reinterpret_cast<WPARAM>(dc),
                   PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
    ::SetWindowOrgEx(dc, origin.x, origin.y, nullptr);
  }
}

}  // namespace SkinUI
