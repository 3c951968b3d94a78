// CVerticalLayoutUI: a container that stacks its flowing children top to bottom,
// childpadding pixels apart; children with no fixed height share what the others leave
// (LayoutMath.h, ComputeFlow). Floating children are placed at their fixed offsets as in
// every container.
//
// Contract: user-interface thread; ownership and failures as for CContainerUI.
#pragma once

#include "ui/core/ContainerUI.h"

namespace SkinUI {

class CVerticalLayoutUI : public CContainerUI {
 public:
  const wchar_t* GetClass() const override;
  void* GetInterface(const wchar_t* name) override;
  void SetPos(RECT rect) override;
};

}  // namespace SkinUI
