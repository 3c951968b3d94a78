// LayoutIndex: one of the skin's layout files, read by the real markup parser (CLayoutXml)
// and flattened into a table the skin tests can query: element types, attributes in
// document order, tree links, and the item rectangle of every control whose place the
// layout fixes.
//
// Contract: test helper, one thread. Load reads the layout through CSkinStorage (the archive
// or folder the test has set) and reports a load or parse failure as false, with the
// parser's message and location in `error`. The index owns copies of every string; it does
// not keep the parser alive.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "ui/LayoutXml.h"
#include "ui/SkinGeometry.h"

namespace skin_testing {

struct TLayoutElement {
  std::wstring type;  // the element's name: "Window", "Button", "Font", ...
  std::vector<std::pair<std::wstring, std::wstring>> attributes;
  int parent = -1;
  std::vector<int> children;
  // Where the window puts the control, in client coordinates. `placed` is true when the
  // layout fixes it: floating controls and controls that fill a floating or full-window
  // parent. Children of flowing layouts only know their size (item starts at the parent's
  // top left).
  SkinUI::TRect item;
  bool placed = false;

  // The attribute's value, "" when the element has none.
  std::wstring Attr(const std::wstring& name) const;
  bool Has(const std::wstring& name) const;
  bool IsFloat() const { return Attr(L"float") == L"true"; }
};

class LayoutIndex {
 public:
  bool Load(const wchar_t* file, std::wstring& error);

  // Element 0 is the document's root (the "Window" element).
  const std::vector<TLayoutElement>& elements() const { return elements_; }
  const TLayoutElement& at(int index) const { return elements_[index]; }
  const TLayoutElement& window() const { return elements_[0]; }

  // Indices of the elements named `name` (the "name" attribute), in document order.
  std::vector<int> Named(const std::wstring& name) const;
  // The one element named `name`; null when there is none or more than one.
  const TLayoutElement* Find(const std::wstring& name) const;
  int IndexOf(const std::wstring& name) const;
  std::vector<int> OfType(const std::wstring& type) const;
  bool IsAncestor(int ancestor, int index) const;

  // Font, Image and Default configure the window; every other element below it is a control.
  static bool IsResourceElement(const std::wstring& type);

 private:
  void Add(const SkinUI::CLayoutXmlNode& node, int parent);
  void Place(int index);

  std::vector<TLayoutElement> elements_;
};

}  // namespace skin_testing
