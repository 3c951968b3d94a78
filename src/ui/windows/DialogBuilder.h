// CDialogBuilder: builds a control tree from a layout (a skin file, markup text, or a
// resource of the program) and applies the layout's resources ("Image", "Font", "Default")
// and its "Window" settings to a window's paint manager.
//
//   <Window size="280,115" caption="0,0,0,35" ...>   settings of the manager's window
//     <Font name="..." size="12" default="true" />   fonts, images, default attribute lists
//     <VerticalLayout> ... </VerticalLayout>         the tree: the first control is the root
//     <Include source="part.xml" count="1" />        another layout built into the same parent
//   </Window>
//
// Contract: user-interface thread. The caller owns the tree it gets back (normally handing
// it to CWindowHostUI::AttachDialog, which also hands every control its manager); controls
// are built without a manager and only meet it while their attributes are applied, and
// again when the builder deletes one it has no place for (so that it leaves nothing
// registered with the manager, an option's group above all). The
// builder keeps the parsed document until the next Create or its destruction. A layout that
// cannot be loaded or parsed gives null (GetMarkup tells why); unknown elements are
// skipped; nothing throws. The callback and the manager are not owned.
#pragma once

#include <windows.h>

#include <string>

#include "ui/core/ControlUI.h"
#include "ui/core/WindowHostUI.h"
#include "ui/markup/LayoutXml.h"

namespace SkinUI {

// Makes the controls of elements outside the built-in table (a dialog's own classes).
class IDialogBuilderCallback {
 public:
  virtual CControlUI* CreateControl(const wchar_t* className) = 0;

 protected:
  ~IDialogBuilderCallback() = default;
};

class CDialogBuilder {
 public:
  // Asked for elements outside the built-in table before the builder's callback is.
  using ControlCreator = CControlUI* (*)(const wchar_t* elementName);

  CDialogBuilder();
  CDialogBuilder(const CDialogBuilder&) = delete;
  CDialogBuilder& operator=(const CDialogBuilder&) = delete;

  // `layout` is markup text when it starts with '<'; with a resource `type` it is the
  // resource's id (MAKEINTRESOURCE or decimal text) or name; otherwise a skin file name.
  // Returns the first control built at the top level.
  CControlUI* Create(const wchar_t* layout, const wchar_t* type = nullptr,
                     IDialogBuilderCallback* callback = nullptr,
                     CWindowHostUI* manager = nullptr, CControlUI* parent = nullptr);

  const CLayoutXml& GetMarkup() const { return xml_; }

  static void AddControlCreator(ControlCreator creator);
  static void RemoveControlCreator(ControlCreator creator);

  // Includes deeper than this are skipped: a layout that includes itself ends there.
  static constexpr int kMaxIncludeDepth = 8;

 private:
  CControlUI* Build(const wchar_t* layout, const wchar_t* type, IDialogBuilderCallback* callback,
                    CWindowHostUI* manager, CControlUI* parent, int depth);
  bool Load(const wchar_t* layout, const wchar_t* type);
  void ApplyResources(const CLayoutXmlNode& root, CWindowHostUI& manager);
  void ApplyWindowAttributes(const CLayoutXmlNode& root, CWindowHostUI& manager);
  // Builds the elements from `first` on into `parent`; the first control built, or null
  // when the parent cannot hold children.
  CControlUI* Parse(CLayoutXmlNode first, CControlUI* parent, CWindowHostUI* manager);
  void Include(const CLayoutXmlNode& node, CControlUI* parent, CWindowHostUI* manager,
               CControlUI** first);
  CControlUI* CreateElement(const wchar_t* elementName) const;

  CLayoutXml xml_;
  std::wstring resourceType_;  // the type of the resource loaded last; empty for the rest
  IDialogBuilderCallback* callback_ = nullptr;
  int depth_ = 0;
};

}  // namespace SkinUI
