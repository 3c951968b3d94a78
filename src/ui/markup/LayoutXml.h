// Layer markup (src/ui/markup), the lowest of the UI framework: reading the skin's text. The
// layout parser, the zip reader, UTF-8, the values of attributes (numbers, colours,
// rectangles) and the skin's files (folder or archive). Platform-free; it knows nothing of
// drawing, controls or windows, and every layer above reads its markup through it.
//
// CLayoutXml and CLayoutXmlNode: the in-place parser of the skin's layout files and the
// handles with which the dialog builder walks their elements and reads attributes.
//
// Contract: used on one thread (the user-interface thread). CLayoutXml owns one wide copy of
// the document, rewritten in place by the parse, and a flat table of element records; every
// name and value handed out points into that copy and stays valid until the next Load* or
// Release. Nodes are small copyable values that point back at their CLayoutXml, which must
// outlive them. Errors come back as a false result plus GetLastErrorMessage (one of the
// fixed texts below) and GetLastErrorLocation (the text where parsing stopped); nothing
// throws, and a failed load leaves no document (IsValid() is false).
//
// Only elements, double-quoted attributes, character data, the five character entities,
// comments and processing instructions are understood.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace SkinUI {

class CLayoutXml;

class CLayoutXmlNode {
 public:
  static constexpr int kMaxAttributes = 64;  // further attributes parse but stay unseen

  CLayoutXmlNode() = default;

  bool IsValid() const { return owner_ != nullptr; }
  CLayoutXmlNode GetChild() const;
  CLayoutXmlNode GetSibling() const;
  bool HasChildren() const;
  const wchar_t* GetName() const;

  int GetAttributeCount() const;
  bool HasAttributes() const { return GetAttributeCount() > 0; }
  // Empty text for an index outside 0 .. count-1.
  const wchar_t* GetAttributeName(int index) const;
  const wchar_t* GetAttributeValue(int index) const;
  // Copies the value of the first attribute named exactly `name` into `value`, which holds
  // `capacity` characters (at most capacity-1 are copied, then a terminator).
  bool GetAttributeValue(const wchar_t* name, wchar_t* value, size_t capacity = 500) const;

 private:
  friend class CLayoutXml;
  CLayoutXmlNode(const CLayoutXml* owner, uint32_t element) : owner_(owner), element_(element) {}
  void MapAttributes() const;

  struct TAttribute {
    uint32_t name;
    uint32_t value;
  };

  const CLayoutXml* owner_ = nullptr;
  uint32_t element_ = 0;
  mutable int32_t attributeCount_ = 0;  // 0: not mapped yet
  mutable TAttribute attributes_[kMaxAttributes] = {};
};

class CLayoutXml {
 public:
  CLayoutXml() = default;
  CLayoutXml(const CLayoutXml&) = delete;
  CLayoutXml& operator=(const CLayoutXml&) = delete;

  // Parses a copy of the zero-terminated `text`.
  bool Load(const wchar_t* text);
  // Parses UTF-8 bytes (a leading byte-order mark is skipped), whatever the document's own
  // encoding declaration says.
  bool LoadFromMem(const uint8_t* bytes, size_t size);
  // Reads the layout file `name` from the skin (CSkinStorage) and parses it.
  bool LoadFromFile(const wchar_t* name);
  void Release();

  bool IsValid() const { return text_ != nullptr; }
  CLayoutXmlNode GetRoot() const;
  const wchar_t* GetLastErrorMessage() const { return errorMessage_; }
  const wchar_t* GetLastErrorLocation() const { return errorLocation_; }
  void SetPreserveWhitespace(bool preserve) { preserveWhitespace_ = preserve; }

  // Layout files larger than this are refused.
  static constexpr size_t kMaxFileSize = 4u << 20;

 private:
  friend class CLayoutXmlNode;
  // One parse of the document (LayoutXml.cpp), which fills the element table.
  class Parser;

  struct TElement {
    uint32_t start;   // offset of the name
    uint32_t child;   // index of the first child, 0 for none
    uint32_t next;    // index of the next sibling, 0 for none
    uint32_t parent;  // index of the parent, 0 at the top level
    uint32_t data;    // offset of the character data
  };

  bool Parse(size_t length);
  bool Fail(const wchar_t* message, const wchar_t* location);

  std::unique_ptr<wchar_t[]> text_;
  std::vector<TElement> elements_;
  wchar_t errorMessage_[100] = {};
  wchar_t errorLocation_[50] = {};
  bool preserveWhitespace_ = true;
};

}  // namespace SkinUI
