// The painting of CControlUI: background colour (plain or gradient), background image, the
// status image, text and border, in that order, clipped to the part being repainted.
#include "ui/core/ControlUI.h"
#include "ui/core/WindowHostUI.h"
#include "ui/markup/ControlValues.h"
#include "ui/skin/RenderClip.h"
#include "ui/skin/SkinPainter.h"
#include "ui/skin/WinGeometry.h"

namespace SkinUI {

namespace {

// Bands of a background gradient; enough that neighbouring bands differ by a shade or two.
constexpr int kGradientBands = 64;

void PaintGradient(HDC dc, const RECT& area, const RECT& paint, uint32_t from, uint32_t to) {
  ForEachGradientBand(ToTRect(area), from, to, kGradientBands,
                      [&](const TRect& band, uint32_t color) {
                        RECT visible;
                        const RECT r = ToRECT(band);
                        if (::IntersectRect(&visible, &r, &paint)) {
                          CSkinPainter::DrawColor(dc, visible, color);
                        }
                      });
}

}  // namespace

void CControlUI::DoPaint(HDC dc, const RECT& paint) {
  // Step 1: only the part of the item being repainted.
  if (!::IntersectRect(&paintRect_, &paint, &item_)) return;
  // Steps 2 and 3: a rounded border clips everything drawn inside it.
  if (borderRound_.cx >= 1 || borderRound_.cy >= 1) {
    const TSize round = DisplayScale().Scale(ToTSize(borderRound_));
    CRenderClip clip(dc, item_, round.cx, round.cy);
    PaintBkColor(dc);
    PaintBkImage(dc);
    PaintStatusImage(dc);
    PaintText(dc);
    PaintBorder(dc);
    return;
  }
  PaintBkColor(dc);
  PaintBkImage(dc);
  PaintStatusImage(dc);
  PaintText(dc);
  PaintBorder(dc);
}

void CControlUI::PaintBkColor(HDC dc) {
  if (bkColor_ == 0) return;
  const uint32_t c1 = GetAdjustColor(bkColor_);
  if (bkColor2_ != 0) {
    const uint32_t c2 = GetAdjustColor(bkColor2_);
    if (bkColor3_ != 0) {
      const int middle = (item_.top + item_.bottom) / 2;
      PaintGradient(dc, RECT{item_.left, item_.top, item_.right, middle}, paintRect_, c1, c2);
      PaintGradient(dc, RECT{item_.left, middle, item_.right, item_.bottom}, paintRect_, c2,
                    GetAdjustColor(bkColor3_));
    } else {
      PaintGradient(dc, item_, paintRect_, c1, c2);
    }
    return;
  }
  CSkinPainter::DrawColor(dc, (c1 >> 24) == 0xFF ? paintRect_ : item_, c1);
}

void CControlUI::PaintBkImage(HDC dc) { DrawImage(dc, bkImage_); }

void CControlUI::PaintStatusImage(HDC dc) { DrawImage(dc, foreImage_); }

void CControlUI::PaintText(HDC) {}

void CControlUI::PaintBorder(HDC dc) {
  // Step 1.
  if (borderColor_ == 0 && focusBorderColor_ == 0) return;
  const uint32_t color = GetAdjustColor(borderColor_);
  const uint32_t focusColor = GetAdjustColor(focusBorderColor_);
  const TDisplayScale& scale = DisplayScale();
  const int borderSize = scale.Scale(borderSize_);
  const TSize round = scale.Scale(ToTSize(borderRound_));
  const TRect sides = scale.Scale(ToTRect(borderSizes_));
  // Step 2: a rounded outline.
  if (borderSize > 0 && (borderRound_.cx > 0 || borderRound_.cy > 0)) {
    const bool focusLook = IsFocused() && focusBorderColor_ != 0;
    if (focusLook || borderColor_ != 0) {
      CSkinPainter::DrawRoundRect(dc, item_, borderSize, round.cx, round.cy,
                                  focusLook ? focusColor : color);
    }
    return;
  }
  // Step 3: the focus outline.
  if (IsFocused() && focusBorderColor_ != 0 && borderSize > 0) {
    CSkinPainter::DrawRect(dc, item_, borderSize, focusColor);
    return;
  }
  // Only a focus colour is set and the control has no focus: a colour of 0 means "none",
  // not black.
  if (borderColor_ == 0) return;
  // Step 4: one outline all round.
  if (borderSizes_.left < 1 && borderSizes_.top < 1 && borderSizes_.right < 1 &&
      borderSizes_.bottom < 1) {
    if (borderSize > 0) CSkinPainter::DrawRect(dc, item_, borderSize, color);
    return;
  }
  // Step 5: single sides. A pen of width w is centred on its line, so each line is moved
  // inward far enough to lie wholly within the item (whose right and bottom are exclusive).
  const RECT& r = item_;
  const int style = borderStyle_;
  if (const int w = sides.left; w > 0) {
    const int x = r.left + w / 2;
    CSkinPainter::DrawLine(dc, RECT{x, r.top, x, r.bottom}, w, color, style);
  }
  if (const int w = sides.top; w > 0) {
    const int y = r.top + w / 2;
    CSkinPainter::DrawLine(dc, RECT{r.left, y, r.right, y}, w, color, style);
  }
  if (const int w = sides.right; w > 0) {
    const int x = r.right - (w + 1) / 2;
    CSkinPainter::DrawLine(dc, RECT{x, r.top, x, r.bottom}, w, color, style);
  }
  if (const int w = sides.bottom; w > 0) {
    const int y = r.bottom - (w + 1) / 2;
    CSkinPainter::DrawLine(dc, RECT{r.left, y, r.right, y}, w, color, style);
  }
}

void CControlUI::DoPostPaint(HDC, const RECT&) {}

bool CControlUI::DrawImage(HDC dc, std::wstring& image, const wchar_t* modifier) {
  if (image.empty()) return false;
  if (!manager_ || !CSkinPainter::DrawImageString(dc, &manager_->GetResourceCache(), item_,
                                                  paintRect_, image.c_str(), modifier)) {
    image.clear();
    return false;
  }
  return true;
}

uint32_t CControlUI::GetAdjustColor(uint32_t color) const {
  // The adjustment is fixed at hue 180, saturation 100, lightness 100: the neutral setting,
  // which gives every colour back unchanged.
  return color;
}

void CControlUI::SetBkColor(uint32_t color) {
  if (bkColor_ == color) return;
  bkColor_ = color;
  Invalidate();
}

void CControlUI::SetBkImage(const wchar_t* image) {
  const wchar_t* value = image ? image : L"";
  if (bkImage_ == value) return;
  bkImage_ = value;
  Invalidate();
}

void CControlUI::SetBorderColor(uint32_t color) {
  if (borderColor_ == color) return;
  borderColor_ = color;
  Invalidate();
}

void CControlUI::SetBorderSize(int size) {
  if (borderSize_ == size) return;
  borderSize_ = size;
  Invalidate();
}

}  // namespace SkinUI
