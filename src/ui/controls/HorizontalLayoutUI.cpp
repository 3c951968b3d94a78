#include "ui/controls/HorizontalLayoutUI.h"

#include <cwchar>

namespace SkinUI {

const wchar_t* CHorizontalLayoutUI::GetClass() const { return L"HorizontalLayoutUI"; }

void* CHorizontalLayoutUI::GetInterface(const wchar_t* name) {
  if (name && std::wcscmp(name, L"HorizontalLayout") == 0) return this;
  return CContainerUI::GetInterface(name);
}

void CHorizontalLayoutUI::SetPos(RECT rect) {
  CControlUI::SetPos(rect);
  LayoutFlow(FlowAxis::kHorizontal);
}

}  // namespace SkinUI
