// CProgressUI: a label showing a value between a minimum and a maximum. The background image
// shows the track; the fore image ("foreimage") is drawn over the filled part, stretched, cut
// from the image ("isstretchfore" false) or cut with rounded corners ("roundcorner").
//
//   state      image
//   any        "bkimage" over the whole bar, then "foreimage" over the filled part
//              (ProgressFillRect in ControlValues.h)
//
// Contract: user-interface thread; ownership as for CControlUI. SetValue ignores a value
// outside minimum..maximum (no clamping); the bounds are stored as given and read sensibly
// (a maximum not above the minimum counts as minimum + 1) when painting.
#pragma once

#include "ui/controls/LabelUI.h"

namespace SkinUI {

class CProgressUI : public CLabelUI {
 public:
  CProgressUI();

  const wchar_t* GetClass() const override;
  void* GetInterface(const wchar_t* name) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void PaintStatusImage(HDC dc) override;

  int GetMinValue() const { return min_; }
  void SetMinValue(int value);
  int GetMaxValue() const { return max_; }
  void SetMaxValue(int value);
  int GetValue() const { return value_; }
  void SetValue(int value);
  bool IsHorizontal() const { return horizontal_; }
  void SetHorizontal(bool horizontal = true);
  void SetForeImage(const wchar_t* image);

 private:
  bool horizontal_ = true, stretchForeImage_ = true, roundCorner_ = false;
  int max_ = 100, min_ = 0, value_ = 0;
  std::wstring modifier_;
};

}  // namespace SkinUI
