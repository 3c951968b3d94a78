// CWindowHostUI focus: the focused control, tab order, mouse capture, and the message
// pre-translation through which message loops give Tab and shortcut keys to the tree.
#include <cwchar>
#include <cwctype>

#include "ui/core/ControlUI.h"
#include "ui/core/WindowHostUI.h"
#include "ui/skin/RenderClip.h"
#include "ui/skin/SkinPainter.h"

namespace SkinUI {

namespace {

// The focus mark at 100 %: a line this wide, this far outside the control, round-cornered.
constexpr int kFocusMarkGap = 2, kFocusMarkWidth = 1, kFocusMarkRadius = 6;

}  // namespace

void CWindowHostUI::SetFocus(CControlUI* control) {
  if (paintWindow_ && ::GetFocus() != paintWindow_ && control != focus_) {
    ::SetFocus(paintWindow_);
  }
  if (control == focus_) return;
  if (CControlUI* previous = focus_) {
    InvalidateFocusMark(previous);
    focus_ = nullptr;
    SendEvent(previous, kEventKillFocus, lastMouse_);
    if (previous->GetManager() == this) SendNotify(previous, L"killfocus");
  }
  if (!control || control->GetManager() != this || !control->IsVisible() ||
      !control->IsEnabled()) {
    return;
  }
  focus_ = control;
  InvalidateFocusMark(control);
  SendEvent(control, kEventSetFocus, lastMouse_);
  // The set-focus handling may have moved the focus on or reaped the control.
  if (focus_ == control) SendNotify(control, L"setfocus");
}

void CWindowHostUI::SetFocusNeeded(CControlUI* control) {
  SetFocus(nullptr);
  focusNeeded_ = true;
  focusTarget_ = control;
  if (paintWindow_) ::InvalidateRect(paintWindow_, nullptr, FALSE);
}

bool CWindowHostUI::SetNextTabControl(bool forward) {
  if (!paintWindow_ || !root_) return false;
  if (::GetWindowLongW(paintWindow_, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) return false;
  if (updateNeeded_ && forward) {
    // Positions are about to change: the move happens after the next layout pass.
    focusNeeded_ = true;
    ::InvalidateRect(paintWindow_, nullptr, FALSE);
    return true;
  }
  CControlUI* next = FindTabStop(forward);
  if (!next) return false;
  SetFocus(next);
  return true;
}

CControlUI* CWindowHostUI::FindTabStop(bool forward) const {
  // One walk over the tree in order (container before children) among visible, enabled
  // controls, noting the tab stops around the focused control.
  struct TSearch {
    CControlUI* focus;
    CControlUI* first;
    CControlUI* last;
    CControlUI* before;
    CControlUI* after;
    bool focusSeen;
  } search = {focus_, nullptr, nullptr, nullptr, nullptr, false};
  root_->FindControl(
      [](CControlUI* c, void* data) -> CControlUI* {
        auto* s = static_cast<TSearch*>(data);
        if (c == s->focus) {
          s->focusSeen = true;
        } else if (c->GetControlFlags() & kControlFlagTabStop) {
          if (!s->first) s->first = c;
          s->last = c;
          if (!s->focusSeen) {
            s->before = c;
          } else if (!s->after) {
            s->after = c;
          }
        }
        return nullptr;
      },
      &search, kFindVisible | kFindEnabled | kFindMeFirst);
  if (forward) return search.after ? search.after : search.first;
  // Backward past the first tab stop wraps to the last, as forward wraps to the first.
  return search.focusSeen && search.before ? search.before : search.last;
}

RECT CWindowHostUI::FocusMarkRect(const CControlUI* control) const {
  RECT ring = {};
  if (!focusMark_ || !control || !control->IsVisible() ||
      !(control->GetControlFlags() & kControlFlagTabStop)) {
    return ring;
  }
  ring = control->GetPos();
  const int out = Scaled(kFocusMarkGap + kFocusMarkWidth);
  ::InflateRect(&ring, out, out);
  return ring;
}

void CWindowHostUI::InvalidateFocusMark(const CControlUI* control) {
  const RECT ring = FocusMarkRect(control);
  if (!::IsRectEmpty(&ring)) Invalidate(ring);
}

void CWindowHostUI::PaintFocusMark(HDC dc, const RECT& paint) {
  const RECT ring = FocusMarkRect(focus_);
  RECT visible;
  if (!::IntersectRect(&visible, &ring, &paint)) return;
  CRenderClip clip(dc, visible);
  const int radius = Scaled(kFocusMarkRadius);
  CSkinPainter::DrawRoundRect(dc, ring, Scaled(kFocusMarkWidth), radius, radius,
                              settings_.GetDefaultFontColor());
}

void CWindowHostUI::SetCapture() {
  ::SetCapture(paintWindow_);
  mouseCapture_ = true;
}

void CWindowHostUI::ReleaseCapture() {
  // Cleared first: releasing sends WM_CAPTURECHANGED back to this window.
  mouseCapture_ = false;
  ::ReleaseCapture();
}

// --- Pre-translation ------------------------------------------------------------------------

bool CWindowHostUI::TranslateMessage(const MSG* msg) {
  if (!msg || !msg->hwnd) return false;
  // The window's own manager, else the manager of the nearest ancestor (a native child
  // window such as the edit box belongs to the skinned window around it).
  for (HWND window = msg->hwnd; window;
       window = (::GetWindowLongW(window, GWL_STYLE) & WS_CHILD) ? ::GetParent(window) : nullptr) {
    for (CWindowHostUI* host : Hosts()) {
      if (host->paintWindow_ != window) continue;
      LRESULT result = 0;
      return host->PreMessageHandler(msg->message, msg->wParam, msg->lParam, result);
    }
  }
  return false;
}

bool CWindowHostUI::PreMessageHandler(UINT message, WPARAM wParam, LPARAM lParam,
                                      LRESULT& result) {
  // Step 1: the pre-message filters (the window base's default keys).
  for (size_t i = 0; i < preMessageFilters_.size(); ++i) {
    bool handled = false;
    const LRESULT filtered =
        preMessageFilters_[i]->MessageHandler(message, wParam, lParam, handled);
    if (handled) {
      result = filtered;
      return true;
    }
  }
  switch (message) {
    case WM_KEYDOWN:
      // Step 2: Tab moves the focus, unless a rich edit box takes tabs itself.
      if (wParam != VK_TAB) return false;
      if (focus_ && std::wcsstr(focus_->GetClass(), L"RichEditUI")) return false;
      if (!focusMark_) {
        focusMark_ = true;
        InvalidateFocusMark(focus_);
      }
      SetNextTabControl(::GetKeyState(VK_SHIFT) >= 0);
      return true;
    case WM_SYSKEYDOWN:
      // Step 3.
      if (focus_) {
        SendEvent(focus_, kEventSysKey, lastMouse_, wParam, lParam,
                  static_cast<wchar_t>(wParam));
      }
      return false;
    case WM_SYSCHAR:
      // Step 4.
      return HandleSysChar(static_cast<wchar_t>(wParam));
    default:
      return false;
  }
}

bool CWindowHostUI::HandleSysChar(wchar_t ch) {
  if (!root_) return false;
  struct TSearch {
    wchar_t ch;
    bool takeNext;  // a label matched: the control after it is the target
  } search = {static_cast<wchar_t>(std::towupper(ch)), false};
  CControlUI* target = root_->FindControl(
      [](CControlUI* c, void* data) -> CControlUI* {
        auto* s = static_cast<TSearch*>(data);
        if (s->takeNext) return c;
        if (static_cast<wchar_t>(std::towupper(c->GetShortcut())) != s->ch || s->ch == 0) {
          return nullptr;
        }
        if (std::wcscmp(c->GetClass(), L"LabelUI") == 0) {
          s->takeNext = true;
          return nullptr;
        }
        return c;
      },
      &search, kFindVisible | kFindEnabled | kFindMeFirst | kFindTopFirst);
  if (!target) return false;
  target->SetFocus();
  target->Activate();
  return true;
}

}  // namespace SkinUI
