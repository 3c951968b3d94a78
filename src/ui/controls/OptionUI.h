// COptionUI: a button with a selected state, used as a check box ("opt_agree") or, with a
// "group", as one of several mutually exclusive choices. A click sends "click" and then
// toggles the option (or, in a group, selects it), which sends "selectchanged".
//
//   state            image                              then
//   selected, hot    "selectedhotimage"                 the option's "foreimage"
//   selected         "selectedimage" (none: fill "selectedbkcolor" and stop)
//   not selected     the button's images (never the pushed one)
//
// Text: "selectedtextcolor" and "selectedfont" replace the label's while selected.
//
// Contract: user-interface thread; ownership as for CControlUI. An option joins its group
// when it is handed its manager with init; the manager forgets it when it is destroyed.
#pragma once

#include "ui/controls/ButtonUI.h"

namespace SkinUI {

class COptionUI : public CButtonUI {
 public:
  const wchar_t* GetClass() const override;
  void* GetInterface(const wchar_t* name) override;
  void SetManager(CWindowHostUI* manager, CControlUI* parent, bool init = true) override;
  bool Activate() override;
  void SetEnabled(bool enabled = true) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void PaintStatusImage(HDC dc) override;
  void PaintText(HDC dc) override;

  bool IsSelected() const { return selected_; }
  virtual void Selected(bool selected);
  std::wstring GetGroup() const { return group_; }
  void SetGroup(const wchar_t* group);

 private:
  bool selected_ = false;
  std::wstring group_, selectedImage_, selectedHotImage_, optionForeImage_;
  uint32_t selectedBkColor_ = 0, selectedTextColor_ = 0;
  int selectedFont_ = -1;
};

}  // namespace SkinUI
