// CControlFactory: makes the control that a layout element names ("Button" makes a
// CButtonUI): the element-name table shared by the dialog builder and by anything else that
// builds control trees from markup.
//
// Contract: any caller on the user-interface thread. The caller owns the new control (until
// it hands it to a container or a paint manager). An element name outside the table gives
// null, and the caller skips the element.
#pragma once

#include "ui/ControlUI.h"

namespace SkinUI {

class CControlFactory {
 public:
  // "Control", "Container", "VerticalLayout", "HorizontalLayout", "TabLayout", "Label",
  // "Button", "Option", "Progress", "Edit"; names are compared exactly.
  static CControlUI* CreateControl(const wchar_t* elementName);
};

}  // namespace SkinUI
