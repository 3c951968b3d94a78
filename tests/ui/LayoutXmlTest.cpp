#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/LayoutXml.h"
#include "ui/Utf8.h"

using SkinUI::CLayoutXml;
using SkinUI::CLayoutXmlNode;

namespace {

// A layout in the shape of the installer's main window: declaration, a comment spanning
// several elements, Chinese text, an empty element with a blank before its slash.
const char kMainLayout[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?>\r\n"
    "<Window size=\"540,355\" caption=\"0,0,0,40\" roundcorner=\"4,4\">\r\n"
    "  <Font name=\"\xE5\xBE\xAE\xE8\xBD\xAF\xE9\x9B\x85\xE9\xBB\x91\" size=\"12\" default=\"true\" />\r\n"
    "  <!-- <Button name=\"btn_old\" /> <Label name=\"lb_old\"/> -->\r\n"
    "  <VerticalLayout bkcolor=\"#ffffffff\">\r\n"
    "    <HorizontalLayout />\r\n"
    "    <Button name=\"btn_close\" text=\"\xE5\x85\xB3\xE9\x97\xAD\" tooltip=\"Close &amp; quit\"/>\r\n"
    "  </VerticalLayout>\r\n"
    "</Window>\r\n";

bool LoadUtf8(CLayoutXml& xml, const std::string& text) {
  return xml.LoadFromMem(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

std::wstring Attr(const CLayoutXmlNode& node, const wchar_t* name) {
  wchar_t value[500];
  return node.GetAttributeValue(name, value) ? value : L"<missing>";
}

std::vector<std::wstring> ChildNames(const CLayoutXmlNode& node) {
  std::vector<std::wstring> names;
  for (CLayoutXmlNode child = node.GetChild(); child.IsValid(); child = child.GetSibling()) {
    names.push_back(child.GetName());
  }
  return names;
}

void ExpectMainLayoutTree(CLayoutXml& xml) {
  CLayoutXmlNode root = xml.GetRoot();
  ASSERT_TRUE(root.IsValid());
  EXPECT_STREQ(root.GetName(), L"Window");
  ASSERT_EQ(root.GetAttributeCount(), 3);
  EXPECT_STREQ(root.GetAttributeName(0), L"size");
  EXPECT_STREQ(root.GetAttributeValue(0), L"540,355");
  EXPECT_EQ(Attr(root, L"roundcorner"), L"4,4");
  EXPECT_EQ(ChildNames(root), (std::vector<std::wstring>{L"Font", L"VerticalLayout"}));

  CLayoutXmlNode font = root.GetChild();
  EXPECT_EQ(Attr(font, L"name"), L"\u5FAE\u8F6F\u96C5\u9ED1");
  EXPECT_FALSE(font.HasChildren());

  CLayoutXmlNode vertical = font.GetSibling();
  EXPECT_EQ(ChildNames(vertical), (std::vector<std::wstring>{L"HorizontalLayout", L"Button"}));
  CLayoutXmlNode horizontal = vertical.GetChild();
  EXPECT_FALSE(horizontal.HasAttributes());
  EXPECT_FALSE(horizontal.HasChildren());
  CLayoutXmlNode button = horizontal.GetSibling();
  EXPECT_EQ(Attr(button, L"name"), L"btn_close");
  EXPECT_EQ(Attr(button, L"text"), L"\u5173\u95ED");
  EXPECT_EQ(Attr(button, L"tooltip"), L"Close & quit");
  EXPECT_FALSE(button.GetSibling().IsValid());
}

void ExpectFailure(const std::string& text, const wchar_t* message, const wchar_t* location) {
  CLayoutXml xml;
  EXPECT_FALSE(LoadUtf8(xml, text)) << text;
  EXPECT_STREQ(xml.GetLastErrorMessage(), message) << text;
  EXPECT_STREQ(xml.GetLastErrorLocation(), location) << text;
  EXPECT_FALSE(xml.IsValid());
  EXPECT_FALSE(xml.GetRoot().IsValid());
}

}  // namespace

TEST(LayoutXml, MainWindowLayoutParsesWithAndWithoutByteOrderMark) {
  CLayoutXml withBom;
  ASSERT_TRUE(LoadUtf8(withBom, std::string("\xEF\xBB\xBF") + kMainLayout))
      << withBom.GetLastErrorMessage();
  ExpectMainLayoutTree(withBom);

  CLayoutXml withoutBom;
  ASSERT_TRUE(LoadUtf8(withoutBom, kMainLayout)) << withoutBom.GetLastErrorMessage();
  ExpectMainLayoutTree(withoutBom);
  EXPECT_STREQ(withoutBom.GetLastErrorMessage(), L"");
}

TEST(LayoutXml, WideTextLoadsTheSameTree) {
  CLayoutXml xml;
  ASSERT_TRUE(xml.Load(SkinUI::Utf8ToWide(kMainLayout).c_str()));
  ExpectMainLayoutTree(xml);
}

TEST(LayoutXml, EntitiesFoldAndUnknownOnesStayLiteral) {
  CLayoutXml xml;
  ASSERT_TRUE(xml.Load(
      L"<a t=\"x &amp; y\" u=\"&copy; &lt;&gt;&quot;&apos;\" v=\"&&amp;\" w=\"&amp\" z=\"after\"/>"));
  CLayoutXmlNode a = xml.GetRoot();
  EXPECT_EQ(a.GetAttributeCount(), 5);
  EXPECT_EQ(Attr(a, L"t"), L"x & y");
  EXPECT_EQ(Attr(a, L"u"), L"&copy; <>\"'");
  EXPECT_EQ(Attr(a, L"v"), L"&&");
  EXPECT_EQ(Attr(a, L"w"), L"&amp");
  // Attributes after shortened values are still found.
  EXPECT_EQ(Attr(a, L"z"), L"after");
}

TEST(LayoutXml, EmptyElementsWithAndWithoutBlankBeforeTheSlash) {
  CLayoutXml xml;
  ASSERT_TRUE(xml.Load(L"<Window><a/><b x=\"1\"/><c /><d\t/></Window>"));
  CLayoutXmlNode root = xml.GetRoot();
  EXPECT_EQ(ChildNames(root), (std::vector<std::wstring>{L"a", L"b", L"c", L"d"}));
  for (CLayoutXmlNode n = root.GetChild(); n.IsValid(); n = n.GetSibling()) {
    EXPECT_FALSE(n.HasChildren()) << n.GetName();
  }
  CLayoutXmlNode b = root.GetChild().GetSibling();
  EXPECT_EQ(b.GetAttributeCount(), 1);
  EXPECT_EQ(Attr(b, L"x"), L"1");
  EXPECT_EQ(root.GetChild().GetAttributeCount(), 0);
}

TEST(LayoutXml, ElementsWithCharacterDataAndBlanksAroundNames) {
  CLayoutXml xml;
  ASSERT_TRUE(xml.Load(L"<Window >\n <Label text = \"a\" >hello</Label >\n</ Window>"));
  CLayoutXmlNode label = xml.GetRoot().GetChild();
  EXPECT_STREQ(label.GetName(), L"Label");
  EXPECT_EQ(Attr(label, L"text"), L"a");
  EXPECT_EQ(label.GetAttributeCount(), 1);
}

TEST(LayoutXml, ParserErrorsCarryTheirMessageAndLocation) {
  ExpectFailure("<Window><Label text='a'/></Window>", L"Expected attribute value",
                L"'a'/></Window>");
  ExpectFailure("<Window><Label text/></Window>", L"Error while parsing attributes",
                L"/></Window>");
  ExpectFailure("<Window><Label></Button></Window>", L"Unmatched closing tag",
                L"Button></Window>");
  ExpectFailure("<Window><Label></Labels></Window>", L"Unmatched closing tag", L"s></Window>");
  ExpectFailure("<Window><Butt", L"Error parsing element name", L"");
  ExpectFailure("<Window><Label text=\"abc", L"Error while parsing attribute string", L"");
  ExpectFailure("<Window><Label x=\"1\" / ></Window>", L"Expected start-tag closing",
                L"/ ></Window>");
  ExpectFailure("just text", L"Expected start tag", L"just text");
  ExpectFailure("<Window><a>text<b/>more</a></Window>", L"Expected start tag",
                L"more</a></Window>");
  ExpectFailure("<a><b><c>text", L"Expected end-tag start", L"");
  ExpectFailure("<a><b><c/>", L"Expected start tag", L"");
  // Texts that end right after an ampersand or inside an end tag.
  ExpectFailure("<a x=\"&", L"Error while parsing attribute string", L"");
  ExpectFailure("<a><b>&</b", L"Unmatched closing tag", L"");
}

TEST(LayoutXml, ErrorLocationIsCutTo49Characters) {
  std::string tail(200, 'x');
  CLayoutXml xml;
  EXPECT_FALSE(LoadUtf8(xml, "<a b='" + tail + "'/>"));
  EXPECT_EQ(std::wstring(xml.GetLastErrorLocation()), L"'" + std::wstring(48, L'x'));
}

TEST(LayoutXml, OnlySixtyFourAttributesAreVisible) {
  std::wstring text = L"<Window";
  for (int i = 0; i < 70; ++i) {
    text += L" a" + std::to_wstring(i) + L"=\"v" + std::to_wstring(i) + L"\"";
  }
  text += L"><Child/></Window>";
  CLayoutXml xml;
  ASSERT_TRUE(xml.Load(text.c_str()));
  CLayoutXmlNode root = xml.GetRoot();
  EXPECT_EQ(root.GetAttributeCount(), 64);
  EXPECT_EQ(Attr(root, L"a63"), L"v63");
  EXPECT_EQ(Attr(root, L"a64"), L"<missing>");
  EXPECT_STREQ(root.GetAttributeName(64), L"");
  EXPECT_STREQ(root.GetAttributeValue(-1), L"");
  EXPECT_STREQ(root.GetChild().GetName(), L"Child");
}

TEST(LayoutXml, EmptyOrBlankDocumentHasNoRoot) {
  for (const char* text : {"", "  \r\n\t ", "<?xml version=\"1.0\"?>", "<!-- nothing -->"}) {
    CLayoutXml xml;
    EXPECT_TRUE(LoadUtf8(xml, text)) << text;
    EXPECT_TRUE(xml.IsValid());
    EXPECT_FALSE(xml.GetRoot().IsValid()) << text;
  }
}

TEST(LayoutXml, UnclosedRootAndTrailingEndTagAreAccepted) {
  CLayoutXml xml;
  ASSERT_TRUE(xml.Load(L"<Window><Button name=\"b\"/>"));
  EXPECT_STREQ(xml.GetRoot().GetName(), L"Window");
  EXPECT_EQ(Attr(xml.GetRoot().GetChild(), L"name"), L"b");

  ASSERT_TRUE(xml.Load(L"<Window>"));
  EXPECT_STREQ(xml.GetRoot().GetName(), L"Window");
  EXPECT_FALSE(xml.GetRoot().HasChildren());

  // Attributes of a root left open at the end of the text.
  ASSERT_TRUE(xml.Load(L"<Window size=\"540,355\">"));
  EXPECT_STREQ(xml.GetRoot().GetName(), L"Window");
  EXPECT_EQ(xml.GetRoot().GetAttributeCount(), 1);
  EXPECT_EQ(Attr(xml.GetRoot(), L"size"), L"540,355");
}

TEST(LayoutXml, AttributeValueCopyIsBoundedByTheBuffer) {
  CLayoutXml xml;
  const std::wstring longValue(600, L'v');
  ASSERT_TRUE(xml.Load((L"<a x=\"" + longValue + L"\"/>").c_str()));
  wchar_t value[500];
  ASSERT_TRUE(xml.GetRoot().GetAttributeValue(L"x", value));
  EXPECT_EQ(std::wstring(value), std::wstring(499, L'v'));
  wchar_t small[4];
  ASSERT_TRUE(xml.GetRoot().GetAttributeValue(L"x", small, 4));
  EXPECT_STREQ(small, L"vvv");
  EXPECT_FALSE(xml.GetRoot().GetAttributeValue(L"X", value));  // names are case-sensitive
}

TEST(LayoutXml, WhitespaceIsFoldedOnlyWhenNotPreserved) {
  CLayoutXml xml;
  ASSERT_TRUE(xml.Load(L"<a x=\"one  \t two\"/>"));
  EXPECT_EQ(Attr(xml.GetRoot(), L"x"), L"one  \t two");
  xml.SetPreserveWhitespace(false);
  ASSERT_TRUE(xml.Load(L"<a x=\"one  \t two\" y=\"z\"/>"));
  EXPECT_EQ(Attr(xml.GetRoot(), L"x"), L"one two");
  EXPECT_EQ(Attr(xml.GetRoot(), L"y"), L"z");
}

TEST(LayoutXml, DeepNestingNeitherOverflowsNorLosesStructure) {
  const int depth = 200000;
  std::wstring text;
  for (int i = 0; i < depth; ++i) text += L"<a>";
  for (int i = 0; i < depth; ++i) text += L"</a>";
  CLayoutXml xml;
  ASSERT_TRUE(xml.Load(text.c_str()));
  int levels = 0;
  for (CLayoutXmlNode n = xml.GetRoot(); n.IsValid(); n = n.GetChild()) ++levels;
  EXPECT_EQ(levels, depth);

  // Ten end tags and then the end of the text, deep inside the tree.
  EXPECT_FALSE(xml.Load(text.substr(0, depth * 3 + 4 * 10).c_str()));
  EXPECT_STREQ(xml.GetLastErrorMessage(), L"Expected start tag");
}

TEST(LayoutXml, InvalidUtf8BecomesReplacementCharacters) {
  CLayoutXml xml;
  ASSERT_TRUE(LoadUtf8(xml, std::string("<a x=\"\xFF\xC3(\xE6\x97\"/>")));
  EXPECT_EQ(Attr(xml.GetRoot(), L"x"), L"\uFFFD\uFFFD(\uFFFD");
}

TEST(LayoutXml, CharactersBeyondTheBasicPlaneSurviveInPlaceParsing) {
  CLayoutXml xml;
  ASSERT_TRUE(LoadUtf8(xml, "<a x=\"\xF0\x9F\x98\x80&amp;\xF0\x9F\x98\x80\"/>"));
  EXPECT_EQ(Attr(xml.GetRoot(), L"x"), std::wstring(L"\U0001F600&\U0001F600"));
}

TEST(LayoutXml, InvalidNodeAnswersWithNothing) {
  CLayoutXmlNode node;
  EXPECT_FALSE(node.IsValid());
  EXPECT_EQ(node.GetName(), nullptr);
  EXPECT_FALSE(node.GetChild().IsValid());
  EXPECT_FALSE(node.GetSibling().IsValid());
  EXPECT_FALSE(node.HasChildren());
  EXPECT_EQ(node.GetAttributeCount(), 0);
  EXPECT_STREQ(node.GetAttributeName(0), L"");
  wchar_t value[8];
  EXPECT_FALSE(node.GetAttributeValue(L"x", value));
}

TEST(LayoutXml, FailedLoadReleasesThePreviousDocument) {
  CLayoutXml xml;
  ASSERT_TRUE(xml.Load(L"<a/>"));
  ASSERT_TRUE(xml.IsValid());
  EXPECT_FALSE(xml.Load(L"<a"));
  EXPECT_FALSE(xml.IsValid());
  ASSERT_TRUE(xml.Load(L"<b/>"));
  EXPECT_STREQ(xml.GetRoot().GetName(), L"b");
  xml.Release();
  EXPECT_FALSE(xml.IsValid());
  EXPECT_FALSE(xml.GetRoot().IsValid());
}
