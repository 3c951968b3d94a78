#include "ui/controls/EditWnd.h"

#include <windowsx.h>

#include <string>
#include <utility>

#include "runtime/WindowMessages.h"
#include "ui/controls/EditUI.h"
#include "ui/core/WindowHostUI.h"
#include "ui/skin/SkinPainter.h"
#include "ui/skin/WinGeometry.h"

namespace SkinUI {

CEditWnd* CEditWnd::Open(CEditUI* owner) {
  CWindowHostUI* manager = owner ? owner->GetManager() : nullptr;
  if (!manager || !manager->GetPaintWindow()) return nullptr;
  auto* edit = new CEditWnd(owner);
  DWORD style = WS_CHILD | ES_AUTOHSCROLL | (owner->IsNumberOnly() ? ES_NUMBER : 0);
  if (owner->IsPasswordMode()) style |= ES_PASSWORD;
  const HWND window =
      edit->Create(manager->GetPaintWindow(), nullptr, style, 0, edit->CalcPos());
  if (!window) {
    // A failed creation leaves the object with us; from now on the window owns it.
    delete edit;
    return nullptr;
  }
  // Filling the box is not a change the user made: no "textchanged" for it.
  ::SendMessageW(window, WM_SETFONT,
                 reinterpret_cast<WPARAM>(manager->GetResourceCache().GetFont(owner->GetFont())),
                 TRUE);
  Edit_LimitText(window, owner->GetMaxChar());
  if (owner->IsPasswordMode()) Edit_SetPasswordChar(window, owner->GetPasswordChar());
  ::SetWindowTextW(window, owner->GetText().c_str());
  Edit_SetModify(window, FALSE);
  ::SendMessageW(window, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(0, 0));
  ::EnableWindow(window, owner->IsEnabled());
  Edit_SetReadOnly(window, owner->IsReadOnly());
  edit->initializing_ = false;
  ::ShowWindow(window, SW_SHOWNOACTIVATE);
  ::SetFocus(window);
  return edit;
}

RECT CEditWnd::CalcPos() const {
  const TRect padding = owner_->DisplayScale().Scale(ToTRect(owner_->GetTextPadding()));
  RECT pos = ToRECT(ShrinkRect(ToTRect(owner_->GetPos()), padding));
  const TFontRecord* font = owner_->GetManager()->GetResourceCache().GetFontInfo(owner_->GetFont());
  const int height = font ? static_cast<int>(font->metrics.tmHeight) : 0;
  if (height > 0 && height < pos.bottom - pos.top) {
    pos.top += (pos.bottom - pos.top - height) / 2;
    pos.bottom = pos.top + height;
  }
  return pos;
}

void CEditWnd::Reposition() {
  if (!window_ || !owner_) return;
  const RECT pos = CalcPos();
  ::SetWindowPos(window_, nullptr, pos.left, pos.top, pos.right - pos.left,
                 pos.bottom - pos.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CEditWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KILLFOCUS:
      ::PostMessageW(window_, WM_CLOSE, 0, 0);
      break;
    case WM_KEYDOWN:
      if (wParam == VK_RETURN && owner_ && owner_->GetManager()) {
        owner_->GetManager()->SendNotify(owner_, L"return");
        return 0;
      }
      break;
    case WM_CHAR:
      // Return was answered on its key press; a single-line box would only beep at it.
      if (wParam == VK_RETURN) return 0;
      break;
    case msg::kReflectBase + WM_COMMAND:
      if (HIWORD(wParam) == EN_CHANGE) {
        OnTextChanged();
      } else if (HIWORD(wParam) == EN_UPDATE) {
        ::InvalidateRect(window_, nullptr, FALSE);
      }
      return 0;
    case msg::kReflectBase + WM_CTLCOLOREDIT:
    case msg::kReflectBase + WM_CTLCOLORSTATIC:
      return OnColorRequest(reinterpret_cast<HDC>(wParam));
    default:
      break;
  }
  return CWindowWnd::HandleMessage(message, wParam, lParam);
}

void CEditWnd::OnTextChanged() {
  if (initializing_ || !owner_) return;
  const int length = ::GetWindowTextLengthW(window_);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(::GetWindowTextW(window_, &text[0], length + 1));
  owner_->OnNativeTextChanged(std::move(text));
}

LRESULT CEditWnd::OnColorRequest(HDC dc) {
  // 0: the platform's own colours.
  if (!owner_ || owner_->GetNativeEditBkColor() == 0xFFFFFFFF) return 0;
  ::SetTextColor(dc, CSkinPainter::ToColorRef(owner_->GetNativeEditTextColor()));
  ::SetBkMode(dc, TRANSPARENT);
  if (!brush_) {
    brush_.reset(::CreateSolidBrush(CSkinPainter::ToColorRef(owner_->GetNativeEditBkColor())));
  }
  return reinterpret_cast<LRESULT>(brush_.get());
}

void CEditWnd::OnFinalMessage(HWND) {
  if (CEditUI* owner = owner_) {
    owner_ = nullptr;
    owner->OnNativeClosed();
  }
  delete this;
}

}  // namespace SkinUI
