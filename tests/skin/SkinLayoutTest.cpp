// The two layouts as the dialogs will find them: window settings, the controls each dialog
// looks up by name with the element types and pages they need, and the markup rules that
// the framework applies silently (an unknown element or attribute is skipped, a duplicate
// name is unreachable, a colour without alpha is invisible).
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <set>
#include <string>

#include "DialogTexts.h"
#include "SkinArchiveTest.h"
#include "ui/SkinValues.h"
#include "ui/Utf8.h"

namespace skin_testing {
namespace {

using SkinUI::ParseRect;
using SkinUI::ParseSize;
using SkinUI::TRect;
using SkinUI::TSize;

std::string Utf8(const std::wstring& text) { return SkinUI::WideToUtf8(text); }

// How wide a Chinese face of `size` pixels draws `text`, a little generously: Chinese
// characters and full-width punctuation take one em, ASCII about six tenths of one.
int EstimatedWidth(const std::wstring& text, int size) {
  int tenths = 0;
  for (wchar_t c : text) tenths += c < 0x80 ? 6 * size : 10 * size;
  return (tenths + 9) / 10;
}

class LayoutTest : public SkinArchiveTest {
 protected:
  void Load(const wchar_t* file) {
    SkinArchiveTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(LoadLayout(file, layout_));
  }

  // The one control named `name`, of the element type `type`.
  const TLayoutElement& Control(const std::wstring& name, const std::wstring& type) {
    const std::vector<int> found = layout_.Named(name);
    EXPECT_EQ(found.size(), 1u) << Utf8(name) << " must be in the layout exactly once";
    static const TLayoutElement kMissing;
    if (found.empty()) return kMissing;
    const TLayoutElement& e = layout_.at(found[0]);
    EXPECT_EQ(e.type, type) << Utf8(name);
    return e;
  }

  // The pixel size of the font a control draws its text in.
  int FontSize(const TLayoutElement& e) const {
    const std::vector<int> fonts = layout_.OfType(L"Font");
    int index = e.Has(L"font") ? SkinUI::ParseInt(e.Attr(L"font").c_str()) : -1;
    if (index < 0 || index >= static_cast<int>(fonts.size())) {
      for (size_t i = 0; i < fonts.size(); ++i) {
        if (layout_.at(fonts[i]).Attr(L"default") == L"true") index = static_cast<int>(i);
      }
    }
    return index < 0 ? 12 : SkinUI::ParseInt(layout_.at(fonts[index]).Attr(L"size").c_str());
  }

  // Each text, drawn on one line in the control's font, fits between its text paddings
  // within `width` (the control's own width when 0).
  void ExpectFits(const std::wstring& name, const std::vector<const wchar_t*>& texts,
                  int width = 0) {
    const TLayoutElement* e = layout_.Find(name);
    ASSERT_NE(e, nullptr) << Utf8(name);
    const TRect padding = ParseRect(e->Attr(L"textpadding").c_str());
    const int room = (width ? width : static_cast<int>(e->item.Width())) - padding.left - padding.right;
    for (const wchar_t* text : texts) {
      EXPECT_LE(EstimatedWidth(text, FontSize(*e)), room) << Utf8(name) << ": " << Utf8(text);
    }
  }

  // The controls directly under the window, leaving out fonts, images and defaults.
  std::vector<int> TopControls() const {
    std::vector<int> controls;
    for (int child : layout_.window().children) {
      if (!LayoutIndex::IsResourceElement(layout_.at(child).type)) controls.push_back(child);
    }
    return controls;
  }

  LayoutIndex layout_;
};

class InstallWindowLayout : public LayoutTest {
 protected:
  void SetUp() override { Load(L"InstallPackages.xml"); }

