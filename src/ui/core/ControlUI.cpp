#include "ui/core/ControlUI.h"

#include <cwchar>

#include "ui/core/WindowHostUI.h"
#include "ui/markup/ControlValues.h"
#include "ui/skin/WinGeometry.h"

namespace SkinUI {

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
  OnDestroy.Run(*this);
  if (manager_) manager_->DeleteDeferred(this);
}

std::wstring CControlUI::GetName() const { return name_; }

void CControlUI::SetName(const wchar_t* name) { name_ = name ? name : L""; }

const wchar_t* CControlUI::GetClass() const { return L"ControlUI"; }

void* CControlUI::GetInterface(const wchar_t* name) {
  if (name && std::wcscmp(name, L"Control") == 0) return this;
  return nullptr;
}

UINT CControlUI::GetControlFlags() const { return 0; }

bool CControlUI::Activate() { return IsVisible() && IsEnabled(); }

CWindowHostUI* CControlUI::GetManager() const { return manager_; }

void CControlUI::SetManager(CWindowHostUI* manager, CControlUI* parent, bool init) {
  manager_ = manager;
  parent_ = parent;
  if (init && parent_) Init();
}

CControlUI* CControlUI::GetParent() const { return parent_; }

std::wstring CControlUI::GetText() const { return text_; }

void CControlUI::SetText(const wchar_t* text) {
  const wchar_t* value = text ? text : L"";
  if (text_ == value) return;
  text_ = value;
  Invalidate();
}

// --- Position ---------------------------------------------------------------------------

const RECT& CControlUI::GetPos() const { return item_; }

void CControlUI::SetPos(RECT rect) {
  // Steps 1-3: a well-formed rectangle replaces the old one, which is repainted too.
  rect = ToRECT(NormalizeRect(ToTRect(rect)));
  RECT dirty = ::IsRectEmpty(&item_) ? rect : item_;
  item_ = rect;
  if (!manager_) return;
  // Step 4: size hooks run once, even when they move the control again.
  if (!insidePosChange_) {
    insidePosChange_ = true;
    OnSize.Run(*this);
    insidePosChange_ = false;
  }
  // Step 5: a floating control remembers where it now is (at 96 dpi, as it was given).
  if (float_ && parent_) {
    TSize xy = ToTSize(fixedXY_), size = ToTSize(fixedSize_);
    FloatingFixedFromItem(ToTRect(parent_->GetPos()), ToTRect(item_), xy, size);
    fixedXY_ = ToSIZE(DisplayScale().Unscale(xy));
    fixedSize_ = ToSIZE(DisplayScale().Unscale(size));
  }
  // Step 6: repaint the old and the new place, as far as the ancestors show them.
  updateNeeded_ = false;
  ::UnionRect(&dirty, &dirty, &item_);
  dirty = VisibleRect(dirty);
  if (!::IsRectEmpty(&dirty)) manager_->Invalidate(dirty);
}

RECT CControlUI::VisibleRect(RECT rect) const {
  for (const CControlUI* p = parent_; p; p = p->GetParent()) {
    const RECT& bounds = p->GetPos();
    if (!::IntersectRect(&rect, &rect, &bounds)) return RECT{};
  }
  return rect;
}

int CControlUI::GetWidth() const { return item_.right - item_.left; }
int CControlUI::GetHeight() const { return item_.bottom - item_.top; }
int CControlUI::GetX() const { return item_.left; }
int CControlUI::GetY() const { return item_.top; }
RECT CControlUI::GetPadding() const { return padding_; }

void CControlUI::SetPadding(RECT padding) {
  padding_ = ClampRect(padding);
  NeedParentUpdate();
}

SIZE CControlUI::GetFixedXY() const { return fixedXY_; }

void CControlUI::SetFixedXY(SIZE xy) {
  fixedXY_ = SIZE{ClampCoordinate(xy.cx), ClampCoordinate(xy.cy)};
  if (!float_) NeedParentUpdate();
  else NeedUpdate();
}

