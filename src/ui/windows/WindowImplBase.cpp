// WindowImplBase: creation from the skin, message dispatch, notifications and keys. The
// handlers of the frame (hit tests, sizes, corners, system commands) are in
// WindowImplFrame.cpp.
#include "ui/windows/WindowImplBase.h"

#include "ui/core/ControlUI.h"
#include "ui/markup/SkinStorage.h"
#include "ui/skin/SkinModule.h"
#include "ui/windows/WndShadow.h"

namespace SkinUI {

WindowImplBase::WindowImplBase() {
  MapNotify(L"click", [this](TControlNotify& notify) { OnClick(notify); });
}

WindowImplBase::~WindowImplBase() {
  // Destroyed while the whole dialog still exists, so that its final message unhooks it.
  if (window_ && !subclassed_ && ::IsWindow(window_)) ::DestroyWindow(window_);
}

UINT WindowImplBase::GetClassStyle() const { return CS_DBLCLKS; }

void WindowImplBase::InitWindow() {}

std::wstring WindowImplBase::GetSkinFolder() { return std::wstring(); }

int WindowImplBase::GetResourceType() const { return kResourceZipResource; }

std::wstring WindowImplBase::GetSkinArchiveName() { return std::wstring(); }

UINT WindowImplBase::GetResourceID() const { return 150; }

CControlUI* WindowImplBase::CreateControl(const wchar_t*) { return nullptr; }

LONG WindowImplBase::GetStyle() { return ::GetWindowLongW(window_, GWL_STYLE) & ~WS_CAPTION; }

// --- Creation -----------------------------------------------------------------------------

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, bool&) {
  // 1. No native caption; children and siblings are not painted over.
  ::SetWindowLongW(window_, GWL_STYLE, GetStyle() | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
  // 2. The paint manager, with this dialog as its pre-message filter.
  paintManager_.Init(window_);
  paintManager_.AddPreMessageFilter(this);
  // 3, 4. Where the skin's files come from.
  if (CSkinStorage::GetResourcePath().empty()) {
    CSkinStorage::SetResourcePath(CSkinModule::GetInstancePath() + GetSkinFolder());
  }
  if (!PrepareSkinSource()) FailSkinLoading();
  // 5, 6. The tree; without one the program cannot go on.
  CControlUI* root = BuildTree();
  if (!root) FailSkinLoading();
  // 7.
  paintManager_.AttachDialog(root);
  paintManager_.AddNotifier(this);
  // 8. The shadow belongs to the window once attached.
  const CWindowHostSettings& settings = paintManager_.Settings();
  if (settings.IsShadowWanted() && !settings.IsSelfShadow()) {
    auto* shadow = new CWndShadow;
    shadow->SetSize(paintManager_.Scaled(kShadowWidth));
    if (shadow->Create(window_)) {
      shadow_ = shadow;
    } else {
      delete shadow;
    }
  }
  // 9.
  InitWindow();
  return 0;
}

bool WindowImplBase::PrepareSkinSource() {
  switch (GetResourceType()) {
    case kResourceZip:
      return CSkinStorage::SetSkinArchive(GetSkinArchiveName());
    case kResourceZipResource:
      // The archive is copied out of the resource once and serves every later window.
      if (CSkinStorage::GetSkinArchiveHandle() &&
          CSkinStorage::GetSkinArchive() == CSkinStorage::kMemoryArchiveName) {
        return true;
      }
      return CSkinModule::LoadSkinArchiveResource(GetResourceID());
    default:
      return true;
  }
}

CControlUI* WindowImplBase::BuildTree() {
  const std::wstring layout = GetSkinFile();
  CDialogBuilder builder;
  const wchar_t* type = GetResourceType() == kResourceResource ? L"xml" : nullptr;
  return builder.Create(layout.c_str(), type, this, &paintManager_);
}

void WindowImplBase::FailSkinLoading() {
  ::MessageBoxW(nullptr, L"加载资源文件失败", L"SkinUI", MB_ICONSTOP);
  ::ExitProcess(1);
}

void WindowImplBase::OnFinalMessage(HWND) {
  paintManager_.RemovePreMessageFilter(this);
  paintManager_.RemoveNotifier(this);
  paintManager_.DetachWindow();
  // The shadow deletes itself after this final message.
  shadow_ = nullptr;
}

// --- Messages -----------------------------------------------------------------------------

LRESULT WindowImplBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DPICHANGED) return OnDpiChanged(wParam, lParam);
  bool handled = true;
  LRESULT result = Dispatch(message, wParam, lParam, handled);
  if (handled) return result;
  handled = true;
  result = HandleCustomMessage(message, wParam, lParam, handled);
  if (handled) return result;
  if (paintManager_.MessageHandler(message, wParam, lParam, result)) return result;
  return CWindowWnd::HandleMessage(message, wParam, lParam);
}