  // The page (0, 1, 2) of tb_main holding the element, or -1 outside the pages.
  int PageOf(int index) const {
    const int tab = layout_.IndexOf(L"tb_main");
    for (int i = index; i >= 0; i = layout_.at(i).parent) {
      if (layout_.at(i).parent != tab) continue;
      const auto& pages = layout_.at(tab).children;
      for (size_t p = 0; p < pages.size(); ++p) {
        if (pages[p] == i) return static_cast<int>(p);
      }
    }
    return -1;
  }
};

class MessageBoxLayout : public LayoutTest {
 protected:
  void SetUp() override { Load(L"MessageBox.xml"); }
};

TEST_F(InstallWindowLayout, PagesAreATabLayoutOfThreeVerticalLayoutsInTheRootContainer) {
  const std::vector<int> top = TopControls();
  ASSERT_EQ(top.size(), 1u) << "the window has one root control";
  EXPECT_EQ(layout_.at(top[0]).type, L"Container");
  const TLayoutElement& tab = Control(L"tb_main", L"TabLayout");
  EXPECT_EQ(tab.parent, top[0]);
  ASSERT_EQ(tab.children.size(), 3u);
  for (int page : tab.children) {
    EXPECT_EQ(layout_.at(page).type, L"VerticalLayout");
    EXPECT_FALSE(layout_.at(page).IsFloat());
    EXPECT_NE(layout_.at(page).Attr(L"visible"), L"false") << "a hidden page never shows";
  }
  // The start page is the tab's first child, which the tab selects when it is added.
  EXPECT_FALSE(tab.Has(L"selectedid"));
}

TEST_F(InstallWindowLayout, EveryControlTheDialogLooksUpIsOnItsPage) {
  const struct {
    const wchar_t* name;
    const wchar_t* type;
    int page;
  } kControls[] = {
      {L"btn_install", L"Button", 0},    {L"opt_agree", L"Option", 0},
      {L"btn_agreement", L"Button", 0},  {L"btn_free", L"Button", 0},
      {L"edit_input", L"Edit", 1},       {L"btn_select", L"Button", 1},
      {L"lb_tip", L"Label", 1},          {L"btn_install2", L"Button", 1},
      {L"pro_InstallProgress", L"Progress", 2}, {L"lb_download", L"Label", 2},
      {L"lb_speed", L"Label", 2},        {L"btn_min", L"Button", -1},
      {L"btn_close", L"Button", -1},
  };
  for (const auto& c : kControls) {
    Control(c.name, c.type);
    const int index = layout_.IndexOf(c.name);
    if (index >= 0) {
      EXPECT_EQ(PageOf(index), c.page) << Utf8(c.name);
    }
  }
}

TEST_F(InstallWindowLayout, TextsThePlayerSeesFirstAndTheOnesTheProgramFills) {
  const TLayoutElement& agree = Control(L"opt_agree", L"Option");
  EXPECT_EQ(agree.Attr(L"text"), L"同意");
  EXPECT_EQ(agree.Attr(L"selected"), L"true") << "the agreement starts ticked";
  EXPECT_EQ(Control(L"lb_download", L"Label").Attr(L"text"), L"下载中");
  for (const wchar_t* name : {L"btn_install", L"btn_install2", L"btn_select", L"btn_free",
                              L"btn_agreement"}) {
    EXPECT_FALSE(Control(name, L"Button").Attr(L"text").empty()) << Utf8(name);
  }
  for (const wchar_t* name : {L"lb_tip", L"lb_speed"}) {
    EXPECT_TRUE(Control(name, L"Label").Attr(L"text").empty()) << Utf8(name);
  }
  int folderLabels = 0;
  for (int i : layout_.OfType(L"Label")) {
    if (layout_.at(i).Attr(L"text") == L"安装目录" && PageOf(i) == 1) ++folderLabels;
  }
  EXPECT_EQ(folderLabels, 1) << "the folder page names its field \"安装目录\"";
}

TEST_F(InstallWindowLayout, CaptionButtonsFloatTopRightAboveThePages) {
  const TLayoutElement& min = Control(L"btn_min", L"Button");
  const TLayoutElement& close = Control(L"btn_close", L"Button");
  for (const TLayoutElement* b : {&min, &close}) {
    EXPECT_TRUE(b->IsFloat());
    EXPECT_TRUE(b->placed);
    EXPECT_EQ(b->item.Width(), 25);
    EXPECT_EQ(b->item.Height(), 23);
    EXPECT_EQ(b->item.top, 0);
  }
  EXPECT_LE(min.item.right, close.item.left);
  EXPECT_LE(close.item.right, 540);
  EXPECT_GE(close.item.right, 530);
  // The pages fill the whole window: the caption buttons come after tb_main in the root
  // container, so they are painted over the pages and are the topmost controls under the
  // mouse.
  const std::vector<int>& root = layout_.at(TopControls()[0]).children;
  const auto at = [&](const wchar_t* name) {
    return std::find(root.begin(), root.end(), layout_.IndexOf(name)) - root.begin();
  };
  EXPECT_LT(at(L"tb_main"), at(L"btn_min"));
  EXPECT_LT(at(L"tb_main"), at(L"btn_close"));
}

TEST_F(InstallWindowLayout, ProgressBarIsTheFiveHundredPixelBarTheProgramFills) {
  const TLayoutElement& bar = Control(L"pro_InstallProgress", L"Progress");
  EXPECT_TRUE(bar.placed);
  EXPECT_EQ(bar.item.Width(), 500);
  EXPECT_EQ(bar.item.Height(), 30);
  EXPECT_GE(bar.item.left, 0);
  EXPECT_LE(bar.item.right, 540);
  // The program sets the value to the filled width in pixels; a value beyond the maximum
  // would be ignored.
  EXPECT_GE(SkinUI::ParseInt(bar.Attr(L"max").c_str()), 500);
}

TEST_F(InstallWindowLayout, LongestTextsFitOnOneLine) {
  // Labels draw a single line: what does not fit is cut off.
  ExpectFits(L"lb_tip", kFolderTips);
  ExpectFits(L"lb_speed", kSpeedLines);
  ExpectFits(L"lb_download", kPhaseLines);
  for (const TLayoutElement& e : layout_.elements()) {
    if ((e.type == L"Button" || e.type == L"Option") && e.Has(L"text")) {
      ExpectFits(e.Attr(L"name"), {e.Attr(L"text").c_str()});
    }
  }
}

TEST_F(MessageBoxLayout, ControlsCarryTheirDefaultTexts) {
  EXPECT_EQ(Control(L"lb_title", L"Label").Attr(L"text"), L"退出安装");
  EXPECT_EQ(Control(L"lb_text", L"Label").Attr(L"text"), L"是否退出安装？");
  EXPECT_EQ(Control(L"btn_ok", L"Button").Attr(L"text"), L"确定");
  EXPECT_EQ(Control(L"btn_cancel", L"Button").Attr(L"text"), L"取消");
  EXPECT_TRUE(Control(L"lb_code", L"Label").Attr(L"text").empty());
  Control(L"btn_close", L"Button");
  Control(L"hlt_btn_0", L"HorizontalLayout");
  const int holder = layout_.IndexOf(L"hlt_btn_0");
  EXPECT_TRUE(holder >= 0 && layout_.IsAncestor(holder, layout_.IndexOf(L"btn_cancel")))
      << "hiding hlt_btn_0 must hide the cancel button";
  EXPECT_FALSE(holder >= 0 && layout_.IsAncestor(holder, layout_.IndexOf(L"btn_ok")))
      << "hiding hlt_btn_0 must leave the OK button";
}

TEST_F(MessageBoxLayout, TitleAndCloseButtonSitInTheCaption) {
  const TLayoutElement& title = Control(L"lb_title", L"Label");
  const TLayoutElement& close = Control(L"btn_close", L"Button");
  for (const TLayoutElement* e : {&title, &close}) {
    EXPECT_TRUE(e->placed);
    EXPECT_GE(e->item.top, 0);
    EXPECT_LE(e->item.bottom, 35);
  }
  EXPECT_LE(title.item.right, close.item.left);
  EXPECT_LE(close.item.right, 280);
}

TEST_F(MessageBoxLayout, LongestMessagesAndCaptionsFitOnOneLine) {
  ExpectFits(L"lb_text", kMessageTexts);
  ExpectFits(L"lb_title", kMessageTitles);
  const int margin = 8;  // a button's text needs air on both sides
  const TLayoutElement* ok = layout_.Find(L"btn_ok");
  const TLayoutElement* cancel = layout_.Find(L"btn_cancel");
  ASSERT_TRUE(ok && cancel);
  ExpectFits(L"btn_ok", kOkCaptions, static_cast<int>(ok->item.Width()) - 2 * margin);
  ExpectFits(L"btn_cancel", kCancelCaptions, static_cast<int>(cancel->item.Width()) - 2 * margin);
  // The code line shares its row with the OK button (the boxes with a code hide cancel).
  const TLayoutElement* code = layout_.Find(L"lb_code");
  ASSERT_NE(code, nullptr);
  const TLayoutElement& row = layout_.at(code->parent);
  ExpectFits(L"lb_code", kCodeLines, static_cast<int>(row.item.Width() - ok->item.Width()));
}

// Rules for both layouts.
class EveryLayout : public LayoutTest, public testing::WithParamInterface<const wchar_t*> {
 protected:
  void SetUp() override { Load(GetParam()); }
};

INSTANTIATE_TEST_SUITE_P(Skin, EveryLayout,
                         testing::Values(L"InstallPackages.xml", L"MessageBox.xml"));

TEST_P(EveryLayout, IsAFixedSizeWindowWithRoundCornersShadowAndACaptionDragArea) {
  // The install window's caption is its banner: it must reach below the 23-pixel caption
  // buttons and leave the pages' controls below it.
  const struct {
    const wchar_t* file;
    TSize size;
    int captionMin, captionMax;
  } kWindows[] = {{L"InstallPackages.xml", {540, 355}, 24, 354}, {L"MessageBox.xml", {280, 115}, 35, 35}};
  for (const auto& expected : kWindows) {
    if (std::wstring(expected.file) != GetParam()) continue;
    const TLayoutElement& w = layout_.window();
    EXPECT_EQ(w.type, L"Window");
    EXPECT_EQ(ParseSize(w.Attr(L"size").c_str()), expected.size);
    // Equal minimum and maximum sizes make the window impossible to resize.
    EXPECT_EQ(ParseSize(w.Attr(L"mininfo").c_str()), expected.size);
    EXPECT_EQ(ParseSize(w.Attr(L"maxinfo").c_str()), expected.size);
    EXPECT_EQ(w.Attr(L"shadow"), L"true");
    EXPECT_NE(w.Attr(L"selfshadow"), L"true");
    const TSize round = ParseSize(w.Attr(L"roundcorner").c_str());
    EXPECT_TRUE(round.cx > 0 && round.cy > 0);
    const TRect caption = ParseRect(w.Attr(L"caption").c_str());
    EXPECT_EQ(caption, (TRect{0, 0, 0, caption.bottom}));
    EXPECT_GE(caption.bottom, expected.captionMin);
    EXPECT_LE(caption.bottom, expected.captionMax);
  }
}

TEST_P(EveryLayout, NamesAreUnique) {
  // The paint manager keeps the first control of a name: a second one is unreachable.
  std::set<std::wstring> seen;
  for (const TLayoutElement& e : layout_.elements()) {
    if (!e.Has(L"name") || LayoutIndex::IsResourceElement(e.type)) continue;
    EXPECT_TRUE(seen.insert(e.Attr(L"name")).second) << "duplicate name " << Utf8(e.Attr(L"name"));
  }
}

TEST_P(EveryLayout, ElementsAndAttributesBelongToTheMarkupVocabulary) {
  // The dialog builder skips an element it does not know and SetAttribute ignores an
  // attribute it does not know: a typo there vanishes without a word.
  const std::set<std::wstring> kControl = {
      L"pos", L"relativepos", L"padding", L"bkcolor", L"bkcolor1", L"bkcolor2", L"bkcolor3",
      L"bordercolor", L"focusbordercolor", L"colorhsl", L"bordersize", L"leftbordersize",
      L"topbordersize", L"rightbordersize", L"bottombordersize", L"borderstyle",
      L"borderround", L"bkimage", L"foreimage", L"width", L"height", L"minwidth",
      L"minheight", L"maxwidth", L"maxheight", L"name", L"text", L"tooltip", L"userdata",
      L"enabled", L"mouse", L"keyboard", L"visible", L"float", L"shortcut", L"menu",
      L"virtualwnd"};
  const std::set<std::wstring> kContainer = {L"inset", L"childpadding", L"mousechild",
                                             L"vscrollbar", L"hscrollbar", L"vscrollbarstyle",
                                             L"hscrollbarstyle", L"vscrollsize"};
  const std::set<std::wstring> kLabel = {L"align", L"endellipsis", L"font", L"textcolor",
                                         L"disabledtextcolor", L"textpadding", L"showhtml"};
  const std::set<std::wstring> kButton = {
      L"normalimage", L"hotimage", L"pushedimage", L"focusedimage", L"disabledimage",
      L"hotforeimage", L"hotbkcolor", L"hottextcolor", L"pushedtextcolor",
      L"focusedtextcolor", L"hotfont", L"pushedfont", L"focusedfont", L"fadeeffect"};
  const std::set<std::wstring> kOption = {L"group", L"selected", L"selectedimage",
                                          L"selectedhotimage", L"selectedbkcolor",
                                          L"selectedtextcolor", L"selectedfont"};
  const std::set<std::wstring> kProgress = {L"hor", L"min", L"max", L"value",
                                            L"isstretchfore", L"roundcorner"};
  const std::set<std::wstring> kEdit = {L"readonly", L"numberonly", L"password", L"maxchar",
                                        L"normalimage", L"hotimage", L"focusedimage",
                                        L"disabledimage", L"hinttext", L"hintcolor",
                                        L"nativecolor", L"nativebkcolor"};
  const std::set<std::wstring> kWindow = {
      L"size", L"sizebox", L"caption", L"roundcorner", L"shadowcorner", L"mininfo",
      L"maxinfo", L"sizegrip", L"showdirty", L"alpha", L"bktrans", L"shadow", L"selfshadow",
      L"shadowborder", L"shadowimage", L"disabledfontcolor", L"defaultfontcolor",
      L"linkfontcolor", L"linkhoverfontcolor", L"selectedcolor"};
  const std::set<std::wstring> kFont = {L"name", L"size", L"bold", L"underline", L"italic",
                                        L"default"};
  const auto accepts = [&](const std::wstring& type, const std::wstring& attribute) {
    const auto in = [&](const std::set<std::wstring>& s) { return s.count(attribute) > 0; };
    if (type == L"Window") return in(kWindow);
    if (type == L"Font") return in(kFont);
    if (type == L"Control") return in(kControl);
    if (type == L"Container" || type == L"VerticalLayout" || type == L"HorizontalLayout")
      return in(kControl) || in(kContainer);
    if (type == L"TabLayout") return in(kControl) || in(kContainer) || attribute == L"selectedid";
    if (type == L"Label") return in(kControl) || in(kLabel);
    if (type == L"Button") return in(kControl) || in(kLabel) || in(kButton);
    if (type == L"Option") return in(kControl) || in(kLabel) || in(kButton) || in(kOption);
    if (type == L"Progress") return in(kControl) || in(kLabel) || in(kProgress);
    if (type == L"Edit") return in(kControl) || in(kLabel) || in(kEdit);
    return false;
  };
  for (size_t i = 0; i < layout_.elements().size(); ++i) {
    const TLayoutElement& e = layout_.at(static_cast<int>(i));
    const bool known = accepts(e.type, L"name") || e.type == L"Window";
    EXPECT_TRUE(known) << "unknown element " << Utf8(e.type);
    EXPECT_EQ(e.type == L"Window", i == 0) << "the root, and only the root, is the Window";
    for (const auto& a : e.attributes) {
      EXPECT_TRUE(accepts(e.type, a.first))
          << Utf8(e.type) << " " << Utf8(e.Attr(L"name")) << ": unknown attribute " << Utf8(a.first);
    }
  }
}

TEST_P(EveryLayout, FontsNameAChineseFaceAndEveryFontIndexExists) {
  const std::vector<int> fonts = layout_.OfType(L"Font");
  ASSERT_FALSE(fonts.empty());
  EXPECT_EQ(layout_.at(fonts[0]).Attr(L"default"), L"true") << "the first font is the default";
  for (int f : fonts) {
    const std::wstring face = layout_.at(f).Attr(L"name");
    EXPECT_TRUE(face == L"微软雅黑" || face == L"Microsoft YaHei") << Utf8(face);
    const int size = SkinUI::ParseInt(layout_.at(f).Attr(L"size").c_str());
    EXPECT_GE(size, 12) << "Chinese text below 12 pixels is hard to read";
    EXPECT_LE(size, 36);
  }
  for (const TLayoutElement& e : layout_.elements()) {
    for (const auto& a : e.attributes) {
      if (a.first != L"font" && a.first != L"hotfont" && a.first != L"pushedfont" &&
          a.first != L"focusedfont" && a.first != L"selectedfont") {
        continue;
      }
      const int index = SkinUI::ParseInt(a.second.c_str());
      EXPECT_TRUE(index >= 0 && index < static_cast<int>(fonts.size()))
          << Utf8(e.Attr(L"name")) << " " << Utf8(a.first) << "=" << index;
    }
  }
}

TEST_P(EveryLayout, ColoursAreFullArgbValuesThatShow) {
  // "#FFFFFF" reads as 0x00FFFFFF: fully transparent.
  for (const TLayoutElement& e : layout_.elements()) {
    for (const auto& a : e.attributes) {
      if (a.first.size() < 5 || a.first.compare(a.first.size() - 5, 5, L"color") != 0) continue;
      const std::wstring digits = a.second[0] == L'#' ? a.second.substr(1) : a.second;
      EXPECT_EQ(digits.size(), 8u) << Utf8(e.Attr(L"name")) << " " << Utf8(a.first);
      EXPECT_TRUE(std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return std::iswxdigit(c); }));
      EXPECT_GE(SkinUI::ParseColor(a.second.c_str()) >> 24, 0x80u)
          << Utf8(e.Attr(L"name")) << " " << Utf8(a.first) << " is nearly transparent";
    }
  }
}