int CControlUI::GetFixedWidth() const { return fixedSize_.cx; }

void CControlUI::SetFixedWidth(int cx) {
  if (cx < 0) return;
  fixedSize_.cx = ClampCoordinate(cx);
  if (!float_) NeedParentUpdate();
  else NeedUpdate();
}

int CControlUI::GetFixedHeight() const { return fixedSize_.cy; }

void CControlUI::SetFixedHeight(int cy) {
  if (cy < 0) return;
  fixedSize_.cy = ClampCoordinate(cy);
  if (!float_) NeedParentUpdate();
  else NeedUpdate();
}

void CControlUI::SetSizeLimit(LONG& field, int value) {
  if (field == value || value < 0) return;
  field = ClampCoordinate(value);
  NeedParentUpdate();
}

int CControlUI::GetMinWidth() const { return minSize_.cx; }
void CControlUI::SetMinWidth(int cx) { SetSizeLimit(minSize_.cx, cx); }
int CControlUI::GetMaxWidth() const { return maxSize_.cx; }
void CControlUI::SetMaxWidth(int cx) { SetSizeLimit(maxSize_.cx, cx); }
int CControlUI::GetMinHeight() const { return minSize_.cy; }
void CControlUI::SetMinHeight(int cy) { SetSizeLimit(minSize_.cy, cy); }
int CControlUI::GetMaxHeight() const { return maxSize_.cy; }
void CControlUI::SetMaxHeight(int cy) { SetSizeLimit(maxSize_.cy, cy); }

void CControlUI::SetRelativePos(SIZE move, SIZE zoom) {
  relativePos_.relative = true;
  relativePos_.move = ToTSize(move);
  relativePos_.zoom = ToTSize(zoom);
  relativePos_.parentSize = parent_ ? TSize{parent_->GetWidth(), parent_->GetHeight()} : TSize{};
}

void CControlUI::SetRelativeParentSize(SIZE size) { relativePos_.parentSize = ToTSize(size); }

TRelativePos CControlUI::GetRelativePos() const { return relativePos_; }

bool CControlUI::IsRelativePos() const { return relativePos_.relative; }

// --- Tooltip, shortcut, menu, user data -----------------------------------------------------

std::wstring CControlUI::GetToolTip() const { return tooltip_; }
void CControlUI::SetToolTip(const wchar_t* text) { tooltip_ = ExpandLineBreaks(text); }
void CControlUI::SetToolTipWidth(int width) { tooltipWidth_ = width; }
int CControlUI::GetToolTipWidth() const { return tooltipWidth_; }
wchar_t CControlUI::GetShortcut() const { return shortcut_; }
void CControlUI::SetShortcut(wchar_t ch) { shortcut_ = ch; }
bool CControlUI::IsContextMenuUsed() const { return menuUsed_; }
void CControlUI::SetContextMenuUsed(bool used) { menuUsed_ = used; }
std::wstring CControlUI::GetUserData() const { return userData_; }
void CControlUI::SetUserData(const wchar_t* text) { userData_ = text ? text : L""; }
UINT_PTR CControlUI::GetTag() const { return tag_; }
void CControlUI::SetTag(UINT_PTR tag) { tag_ = tag; }

// --- State ---------------------------------------------------------------------------------

bool CControlUI::IsVisible() const { return visible_ && internVisible_; }

void CControlUI::SetVisible(bool visible) {
  if (visible_ == visible) return;
  const bool wasVisible = IsVisible();
  visible_ = visible;
  focused_ = false;
  if (!visible && manager_ && manager_->GetFocus() == this) manager_->SetFocus(nullptr);
  if (IsVisible() != wasVisible) NeedParentUpdate();
}

void CControlUI::SetInheritedVisible(bool visible) {
  internVisible_ = visible;
  if (!visible) focused_ = false;
  if (!visible && manager_ && manager_->GetFocus() == this) manager_->SetFocus(nullptr);
}

