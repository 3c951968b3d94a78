#include "ui/controls/ControlFactory.h"

#include <string>
#include <unordered_map>

#include "ui/controls/ButtonUI.h"
#include "ui/controls/EditUI.h"
#include "ui/controls/HorizontalLayoutUI.h"
#include "ui/controls/LabelUI.h"
#include "ui/controls/OptionUI.h"
#include "ui/controls/ProgressUI.h"
#include "ui/controls/TabLayoutUI.h"
#include "ui/controls/VerticalLayoutUI.h"
#include "ui/core/ContainerUI.h"

namespace SkinUI {

namespace {

template <typename T>
CControlUI* Make() {
  return new T();
}

}  // namespace

CControlUI* CControlFactory::CreateControl(const wchar_t* elementName) {
  if (!elementName) return nullptr;
  static const std::unordered_map<std::wstring, CControlUI* (*)()> kTable = {
      {L"Control", &Make<CControlUI>},
      {L"Container", &Make<CContainerUI>},
      {L"VerticalLayout", &Make<CVerticalLayoutUI>},
      {L"HorizontalLayout", &Make<CHorizontalLayoutUI>},
      {L"TabLayout", &Make<CTabLayoutUI>},
      {L"Label", &Make<CLabelUI>},
      {L"Button", &Make<CButtonUI>},
      {L"Option", &Make<COptionUI>},
      {L"Progress", &Make<CProgressUI>},
      {L"Edit", &Make<CEditUI>},
  };
  const auto found = kTable.find(elementName);
  return found == kTable.end() ? nullptr : found->second();
}

}  // namespace SkinUI