LRESULT WindowImplBase::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  switch (message) {
    case WM_CLOSE: return OnClose(message, wParam, lParam, handled);
    case WM_DESTROY: return OnDestroy(message, wParam, lParam, handled);
    case WM_NCACTIVATE: return OnNcActivate(message, wParam, lParam, handled);
    case WM_NCCALCSIZE: return OnNcCalcSize(message, wParam, lParam, handled);
    case WM_NCPAINT: return OnNcPaint(message, wParam, lParam, handled);
    case WM_NCLBUTTONDOWN: return OnNcLButtonDown(message, wParam, lParam, handled);
    case WM_NCHITTEST: return OnNcHitTest(message, wParam, lParam, handled);
    case WM_GETMINMAXINFO: return OnGetMinMaxInfo(message, wParam, lParam, handled);
    case WM_MOUSEWHEEL: return OnMouseWheel(message, wParam, lParam, handled);
    case WM_MOUSEHOVER: return OnMouseHover(message, wParam, lParam, handled);
    case WM_SIZE: return OnSize(message, wParam, lParam, handled);
    case WM_MOVE: return OnMove(message, wParam, lParam, handled);
    case WM_CHAR: return OnChar(message, wParam, lParam, handled);
    case WM_SYSCOMMAND: return OnSysCommand(message, wParam, lParam, handled);
    case WM_CREATE: return OnCreate(message, wParam, lParam, handled);
    case WM_KEYDOWN: return OnKeyDown(message, wParam, lParam, handled);
    case WM_KILLFOCUS: return OnKillFocus(message, wParam, lParam, handled);
    case WM_SETFOCUS: return OnSetFocus(message, wParam, lParam, handled);
    case WM_LBUTTONDOWN: return OnLButtonDown(message, wParam, lParam, handled);
    case WM_LBUTTONUP: return OnLButtonUp(message, wParam, lParam, handled);
    case WM_MOUSEMOVE: return OnMouseMove(message, wParam, lParam, handled);
    case WM_SHOWWINDOW: return OnShowWindow(message, wParam, lParam, handled);
    default:
      handled = false;
      return 0;
  }
}

// The handlers that only let the message go on.
#define KELTO_PASS_ON(Handler)                                            \
  LRESULT WindowImplBase::Handler(UINT, WPARAM, LPARAM, bool& handled) { \
    handled = false;                                                      \
    return 0;                                                             \
  }
KELTO_PASS_ON(OnClose)
KELTO_PASS_ON(OnDestroy)
KELTO_PASS_ON(OnMouseWheel)
KELTO_PASS_ON(OnMouseHover)
KELTO_PASS_ON(OnMove)
KELTO_PASS_ON(OnChar)
KELTO_PASS_ON(OnKeyDown)
KELTO_PASS_ON(OnKillFocus)
KELTO_PASS_ON(OnSetFocus)
KELTO_PASS_ON(OnLButtonDown)
KELTO_PASS_ON(OnLButtonUp)
KELTO_PASS_ON(OnMouseMove)
KELTO_PASS_ON(HandleCustomMessage)
KELTO_PASS_ON(OnShowWindow)
#undef KELTO_PASS_ON

// --- Notifications and keys ---------------------------------------------------------------

void WindowImplBase::Notify(TControlNotify& notify) { NotifyPump(notify); }

void WindowImplBase::OnClick(TControlNotify& notify) {
  const std::wstring name = notify.sender ? notify.sender->GetName() : std::wstring();
  if (name == L"btn_close") {
    Close(IDOK);
  } else if (name == L"btn_min") {
    SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
  } else if (name == L"btn_max") {
    SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  } else if (name == L"btn_restore") {
    SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
  }
}

LRESULT WindowImplBase::MessageHandler(UINT message, WPARAM wParam, LPARAM, bool& handled) {
  if (message == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
    handled = HandleDefaultKey(wParam);
  }
  return 0;
}

bool WindowImplBase::HandleDefaultKey(WPARAM key) {
  if (key != VK_ESCAPE) return false;
  Close(IDOK);
  return true;
}

}  // namespace SkinUI
