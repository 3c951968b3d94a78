#include "ui/ControlFactory.h"

#include <string>
#include <unordered_map>

#include "ui/ButtonUI.h"
#include "ui/ContainerUI.h"
#include "ui/EditUI.h"
#include "ui/HorizontalLayoutUI.h"
#include "ui/LabelUI.h"
#include "ui/OptionUI.h"
#include "ui/ProgressUI.h"
#include "ui/TabLayoutUI.h"
#include "ui/VerticalLayoutUI.h"

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
