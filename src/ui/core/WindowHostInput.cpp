// CWindowHostUI::MessageHandler: the translation of the window's messages into control
// events: mouse with capture, hover and leave tracking, keyboard, timers, cursors, tooltips
// and the reflection of child-window notifications.
#include <windowsx.h>

#include "runtime/WindowMessages.h"
#include "ui/core/ControlUI.h"
#include "ui/core/WindowHostUI.h"
#include "ui/skin/SkinModule.h"

namespace SkinUI {

namespace {

constexpr DWORD kHoverTimeMs = 400;

uint16_t CurrentKeyState() {
  // One read of the whole keyboard: each single-key read is a round trip to the window
  // server on some systems, and a mouse move raises several events.
  BYTE keys[256] = {};
  if (!::GetKeyboardState(keys)) return 0;
  uint16_t state = 0;
  if (keys[VK_LBUTTON] & 0x80) state |= kKeyStateLButton;
  if (keys[VK_RBUTTON] & 0x80) state |= kKeyStateRButton;
  if (keys[VK_SHIFT] & 0x80) state |= kKeyStateShift;
  if (keys[VK_CONTROL] & 0x80) state |= kKeyStateControl;
  if (keys[VK_MENU] & 0x80) state |= kKeyStateAlt;
  return state;
}

POINT PointOf(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

}  // namespace

void CWindowHostUI::SendEvent(CControlUI* control, int type, POINT point, WPARAM wParam,
                              LPARAM lParam, wchar_t key) {
  if (!control || control->GetManager() != this) return;
  TControlEvent event;
  event.type = type;
  event.sender = control;
  event.timestamp = ::GetTickCount();
  event.mousePoint = point;
  event.key = key;
  // The keys held do not change while one message is handled.
  if (messageKeyState_ < 0) {
    event.keyState = CurrentKeyState();
    if (inMessage_) messageKeyState_ = event.keyState;
  } else {
    event.keyState = static_cast<uint16_t>(messageKeyState_);
  }
  event.wParam = wParam;
  event.lParam = lParam;
  control->Event(event);
}

bool CWindowHostUI::MessageHandler(UINT message, WPARAM wParam, LPARAM lParam,
                                   LRESULT& result) {
  if (!paintWindow_) return false;
  // Messages nest (a handler may send another): the outermost one owns the key state.
  const bool outermost = !inMessage_;
  inMessage_ = true;
  struct TMessageScope {
    CWindowHostUI* host;
    bool outermost;
    ~TMessageScope() {
      if (!outermost) return;
      host->inMessage_ = false;
      host->messageKeyState_ = -1;
    }
  } scope{this, outermost};
  // Step 1: notifications queued by an earlier message.
  DeliverQueuedNotifications();
  // Step 2: the message filters.
  for (size_t i = 0; i < messageFilters_.size(); ++i) {
    bool handled = false;
    const LRESULT filtered = messageFilters_[i]->MessageHandler(message, wParam, lParam, handled);
    if (handled) {
      result = filtered;
      return true;
    }
  }
  // Step 3: the message itself.
  bool handled = false;
  result = 0;
  switch (message) {
    case WM_CLOSE: {
      // The release comes from nowhere: a button held while its window closes is let go,
      // not clicked.
      const POINT point = {-1, -1};
      if (CControlUI* hover = hover_) {
        hover_ = nullptr;
        SendEvent(hover, kEventMouseLeave, point);
      }
      if (CControlUI* click = click_) {
        click_ = nullptr;
        SendEvent(click, kEventButtonUp, point);
      }
      SetFocus(nullptr);
      if (HWND owner = ::GetWindow(paintWindow_, GW_OWNER)) ::SetFocus(owner);
      break;
    }
    case WM_ERASEBKGND:
      result = 1;
      handled = true;
      break;
    case WM_PAINT:
      Paint();
      handled = true;
      break;
    case WM_PRINTCLIENT:
      PrintClient(reinterpret_cast<HDC>(wParam), lParam);
      handled = true;
      break;
    case WM_SIZE:
      if (focus_) SendEvent(focus_, kEventWindowSize, lastMouse_);
      if (root_) root_->NeedUpdate();
      break;
    case WM_TIMER:
      for (const TTimerRecord& timer : timers_) {
        if (timer.window == paintWindow_ && timer.windowId == wParam && !timer.killed) {
          CControlUI* sender = timer.sender;
          const UINT localId = timer.localId;
          SendEvent(sender, kEventTimer, lastMouse_, localId, lParam);
          handled = true;
          break;
        }
      }
      break;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      if (!info) break;
      const SIZE minimum = Scaled(settings_.GetMinInfo());
      const SIZE maximum = Scaled(settings_.GetMaxInfo());
      if (minimum.cx > 0) info->ptMinTrackSize.x = minimum.cx;
      if (minimum.cy > 0) info->ptMinTrackSize.y = minimum.cy;
      if (maximum.cx > 0) info->ptMaxTrackSize.x = maximum.cx;
      if (maximum.cy > 0) info->ptMaxTrackSize.y = maximum.cy;
      break;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (!header || !header->hwndFrom) break;
      result = ::SendMessageW(header->hwndFrom, msg::kReflectBase + message, wParam, lParam);
      handled = true;
      break;
    }
    case WM_COMMAND:
      if (lParam == 0) break;
      result = ::SendMessageW(reinterpret_cast<HWND>(lParam), msg::kReflectBase + message,
                              wParam, lParam);
      handled = true;
      break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      if (lParam == 0) break;
      // No brush back: the platform's default colours apply.
      result = ::SendMessageW(reinterpret_cast<HWND>(lParam), msg::kReflectBase + message,
                              wParam, lParam);
      handled = result != 0;
      break;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != paintWindow_) mouseCapture_ = false;
      break;
    case msg::kDelayedCleanup:
      DeleteCleanupQueue();
      handled = true;
      break;
    case msg::kNotifyPending:
      handled = true;
      break;
    default:
      handled = HandleInput(message, wParam, lParam, result);
      break;
  }
  DeliverQueuedNotifications();
  return handled;
}

