// Layer core (src/ui/core), above skin: the paint manager, the control base with its
// attributes and events, the container base, and the plain Win32 window wrapper. It turns a
// window's messages into control events and paints the control tree through the skin; the
// concrete controls and the dialog windows build on it.
//
// CWindowHostUI: the paint manager of one skinned window. It owns the window's control tree,
// translates the window's mouse, keyboard, timer and paint messages into control events,
// keeps focus, hover, capture and control timers, paints the tree double-buffered (or as a
// layered window), and delivers notifications to the window's listeners. Its window settings
// and its images, fonts and attribute lists are reached through Settings and GetResourceCache;
// the process-wide ones (module, skin folder and archive) are kept by CSkinModule and
// CSkinStorage.
//
// Contract: user-interface thread only; nothing is locked. The window base calls Init with
// its window and MessageHandler for every message it does not handle itself; message loops
// call the static TranslateMessage first. The manager owns the root control (and through it
// the tree), the controls awaiting delayed deletion and queued notifications; listeners and
// filters are not owned and must unregister before they die. Events for controls of another
// manager are dropped; failures come back as false or null.
//
// The focused tab stop wears a focus mark, a thin ring just outside it in the window's text
// colour, from the first Tab key on: as on the system's own dialogs, a player who only uses
// the mouse never sees one.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/Win32Handles.h"
#include "ui/core/ControlEvents.h"
#include "ui/core/WindowHostSettings.h"
#include "ui/skin/DibSection.h"
#include "ui/skin/SkinResourceCache.h"
#include "ui/skin/WinGeometry.h"

namespace SkinUI {

class CControlUI;

class CWindowHostUI {
 public:
  CWindowHostUI();
  ~CWindowHostUI();
  CWindowHostUI(const CWindowHostUI&) = delete;
  CWindowHostUI& operator=(const CWindowHostUI&) = delete;

  // Takes the window and its device context; the manager joins message pre-translation. The
  // window is drawn at its display's scale, or at its owner's when the owner has a manager.
  void Init(HWND window);
  // The window moved to a display of `dpi`: fonts and images follow, and the tree is laid
  // out anew at the next paint with everything else it holds (texts, states, the focus).
  void SetDpi(int dpi);
  // The window is being destroyed: deletes the control tree and the controls awaiting
  // deletion, stops the timers, gives the device context back and leaves pre-translation.
  // Resources (images, fonts, settings) stay until the manager is destroyed.
  void DetachWindow();
  HWND GetPaintWindow() const { return paintWindow_; }
  HDC GetPaintDC() const { return paintDC_; }
  POINT GetMousePos() const { return lastMouse_; }
  SIZE GetClientSize() const;
  // The first size given wins; the window is resized while no tree is attached.
  void SetInitSize(int cx, int cy);
  SIZE GetInitSize() const { return initSize_; }
  // Window opacity through the layered-window attributes; outside 0..255 ends layering.
  void SetTransparent(int alpha);
  // The back buffer of normal painting (a 32-bit DIB section), null before the first paint.
  HBITMAP GetOffscreenBitmap() const { return offscreen_ ? offscreen_->handle() : nullptr; }
  void SetOffscreenPaint(bool on) { offscreenPaint_ = on; }

  // --- The window's settings and resources ---
  CWindowHostSettings& Settings() { return settings_; }
  const CWindowHostSettings& Settings() const { return settings_; }
  CSkinResourceCache& GetResourceCache() { return resources_; }
  // The window's display scale, which fonts, images and every length of the skin follow.
  const TDisplayScale& GetDisplayScale() const { return resources_.GetScale(); }
  // A length, size or set of margins of the skin (96 dpi) in the window's pixels.
  int Scaled(int value) const { return GetDisplayScale().Scale(value); }
  SIZE Scaled(SIZE size) const { return ToSIZE(GetDisplayScale().Scale(ToTSize(size))); }
  RECT Scaled(const RECT& rect) const { return ToRECT(GetDisplayScale().Scale(ToTRect(rect))); }

  // --- The control tree ---
  bool AttachDialog(CControlUI* root);
  bool InitControls(CControlUI* control, CControlUI* parent = nullptr);
  CControlUI* GetRoot() const { return root_; }
  CControlUI* FindControl(const wchar_t* name) const;
  CControlUI* FindControl(POINT point) const;
  void NeedUpdate() { updateNeeded_ = true; }
  void Invalidate(const RECT& rect);
  void UsedVirtualWnd(bool used) { usedVirtualWnd_ = used; }

  // --- Focus and capture ---
  CControlUI* GetFocus() const { return focus_; }
  void SetFocus(CControlUI* control);
  // Takes focus away now and gives it to `control` (or the first tab stop) at the next paint.
  void SetFocusNeeded(CControlUI* control);
  bool SetNextTabControl(bool forward = true);
  void SetCapture();
  void ReleaseCapture();
  bool IsCaptured() const { return mouseCapture_; }

