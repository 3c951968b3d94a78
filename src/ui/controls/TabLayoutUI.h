// CTabLayoutUI: a container that shows one of its children at a time (the pages of a
// window). The first visible child added is selected; the others are hidden. SelectItem
// switches pages, moves the focus into the new page and sends "tabselect" (wParam the new
// index, lParam the previous one, -1 for none).
//
// Contract: user-interface thread; ownership and failures as for CContainerUI. SelectItem
// with an index outside 0..count-1 answers false and changes nothing.
#pragma once

#include "ui/core/ContainerUI.h"

namespace SkinUI {

class CTabLayoutUI : public CContainerUI {
 public:
  const wchar_t* GetClass() const override;
  void* GetInterface(const wchar_t* name) override;

  // Add and Remove come here too.
  bool AddAt(CControlUI* control, int index) override;
  bool RemoveAt(int index) override;
  void RemoveAll() override;

  int GetCurSel() const { return curSel_; }
  virtual bool SelectItem(int index);

  void SetPos(RECT rect) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;

 private:
  int curSel_ = -1;
};

}  // namespace SkinUI