bool CWindowHostUI::HandleInput(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_MOUSEMOVE:
      return HandleMouseMove(PointOf(lParam), true);
    case WM_MOUSEHOVER:
      // Only the hover's tracking ends: the leave that follows must still reach the control
      // (the pointer may leave the window without another move inside it).
      hoverCame_ = true;
      HandleMouseHover(PointOf(lParam));
      return true;
    case WM_MOUSELEAVE:
      HideTooltip();
      if (mouseTracking_) HandleMouseMove(POINT{-1, -1}, false);
      mouseTracking_ = false;
      hoverCame_ = false;
      return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: {
      ::SetFocus(paintWindow_);
      const POINT point = PointOf(lParam);
      lastMouse_ = point;
      CControlUI* control = FindControl(point);
      if (!control || control->GetManager() != this) return false;
      // The control becomes the click control before anything can reap it.
      click_ = control;
      if (message != WM_LBUTTONDBLCLK) control->SetFocus();
      SetCapture();
      const int type = message == WM_LBUTTONDOWN   ? kEventButtonDown
                       : message == WM_RBUTTONDOWN ? kEventRButtonDown
                                                   : kEventDblClick;
      SendEvent(click_, type, point, wParam, lParam);
      return true;
    }
    case WM_LBUTTONUP: {
      const POINT point = PointOf(lParam);
      lastMouse_ = point;
      CControlUI* click = click_;
      if (!click) return false;
      ReleaseCapture();
      click_ = nullptr;
      SendEvent(click, kEventButtonUp, point, wParam, lParam);
      return true;
    }
    case WM_CONTEXTMENU: {
      POINT point = PointOf(lParam);
      ::ScreenToClient(paintWindow_, &point);
      lastMouse_ = point;
      CControlUI* click = click_;
      if (!click) return false;
      ReleaseCapture();
      click_ = nullptr;
      SendEvent(click, kEventContextMenu, point, wParam, reinterpret_cast<LPARAM>(click));
      return true;
    }
    case WM_MOUSEWHEEL: {
      POINT point = PointOf(lParam);
      ::ScreenToClient(paintWindow_, &point);
      CControlUI* control = FindControl(point);
      if (!control || control->GetManager() != this) return false;
      const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
      SendEvent(control, kEventScrollWheel, point, delta < 0 ? 1 : 0, lParam);
      // Hover follows whatever the wheel scrolled under the mouse.
      HandleMouseMove(lastMouse_, true);
      return true;
    }
    case WM_KEYDOWN:
      if (!focus_) return false;
      keyDown_ = focus_;
      SendEvent(focus_, kEventKeyDown, lastMouse_, wParam, lParam, static_cast<wchar_t>(wParam));
      return true;
    case WM_KEYUP: {
      CControlUI* keyDown = keyDown_;
      if (!keyDown) return false;
      keyDown_ = nullptr;
      SendEvent(keyDown, kEventKeyUp, lastMouse_, wParam, lParam, static_cast<wchar_t>(wParam));
      return true;
    }
    case WM_CHAR:
      if (!focus_) return false;
      SendEvent(focus_, kEventChar, lastMouse_, wParam, lParam, static_cast<wchar_t>(wParam));
      return true;
    case WM_SETCURSOR: {
      if (LOWORD(lParam) != HTCLIENT) return false;
      if (mouseCapture_) {
        result = TRUE;
        return true;
      }
      POINT point = {};
      ::GetCursorPos(&point);
      ::ScreenToClient(paintWindow_, &point);
      CControlUI* control = FindControl(point);
      if (!control || !(control->GetControlFlags() & kControlFlagSetCursor)) return false;
      SendEvent(control, kEventSetCursor, point, wParam, lParam);
      result = TRUE;
      return true;
    }
    default:
      return false;
  }
}

