#include "ui/controls/VerticalLayoutUI.h"

#include <cwchar>

namespace SkinUI {

const wchar_t* CVerticalLayoutUI::GetClass() const { return L"VerticalLayoutUI"; }

void* CVerticalLayoutUI::GetInterface(const wchar_t* name) {
  if (name && std::wcscmp(name, L"VerticalLayout") == 0) return this;
  return CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::SetPos(RECT rect) {
  CControlUI::SetPos(rect);
  LayoutFlow(FlowAxis::kVertical);
}

}  // namespace SkinUI
