#include "ui/controls/EditUI.h"

#include <windowsx.h>

#include <cwchar>
#include <utility>

#include "ui/controls/ButtonUI.h"
#include "ui/controls/EditWnd.h"
#include "ui/core/WindowHostUI.h"
#include "ui/markup/ControlValues.h"
#include "ui/markup/SkinValues.h"
#include "ui/skin/WinGeometry.h"

namespace SkinUI {

CEditUI::CEditUI() { textPadding_ = RECT{4, 3, 4, 3}; }

CEditUI::~CEditUI() {
  // The native window would otherwise report its end to a control that no longer exists.
  if (CEditWnd* edit = editWnd_) {
    editWnd_ = nullptr;
    edit->Detach();
    ::DestroyWindow(edit->GetHWND());
  }
}

const wchar_t* CEditUI::GetClass() const { return L"EditUI"; }

void* CEditUI::GetInterface(const wchar_t* name) {
  if (name && std::wcscmp(name, L"Edit") == 0) return this;
  return CLabelUI::GetInterface(name);
}

UINT CEditUI::GetControlFlags() const {
  return IsEnabled() ? kControlFlagTabStop | kControlFlagSetCursor : 0;
}

HWND CEditUI::GetNativeWindow() const { return editWnd_ ? editWnd_->GetHWND() : nullptr; }

void CEditUI::SetEnabled(bool enabled) {
  CLabelUI::SetEnabled(enabled);
  if (!IsEnabled()) buttonState_ = 0;
  if (editWnd_) ::EnableWindow(editWnd_->GetHWND(), IsEnabled());
}

void CEditUI::SetText(const wchar_t* text) {
  text_ = text ? text : L"";
  if (editWnd_) {
    // The box reports the change itself, and "textchanged" goes out from there.
    ::SetWindowTextW(editWnd_->GetHWND(), text_.c_str());
  } else if (manager_) {
    manager_->SendNotify(this, L"textchanged");
  }
  Invalidate();
}

uint32_t CEditUI::GetNativeEditTextColor() const {
  return nativeTextColor_ != 0 ? nativeTextColor_ : TextColorOrDefault();
}

void CEditUI::OnNativeTextChanged(std::wstring text) {
  text_ = std::move(text);
  if (manager_) manager_->SendNotify(this, L"textchanged");
}

void CEditUI::OnNativeClosed() {
  editWnd_ = nullptr;
  Invalidate();
  if (manager_ && manager_->GetFocus() == this) manager_->SetFocus(nullptr);
}

void CEditUI::CloseNativeWhenHidden() {
  // Taking the keyboard focus back closes the native box.
  if (!IsVisible() && editWnd_ && manager_) manager_->SetFocus(nullptr);
}

void CEditUI::SetVisible(bool visible) {
  CLabelUI::SetVisible(visible);
  CloseNativeWhenHidden();
}

void CEditUI::SetInheritedVisible(bool visible) {
  CLabelUI::SetInheritedVisible(visible);
  CloseNativeWhenHidden();
}

void CEditUI::SetPos(RECT rect) {
  CLabelUI::SetPos(rect);
  if (editWnd_) editWnd_->Reposition();
}

void CEditUI::DoEvent(TControlEvent& event) {
  switch (event.type) {
    case kEventSetCursor:
      if (!IsEnabled()) break;
      ::SetCursor(::LoadCursorW(nullptr, IDC_IBEAM));
      return;
    case kEventWindowSize:
      if (editWnd_ && manager_) manager_->SetFocusNeeded(this);
      return;
    case kEventScrollWheel:
      if (editWnd_) return;
      break;
    case kEventSetFocus:
      focused_ = true;
      if (IsEnabled() && !editWnd_) editWnd_ = CEditWnd::Open(this);
      Invalidate();
      return;
    case kEventKillFocus:
      focused_ = false;
      Invalidate();
      return;
    case kEventButtonDown:
    case kEventDblClick:
    case kEventRButtonDown: {
      if (!IsEnabled()) break;
      if (manager_) manager_->ReleaseCapture();
      if (IsFocused() && !editWnd_) {
        editWnd_ = CEditWnd::Open(this);
        if (editWnd_ && RectContains(item_, event.mousePoint)) {
          Edit_SetSel(editWnd_->GetHWND(), 0, -1);
        }
      } else if (editWnd_) {
        const int length = ::GetWindowTextLengthW(editWnd_->GetHWND());
        Edit_SetSel(editWnd_->GetHWND(), 0, length > 0 ? length : 1);
      }
      return;
    }
    case kEventMouseMove:
    case kEventButtonUp:
    case kEventContextMenu:
      return;
    case kEventMouseEnter:
    case kEventMouseLeave:
      buttonState_ = WithHot(buttonState_, event.type == kEventMouseEnter && IsEnabled());
      Invalidate();
      return;
    default:
      break;
  }
  CLabelUI::DoEvent(event);
}

void CEditUI::SetReadOnly(bool readOnly) {
  if (readOnly_ == readOnly) return;
  readOnly_ = readOnly;
  if (editWnd_) Edit_SetReadOnly(editWnd_->GetHWND(), readOnly_);
  Invalidate();
}

void CEditUI::SetPasswordMode(bool password) {
  if (passwordMode_ == password) return;
  passwordMode_ = password;
  Invalidate();
}

void CEditUI::SetPasswordChar(wchar_t ch) {
  if (passwordChar_ == ch) return;
  passwordChar_ = ch;
  if (editWnd_) Edit_SetPasswordChar(editWnd_->GetHWND(), passwordChar_);
  Invalidate();
}

void CEditUI::SetMaxChar(int maximum) {
  maxChar_ = maximum;
  if (editWnd_) Edit_LimitText(editWnd_->GetHWND(), maxChar_);
}

void CEditUI::SetNumberOnly(bool numberOnly) {
  if (numberOnly) {
    editStyle_ |= ES_NUMBER;
  } else {
    editStyle_ &= ~static_cast<DWORD>(ES_NUMBER);
  }
  if (editWnd_) {
    const HWND window = editWnd_->GetHWND();
    const LONG style = ::GetWindowLongW(window, GWL_STYLE);
    ::SetWindowLongW(window, GWL_STYLE, numberOnly ? style | ES_NUMBER : style & ~ES_NUMBER);
  }
}

bool CEditUI::IsNumberOnly() const { return (editStyle_ & ES_NUMBER) != 0; }

void CEditUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (!name || !value) return;
  if (std::wcscmp(name, L"readonly") == 0) {
    SetReadOnly(ParseBool(value));
  } else if (std::wcscmp(name, L"numberonly") == 0) {
    SetNumberOnly(ParseBool(value));
  } else if (std::wcscmp(name, L"password") == 0) {
    SetPasswordMode(ParseBool(value));
  } else if (std::wcscmp(name, L"maxchar") == 0) {
    SetMaxChar(ParseInt(value));
  } else if (std::wcscmp(name, L"normalimage") == 0) {
    normalImage_ = value;
    Invalidate();
  } else if (std::wcscmp(name, L"hotimage") == 0) {
    hotImage_ = value;
    Invalidate();
  } else if (std::wcscmp(name, L"focusedimage") == 0) {
    focusedImage_ = value;
    Invalidate();
  } else if (std::wcscmp(name, L"disabledimage") == 0) {
    disabledImage_ = value;
    Invalidate();
  } else if (std::wcscmp(name, L"hinttext") == 0) {
    hintText_ = value;
    Invalidate();
  } else if (std::wcscmp(name, L"hintcolor") == 0) {
    hintColor_ = ParseColor(value);
    Invalidate();
  } else if (std::wcscmp(name, L"nativecolor") == 0) {
    SetNativeEditTextColor(ParseColor(value));
  } else if (std::wcscmp(name, L"nativebkcolor") == 0) {
    SetNativeEditBkColor(ParseColor(value));
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

void CEditUI::PaintStatusImage(HDC dc) {
  buttonState_ = WithFocusAndEnabled(buttonState_, IsFocused(), IsEnabled());
  if ((buttonState_ & kStateDisabled) && DrawImage(dc, disabledImage_)) return;
  if ((buttonState_ & kStateFocused) && DrawImage(dc, focusedImage_)) return;
  if ((buttonState_ & kStateHot) && DrawImage(dc, hotImage_)) return;
  DrawImage(dc, normalImage_);
}

void CEditUI::PaintText(HDC dc) {
  if (!manager_) return;
  std::wstring text = text_;
  uint32_t color = IsEnabled() ? TextColorOrDefault() : DisabledTextColorOrDefault();
  if (text.empty()) {
    // The hint stands in for an empty text while nobody types into it.
    if (hintText_.empty() || editWnd_) return;
    text = hintText_;
    color = hintColor_ != 0 ? hintColor_ : DisabledTextColorOrDefault();
  } else if (passwordMode_) {
    text.assign(text.size(), passwordChar_);
  }
  DrawLabelText(dc, text, color, font_, textStyle_ | kTextSingleLine);
}

}  // namespace SkinUI
