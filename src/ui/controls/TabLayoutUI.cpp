#include "ui/controls/TabLayoutUI.h"

#include <cwchar>

#include "ui/core/WindowHostUI.h"
#include "ui/markup/SkinValues.h"
#include "ui/skin/WinGeometry.h"

namespace SkinUI {

const wchar_t* CTabLayoutUI::GetClass() const { return L"TabLayoutUI"; }

void* CTabLayoutUI::GetInterface(const wchar_t* name) {
  if (name && std::wcscmp(name, L"TabLayout") == 0) return this;
  return CContainerUI::GetInterface(name);
}

bool CTabLayoutUI::AddAt(CControlUI* control, int index) {
  if (!CContainerUI::AddAt(control, index)) return false;
  if (curSel_ == -1 && control->IsVisible()) {
    curSel_ = index;
    return true;
  }
  if (curSel_ != -1 && index <= curSel_) ++curSel_;
  control->SetVisible(false);
  return true;
}

bool CTabLayoutUI::RemoveAt(int index) {
  if (!CContainerUI::RemoveAt(index)) return false;
  if (index == curSel_) {
    curSel_ = GetCount() > 0 ? 0 : -1;
    if (curSel_ == 0) GetItemAt(0)->SetVisible(true);
    NeedParentUpdate();
  } else if (index < curSel_) {
    --curSel_;
  }
  return true;
}

void CTabLayoutUI::RemoveAll() {
  curSel_ = -1;
  CContainerUI::RemoveAll();
  NeedParentUpdate();
}

bool CTabLayoutUI::SelectItem(int index) {
  if (index == curSel_) return true;
  if (index < 0 || index >= GetCount()) return false;
  const int previous = curSel_;
  curSel_ = index;
  for (int i = 0; i < GetCount(); ++i) {
    CControlUI* item = items_[i];
    if (i == index) {
      item->SetVisible(true);
      item->SetFocus();
      SetPos(item_);
    } else {
      item->SetVisible(false);
    }
  }
  NeedParentUpdate();
  if (manager_) {
    manager_->SetNextTabControl();
    manager_->SendNotify(this, L"tabselect", static_cast<WPARAM>(curSel_),
                         static_cast<LPARAM>(previous));
  }
  return true;
}

void CTabLayoutUI::SetPos(RECT rect) {
  CControlUI::SetPos(rect);
  const RECT inner = InnerRect();
  for (int i = 0; i < GetCount(); ++i) {
    CControlUI* item = items_[i];
    if (!item->IsVisible()) continue;
    if (item->IsFloat()) {
      SetFloatPos(i);
      continue;
    }
    if (i != curSel_) continue;
    const TDisplayScale& scale = DisplayScale();
    const TRect padding = scale.Scale(ToTRect(item->GetPadding()));
    const TRect area = ShrinkRect(ToTRect(inner), padding);
    const SIZE estimated = item->EstimateSize(
        SIZE{ClampCoordinate(area.Width()), ClampCoordinate(area.Height())});
    const TRect placed =
        PlaceTabPage(ToTRect(inner), padding, ToTSize(estimated),
                     scale.Scale(TSize{item->GetMinWidth(), item->GetMinHeight()}),
                     scale.Scale(TSize{item->GetMaxWidth(), item->GetMaxHeight()}));
    item->SetPos(ToRECT(placed));
  }
}

void CTabLayoutUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (name && value && std::wcscmp(name, L"selectedid") == 0) {
    SelectItem(ParseInt(value));
    return;
  }
  CContainerUI::SetAttribute(name, value);
}

}  // namespace SkinUI
