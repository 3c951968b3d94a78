// The skin's files: its zip reader on archives the tests make, each damaged in one place
// (random damage: fuzz_zip_archive), its markup parser, layout files read from an archive,
// and its number lists. The real layouts are built by the skin's own tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "support/ZipWriter.h"
#include "ui/markup/LayoutXml.h"
#include "ui/markup/SkinStorage.h"
#include "ui/markup/SkinValues.h"
#include "ui/markup/ZipArchive.h"

using namespace SkinUI;
using testing_support::BuildZip;
using testing_support::ZipEntrySpec;

namespace {

// A tree as text: name(attribute=value ...){children}.
std::wstring Dump(const CLayoutXmlNode& node) {
  std::wstring text = node.GetName();
  for (int i = 0; i < node.GetAttributeCount(); ++i) {
    text += (i ? L" " : L"(") + std::wstring(node.GetAttributeName(i)) + L"=" +
            node.GetAttributeValue(i) + (i + 1 == node.GetAttributeCount() ? L")" : L"");
  }
  const wchar_t* before = L"{";
  for (CLayoutXmlNode child = node.GetChild(); child.IsValid(); child = child.GetSibling()) {
    text += before + Dump(child);
    before = L" ";
  }
  return node.HasChildren() ? text + L"}" : text;
}

// The root's name of a layout file, or "!message".
std::wstring LoadedFile(const wchar_t* name) {
  CLayoutXml xml;
  if (!xml.LoadFromFile(name)) return std::wstring(L"!") + xml.GetLastErrorMessage();
  return xml.GetRoot().GetName();
}

// Extracts into a buffer of the declared size, capped: a damaged size field must not cost
// memory.
CZipArchive::Result Extract(const CZipArchive& zip, int index, std::string& out) {
  out.assign(std::min<size_t>(zip.GetEntry(index)->uncompressedSize, 1 << 16), '\0');
  return zip.Extract(index, out.data(), out.size());
}

// Numbered lines, `size` bytes.
std::string Text(size_t size) {
  std::string text;
  for (size_t i = 0; text.size() < size; ++i) text += "line " + std::to_string(i) + "\n";
  return text.substr(0, size);
}

}  // namespace

TEST(LayoutXml, ParsesTreesAndReportsErrorsWithWhereTheyStopped) {
  const struct {
    std::string text;
    std::wstring tree;  // or "!message|where parsing stopped"
  } cases[] = {
      // No empty element takes its followers as children or their text as attributes.
      {"<Window><a/><b x=\"1\"/><c /></Window>", L"Window{a b(x=1) c}"},
      {"<a t=\"x &amp; y\" u=\"&copy; &lt;&quot;\" v=\"&&amp;\" w=\"&amp\" z=\"z\"/>",
       L"a(t=x & y u=&copy; <\" v=&& w=&amp z=z)"},
      // A root left open, with its attributes or its children.
      {"<Window size=\"540,355\">", L"Window(size=540,355)"},
      {"<Window><Button name=\"b\"/>", L"Window{Button(name=b)}"},
      {"\xEF\xBB\xBF <?xml version=\"1.0\"?><!-- <a/> -->", L""},
      {"<a x=\"\xFF(\xF0\x9F\x98\x80&amp;\xF0\x9F\x98\x80\"/>",
       L"a(x=\uFFFD(\U0001F600&\U0001F600)"},
      {"<Window><Label text='a'/></Window>", L"!Expected attribute value|'a'/></Window>"},
      {"<Window><Label></Labels></Window>", L"!Unmatched closing tag|s></Window>"},
      {"<a b='" + std::string(200, 'x') + "'/>",
       L"!Expected attribute value|'" + std::wstring(48, L'x')},
      // Texts that end right after an ampersand or inside an end tag.
      {"<a x=\"&", L"!Error while parsing attribute string|"},
      {"<a><b>&</b", L"!Unmatched closing tag|"},
  };
  CLayoutXml xml;  // one for all: a failed load leaves nothing of the tree before
  for (const auto& c : cases) {
    const bool loaded =
        xml.LoadFromMem(reinterpret_cast<const uint8_t*>(c.text.data()), c.text.size());
    EXPECT_EQ(loaded ? (xml.GetRoot().IsValid() ? Dump(xml.GetRoot()) : L"")
                     : std::wstring(L"!") + xml.GetLastErrorMessage() + L"|" +
                           xml.GetLastErrorLocation() + (xml.GetRoot().IsValid() ? L"+tree" : L""),
              c.tree)
        << c.text;
  }
}

