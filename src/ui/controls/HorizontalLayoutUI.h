// CHorizontalLayoutUI: a container that places its flowing children side by side, left to
// right, childpadding pixels apart; children with no fixed width share what the others
// leave (LayoutMath.h, ComputeFlow). Floating children are placed at their fixed offsets as
// in every container.
//
// Contract: user-interface thread; ownership and failures as for CContainerUI.
#pragma once

#include "ui/core/ContainerUI.h"

namespace SkinUI {

class CHorizontalLayoutUI : public CContainerUI {
 public:
  const wchar_t* GetClass() const override;
  void* GetInterface(const wchar_t* name) override;
  void SetPos(RECT rect) override;
};

}  // namespace SkinUI