bool CControlUI::IsEnabled() const { return enabled_; }

void CControlUI::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Invalidate();
}

bool CControlUI::IsMouseEnabled() const { return mouseEnabled_; }
void CControlUI::SetMouseEnabled(bool enabled) { mouseEnabled_ = enabled; }
bool CControlUI::IsKeyboardEnabled() const { return keyboardEnabled_; }
void CControlUI::SetKeyboardEnabled(bool enabled) { keyboardEnabled_ = enabled; }
bool CControlUI::IsFocused() const { return focused_; }

void CControlUI::SetFocus() {
  if (manager_) manager_->SetFocus(this);
}

bool CControlUI::IsFloat() const { return float_; }

void CControlUI::SetFloat(bool floating) {
  if (float_ == floating) return;
  float_ = floating;
  NeedParentUpdate();
}

CControlUI* CControlUI::FindControl(FindControlProc proc, void* data, UINT flags) {
  if ((flags & kFindVisible) && !IsVisible()) return nullptr;
  if ((flags & kFindEnabled) && !IsEnabled()) return nullptr;
  if ((flags & kFindHitTest) &&
      (!mouseEnabled_ || !RectContains(item_, *static_cast<const POINT*>(data)))) {
    return nullptr;
  }
  return proc(this, data);
}

void CControlUI::Invalidate() {
  if (!IsVisible() || !manager_) return;
  const RECT dirty = VisibleRect(item_);
  if (!::IsRectEmpty(&dirty)) manager_->Invalidate(dirty);
}

void CControlUI::Init() {
  DoInit();
  OnInit.Run(*this);
}

void CControlUI::DoInit() {}

void CControlUI::Event(TControlEvent& event) {
  if (OnEvent.Run(event)) DoEvent(event);
}

void CControlUI::DoEvent(TControlEvent& event) {
  switch (event.type) {
    case kEventSetCursor:
      ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
      return;
    case kEventSetFocus:
      focused_ = true;
      Invalidate();
      return;
    case kEventKillFocus:
      focused_ = false;
      Invalidate();
      return;
    case kEventTimer:
      if (manager_) manager_->SendNotify(this, L"timer", event.wParam, event.lParam);
      return;
    case kEventContextMenu:
      if (IsContextMenuUsed()) {
        if (manager_) manager_->SendNotify(this, L"menu", event.wParam, event.lParam);
        return;
      }
      break;
    default:
      break;
  }
  if (parent_) parent_->DoEvent(event);
}

bool CControlUI::PassMouseEventOn(TControlEvent& event) {
  if (IsMouseEnabled() || !IsMouseEvent(event.type)) return false;
  if (parent_) {
    parent_->DoEvent(event);
  } else {
    CControlUI::DoEvent(event);
  }
  return true;
}

SIZE CControlUI::EstimateSize(SIZE) { return ToSIZE(DisplayScale().Scale(ToTSize(fixedSize_))); }

const TDisplayScale& CControlUI::DisplayScale() const {
  static const TDisplayScale kUnscaled;
  return manager_ ? manager_->GetDisplayScale() : kUnscaled;
}

void CControlUI::NeedUpdate() {
  if (!IsVisible()) return;
  updateNeeded_ = true;
  Invalidate();
  if (manager_) manager_->NeedUpdate();
}

void CControlUI::NeedParentUpdate() {
  if (parent_) {
    parent_->NeedUpdate();
    parent_->Invalidate();
  } else {
    NeedUpdate();
  }
  if (manager_) manager_->NeedUpdate();
}

std::wstring CControlUI::GetVirtualWnd() const {
  for (const CControlUI* c = this; c; c = c->GetParent()) {
    if (!c->virtualWnd_.empty()) return c->virtualWnd_;
  }
  return std::wstring();
}

}  // namespace SkinUI
