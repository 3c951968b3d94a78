// Layer controls (src/ui/controls), above core: the concrete controls (labels, buttons,
// options, progress bars, edit boxes with their native edit window), the layouts, and the
// factory that makes them from element names. Each is a CControlUI painted through the skin;
// none knows the dialog windows that hold them.
//
// CControlFactory: makes the control that a layout element names ("Button" makes a
// CButtonUI): the element-name table shared by the dialog builder and by anything else that
// builds control trees from markup.
//
// Contract: any caller on the user-interface thread. The caller owns the new control (until
// it hands it to a container or a paint manager). An element name outside the table gives
// null, and the caller skips the element.
#pragma once

#include "ui/core/ControlUI.h"

namespace SkinUI {

class CControlFactory {
 public:
  // "Control", "Container", "VerticalLayout", "HorizontalLayout", "TabLayout", "Label",
  // "Button", "Option", "Progress", "Edit"; names are compared exactly.
  static CControlUI* CreateControl(const wchar_t* elementName);
};

}  // namespace SkinUI
