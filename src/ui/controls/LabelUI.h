// CLabelUI: static text in a control's rectangle, drawn with a colour, a font chosen by index
// and text style bits (ControlValues.h: left, centre, right, vertical centre, bottom, single
// line, end ellipsis) inside the rectangle shrunk by the text padding. Buttons, progress bars
// and edit boxes derive from it.
//
//   state      text colour
//   enabled    "textcolor", else the window's default text colour
//   disabled   "disabledtextcolor", else the window's default disabled colour
//
// Contract: user-interface thread; ownership as for CControlUI. Text effects ("enabledeffect"
// and the effect settings) only choose which text the label keeps: the effect text is drawn
// as plain text. "showhtml" is kept but the text is drawn as it is.
#pragma once

#include "ui/core/ControlUI.h"

namespace SkinUI {

class CLabelUI : public CControlUI {
 public:
  CLabelUI();

  const wchar_t* GetClass() const override;
  void* GetInterface(const wchar_t* name) override;

  void SetTextStyle(UINT style);
  UINT GetTextStyle() const { return textStyle_; }
  void SetTextColor(uint32_t color);
  uint32_t GetTextColor() const { return textColor_; }
  void SetDisabledTextColor(uint32_t color);
  uint32_t GetDisabledTextColor() const { return disabledTextColor_; }
  void SetFont(int index);
  int GetFont() const { return font_; }
  void SetTextPadding(RECT padding);
  RECT GetTextPadding() const { return textPadding_; }
  void SetShowHtml(bool show = true);
  bool IsShowHtml() const { return showHtml_; }
  void SetEnabledEffect(bool enabled);
  bool GetEnabledEffect() const { return enabledEffect_; }

  std::wstring GetText() const override;
  void SetText(const wchar_t* text) override;
  SIZE EstimateSize(SIZE available) override;
  void DoEvent(TControlEvent& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void PaintText(HDC dc) override;

 protected:
  // The item rectangle shrunk by the text padding.
  RECT TextRect() const;
  // The height of the label's font plus `extra`, for controls without a fixed height.
  SIZE EstimateWithFont(int extra) const;
  // `color`, or the window's default text colour when it is 0.
  uint32_t TextColorOrDefault(uint32_t color) const;
  uint32_t TextColorOrDefault() const { return TextColorOrDefault(textColor_); }
  uint32_t DisabledTextColorOrDefault() const;
  // Draws `text` in the text rectangle; no manager, nothing drawn.
  void DrawLabelText(HDC dc, const std::wstring& text, uint32_t color, int font, UINT style);

  uint32_t textColor_ = 0, disabledTextColor_ = 0;
  int font_ = -1;
  UINT textStyle_;
  RECT textPadding_ = {};
  bool showHtml_ = false, enabledEffect_ = false;
  std::wstring effectText_;
};

}  // namespace SkinUI
