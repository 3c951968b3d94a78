// CWindowHostUI: the tree, names, option groups, notifications, filters and deletion. The
// translation of input messages is in WindowHostInput.cpp, painting in WindowHostPaint.cpp,
// focus and pre-translation in WindowHostFocus.cpp, control timers in WindowHostTimers.cpp.
#include "ui/core/WindowHostUI.h"

#include <algorithm>

#include "runtime/WindowMessages.h"
#include "ui/core/ControlUI.h"

namespace SkinUI {

namespace {

using SetLayeredWindowAttributesFunction = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

SetLayeredWindowAttributesFunction PlatformSetLayeredWindowAttributes() {
  static const SetLayeredWindowAttributesFunction function = [] {
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<SetLayeredWindowAttributesFunction>(reinterpret_cast<void*>(
                        ::GetProcAddress(user32, "SetLayeredWindowAttributes")))
                  : nullptr;
  }();
  return function;
}

// The dots per inch of the display `window` is on: the window's own where the system keeps
// one per window (GetDpiForWindow, Windows 10 1607 on), else the screen's.
int WindowDpi(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const GetDpiForWindowFunction getDpiForWindow = [] {
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void*>(
                        ::GetProcAddress(user32, "GetDpiForWindow")))
                  : nullptr;
  }();
  if (getDpiForWindow && window) {
    if (const UINT dpi = getDpiForWindow(window)) return static_cast<int>(dpi);
  }
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kBaseDpi;
}

template <typename T>
bool AddUnique(std::vector<T*>& list, T* item) {
  if (!item || std::find(list.begin(), list.end(), item) != list.end()) return false;
  list.push_back(item);
  return true;
}

template <typename T>
bool RemoveItem(std::vector<T*>& list, T* item) {
  auto found = std::find(list.begin(), list.end(), item);
  if (found == list.end()) return false;
  list.erase(found);
  return true;
}

}  // namespace

std::vector<CWindowHostUI*>& CWindowHostUI::Hosts() {
  static std::vector<CWindowHostUI*> hosts;
  return hosts;
}

CWindowHostUI::CWindowHostUI() = default;

CWindowHostUI::~CWindowHostUI() {
  RemoveItem(Hosts(), this);
  // Timers stop first, so that no timer event reaches a control being destroyed.
  StopAllTimers();
  DeleteCleanupQueue();
  asyncNotify_.clear();
  delete root_;
  root_ = nullptr;
  tooltip_.reset();
  if (offscreenOld_) ::SelectObject(offscreenDC_.get(), offscreenOld_);
  if (layeredOld_) ::SelectObject(layeredDC_.get(), layeredOld_);
  if (paintDC_) ::ReleaseDC(paintWindow_, paintDC_);
}

void CWindowHostUI::Init(HWND window) {
  if (paintDC_) ::ReleaseDC(paintWindow_, paintDC_);
  paintWindow_ = window;
  paintDC_ = window ? ::GetDC(window) : nullptr;
  resources_.SetPaintDC(paintDC_);
  if (window) {
    // A message box opens at its owner's scale, which may have changed since the start.
    int dpi = 0;
    const HWND owner = ::GetWindow(window, GW_OWNER);
    for (CWindowHostUI* host : Hosts()) {
      if (owner && host->paintWindow_ == owner) dpi = host->GetDisplayScale().dpi();
    }
    resources_.SetScale(TDisplayScale(dpi ? dpi : WindowDpi(window)));
  }
  AddUnique(Hosts(), this);
}

void CWindowHostUI::SetDpi(int dpi) {
  const TDisplayScale scale(dpi);
  if (scale == GetDisplayScale()) return;
  // The native edit box holds the font about to be replaced: it closes now and opens again,
  // with the new font and in its new place, once the tree is laid out.
  if (focus_) SetFocusNeeded(focus_);
  resources_.SetScale(scale);
  HideTooltip();
  if (root_) root_->NeedUpdate();
  updateNeeded_ = true;
  if (paintWindow_) ::InvalidateRect(paintWindow_, nullptr, FALSE);
}

void CWindowHostUI::DetachWindow() {
  RemoveItem(Hosts(), this);
  StopAllTimers();
  if (mouseCapture_) ReleaseCapture();
  // Every control tells the manager it goes, which forgets focus, hover and names with it.
  CControlUI* root = root_;
  root_ = nullptr;
  postPaint_.clear();
  delete root;
  DeleteCleanupQueue();
  asyncNotify_.clear();
  tooltip_.reset();
  if (paintDC_) ::ReleaseDC(paintWindow_, paintDC_);
  paintDC_ = nullptr;
  resources_.SetPaintDC(nullptr);
  paintWindow_ = nullptr;
}

