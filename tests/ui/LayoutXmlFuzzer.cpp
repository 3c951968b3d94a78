// Fuzz target: any bytes as a layout file. Parsing and walking every node and attribute
// must neither crash nor read outside the document.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ui/markup/LayoutXml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SkinUI::CLayoutXml xml;
  xml.SetPreserveWhitespace(size > 0 && (data[size - 1] & 1));
  if (!xml.LoadFromMem(data, size)) return 0;
  std::vector<SkinUI::CLayoutXmlNode> pending;
  if (xml.GetRoot().IsValid()) pending.push_back(xml.GetRoot());
  wchar_t value[500];
  size_t characters = 0;
  while (!pending.empty()) {
    SkinUI::CLayoutXmlNode node = pending.back();
    pending.pop_back();
    for (const wchar_t* p = node.GetName(); *p; ++p) ++characters;
    for (int i = 0; i < node.GetAttributeCount(); ++i) {
      for (const wchar_t* p = node.GetAttributeName(i); *p; ++p) ++characters;
      for (const wchar_t* p = node.GetAttributeValue(i); *p; ++p) ++characters;
    }
    node.GetAttributeValue(L"name", value);
    if (node.GetSibling().IsValid()) pending.push_back(node.GetSibling());
    if (node.HasChildren()) pending.push_back(node.GetChild());
  }
  return characters == SIZE_MAX;
}