TEST_P(EveryLayout, AlignmentsAreSingleWords) {
  // The words apply in a fixed order and "vcenter" also holds "center": "right vcenter"
  // ends centred and right-aligned at once.
  const std::set<std::wstring> kWords = {L"left", L"center", L"right", L"top",
                                         L"vcenter", L"bottom", L"vleft"};
  for (const TLayoutElement& e : layout_.elements()) {
    if (e.Has(L"align")) {
      EXPECT_EQ(kWords.count(e.Attr(L"align")), 1u) << Utf8(e.Attr(L"align"));
    }
  }
}

TEST_P(EveryLayout, PlacedControlsLieInsideTheWindow) {
  const TRect window = layout_.window().item;
  for (const TLayoutElement& e : layout_.elements()) {
    if (!e.placed || &e == &layout_.window()) continue;
    EXPECT_FALSE(e.item.IsEmpty()) << Utf8(e.type) << " " << Utf8(e.Attr(L"name"));
    EXPECT_TRUE(e.item.left >= window.left && e.item.top >= window.top &&
                e.item.right <= window.right && e.item.bottom <= window.bottom)
        << Utf8(e.type) << " " << Utf8(e.Attr(L"name")) << " lies outside the window";
  }
}

}  // namespace
}  // namespace skin_testing
