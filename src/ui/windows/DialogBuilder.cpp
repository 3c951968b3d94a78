#include "ui/windows/DialogBuilder.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <utility>
#include <vector>

#include "ui/controls/ControlFactory.h"
#include "ui/core/ContainerUI.h"
#include "ui/markup/SkinValues.h"
#include "ui/skin/SkinModule.h"
#include "ui/skin/WinGeometry.h"

namespace SkinUI {

namespace {

constexpr size_t kValueCapacity = 500;

std::vector<CDialogBuilder::ControlCreator>& Creators() {
  static std::vector<CDialogBuilder::ControlCreator> creators;
  return creators;
}

// The value of attribute `name` (at most 499 characters), or `fallback` without one.
std::wstring Attribute(const CLayoutXmlNode& node, const wchar_t* name,
                       const wchar_t* fallback = L"") {
  wchar_t value[kValueCapacity] = L"";
  return node.GetAttributeValue(name, value, kValueCapacity) ? value : fallback;
}

// Deletes a control the tree has no place for. While its attributes were applied it (or a
// child) may have registered with the manager (an option its group): lent the manager again,
// it leaves that behind as it goes.
void Discard(CControlUI* control, CWindowHostUI* manager) {
  if (manager) control->SetManager(manager, nullptr, false);
  delete control;
}

bool Is(const wchar_t* text, const wchar_t* expected) {
  return text && std::wcscmp(text, expected) == 0;
}

// A resource named by decimal text is the numeric resource it spells.
const wchar_t* ResourceName(const wchar_t* layout) {
  if (IS_INTRESOURCE(layout) || !std::iswdigit(*layout)) return layout;
  return MAKEINTRESOURCEW(static_cast<WORD>(ParseInt(layout)));
}

// The "Window" attributes, by the kind of value each takes.
using SizeSetter = void (CWindowHostSettings::*)(int cx, int cy);
using RectSetter = void (CWindowHostSettings::*)(const RECT& rect);
using BoolSetter = void (CWindowHostSettings::*)(bool on);
using ColorSetter = void (CWindowHostSettings::*)(uint32_t color);

const std::pair<const wchar_t*, SizeSetter> kSizeSettings[] = {
    {L"roundcorner", &CWindowHostSettings::SetRoundCorner},
    {L"shadowcorner", &CWindowHostSettings::SetShadowCorner},
    {L"mininfo", &CWindowHostSettings::SetMinInfo},
    {L"maxinfo", &CWindowHostSettings::SetMaxInfo},
    {L"sizegrip", &CWindowHostSettings::SetSizeGrip},
};
const std::pair<const wchar_t*, RectSetter> kRectSettings[] = {
    {L"sizebox", &CWindowHostSettings::SetSizeBox},
    {L"caption", &CWindowHostSettings::SetCaptionRect},
    {L"shadowborder", &CWindowHostSettings::SetShadowBorder},
};
const std::pair<const wchar_t*, BoolSetter> kBoolSettings[] = {
    {L"showdirty", &CWindowHostSettings::SetShowUpdateRect},
    {L"bktrans", &CWindowHostSettings::SetBackgroundTransparent},
    {L"shadow", &CWindowHostSettings::SetShadowWanted},
    {L"selfshadow", &CWindowHostSettings::SetSelfShadow},
};
const std::pair<const wchar_t*, ColorSetter> kColorSettings[] = {
    {L"disabledfontcolor", &CWindowHostSettings::SetDefaultDisabledColor},
    {L"defaultfontcolor", &CWindowHostSettings::SetDefaultFontColor},
    {L"linkfontcolor", &CWindowHostSettings::SetDefaultLinkFontColor},
    {L"linkhoverfontcolor", &CWindowHostSettings::SetDefaultLinkHoverFontColor},
    {L"selectedcolor", &CWindowHostSettings::SetDefaultSelectedBkColor},
};

// Finds `name` in `settings` and hands `apply` its setter; false when it is not there.
template <typename Setter, size_t N, typename Apply>
bool ApplySetting(const std::pair<const wchar_t*, Setter> (&settings)[N], const wchar_t* name,
                  Apply apply) {
  for (const auto& setting : settings) {
    if (!Is(name, setting.first)) continue;
    apply(setting.second);
    return true;
  }
  return false;
}

void ApplyWindowAttribute(CWindowHostUI& manager, const wchar_t* name, const wchar_t* value) {
  CWindowHostSettings& settings = manager.Settings();
  const bool applied =
      ApplySetting(kSizeSettings, name,
                   [&](SizeSetter set) {
                     const TSize size = ParseSize(value);
                     (settings.*set)(size.cx, size.cy);
                   }) ||
      ApplySetting(kRectSettings, name,
                   [&](RectSetter set) { (settings.*set)(ToRECT(ParseRect(value))); }) ||
      ApplySetting(kBoolSettings, name,
                   [&](BoolSetter set) { (settings.*set)(ParseBool(value)); }) ||
      ApplySetting(kColorSettings, name,
                   [&](ColorSetter set) { (settings.*set)(ParseColor(value)); });
  if (applied) return;
  if (Is(name, L"size")) {
    const TSize size = ParseSize(value);
    manager.SetInitSize(size.cx, size.cy);
  } else if (Is(name, L"alpha")) {
    manager.SetTransparent(ParseInt(value));
  } else if (Is(name, L"shadowimage")) {
    settings.SetShadowImage(value);
  }
}

}  // namespace

CDialogBuilder::CDialogBuilder() = default;

void CDialogBuilder::AddControlCreator(ControlCreator creator) {
  auto& creators = Creators();
  if (creator && std::find(creators.begin(), creators.end(), creator) == creators.end()) {
    creators.push_back(creator);
  }
}

void CDialogBuilder::RemoveControlCreator(ControlCreator creator) {
  auto& creators = Creators();
  creators.erase(std::remove(creators.begin(), creators.end(), creator), creators.end());
}

CControlUI* CDialogBuilder::Create(const wchar_t* layout, const wchar_t* type,
                                   IDialogBuilderCallback* callback, CWindowHostUI* manager,
                                   CControlUI* parent) {
  return Build(layout, type, callback, manager, parent, 0);
}

CControlUI* CDialogBuilder::Build(const wchar_t* layout, const wchar_t* type,
                                  IDialogBuilderCallback* callback, CWindowHostUI* manager,
                                  CControlUI* parent, int depth) {
  callback_ = callback;
  depth_ = depth;
  // Step 1: the document.
  if (!Load(layout, type)) return nullptr;
  const CLayoutXmlNode root = xml_.GetRoot();
  if (!root.IsValid()) return nullptr;
  // Steps 2 and 3: the manager's resources and its window's settings.
  if (manager) {
    ApplyResources(root, *manager);
    if (Is(root.GetName(), L"Window") && manager->GetPaintWindow()) {
      ApplyWindowAttributes(root, *manager);
    }
  }
  // Step 4: the tree.
  return Parse(root.GetChild(), parent, manager);
}

bool CDialogBuilder::Load(const wchar_t* layout, const wchar_t* type) {
  xml_.Release();
  resourceType_.clear();
  if (!layout) return false;
  if (type) {
    if (!IS_INTRESOURCE(layout) && !*layout) return false;
    std::vector<uint8_t> bytes;
    if (!CSkinModule::LoadResourceBytes(ResourceName(layout), type, bytes)) return false;
    // "#23" is how a numeric type is written as text.
    resourceType_ = IS_INTRESOURCE(type)
                        ? L"#" + std::to_wstring(reinterpret_cast<uintptr_t>(type))
                        : std::wstring(type);
    return xml_.LoadFromMem(bytes.data(), bytes.size());
  }
  if (*layout == L'<') return xml_.Load(layout);
  return xml_.LoadFromFile(layout);
}

void CDialogBuilder::ApplyResources(const CLayoutXmlNode& root, CWindowHostUI& manager) {
  CSkinResourceCache& resources = manager.GetResourceCache();
  for (CLayoutXmlNode node = root.GetChild(); node.IsValid(); node = node.GetSibling()) {
    const wchar_t* element = node.GetName();
    if (Is(element, L"Image")) {
      const std::wstring name = Attribute(node, L"name");
      const std::wstring type = Attribute(node, L"restype");
      resources.AddImage(name.c_str(), type.empty() ? nullptr : type.c_str(),
                         ParseColor(Attribute(node, L"mask").c_str()));
    } else if (Is(element, L"Font")) {
      const std::wstring face = Attribute(node, L"name");
      const int size = ParseInt(Attribute(node, L"size", L"12").c_str());
      const bool bold = ParseBool(Attribute(node, L"bold").c_str());
      const bool underline = ParseBool(Attribute(node, L"underline").c_str());
      const bool italic = ParseBool(Attribute(node, L"italic").c_str());
      resources.AddFont(face.c_str(), size, bold, underline, italic);
      if (ParseBool(Attribute(node, L"default").c_str())) {
        resources.SetDefaultFont(face.c_str(), size, bold, underline, italic);
      }
    } else if (Is(element, L"Default")) {
      resources.AddDefaultAttributeList(Attribute(node, L"name").c_str(),
                                        Attribute(node, L"value").c_str());
    }
  }
}

void CDialogBuilder::ApplyWindowAttributes(const CLayoutXmlNode& root, CWindowHostUI& manager) {
  for (int i = 0; i < root.GetAttributeCount(); ++i) {
    ApplyWindowAttribute(manager, root.GetAttributeName(i), root.GetAttributeValue(i));
  }
}

CControlUI* CDialogBuilder::Parse(CLayoutXmlNode node, CControlUI* parent,
                                  CWindowHostUI* manager) {
  CControlUI* first = nullptr;
  for (; node.IsValid(); node = node.GetSibling()) {
    const wchar_t* element = node.GetName();
    // Step 1: resources were taken from the root's children already.
    if (Is(element, L"Image") || Is(element, L"Font") || Is(element, L"Default")) continue;
    // Step 2.
    if (Is(element, L"Include")) {
      Include(node, parent, manager, &first);
      continue;
    }
    // Step 3.
    CControlUI* control = CreateElement(element);
    if (!control) continue;
    // Step 4: the children first.
    if (node.HasChildren()) Parse(node.GetChild(), control, manager);
    // Step 5: the defaults, then the element's own attributes in document order, with
    // the manager lent for their sake. They come before the control joins its parent, so that
    // a parent already in a live tree registers the control under its final name.
    if (manager) {
      control->SetManager(manager, nullptr, false);
      if (const wchar_t* defaults = manager->GetResourceCache().GetDefaultAttributeList(element)) {
        control->ApplyAttributeList(defaults);
      }
    }
    for (int i = 0; i < node.GetAttributeCount(); ++i) {
      control->SetAttribute(node.GetAttributeName(i), node.GetAttributeValue(i));
    }
    if (manager) control->SetManager(nullptr, nullptr, false);
    // Step 6: into the parent.
    if (parent) {
      auto* container = static_cast<IContainerUI*>(parent->GetInterface(L"IContainer"));
      if (!container) {
        Discard(control, manager);
        return nullptr;
      }
      if (!container->Add(control)) {
        Discard(control, manager);
        continue;
      }
    }
    // Step 7. A second control at the top level would have no parent and no owner.
    if (!first) {
      first = control;
    } else if (!parent) {
      Discard(control, manager);
    }
  }
  return first;
}

void CDialogBuilder::Include(const CLayoutXmlNode& node, CControlUI* parent,
                             CWindowHostUI* manager, CControlUI** first) {
  const std::wstring source = Attribute(node, L"source");
  if (source.empty() || depth_ >= kMaxIncludeDepth) return;
  const int count = ParseInt(Attribute(node, L"count", L"1").c_str());
  const wchar_t* type = resourceType_.empty() ? nullptr : resourceType_.c_str();
  for (int i = 0; i < count; ++i) {
    CDialogBuilder builder;
    CControlUI* built = builder.Build(source.c_str(), type, callback_, manager, parent, depth_ + 1);
    if (!built) continue;
    if (!*first) {
      *first = built;
    } else if (!parent) {
      Discard(built, manager);
    }
  }
}

CControlUI* CDialogBuilder::CreateElement(const wchar_t* elementName) const {
  if (CControlUI* control = CControlFactory::CreateControl(elementName)) return control;
  for (ControlCreator creator : Creators()) {
    if (CControlUI* control = creator(elementName)) return control;
  }
  return callback_ ? callback_->CreateControl(elementName) : nullptr;
}

}  // namespace SkinUI
