#include "ui/core/ContainerUI.h"

#include <cwchar>

#include "ui/core/WindowHostUI.h"
#include "ui/markup/SkinValues.h"
#include "ui/skin/RenderClip.h"
#include "ui/skin/WinGeometry.h"

namespace SkinUI {

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI() {
  delayedDestroy_ = false;
  RemoveAll();
}

const wchar_t* CContainerUI::GetClass() const { return L"ContainerUI"; }

void* CContainerUI::GetInterface(const wchar_t* name) {
  if (name && std::wcscmp(name, L"IContainer") == 0) return static_cast<IContainerUI*>(this);
  if (name && std::wcscmp(name, L"Container") == 0) return static_cast<CContainerUI*>(this);
  return CControlUI::GetInterface(name);
}

// --- Children -------------------------------------------------------------------------------

CControlUI* CContainerUI::GetItemAt(int index) const {
  if (index < 0 || index >= GetCount()) return nullptr;
  return items_[index];
}

int CContainerUI::GetItemIndex(CControlUI* control) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i] == control) return static_cast<int>(i);
  }
  return -1;
}

bool CContainerUI::SetItemIndex(CControlUI* control, int index) {
  const int from = GetItemIndex(control);
  if (from < 0 || index < 0 || index >= GetCount()) return false;
  items_.erase(items_.begin() + from);
  items_.insert(items_.begin() + index, control);
  NeedUpdate();
  return true;
}

int CContainerUI::GetCount() const { return static_cast<int>(items_.size()); }

bool CContainerUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CContainerUI::AddAt(CControlUI* control, int index) {
  if (!control || index < 0 || index > GetCount()) return false;
  if (manager_) manager_->InitControls(control, this);
  if (IsVisible()) {
    NeedUpdate();
  } else {
    control->SetInheritedVisible(false);
  }
  items_.insert(items_.begin() + index, control);
  return true;
}

bool CContainerUI::Remove(CControlUI* control) { return RemoveAt(GetItemIndex(control)); }

bool CContainerUI::RemoveAt(int index) {
  CControlUI* control = GetItemAt(index);
  if (!control) return false;
  NeedUpdate();
  items_.erase(items_.begin() + index);
  DestroyChild(control);
  return true;
}

void CContainerUI::RemoveAll() {
  // Children leave the list before they are destroyed: a child's destruction may look at
  // its siblings through the manager.
  std::vector<CControlUI*> removed;
  removed.swap(items_);
  for (CControlUI* control : removed) DestroyChild(control);
  NeedUpdate();
}

void CContainerUI::DestroyChild(CControlUI* control) {
  if (!autoDestroy_) return;
  if (delayedDestroy_ && manager_) {
    manager_->DeferDelete(control);
  } else {
    delete control;
  }
}

// --- Settings ---------------------------------------------------------------------------------

RECT CContainerUI::GetInset() const { return inset_; }

void CContainerUI::SetInset(RECT inset) {
  inset_ = ClampRect(inset);
  NeedUpdate();
}

int CContainerUI::GetChildPadding() const { return childPadding_; }

void CContainerUI::SetChildPadding(int padding) {
  childPadding_ = ClampCoordinate(padding);
  NeedUpdate();
}

bool CContainerUI::IsAutoDestroy() const { return autoDestroy_; }
void CContainerUI::SetAutoDestroy(bool on) { autoDestroy_ = on; }
bool CContainerUI::IsDelayedDestroy() const { return delayedDestroy_; }
void CContainerUI::SetDelayedDestroy(bool on) { delayedDestroy_ = on; }
bool CContainerUI::IsMouseChildEnabled() const { return mouseChildEnabled_; }
void CContainerUI::SetMouseChildEnabled(bool enabled) { mouseChildEnabled_ = enabled; }

void CContainerUI::SetManager(CWindowHostUI* manager, CControlUI* parent, bool init) {
  for (CControlUI* item : items_) item->SetManager(manager, this, init);
  CControlUI::SetManager(manager, parent, init);
}

void CContainerUI::SetVisible(bool visible) {
  if (visible_ == visible) return;
  CControlUI::SetVisible(visible);
  for (CControlUI* item : items_) item->SetInheritedVisible(IsVisible());
}

void CContainerUI::SetInheritedVisible(bool visible) {
  CControlUI::SetInheritedVisible(visible);
  for (CControlUI* item : items_) item->SetInheritedVisible(IsVisible());
}

void CContainerUI::SetMouseEnabled(bool enabled) {
  CControlUI::SetMouseEnabled(enabled);
  for (CControlUI* item : items_) item->SetMouseEnabled(enabled);
}

void CContainerUI::DoEvent(TControlEvent& event) {
  if (PassMouseEventOn(event)) return;
  if (event.type == kEventSetFocus) {
    focused_ = true;
    return;
  }
  if (event.type == kEventKillFocus) {
    focused_ = false;
    return;
  }
  CControlUI::DoEvent(event);
}

// --- Placement ----------------------------------------------------------------------------

RECT CContainerUI::InnerRect() const {
  return ToRECT(ShrinkRect(ToTRect(item_), DisplayScale().Scale(ToTRect(inset_))));
}

void CContainerUI::SetPos(RECT rect) {
  CControlUI::SetPos(rect);
  const RECT inner = InnerRect();
  for (size_t i = 0; i < items_.size(); ++i) {
    CControlUI* item = items_[i];
    if (!item->IsVisible()) continue;
    if (item->IsFloat()) {
      SetFloatPos(static_cast<int>(i));
    } else {
      item->SetPos(inner);
    }
  }
}