SIZE CWindowHostUI::GetClientSize() const {
  RECT client = {};
  if (paintWindow_) ::GetClientRect(paintWindow_, &client);
  return SIZE{client.right - client.left, client.bottom - client.top};
}

void CWindowHostUI::SetInitSize(int cx, int cy) {
  if (initSize_.cx != 0 || initSize_.cy != 0) return;
  initSize_ = SIZE{cx, cy};
  if (!root_ && paintWindow_) {
    ::SetWindowPos(paintWindow_, nullptr, 0, 0, Scaled(cx), Scaled(cy),
                   SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  }
}

void CWindowHostUI::SetTransparent(int alpha) {
  if (!paintWindow_) return;
  const LONG exStyle = ::GetWindowLongW(paintWindow_, GWL_EXSTYLE);
  if (alpha < 0 || alpha > 255) {
    ::SetWindowLongW(paintWindow_, GWL_EXSTYLE, exStyle & ~WS_EX_LAYERED);
    return;
  }
  const auto setAttributes = PlatformSetLayeredWindowAttributes();
  if (!setAttributes) return;
  ::SetWindowLongW(paintWindow_, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
  setAttributes(paintWindow_, 0, static_cast<BYTE>(alpha), LWA_ALPHA);
}

// --- The control tree ---------------------------------------------------------------------

bool CWindowHostUI::AttachDialog(CControlUI* root) {
  if (paintWindow_) SetFocus(nullptr);
  hover_ = click_ = keyDown_ = focusTarget_ = nullptr;
  if (mouseCapture_) ReleaseCapture();
  if (root_ && root_ != root) {
    postPaint_.clear();
    DeferDelete(root_);
  }
  root_ = root;
  updateNeeded_ = true;
  firstLayout_ = true;
  focusNeeded_ = true;
  return InitControls(root);
}

bool CWindowHostUI::InitControls(CControlUI* control, CControlUI* parent) {
  if (!control) return false;
  control->SetManager(this, parent ? parent : control->GetParent(), true);
  control->FindControl(
      [](CControlUI* c, void* data) -> CControlUI* {
        const std::wstring name = c->GetName();
        // The first control registered under a name keeps it.
        if (!name.empty()) static_cast<CWindowHostUI*>(data)->names_.emplace(name, c);
        return nullptr;
      },
      this, 0);
  return true;
}

CControlUI* CWindowHostUI::FindControl(const wchar_t* name) const {
  if (!name) return nullptr;
  const auto found = names_.find(name);
  return found == names_.end() ? nullptr : found->second;
}

CControlUI* CWindowHostUI::FindControl(POINT point) const {
  if (!root_) return nullptr;
  return root_->FindControl([](CControlUI* c, void*) { return c; }, &point,
                            kFindVisible | kFindHitTest | kFindTopFirst);
}

void CWindowHostUI::Invalidate(const RECT& rect) {
  if (paintWindow_) ::InvalidateRect(paintWindow_, &rect, FALSE);
}

// --- Notifications and filters ------------------------------------------------------------

void CWindowHostUI::SendNotify(CControlUI* control, const wchar_t* type, WPARAM wParam,
                               LPARAM lParam, bool async) {
  TControlNotify notify;
  notify.typeName = type ? type : L"";
  notify.sender = control;
  notify.wParam = wParam;
  notify.lParam = lParam;
  SendNotify(notify, async);
}

void CWindowHostUI::SendNotify(TControlNotify& notify, bool async) {
  notify.mousePoint = lastMouse_;
  notify.timestamp = ::GetTickCount();
  if (usedVirtualWnd_ && notify.sender) notify.virtualWnd = notify.sender->GetVirtualWnd();
  if (async) {
    asyncNotify_.push_back(notify);
    // Delivered with the next message this window handles; this makes sure there is one.
    if (paintWindow_) ::PostMessageW(paintWindow_, msg::kNotifyPending, 0, 0);
    return;
  }
  if (notify.sender) notify.sender->OnNotify.Run(notify);
  // A listener may unregister (itself or another) while the list runs.
  for (size_t i = 0; i < listeners_.size(); ++i) listeners_[i]->Notify(notify);
}

void CWindowHostUI::DeliverQueuedNotifications() {
  while (!asyncNotify_.empty()) {
    TControlNotify notify = asyncNotify_.front();
    asyncNotify_.pop_front();
    if (notify.sender) notify.sender->OnNotify.Run(notify);
    for (size_t i = 0; i < listeners_.size(); ++i) listeners_[i]->Notify(notify);
  }
}

bool CWindowHostUI::AddNotifier(INotifyUI* listener) { return AddUnique(listeners_, listener); }
bool CWindowHostUI::RemoveNotifier(INotifyUI* listener) { return RemoveItem(listeners_, listener); }

bool CWindowHostUI::AddPreMessageFilter(IMessageFilterUI* filter) {
  return AddUnique(preMessageFilters_, filter);
}

bool CWindowHostUI::RemovePreMessageFilter(IMessageFilterUI* filter) {
  return RemoveItem(preMessageFilters_, filter);
}

bool CWindowHostUI::AddMessageFilter(IMessageFilterUI* filter) {
  return AddUnique(messageFilters_, filter);
}

bool CWindowHostUI::RemoveMessageFilter(IMessageFilterUI* filter) {
  return RemoveItem(messageFilters_, filter);
}

bool CWindowHostUI::AddPostPaint(CControlUI* control) { return AddUnique(postPaint_, control); }
bool CWindowHostUI::RemovePostPaint(CControlUI* control) { return RemoveItem(postPaint_, control); }

// --- Option groups --------------------------------------------------------------------------

bool CWindowHostUI::AddOptionGroup(const wchar_t* group, CControlUI* control) {
  if (!group || !*group || !control) return false;
  return AddUnique(optionGroups_[group], control);
}

const std::vector<CControlUI*>* CWindowHostUI::GetOptionGroup(const wchar_t* group) const {
  if (!group) return nullptr;
  const auto found = optionGroups_.find(group);
  return found == optionGroups_.end() ? nullptr : &found->second;
}

void CWindowHostUI::RemoveOptionGroup(const wchar_t* group, CControlUI* control) {
  if (!group) return;
  const auto found = optionGroups_.find(group);
  if (found == optionGroups_.end()) return;
  RemoveItem(found->second, control);
  if (found->second.empty()) optionGroups_.erase(found);
}

// --- Deletion ------------------------------------------------------------------------------

void CWindowHostUI::DeferDelete(CControlUI* control) {
  if (!control) return;
  // The whole subtree leaves the manager now; it is deleted once the current message is done.
  control->FindControl(
      [](CControlUI* c, void* data) -> CControlUI* {
        static_cast<CWindowHostUI*>(data)->DeleteDeferred(c);
        return nullptr;
      },
      this, 0);
  control->SetManager(nullptr, nullptr, false);
  if (AddUnique(cleanup_, control) && paintWindow_) {
    ::PostMessageW(paintWindow_, msg::kDelayedCleanup, 0, 0);
  }
}

void CWindowHostUI::DeleteDeferred(CControlUI* control) {
  if (!control) return;
  if (focus_ == control) focus_ = nullptr;
  if (hover_ == control) hover_ = nullptr;
  if (keyDown_ == control) keyDown_ = nullptr;
  if (focusTarget_ == control) focusTarget_ = nullptr;
  if (click_ == control) {
    // Nobody is left to release the capture on the button's release.
    click_ = nullptr;
    if (mouseCapture_) ReleaseCapture();
  }
  KillTimer(control);
  for (auto it = names_.begin(); it != names_.end();) {
    it = it->second == control ? names_.erase(it) : std::next(it);
  }
  for (auto it = optionGroups_.begin(); it != optionGroups_.end();) {
    RemoveItem(it->second, control);
    it = it->second.empty() ? optionGroups_.erase(it) : std::next(it);
  }
  RemoveItem(postPaint_, control);
  asyncNotify_.erase(std::remove_if(asyncNotify_.begin(), asyncNotify_.end(),
                                    [control](const TControlNotify& n) {
                                      return n.sender == control;
                                    }),
                     asyncNotify_.end());
}

void CWindowHostUI::DeleteCleanupQueue() {
  std::vector<CControlUI*> queue;
  queue.swap(cleanup_);
  for (CControlUI* control : queue) delete control;
}

}  // namespace SkinUI
