#include "ui/controls/ProgressUI.h"

#include <cwchar>

#include "ui/markup/ControlValues.h"
#include "ui/markup/SkinValues.h"
#include "ui/skin/WinGeometry.h"

namespace SkinUI {

CProgressUI::CProgressUI() {
  textStyle_ = kTextCenter | kTextSingleLine;
  fixedSize_.cy = 12;
}

const wchar_t* CProgressUI::GetClass() const { return L"ProgressUI"; }

void* CProgressUI::GetInterface(const wchar_t* name) {
  if (name && std::wcscmp(name, L"Progress") == 0) return this;
  return CLabelUI::GetInterface(name);
}

void CProgressUI::SetMinValue(int value) {
  min_ = value;
  Invalidate();
}

void CProgressUI::SetMaxValue(int value) {
  max_ = value;
  Invalidate();
}

void CProgressUI::SetValue(int value) {
  if (value == value_ || value < min_ || value > max_) return;
  value_ = value;
  Invalidate();
}

void CProgressUI::SetHorizontal(bool horizontal) {
  if (horizontal_ == horizontal) return;
  horizontal_ = horizontal;
  Invalidate();
}

void CProgressUI::SetForeImage(const wchar_t* image) {
  const wchar_t* value = image ? image : L"";
  if (foreImage_ == value) return;
  foreImage_ = value;
  Invalidate();
}

void CProgressUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (!name || !value) return;
  if (std::wcscmp(name, L"foreimage") == 0) {
    SetForeImage(value);
  } else if (std::wcscmp(name, L"hor") == 0) {
    SetHorizontal(ParseBool(value));
  } else if (std::wcscmp(name, L"min") == 0) {
    SetMinValue(ParseInt(value));
  } else if (std::wcscmp(name, L"max") == 0) {
    SetMaxValue(ParseInt(value));
  } else if (std::wcscmp(name, L"value") == 0) {
    SetValue(ParseInt(value));
  } else if (std::wcscmp(name, L"isstretchfore") == 0) {
    stretchForeImage_ = ParseBool(value);
    Invalidate();
  } else if (std::wcscmp(name, L"roundcorner") == 0) {
    roundCorner_ = ParseBool(value);
    Invalidate();
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

void CProgressUI::PaintStatusImage(HDC dc) {
  if (foreImage_.empty()) return;
  // Steps 1 and 2: the filled part, at 96 dpi as image strings are; step 3: the fore image
  // over it.
  const TSize size = DisplayScale().Unscale(TSize{GetWidth(), GetHeight()});
  const TRect fill = ProgressFillRect(min_, max_, value_, size, horizontal_);
  modifier_ = ProgressForeModifier(fill, stretchForeImage_, roundCorner_);
  DrawImage(dc, foreImage_, modifier_.c_str());
}

}  // namespace SkinUI
