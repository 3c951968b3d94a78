#include "ui/controls/OptionUI.h"

#include <cwchar>
#include <vector>

#include "ui/core/WindowHostUI.h"
#include "ui/markup/SkinValues.h"
#include "ui/skin/SkinPainter.h"

namespace SkinUI {

const wchar_t* COptionUI::GetClass() const { return L"OptionUI"; }

void* COptionUI::GetInterface(const wchar_t* name) {
  if (name && std::wcscmp(name, L"Option") == 0) return this;
  return CButtonUI::GetInterface(name);
}

void COptionUI::SetManager(CWindowHostUI* manager, CControlUI* parent, bool init) {
  CButtonUI::SetManager(manager, parent, init);
  if (init && manager_ && !group_.empty()) manager_->AddOptionGroup(group_.c_str(), this);
}

void COptionUI::SetGroup(const wchar_t* group) {
  const std::wstring name = group ? group : L"";
  if (name == group_) return;
  if (manager_ && !group_.empty()) manager_->RemoveOptionGroup(group_.c_str(), this);
  group_ = name;
  if (manager_ && !group_.empty()) manager_->AddOptionGroup(group_.c_str(), this);
}

void COptionUI::Selected(bool selected) {
  if (selected_ == selected) return;
  selected_ = selected;
  if (selected_) {
    buttonState_ |= kStateSelected;
  } else {
    buttonState_ &= ~kStateSelected;
  }
  if (manager_) {
    if (group_.empty()) {
      manager_->SendNotify(this, L"selectchanged");
    } else if (selected_) {
      // A copy: deselecting a member may change the group.
      const std::vector<CControlUI*>* members = manager_->GetOptionGroup(group_.c_str());
      const std::vector<CControlUI*> others = members ? *members : std::vector<CControlUI*>();
      for (CControlUI* member : others) {
        auto* option = static_cast<COptionUI*>(member->GetInterface(L"Option"));
        if (option && option != this) option->Selected(false);
      }
      manager_->SendNotify(this, L"selectchanged");
    }
  }
  Invalidate();
}

bool COptionUI::Activate() {
  if (!CButtonUI::Activate()) return false;
  Selected(group_.empty() ? !selected_ : true);
  return true;
}

void COptionUI::SetEnabled(bool enabled) {
  CButtonUI::SetEnabled(enabled);
  if (!IsEnabled()) buttonState_ = selected_ ? kStateSelected : 0;
}

void COptionUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (!name || !value) return;
  if (std::wcscmp(name, L"group") == 0) {
    SetGroup(value);
  } else if (std::wcscmp(name, L"selected") == 0) {
    Selected(ParseBool(value));
  } else if (std::wcscmp(name, L"selectedimage") == 0) {
    selectedImage_ = value;
    Invalidate();
  } else if (std::wcscmp(name, L"selectedhotimage") == 0) {
    selectedHotImage_ = value;
    Invalidate();
  } else if (std::wcscmp(name, L"foreimage") == 0) {
    optionForeImage_ = value;
    Invalidate();
  } else if (std::wcscmp(name, L"selectedbkcolor") == 0) {
    selectedBkColor_ = ParseColor(value);
    Invalidate();
  } else if (std::wcscmp(name, L"selectedtextcolor") == 0) {
    selectedTextColor_ = ParseColor(value);
    Invalidate();
  } else if (std::wcscmp(name, L"selectedfont") == 0) {
    selectedFont_ = ParseInt(value);
    Invalidate();
  } else {
    CButtonUI::SetAttribute(name, value);
  }
}

void COptionUI::PaintStatusImage(HDC dc) {
  buttonState_ &= ~kStatePushed;
  bool drawn = false;
  if ((buttonState_ & kStateHot) && selected_) drawn = DrawImage(dc, selectedHotImage_);
  if (!drawn && selected_) {
    if (!selectedImage_.empty()) {
      drawn = DrawImage(dc, selectedImage_);
    } else if (selectedBkColor_ != 0) {
      CSkinPainter::DrawColor(dc, paintRect_, GetAdjustColor(selectedBkColor_));
      return;
    }
  }
  if (!drawn) CButtonUI::PaintStatusImage(dc);
  DrawImage(dc, optionForeImage_);
}

void COptionUI::PaintText(HDC dc) {
  const bool selectedColor = selected_ && selectedTextColor_ != 0;
  const bool selectedFont = selected_ && selectedFont_ != -1;
  PaintStateText(dc, selectedColor ? selectedTextColor_ : textColor_,
                 selectedFont ? selectedFont_ : font_);
}

}  // namespace SkinUI
