#include "LayoutIndex.h"

#include "ui/SkinValues.h"

namespace skin_testing {

using SkinUI::CLayoutXml;
using SkinUI::CLayoutXmlNode;
using SkinUI::TRect;

std::wstring TLayoutElement::Attr(const std::wstring& name) const {
  for (const auto& a : attributes) {
    if (a.first == name) return a.second;
  }
  return L"";
}

bool TLayoutElement::Has(const std::wstring& name) const {
  for (const auto& a : attributes) {
    if (a.first == name) return true;
  }
  return false;
}

bool LayoutIndex::IsResourceElement(const std::wstring& type) {
  return type == L"Font" || type == L"Image" || type == L"Default";
}

bool LayoutIndex::Load(const wchar_t* file, std::wstring& error) {
  elements_.clear();
  CLayoutXml xml;
  if (!xml.LoadFromFile(file)) {
    error = std::wstring(xml.GetLastErrorMessage()) + L" at \"" + xml.GetLastErrorLocation() + L"\"";
    return false;
  }
  const CLayoutXmlNode root = xml.GetRoot();
  if (!root.IsValid()) {
    error = L"the layout holds no element";
    return false;
  }
  Add(root, -1);
  for (size_t i = 0; i < elements_.size(); ++i) Place(static_cast<int>(i));
  return true;
}

void LayoutIndex::Add(const CLayoutXmlNode& node, int parent) {
  TLayoutElement element;
  element.type = node.GetName();
  element.parent = parent;
  for (int i = 0; i < node.GetAttributeCount(); ++i) {
    element.attributes.emplace_back(node.GetAttributeName(i), node.GetAttributeValue(i));
  }
  const int index = static_cast<int>(elements_.size());
  elements_.push_back(std::move(element));
  if (parent >= 0) elements_[parent].children.push_back(index);
  for (CLayoutXmlNode child = node.GetChild(); child.IsValid(); child = child.GetSibling()) {
    Add(child, index);
  }
}

// Records are in document order, so a parent is always placed before its children.
void LayoutIndex::Place(int index) {
  TLayoutElement& e = elements_[index];
  if (index == 0) {
    const SkinUI::TSize size = SkinUI::ParseSize(e.Attr(L"size").c_str());
    e.item = TRect{0, 0, size.cx, size.cy};
    e.placed = true;
    return;
  }
  if (IsResourceElement(e.type)) return;
  const TLayoutElement& parent = elements_[e.parent];
  // The fixed offset and size, as "pos", "width" and "height" set them in document order.
  int x = 0, y = 0, w = 0, h = 0;
  for (const auto& a : e.attributes) {
    if (a.first == L"pos") {
      const TRect pos = SkinUI::ParseRect(a.second.c_str());
      x = pos.left >= 0 ? pos.left : pos.right;
      y = pos.top >= 0 ? pos.top : pos.bottom;
      if (pos.right - pos.left >= 0) w = pos.right - pos.left;
      if (pos.bottom - pos.top >= 0) h = pos.bottom - pos.top;
    } else if (a.first == L"width") {
      w = SkinUI::ParseInt(a.second.c_str());
    } else if (a.first == L"height") {
      h = SkinUI::ParseInt(a.second.c_str());
    }
  }
  const TRect& p = parent.item;
  if (e.IsFloat()) {
    const int left = x >= 0 ? p.left + x : p.right + x - w;
    const int top = y >= 0 ? p.top + y : p.bottom + y - h;
    e.item = TRect{left, top, left + w, top + h};
    e.placed = parent.placed;
  } else if (parent.type == L"VerticalLayout" || parent.type == L"HorizontalLayout") {
    e.item = TRect{p.left, p.top, p.left + (w ? w : static_cast<int>(p.Width())),
                   p.top + (h ? h : static_cast<int>(p.Height()))};
    e.placed = false;
  } else {
    const TRect inset = SkinUI::ParseRect(parent.Attr(L"inset").c_str());
    e.item = TRect{p.left + inset.left, p.top + inset.top, p.right - inset.right,
                   p.bottom - inset.bottom};
    e.placed = parent.placed;
  }
}

std::vector<int> LayoutIndex::Named(const std::wstring& name) const {
  std::vector<int> found;
  for (size_t i = 0; i < elements_.size(); ++i) {
    if (elements_[i].Has(L"name") && elements_[i].Attr(L"name") == name) {
      found.push_back(static_cast<int>(i));
    }
  }
  return found;
}

const TLayoutElement* LayoutIndex::Find(const std::wstring& name) const {
  const int index = IndexOf(name);
  return index < 0 ? nullptr : &elements_[index];
}

int LayoutIndex::IndexOf(const std::wstring& name) const {
  const std::vector<int> found = Named(name);
  return found.size() == 1 ? found[0] : -1;
}

std::vector<int> LayoutIndex::OfType(const std::wstring& type) const {
  std::vector<int> found;
  for (size_t i = 0; i < elements_.size(); ++i) {
    if (elements_[i].type == type) found.push_back(static_cast<int>(i));
  }
  return found;
}

bool LayoutIndex::IsAncestor(int ancestor, int index) const {
  for (int i = elements_[index].parent; i >= 0; i = elements_[i].parent) {
    if (i == ancestor) return true;
  }
  return false;
}

}  // namespace skin_testing
