// WindowImplBase: the frame of a borderless skinned window: hit tests for dragging and
// resizing, the client area when maximised, size limits, rounded corners, activation and
// system commands.
#include <windowsx.h>

#include "runtime/Win32Handles.h"
#include "ui/core/ControlUI.h"
#include "ui/core/FrameGeometry.h"
#include "ui/skin/WinGeometry.h"
#include "ui/windows/WindowImplBase.h"
#include "ui/windows/WndShadow.h"

namespace SkinUI {

namespace {

bool MonitorOf(HWND window, MONITORINFO* info) {
  info->cbSize = sizeof(*info);
  return ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), info) != FALSE;
}

}  // namespace

LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lParam, bool&) {
  POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ::ScreenToClient(window_, &point);
  RECT client = {};
  ::GetClientRect(window_, &client);
  const CWindowHostSettings& settings = paintManager_.Settings();
  const TFrameRules rules = {ToTRect(paintManager_.Scaled(settings.GetSizeBox())),
                             ToTRect(paintManager_.Scaled(settings.GetCaptionRect())),
                             ToTSize(paintManager_.Scaled(settings.GetSizeGrip()))};
  const int area = CFrameGeometry::HitTest(TPoint{point.x, point.y}, ToTRect(client), rules,
                                           ::IsZoomed(window_) != FALSE);
  if (area != kHitCaption) return area;
  // A button, option or edit box in the caption keeps its mouse; the layouts and labels
  // around it drag the window.
  for (CControlUI* c = paintManager_.FindControl(point); c; c = c->GetParent()) {
    if (!CFrameGeometry::LetsDragThrough(c->GetClass())) return HTCLIENT;
  }
  return HTCAPTION;
}

LRESULT WindowImplBase::OnNcCalcSize(UINT, WPARAM wParam, LPARAM lParam, bool&) {
  // The client area is the whole window: no native frame.
  if (!::IsZoomed(window_)) return 0;
  RECT* proposed = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                          : reinterpret_cast<RECT*>(lParam);
  MONITORINFO monitor;
  if (proposed && MonitorOf(window_, &monitor)) *proposed = monitor.rcWork;
  return WVR_REDRAW;
}

LRESULT WindowImplBase::OnNcActivate(UINT, WPARAM wParam, LPARAM, bool& handled) {
  if (::IsIconic(window_)) handled = false;
  return wParam == 0 ? TRUE : FALSE;
}

LRESULT WindowImplBase::OnNcPaint(UINT, WPARAM, LPARAM, bool&) { return 0; }

LRESULT WindowImplBase::OnNcLButtonDown(UINT, WPARAM, LPARAM, bool& handled) {
  paintManager_.SetFocus(nullptr);
  handled = false;
  return 0;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, bool& handled) {
  // The paint manager then applies the layout's "mininfo" and "maxinfo" as well.
  handled = false;
  auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
  MONITORINFO monitor;
  if (!info || !MonitorOf(window_, &monitor)) return 0;
  const RECT& work = monitor.rcWork;
  info->ptMaxPosition = POINT{work.left - monitor.rcMonitor.left, work.top - monitor.rcMonitor.top};
  info->ptMaxTrackSize = POINT{work.right - work.left, work.bottom - work.top};
  const SIZE minimum = paintManager_.Scaled(paintManager_.Settings().GetMinInfo());
  info->ptMinTrackSize = POINT{minimum.cx, minimum.cy};
  return 0;
}

LRESULT WindowImplBase::OnSize(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  const SIZE round = paintManager_.Scaled(paintManager_.Settings().GetRoundCorner());
  if (::IsIconic(window_) || (round.cx <= 0 && round.cy <= 0)) return 0;
  RECT bounds = {};
  ::GetWindowRect(window_, &bounds);
  win::ScopedRegion region(::CreateRoundRectRgn(0, 0, bounds.right - bounds.left + 1,
                                                bounds.bottom - bounds.top + 1, round.cx,
                                                round.cy));
  // The window owns a region it accepted.
  if (region && ::SetWindowRgn(window_, region.get(), TRUE)) region.release();
  return 0;
}

LRESULT WindowImplBase::OnDpiChanged(WPARAM wParam, LPARAM lParam) {
  const int dpi = LOWORD(wParam);
  const bool rescaled = TDisplayScale(dpi) != paintManager_.GetDisplayScale();
  paintManager_.SetDpi(dpi);
  if (shadow_) shadow_->SetSize(paintManager_.Scaled(kShadowWidth));
  // The suggested place keeps the window where the player put it. Its size is the system's
  // idea of this window at the new scale; a window already drawn at that scale (a message
  // box that opened at its owner's) keeps its own.
  if (const auto* suggested = reinterpret_cast<const RECT*>(lParam)) {
    ::SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE | (rescaled ? 0 : SWP_NOSIZE));
  }
  return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, bool&) {
  if ((wParam & 0xFFF0) == SC_CLOSE) {
    SendMessage(WM_CLOSE);
    return 0;
  }
  return CWindowWnd::HandleMessage(message, wParam, lParam);
}

}  // namespace SkinUI
