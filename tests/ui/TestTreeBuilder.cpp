#include "TestTreeBuilder.h"

#include <cwchar>

#include "ui/ContainerUI.h"
#include "ui/ControlFactory.h"
#include "ui/LayoutXml.h"
#include "ui/SkinValues.h"

using SkinUI::CControlUI;
using SkinUI::CLayoutXmlNode;
using SkinUI::CWindowHostUI;

namespace testing_support {

namespace {

std::wstring Attribute(const CLayoutXmlNode& node, const wchar_t* name) {
  wchar_t value[500] = L"";
  return node.GetAttributeValue(name, value, 500) ? value : L"";
}

void ApplyResources(const CLayoutXmlNode& node, CWindowHostUI& host) {
  const std::wstring element = node.GetName();
  if (element == L"Font") {
    const std::wstring size = Attribute(node, L"size");
    const int pixels = size.empty() ? 12 : SkinUI::ParseInt(size.c_str());
    const bool bold = SkinUI::ParseBool(Attribute(node, L"bold").c_str());
    const std::wstring face = Attribute(node, L"name");
    host.AddFont(face.c_str(), pixels, bold, false, false);
    if (SkinUI::ParseBool(Attribute(node, L"default").c_str())) {
      host.SetDefaultFont(face.c_str(), pixels, bold, false, false);
    }
  } else if (element == L"Default") {
    host.AddDefaultAttributeList(Attribute(node, L"name").c_str(),
                                 Attribute(node, L"value").c_str());
  }
}

CControlUI* BuildChildren(const CLayoutXmlNode& first, CControlUI* parent, CWindowHostUI& host) {
  CControlUI* result = nullptr;
  for (CLayoutXmlNode node = first; node.IsValid(); node = node.GetSibling()) {
    const std::wstring element = node.GetName();
    if (element == L"Font" || element == L"Default") continue;
    CControlUI* control = SkinUI::CControlFactory::CreateControl(element.c_str());
    if (!control) continue;
    if (node.HasChildren()) BuildChildren(node.GetChild(), control, host);
    if (parent) {
      auto* container = static_cast<SkinUI::IContainerUI*>(parent->GetInterface(L"IContainer"));
      if (!container || !container->Add(control)) {
        delete control;
        continue;
      }
    }
    control->SetManager(&host, nullptr, false);
    if (const wchar_t* defaults = host.GetDefaultAttributeList(element.c_str())) {
      control->ApplyAttributeList(defaults);
    }
    for (int i = 0; i < node.GetAttributeCount(); ++i) {
      control->SetAttribute(node.GetAttributeName(i), node.GetAttributeValue(i));
    }
    control->SetManager(nullptr, nullptr, false);
    if (!result) result = control;
  }
  return result;
}

}  // namespace

CControlUI* BuildTree(const wchar_t* markup, CWindowHostUI& host) {
  SkinUI::CLayoutXml xml;
  if (!xml.Load(markup)) return nullptr;
  const CLayoutXmlNode root = xml.GetRoot();
  if (!root.IsValid()) return nullptr;
  if (std::wcscmp(root.GetName(), L"Window") != 0) return BuildChildren(root, nullptr, host);
  for (CLayoutXmlNode node = root.GetChild(); node.IsValid(); node = node.GetSibling()) {
    ApplyResources(node, host);
  }
  return BuildChildren(root.GetChild(), nullptr, host);
}

}  // namespace testing_support
