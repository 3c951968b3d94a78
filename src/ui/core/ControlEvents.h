// The records that pass between the paint manager, the controls and the dialogs: input
// events delivered to a control (TControlEvent), notifications delivered to listeners
// (TControlNotify), the listener and message-filter interfaces, and the flag words of
// control searches and control capabilities.
//
// Contract: plain records and interfaces, used on the user-interface thread only. Records
// point at controls without owning them; a listener or filter stays registered until it
// removes itself and must outlive its registration.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace SkinUI {

class CControlUI;

// Event types of TControlEvent.
enum EventType : int {
  kEventKeyDown = 3,
  kEventKeyUp = 4,
  kEventChar = 5,
  kEventSysKey = 6,
  kEventMouseMove = 9,
  kEventMouseLeave = 10,
  kEventMouseEnter = 11,
  kEventMouseHover = 12,
  kEventButtonDown = 13,
  kEventButtonUp = 14,
  kEventRButtonDown = 15,
  kEventDblClick = 16,
  kEventContextMenu = 17,
  kEventScrollWheel = 18,
  kEventKillFocus = 20,
  kEventSetFocus = 21,
  kEventWindowSize = 22,
  kEventSetCursor = 23,
  kEventTimer = 24,
};

// Mouse events (9 to 18) bubble to the parent of a control that does not take the mouse.
inline bool IsMouseEvent(int type) { return type >= kEventMouseMove && type <= kEventScrollWheel; }

// Key state bits of TControlEvent::keyState.
constexpr uint16_t kKeyStateLButton = 0x01;
constexpr uint16_t kKeyStateRButton = 0x02;
constexpr uint16_t kKeyStateShift = 0x04;
constexpr uint16_t kKeyStateControl = 0x08;
constexpr uint16_t kKeyStateAlt = 0x20;

struct TControlEvent {
  int type = 0;
  CControlUI* sender = nullptr;
  DWORD timestamp = 0;
  POINT mousePoint = {0, 0};
  wchar_t key = 0;
  uint16_t keyState = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

struct TControlNotify {
  std::wstring typeName;
  std::wstring virtualWnd;
  CControlUI* sender = nullptr;
  DWORD timestamp = 0;
  POINT mousePoint = {0, 0};
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

// A listener of a window's notifications.
class INotifyUI {
 public:
  virtual void Notify(TControlNotify& notify) = 0;

 protected:
  ~INotifyUI() = default;
};

// A filter offered a window's messages before the paint manager translates them; setting
// `handled` ends their processing with the returned result.
class IMessageFilterUI {
 public:
  virtual LRESULT MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) = 0;

 protected:
  ~IMessageFilterUI() = default;
};

// Flags of CControlUI::FindControl.
constexpr UINT kFindVisible = 0x00000001;
constexpr UINT kFindEnabled = 0x00000002;
constexpr UINT kFindHitTest = 0x00000004;     // data is a POINT*
constexpr UINT kFindTopFirst = 0x00000008;    // last child first
constexpr UINT kFindMeFirst = 0x80000000;     // the container before its children

// Capabilities answered by CControlUI::GetControlFlags.
constexpr UINT kControlFlagTabStop = 0x01;
constexpr UINT kControlFlagSetCursor = 0x02;

}  // namespace SkinUI