void CContainerUI::SetFloatPos(int index) {
  CControlUI* item = GetItemAt(index);
  if (!item || !item->IsVisible() || !item->IsFloat()) return;
  // Offset and size each scaled on their own, so that the control's own SetPos finds them
  // again exactly; the size a relative control last saw is kept at 96 dpi as well.
  const TDisplayScale& scale = DisplayScale();
  TRelativePos relative = item->GetRelativePos();
  relative.parentSize = scale.Scale(relative.parentSize);
  const TSize fixedSize{item->GetFixedWidth(), item->GetFixedHeight()};
  const TRect placed = PlaceFloating(ToTRect(item_), scale.Scale(ToTSize(item->GetFixedXY())),
                                     scale.Scale(fixedSize), relative);
  if (relative.relative) item->SetRelativeParentSize(ToSIZE(scale.Unscale(relative.parentSize)));
  item->SetPos(ToRECT(placed));
}

void CContainerUI::LayoutFlow(FlowAxis axis) {
  const TDisplayScale& scale = DisplayScale();
  std::vector<TFlowChild> flow;
  std::vector<CControlUI*> flowing;
  for (size_t i = 0; i < items_.size(); ++i) {
    CControlUI* item = items_[i];
    if (!item->IsVisible()) continue;
    if (item->IsFloat()) {
      SetFloatPos(static_cast<int>(i));
      continue;
    }
    TFlowChild child;
    child.padding = scale.Scale(ToTRect(item->GetPadding()));
    child.fixedSize = scale.Scale(TSize{item->GetFixedWidth(), item->GetFixedHeight()});
    child.minSize = scale.Scale(TSize{item->GetMinWidth(), item->GetMinHeight()});
    child.maxSize = scale.Scale(TSize{item->GetMaxWidth(), item->GetMaxHeight()});
    child.estimate = [item](TSize available) {
      return ToTSize(item->EstimateSize(ToSIZE(available)));
    };
    flow.push_back(std::move(child));
    flowing.push_back(item);
  }
  const TFlowResult placed =
      ComputeFlow(axis, ToTRect(InnerRect()), scale.Scale(childPadding_), 0, flow);
  for (size_t i = 0; i < flowing.size(); ++i) flowing[i]->SetPos(ToRECT(placed.rects[i]));
}

// --- Painting and search -------------------------------------------------------------------

void CContainerUI::DoPaint(HDC dc, const RECT& paint) {
  // Step 1: the container itself, within its item.
  RECT visible;
  if (!::IntersectRect(&visible, &paint, &item_)) return;
  CRenderClip itemClip(dc, visible);
  CControlUI::DoPaint(dc, paint);
  if (items_.empty()) return;
  RECT inner = InnerRect(), scratch;
  if (::IntersectRect(&scratch, &paint, &inner)) {
    // Step 2: flowing children stay inside the inner area; floating ones may use the whole
    // item rectangle.
    CRenderClip innerClip(dc, scratch);
    for (CControlUI* item : items_) {
      const RECT& pos = item->GetPos();
      if (!item->IsVisible() || !::IntersectRect(&scratch, &paint, &pos)) continue;
      if (item->IsFloat()) {
        if (!::IntersectRect(&scratch, &item_, &pos)) continue;
        CRenderClip widened(dc, itemClip);
        item->DoPaint(dc, paint);
      } else if (::IntersectRect(&scratch, &inner, &pos)) {
        item->DoPaint(dc, paint);
      }
    }
    return;
  }
  // Step 3: only the floating children can show outside the inner area.
  for (CControlUI* item : items_) {
    const RECT& pos = item->GetPos();
    if (!item->IsVisible() || !item->IsFloat()) continue;
    if (!::IntersectRect(&scratch, &paint, &pos) || !::IntersectRect(&scratch, &item_, &pos)) {
      continue;
    }
    item->DoPaint(dc, paint);
  }
}

void CContainerUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (!name || !value) return;
  if (std::wcscmp(name, L"inset") == 0) {
    SetInset(ToRECT(ParseRect(value)));
  } else if (std::wcscmp(name, L"childpadding") == 0) {
    SetChildPadding(ParseInt(value));
  } else if (std::wcscmp(name, L"mousechild") == 0) {
    SetMouseChildEnabled(ParseBool(value));
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

CControlUI* CContainerUI::FindControl(FindControlProc proc, void* data, UINT flags) {
  if ((flags & kFindVisible) && !IsVisible()) return nullptr;
  if ((flags & kFindEnabled) && !IsEnabled()) return nullptr;
  const bool hitTest = (flags & kFindHitTest) != 0;
  if (hitTest) {
    if (!RectContains(item_, *static_cast<const POINT*>(data))) return nullptr;
    if (!mouseChildEnabled_) return CControlUI::FindControl(proc, data, flags);
  }
  if (flags & kFindMeFirst) {
    if (CControlUI* found = CControlUI::FindControl(proc, data, flags)) return found;
  }
  if (!hitTest || RectContains(InnerRect(), *static_cast<const POINT*>(data))) {
    const bool topFirst = (flags & kFindTopFirst) != 0;
    const int count = GetCount();
    for (int n = 0; n < count && n < GetCount(); ++n) {
      CControlUI* item = items_[topFirst ? GetCount() - 1 - n : n];
      if (CControlUI* found = item->FindControl(proc, data, flags)) return found;
    }
  }
  if (flags & kFindMeFirst) return nullptr;
  return CControlUI::FindControl(proc, data, flags);
}

}  // namespace SkinUI