bool CWindowHostUI::HandleMouseMove(POINT point, bool track) {
  if (track && (!mouseTracking_ || hoverCame_)) {
    TRACKMOUSEEVENT tracking = {};
    tracking.cbSize = sizeof(tracking);
    tracking.dwFlags = TME_HOVER | TME_LEAVE;
    tracking.hwndTrack = paintWindow_;
    tracking.dwHoverTime =
        tooltip_ ? static_cast<DWORD>(::SendMessageW(tooltip_.get(), TTM_GETDELAYTIME,
                                                     TTDT_INITIAL, 0))
                 : kHoverTimeMs;
    if (::_TrackMouseEvent(&tracking)) {
      mouseTracking_ = true;
      hoverCame_ = false;
    }
  }
  lastMouse_ = point;
  CControlUI* control = FindControl(point);
  if (control && control->GetManager() != this) return false;
  if (control != hover_) {
    CControlUI* previous = hover_;
    hover_ = control;
    if (previous) {
      SendEvent(previous, kEventMouseLeave, point);
      HideTooltip();
    }
    if (hover_) SendEvent(hover_, kEventMouseEnter, point);
  }
  if (click_) {
    SendEvent(click_, kEventMouseMove, point);
  } else if (hover_) {
    SendEvent(hover_, kEventMouseMove, point);
  }
  return true;
}

void CWindowHostUI::HandleMouseHover(POINT point) {
  if (hover_) SendEvent(hover_, kEventMouseHover, point);
  CControlUI* control = FindControl(point);
  if (control && control->GetManager() == this && !control->GetToolTip().empty()) {
    ShowTooltip(control);
  }
}

void CWindowHostUI::ShowTooltip(CControlUI* control) {
  if (!tooltip_) {
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&classes);
    tooltip_.reset(::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr,
                                     WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, paintWindow_,
                                     nullptr, CSkinModule::GetInstance(), nullptr));
    if (!tooltip_) return;
    toolInfo_ = {};
    // The size every version of the common controls accepts.
    toolInfo_.cbSize = TTTOOLINFOW_V2_SIZE;
    toolInfo_.uFlags = TTF_IDISHWND | TTF_TRACK | TTF_ABSOLUTE;
    toolInfo_.hwnd = paintWindow_;
    toolInfo_.uId = reinterpret_cast<UINT_PTR>(paintWindow_);
    toolInfo_.hinst = CSkinModule::GetInstance();
    toolInfo_.lpszText = const_cast<wchar_t*>(L"");
    ::SendMessageW(tooltip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&toolInfo_));
  }
  tooltipText_ = control->GetToolTip();
  toolInfo_.lpszText = const_cast<wchar_t*>(tooltipText_.c_str());
  toolInfo_.rect = control->GetPos();
  ::SendMessageW(tooltip_.get(), TTM_SETMAXTIPWIDTH, 0,
                 GetDisplayScale().Scale(control->GetToolTipWidth()));
  ::SendMessageW(tooltip_.get(), TTM_SETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&toolInfo_));
  // Just below the mouse, where a tooltip is expected.
  POINT at = {lastMouse_.x, lastMouse_.y + ::GetSystemMetrics(SM_CYCURSOR) / 2 + 4};
  ::ClientToScreen(paintWindow_, &at);
  ::SendMessageW(tooltip_.get(), TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
  ::SendMessageW(tooltip_.get(), TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&toolInfo_));
}

void CWindowHostUI::HideTooltip() {
  if (tooltip_) {
    ::SendMessageW(tooltip_.get(), TTM_TRACKACTIVATE, FALSE,
                   reinterpret_cast<LPARAM>(&toolInfo_));
  }
}

}  // namespace SkinUI
