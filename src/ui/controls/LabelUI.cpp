#include "ui/controls/LabelUI.h"

#include <cwchar>

#include "ui/core/WindowHostUI.h"
#include "ui/markup/ControlValues.h"
#include "ui/markup/SkinValues.h"
#include "ui/skin/SkinPainter.h"
#include "ui/skin/WinGeometry.h"

namespace SkinUI {

CLabelUI::CLabelUI() : textStyle_(kTextVCenter) {}

const wchar_t* CLabelUI::GetClass() const { return L"LabelUI"; }

void* CLabelUI::GetInterface(const wchar_t* name) {
  if (name && std::wcscmp(name, L"Label") == 0) return this;
  return CControlUI::GetInterface(name);
}

void CLabelUI::SetTextStyle(UINT style) {
  textStyle_ = style;
  Invalidate();
}

void CLabelUI::SetTextColor(uint32_t color) {
  textColor_ = color;
  Invalidate();
}

void CLabelUI::SetDisabledTextColor(uint32_t color) {
  disabledTextColor_ = color;
  Invalidate();
}

void CLabelUI::SetFont(int index) {
  font_ = index;
  Invalidate();
}

void CLabelUI::SetTextPadding(RECT padding) {
  textPadding_ = ClampRect(padding);
  Invalidate();
}

void CLabelUI::SetShowHtml(bool show) {
  if (showHtml_ == show) return;
  showHtml_ = show;
  Invalidate();
}

void CLabelUI::SetEnabledEffect(bool enabled) { enabledEffect_ = enabled; }

std::wstring CLabelUI::GetText() const {
  return enabledEffect_ ? effectText_ : CControlUI::GetText();
}

void CLabelUI::SetText(const wchar_t* text) {
  if (!enabledEffect_) {
    CControlUI::SetText(text);
    return;
  }
  effectText_ = text ? text : L"";
  Invalidate();
}

SIZE CLabelUI::EstimateWithFont(int extra) const {
  const TSize fixed = DisplayScale().Scale(ToTSize(fixedSize_));
  if (fixed.cy != 0 || !manager_) return ToSIZE(fixed);
  const TFontRecord* font = manager_->GetResourceCache().GetFontInfo(font_);
  return SIZE{fixed.cx, (font ? font->metrics.tmHeight : 0) + DisplayScale().Scale(extra)};
}

SIZE CLabelUI::EstimateSize(SIZE) { return EstimateWithFont(4); }

void CLabelUI::DoEvent(TControlEvent& event) {
  // A label shows no focus: the flag changes without a repaint.
  if (event.type == kEventSetFocus || event.type == kEventKillFocus) {
    focused_ = event.type == kEventSetFocus;
    return;
  }
  CControlUI::DoEvent(event);
}

void CLabelUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  if (!name || !value) return;
  if (std::wcscmp(name, L"align") == 0) {
    SetTextStyle(ApplyAlignWords(textStyle_, value));
  } else if (std::wcscmp(name, L"endellipsis") == 0) {
    SetTextStyle(ParseBool(value) ? textStyle_ | kTextEndEllipsis : textStyle_ & ~kTextEndEllipsis);
  } else if (std::wcscmp(name, L"font") == 0) {
    SetFont(ParseInt(value));
  } else if (std::wcscmp(name, L"textcolor") == 0) {
    SetTextColor(ParseColor(value));
  } else if (std::wcscmp(name, L"disabledtextcolor") == 0) {
    SetDisabledTextColor(ParseColor(value));
  } else if (std::wcscmp(name, L"textpadding") == 0) {
    SetTextPadding(ToRECT(ParseRect(value)));
  } else if (std::wcscmp(name, L"showhtml") == 0) {
    SetShowHtml(ParseBool(value));
  } else if (std::wcscmp(name, L"enabledeffect") == 0) {
    SetEnabledEffect(ParseBool(value));
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

RECT CLabelUI::TextRect() const {
  return ToRECT(ShrinkRect(ToTRect(item_), DisplayScale().Scale(ToTRect(textPadding_))));
}

uint32_t CLabelUI::TextColorOrDefault(uint32_t color) const {
  return color != 0 ? color : manager_ ? manager_->Settings().GetDefaultFontColor() : 0xFF000000;
}

uint32_t CLabelUI::DisabledTextColorOrDefault() const {
  if (disabledTextColor_ != 0) return disabledTextColor_;
  return manager_ ? manager_->Settings().GetDefaultDisabledColor() : 0xFFA7A6AA;
}

void CLabelUI::DrawLabelText(HDC dc, const std::wstring& text, uint32_t color, int font,
                             UINT style) {
  if (!manager_) return;
  RECT rect = TextRect();
  CSkinPainter::DrawText(dc, &manager_->GetResourceCache(), rect, text.c_str(), color, font, style,
                         manager_->Settings().IsBackgroundTransparent());
}

void CLabelUI::PaintText(HDC dc) {
  const std::wstring text = GetText();
  if (text.empty()) return;
  DrawLabelText(dc, text, IsEnabled() ? TextColorOrDefault() : DisabledTextColorOrDefault(), font_,
                textStyle_ | kTextSingleLine);
}

}  // namespace SkinUI
