// CButtonUI: a label with state images that sends "click" when pressed and released inside
// it (or on Space / Return while it has the focus). Which image shows:
//
//   state      image                                   then
//   disabled   "disabledimage"                         "foreimage"
//   pushed     "pushedimage"                           the pushed fore image, else "foreimage"
//   hot        "hotimage" (none: fill "hotbkcolor")    "hotforeimage", else "foreimage"
//   focused    "focusedimage"                          "foreimage"
//   normal     "normalimage"                           "foreimage"
// A state whose image is missing shows the image of the next state down that applies. Once
// the player has used Tab, a focused button (or option) also wears the window's focus mark,
// a ring just outside it that the paint manager draws (WindowHostUI.h).
//
// Text: "pushedtextcolor" / "pushedfont" when pushed, else the hot ones when hot, else the
// focused ones when focused, else the label's colour and font.
//
// Contract: user-interface thread; ownership as for CControlUI. State changes show at once
// (there is no fade animation: "fadeeffect" has no effect).
#pragma once

#include "ui/controls/LabelUI.h"

namespace SkinUI {

// Bits of a button's state.
constexpr UINT kStateFocused = 0x01;
constexpr UINT kStateSelected = 0x02;
constexpr UINT kStateDisabled = 0x04;
constexpr UINT kStateHot = 0x08;
constexpr UINT kStatePushed = 0x10;
constexpr UINT kStateCaptured = 0x40;

// `state` with its hot bit set or cleared.
inline UINT WithHot(UINT state, bool hot) { return hot ? state | kStateHot : state & ~kStateHot; }

// `state` with its focused and disabled bits following the control's flags.
inline UINT WithFocusAndEnabled(UINT state, bool focused, bool enabled) {
  state = focused ? state | kStateFocused : state & ~kStateFocused;
  return enabled ? state & ~kStateDisabled : state | kStateDisabled;
}

class CButtonUI : public CLabelUI {
 public:
  CButtonUI();

  const wchar_t* GetClass() const override;
  void* GetInterface(const wchar_t* name) override;
  UINT GetControlFlags() const override;
  bool Activate() override;
  void SetEnabled(bool enabled = true) override;
  void DoEvent(TControlEvent& event) override;
  SIZE EstimateSize(SIZE available) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void PaintText(HDC dc) override;
  void PaintStatusImage(HDC dc) override;

  void SetNormalImage(const wchar_t* image);
  void SetHotImage(const wchar_t* image);
  void SetPushedImage(const wchar_t* image);
  void SetFocusedImage(const wchar_t* image);
  void SetDisabledImage(const wchar_t* image);
  void SetHotBkColor(uint32_t color);
  void SetHotTextColor(uint32_t color);
  void SetPushedTextColor(uint32_t color);
  void SetFocusedTextColor(uint32_t color);
  void SetPushedForeImage(const wchar_t* image);
  UINT GetButtonState() const { return buttonState_; }

 protected:
  // The text in the colour and font of the button's state; `color` (0: the window's default)
  // and `font` where the state has none of its own.
  void PaintStateText(HDC dc, uint32_t color, int font);

  UINT buttonState_ = 0;
  std::wstring normalImage_, hotImage_, pushedImage_, focusedImage_, disabledImage_;
  std::wstring hotForeImage_, pushedForeImage_;
  uint32_t hotBkColor_ = 0, hotTextColor_ = 0, pushedTextColor_ = 0, focusedTextColor_ = 0;
  int hotFont_ = -1, pushedFont_ = -1, focusedFont_ = -1;
};

}  // namespace SkinUI
