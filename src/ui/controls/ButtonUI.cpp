#include "ui/controls/ButtonUI.h"

#include <cwchar>

#include "ui/core/WindowHostUI.h"
#include "ui/markup/ControlValues.h"
#include "ui/markup/SkinValues.h"
#include "ui/skin/SkinPainter.h"
#include "ui/skin/WinGeometry.h"

namespace SkinUI {

namespace {

void Assign(std::wstring& field, const wchar_t* value, CControlUI& control) {
  field = value ? value : L"";
  control.Invalidate();
}

}  // namespace

CButtonUI::CButtonUI() { textStyle_ = kTextCenter | kTextVCenter | kTextSingleLine; }

const wchar_t* CButtonUI::GetClass() const { return L"ButtonUI"; }

void* CButtonUI::GetInterface(const wchar_t* name) {
  if (name && std::wcscmp(name, L"Button") == 0) return this;
  return CLabelUI::GetInterface(name);
}

UINT CButtonUI::GetControlFlags() const {
  return (IsKeyboardEnabled() ? kControlFlagTabStop : 0) |
         (IsEnabled() ? kControlFlagSetCursor : 0);
}

bool CButtonUI::Activate() {
  if (!CLabelUI::Activate()) return false;
  if (manager_) manager_->SendNotify(this, L"click");
  return true;
}

void CButtonUI::SetEnabled(bool enabled) {
  CLabelUI::SetEnabled(enabled);
  if (!IsEnabled()) buttonState_ = 0;
}

void CButtonUI::DoEvent(TControlEvent& event) {
  // Step 1.
  if (PassMouseEventOn(event)) return;
  const bool inside = RectContains(item_, event.mousePoint);
  switch (event.type) {
    case kEventSetFocus:  // step 2
    case kEventKillFocus:
      focused_ = event.type == kEventSetFocus;
      Invalidate();
      return;
    case kEventKeyDown:  // step 3
      if (IsKeyboardEnabled() && (event.key == VK_SPACE || event.key == VK_RETURN)) {
        Activate();
        return;
      }
      break;
    case kEventButtonDown:  // step 4
    case kEventDblClick:
      if (inside && IsEnabled()) {
        buttonState_ |= kStatePushed | kStateCaptured;
        Invalidate();
      }
      return;
    case kEventMouseMove:  // step 5
      if (buttonState_ & kStateCaptured) {
        if (inside) {
          buttonState_ |= kStatePushed;
        } else {
          buttonState_ &= ~kStatePushed;
        }
        Invalidate();
      }
      return;
    case kEventButtonUp:  // step 6
      if (buttonState_ & kStateCaptured) {
        buttonState_ &= ~(kStatePushed | kStateCaptured);
        Invalidate();
        if (inside) Activate();
      }
      return;
    case kEventContextMenu:  // step 7
      if (IsContextMenuUsed() && manager_) {
        manager_->SendNotify(this, L"menu", event.wParam, event.lParam);
      }
      return;
    case kEventMouseEnter:  // step 8
    case kEventMouseLeave:
      buttonState_ = WithHot(buttonState_, event.type == kEventMouseEnter && IsEnabled());
      Invalidate();
      return;
    case kEventSetCursor:  // step 9
      ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
      return;
    default:
      break;
  }
  CLabelUI::DoEvent(event);
}

SIZE CButtonUI::EstimateSize(SIZE) { return EstimateWithFont(8); }

void CButtonUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (!name || !value) return;
  if (std::wcscmp(name, L"normalimage") == 0) {
    SetNormalImage(value);
  } else if (std::wcscmp(name, L"hotimage") == 0) {
    SetHotImage(value);
  } else if (std::wcscmp(name, L"pushedimage") == 0) {
    SetPushedImage(value);
  } else if (std::wcscmp(name, L"focusedimage") == 0) {
    SetFocusedImage(value);
  } else if (std::wcscmp(name, L"disabledimage") == 0) {
    SetDisabledImage(value);
  } else if (std::wcscmp(name, L"hotforeimage") == 0) {
    Assign(hotForeImage_, value, *this);
  } else if (std::wcscmp(name, L"hotbkcolor") == 0) {
    SetHotBkColor(ParseColor(value));
  } else if (std::wcscmp(name, L"hottextcolor") == 0) {
    SetHotTextColor(ParseColor(value));
  } else if (std::wcscmp(name, L"pushedtextcolor") == 0) {
    SetPushedTextColor(ParseColor(value));
  } else if (std::wcscmp(name, L"focusedtextcolor") == 0) {
    SetFocusedTextColor(ParseColor(value));
  } else if (std::wcscmp(name, L"hotfont") == 0) {
    hotFont_ = ParseInt(value);
  } else if (std::wcscmp(name, L"pushedfont") == 0) {
    pushedFont_ = ParseInt(value);
  } else if (std::wcscmp(name, L"focusedfont") == 0) {
    focusedFont_ = ParseInt(value);
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

void CButtonUI::SetNormalImage(const wchar_t* image) { Assign(normalImage_, image, *this); }
void CButtonUI::SetHotImage(const wchar_t* image) { Assign(hotImage_, image, *this); }
void CButtonUI::SetPushedImage(const wchar_t* image) { Assign(pushedImage_, image, *this); }
void CButtonUI::SetFocusedImage(const wchar_t* image) { Assign(focusedImage_, image, *this); }
void CButtonUI::SetDisabledImage(const wchar_t* image) { Assign(disabledImage_, image, *this); }
void CButtonUI::SetPushedForeImage(const wchar_t* image) { Assign(pushedForeImage_, image, *this); }

void CButtonUI::SetHotBkColor(uint32_t color) {
  hotBkColor_ = color;
  Invalidate();
}

void CButtonUI::SetHotTextColor(uint32_t color) {
  hotTextColor_ = color;
  Invalidate();
}

void CButtonUI::SetPushedTextColor(uint32_t color) {
  pushedTextColor_ = color;
  Invalidate();
}

void CButtonUI::SetFocusedTextColor(uint32_t color) {
  focusedTextColor_ = color;
  Invalidate();
}

void CButtonUI::PaintText(HDC dc) { PaintStateText(dc, textColor_, font_); }

void CButtonUI::PaintStateText(HDC dc, uint32_t color, int font) {
  buttonState_ = WithFocusAndEnabled(buttonState_, IsFocused(), IsEnabled());
  const std::wstring text = GetText();
  if (text.empty()) return;
  color =
      (buttonState_ & kStateDisabled) ? DisabledTextColorOrDefault() : TextColorOrDefault(color);
  if ((buttonState_ & kStatePushed) && pushedTextColor_ != 0) {
    color = pushedTextColor_;
  } else if ((buttonState_ & kStateHot) && hotTextColor_ != 0) {
    color = hotTextColor_;
  } else if ((buttonState_ & kStateFocused) && focusedTextColor_ != 0) {
    color = focusedTextColor_;
  }
  if ((buttonState_ & kStatePushed) && pushedFont_ != -1) {
    font = pushedFont_;
  } else if ((buttonState_ & kStateHot) && hotFont_ != -1) {
    font = hotFont_;
  } else if ((buttonState_ & kStateFocused) && focusedFont_ != -1) {
    font = focusedFont_;
  }
  DrawLabelText(dc, text, color, font, textStyle_);
}

void CButtonUI::PaintStatusImage(HDC dc) {
  buttonState_ = WithFocusAndEnabled(buttonState_, IsFocused(), IsEnabled());
  // Steps 1 to 5: the image of the state; a state without one falls through to the next.
  if ((buttonState_ & kStateDisabled) && DrawImage(dc, disabledImage_)) {
    // step 6 below
  } else if ((buttonState_ & kStatePushed) && DrawImage(dc, pushedImage_)) {
    if (DrawImage(dc, pushedForeImage_)) return;
  } else if (buttonState_ & kStateHot && (!hotImage_.empty() || hotBkColor_ != 0)) {
    if (!hotImage_.empty()) {
      DrawImage(dc, hotImage_);
      if (DrawImage(dc, hotForeImage_)) return;
    } else {
      CSkinPainter::DrawColor(dc, paintRect_, GetAdjustColor(hotBkColor_));
      return;
    }
  } else if ((buttonState_ & kStateFocused) && DrawImage(dc, focusedImage_)) {
    // step 6 below
  } else {
    DrawImage(dc, normalImage_);
  }
  // Step 6.
  DrawImage(dc, foreImage_);
}

}  // namespace SkinUI