  // --- Control timers ---
  bool SetTimer(CControlUI* control, UINT timerId, UINT elapse);
  bool KillTimer(CControlUI* control, UINT timerId);
  void KillTimer(CControlUI* control);

  // --- Notifications, filters and the post-paint list ---
  void SendNotify(CControlUI* control, const wchar_t* type, WPARAM wParam = 0,
                  LPARAM lParam = 0, bool async = false);
  void SendNotify(TControlNotify& notify, bool async = false);
  bool AddNotifier(INotifyUI* listener);
  bool RemoveNotifier(INotifyUI* listener);
  bool AddPreMessageFilter(IMessageFilterUI* filter);
  bool RemovePreMessageFilter(IMessageFilterUI* filter);
  bool AddMessageFilter(IMessageFilterUI* filter);
  bool RemoveMessageFilter(IMessageFilterUI* filter);
  bool AddPostPaint(CControlUI* control);
  bool RemovePostPaint(CControlUI* control);

  // --- Names, option groups, deletion ---
  bool AddOptionGroup(const wchar_t* group, CControlUI* control);
  const std::vector<CControlUI*>* GetOptionGroup(const wchar_t* group) const;
  void RemoveOptionGroup(const wchar_t* group, CControlUI* control);
  void RemoveAllOptionGroups() { optionGroups_.clear(); }
  // Detaches `control` and its subtree and deletes them once the current message is done.
  void DeferDelete(CControlUI* control);
  // Forgets every reference to `control`, which is being destroyed.
  void DeleteDeferred(CControlUI* control);

  // --- Messages ---
  bool MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool PreMessageHandler(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // Offers `msg` to the manager of its window (or of the nearest ancestor window); true when
  // it was handled and must not be translated and dispatched.
  static bool TranslateMessage(const MSG* msg);

 private:
  struct TTimerRecord {
    CControlUI* sender;
    UINT localId;
    HWND window;
    UINT windowId;
    bool killed;
  };

  void SendEvent(CControlUI* control, int type, POINT point, WPARAM wParam = 0,
                 LPARAM lParam = 0, wchar_t key = 0);
  void DeliverQueuedNotifications();
  bool HandleInput(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool HandleMouseMove(POINT point, bool track);
  void HandleMouseHover(POINT point);
  bool HandleSysChar(wchar_t ch);
  void LayoutIfNeeded(const RECT& area);
  void Paint();
  void PaintLayered();
  void PrintClient(HDC dc, LPARAM flags);
  void ShowTooltip(CControlUI* control);
  void HideTooltip();
  CControlUI* FindTabStop(bool forward) const;
  // The ring around `control` when it wears the focus mark; empty otherwise.
  RECT FocusMarkRect(const CControlUI* control) const;
  void InvalidateFocusMark(const CControlUI* control);
  void PaintFocusMark(HDC dc, const RECT& paint);
  UINT NextWindowTimerId();
  void StopAllTimers();
  void DeleteCleanupQueue();
  // The managers that take part in message pre-translation.
  static std::vector<CWindowHostUI*>& Hosts();

  CWindowHostSettings settings_;
  CSkinResourceCache resources_;
  SIZE initSize_ = {};

  HWND paintWindow_ = nullptr;
  HDC paintDC_ = nullptr;
  win::ScopedMemoryDC offscreenDC_, layeredDC_;
  std::unique_ptr<CDibSection> offscreen_, layered_;
  HGDIOBJ offscreenOld_ = nullptr, layeredOld_ = nullptr;
  win::ScopedWindow tooltip_;
  TOOLINFOW toolInfo_ = {};
  std::wstring tooltipText_;

  CControlUI* root_ = nullptr;
  CControlUI *focus_ = nullptr, *hover_ = nullptr, *click_ = nullptr, *keyDown_ = nullptr;
  CControlUI* focusTarget_ = nullptr;
  POINT lastMouse_ = {-1, -1};

  std::vector<TTimerRecord> timers_;
  UINT timerCounter_ = 4096;

  bool firstLayout_ = true, updateNeeded_ = false, focusNeeded_ = false;
  bool offscreenPaint_ = true, mouseTracking_ = false, mouseCapture_ = false;
  // The platform's hover has come: the leave is still tracked, the next hover is not.
  bool hoverCame_ = false;
  bool usedVirtualWnd_ = false;
  bool focusMark_ = false;
  bool inMessage_ = false;
  int messageKeyState_ = -1;  // the key state read for the current message, -1 for none

  std::vector<INotifyUI*> listeners_;
  std::vector<IMessageFilterUI*> preMessageFilters_, messageFilters_;
  std::vector<CControlUI*> postPaint_, cleanup_;
  std::deque<TControlNotify> asyncNotify_;
  std::unordered_map<std::wstring, CControlUI*> names_;
  std::map<std::wstring, std::vector<CControlUI*>> optionGroups_;
};

}  // namespace SkinUI