TEST(LayoutXml, AttributesBeyondItsTableAndBuffersAndDeepNestingAreCutNotOverrun) {
  std::wstring text = L"<Window long=\"" + std::wstring(600, L'v') + L"\"";
  for (int i = 1; i < 70; ++i) text += L" a" + std::to_wstring(i) + L"=\"v\"";
  CLayoutXml xml;
  ASSERT_TRUE(xml.Load((text + L"><Child/></Window>").c_str()));
  EXPECT_EQ(xml.GetRoot().GetAttributeCount(), CLayoutXmlNode::kMaxAttributes);
  wchar_t small[4];
  ASSERT_TRUE(xml.GetRoot().GetAttributeValue(L"long", small, 4));
  EXPECT_STREQ(small, L"vvv");
  // Nesting as deep as this would overflow any recursion's stack.
  const int depth = 200000;
  text.clear();
  for (int i = 0; i < depth; ++i) text += L"<a>";
  for (int i = 0; i < depth; ++i) text += L"</a>";
  ASSERT_TRUE(xml.Load(text.c_str()));
  int levels = 0;
  for (CLayoutXmlNode n = xml.GetRoot(); n.IsValid(); n = n.GetChild()) ++levels;
  EXPECT_EQ(levels, depth);
  EXPECT_FALSE(xml.Load(text.substr(0, depth * 3 + 4 * 10).c_str()));
}

TEST(LayoutFile, ArchiveEntriesAreFoundIgnoringCaseWithinTheSizeLimitAndWhole) {
  const auto layoutOfSize = [](size_t size) {
    return "<Window>" + std::string(size - 17, ' ') + "</Window>";
  };
  std::vector<ZipEntrySpec> entries = {
      {"skin/Nested.xml", "<Nested/>"},
      {"limit.xml", layoutOfSize(CLayoutXml::kMaxFileSize), false},
      {"over.xml", layoutOfSize(CLayoutXml::kMaxFileSize + 1), false},
      {"crc.xml", "<Window/>"},
      {"long.xml", "<Window/>"}};
  entries[3].declaredCrc = 1234;
  entries[4].declaredSize = 4;  // the data inflates beyond the size the directory promises
  {
    std::vector<uint8_t> bytes = BuildZip(entries).bytes;
    ASSERT_TRUE(CSkinStorage::SetSkinArchive(bytes.data(), bytes.size()));
    std::fill(bytes.begin(), bytes.end(), 0);  // the storage reads a copy of its own
  }
  EXPECT_EQ(LoadedFile(L"SKIN\\nested.XML"), L"Nested");
  EXPECT_EQ(LoadedFile(L"limit.xml"), L"Window");
  EXPECT_EQ(LoadedFile(L"over.xml"), L"!File too large");
  EXPECT_EQ(LoadedFile(L"crc.xml"), L"!Could not unzip file");
  EXPECT_EQ(LoadedFile(L"long.xml"), L"!Could not unzip file");
  CSkinStorage::CloseSkinArchive();
}

TEST(SkinValues, NumberListsStopAtTheirTextsEndAndSaturate) {
  EXPECT_EQ(ParseRect(L"1 2, 3,4"), (TRect{1, 2, 3, 4}));
  EXPECT_EQ(ParseRect(L"7"), (TRect{7, 0, 0, 0}));
  EXPECT_EQ(ParseRect(L"7,"), (TRect{7, 0, 0, 0}));
  EXPECT_EQ(ParseRect(L"99999999999,-99999999999"),
            (TRect{kCoordinateLimit, -kCoordinateLimit, 0, 0}));
  EXPECT_EQ(ParseInt(L"-99999999999"), INT_MIN);
  EXPECT_EQ(ParseColor(L"#1ffffffff"), 0xFFFFFFFFu);
}

TEST(ZipArchive, DamagedEntriesAreCorruptOrUnsupportedNeverCut) {
  std::vector<ZipEntrySpec> entries(11, ZipEntrySpec{"", Text(5000), true});
  for (size_t i = 0; i < entries.size(); ++i) entries[i].name = "e" + std::to_string(i);
  entries[0].declaredCrc = 0xDEADBEEF;
  entries[1].declaredSize = 4000;                 // the stream inflates beyond it
  entries[2].declaredSize = 6000;                 // the stream ends before it
  entries[3].declaredCompressedSize = 0x7FFFFFF;  // the data would run past the archive
  entries[4].deflate = false;
  entries[4].declaredCompressedSize = 10;  // stored sizes disagree
  entries[5].declaredSize = 0xFFFFFFF0u;   // huge, which needs no huge buffer
  entries[6].flags = 1;                    // encrypted
  entries[7].declaredMethod = 14;          // LZMA
  testing_support::ZipImage image = BuildZip(entries, "a comment with PK\x05\x06 inside");
  for (size_t i = 10; i < 30; ++i) image.bytes[image.dataOffsets[8] + i] ^= 0x5A;
  image.bytes[image.localHeaderOffsets[9] + 27] = 0xFF;  // local name length runs far away
  image.bytes.insert(image.bytes.end(), 10, 0x00);       // trailing bytes
  CZipArchive zip;
  ASSERT_TRUE(zip.OpenMemory(image.bytes.data(), image.bytes.size()));
  std::vector<CZipArchive::Result> results;
  std::string out;
  for (int i = 0; i < 11; ++i) results.push_back(Extract(zip, i, out));
  EXPECT_EQ(out, Text(5000));  // the undamaged last entry
  using Z = CZipArchive;
  EXPECT_EQ(results, (std::vector<Z::Result>{Z::kCorrupt, Z::kCorrupt, Z::kCorrupt, Z::kCorrupt,
                                             Z::kCorrupt, Z::kCorrupt, Z::kUnsupported,
                                             Z::kUnsupported, Z::kCorrupt, Z::kCorrupt, Z::kOk}));
}
