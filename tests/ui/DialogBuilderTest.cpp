// The dialog builder under Wine: the element table and the makers of other elements, the
// root's resources ("Font", "Image", "Default"), the "Window" settings (only for a manager
// with a window), layouts from markup text, skin files and the program's resources, "Include",
// and layouts that cannot be built.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "TestHostWindow.h"
#include "support/ZipWriter.h"
#include "ui/ContainerUI.h"
#include "ui/DialogBuilder.h"
#include "ui/LabelUI.h"
#include "ui/SkinModule.h"
#include "ui/SkinStorage.h"
#include "ui/WindowHostUI.h"

using namespace SkinUI;

namespace {

class BuilderTest : public testing::Test {
 protected:
  void SetUp() override { CSkinStorage::CloseSkinArchive(); }
  void TearDown() override { CSkinStorage::CloseSkinArchive(); }

  // Builds `layout` and hands the tree to the manager, which then owns it.
  CControlUI* Build(const wchar_t* layout, const wchar_t* type = nullptr,
                    IDialogBuilderCallback* callback = nullptr) {
    CControlUI* root = builder_.Create(layout, type, callback, &host_);
    if (root) host_.AttachDialog(root);
    return root;
  }
  const wchar_t* ClassOf(const wchar_t* name) const {
    CControlUI* control = host_.FindControl(name);
    return control ? control->GetClass() : L"(none)";
  }
  static IContainerUI* ContainerOf(CControlUI* control) {
    return control ? static_cast<IContainerUI*>(control->GetInterface(L"IContainer")) : nullptr;
  }
  // Skin files in an archive held in memory, as the installer holds its own.
  static void UseArchive(const std::vector<testing_support::ZipEntrySpec>& files) {
    const testing_support::ZipImage zip = testing_support::BuildZip(files);
    ASSERT_TRUE(CSkinStorage::SetSkinArchive(zip.bytes.data(), zip.bytes.size()));
  }

  CDialogBuilder builder_;
  CWindowHostUI host_;
};

// Which class each element makes is the control factory's table (ControlTreeTest).
TEST_F(BuilderTest, UnknownElementsAreSkippedWithEverythingInside) {
  CControlUI* root = Build(LR"(<Window><Container name="root">
    <Label name="l" /><Marquee name="m"><Button name="inside_unknown" /></Marquee>
    <Checkbox name="lower" /><Edit name="e" />
  </Container></Window>)");
  ASSERT_NE(root, nullptr);
  EXPECT_STREQ(root->GetClass(), L"ContainerUI");
  EXPECT_STREQ(ClassOf(L"e"), L"EditUI");
  // Element names are matched exactly.
  EXPECT_EQ(host_.FindControl(L"m"), nullptr);
  EXPECT_EQ(host_.FindControl(L"inside_unknown"), nullptr);
  EXPECT_EQ(host_.FindControl(L"lower"), nullptr);
  EXPECT_EQ(ContainerOf(root)->GetCount(), 2);
}

class Maker : public IDialogBuilderCallback {
 public:
  CControlUI* CreateControl(const wchar_t* className) override {
    asked += std::wstring(className) + L" ";
    if (std::wcscmp(className, L"Fancy") == 0 || std::wcscmp(className, L"Banner") == 0) {
      return new CContainerUI;
    }
    return nullptr;
  }
  std::wstring asked;
};

CControlUI* MakeBanner(const wchar_t* elementName) {
  return std::wcscmp(elementName, L"Banner") == 0 ? new CLabelUI : nullptr;
}

TEST_F(BuilderTest, CreatorsThenTheCallbackMakeTheOtherElements) {
  Maker maker;
  CDialogBuilder::AddControlCreator(&MakeBanner);
  CControlUI* root = Build(LR"(<Window><VerticalLayout>
    <Fancy name="f"><Button name="in_fancy" /></Fancy><Banner name="banner" /><Button name="b" />
    <Nothing name="n" /></VerticalLayout></Window>)",
                           nullptr, &maker);
  CDialogBuilder::RemoveControlCreator(&MakeBanner);
  ASSERT_NE(root, nullptr);
  EXPECT_STREQ(ClassOf(L"f"), L"ContainerUI");
  EXPECT_STREQ(ClassOf(L"in_fancy"), L"ButtonUI");
  EXPECT_STREQ(ClassOf(L"banner"), L"LabelUI");
  EXPECT_EQ(host_.FindControl(L"n"), nullptr);
  // Built-in elements never reach the callback; the creator answered "Banner" first.
  EXPECT_EQ(maker.asked, L"Fancy Nothing ");
}

TEST_F(BuilderTest, TheTreeIsBuiltFromTheRootsChildren) {
  // The first control at the top level is the tree; a second one has no place.
  CControlUI* root = Build(LR"(<Window><Font name="Tahoma" />
    <VerticalLayout name="first"><Label name="inner" /></VerticalLayout>
    <HorizontalLayout name="second" /></Window>)");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->GetName(), L"first");
  EXPECT_EQ(host_.FindControl(L"second"), nullptr);
  EXPECT_EQ(host_.FindControl(L"inner")->GetParent(), root);

  // Any root element works alike (its children build the tree).
  CDialogBuilder other;
  CWindowHostUI host;
  CControlUI* tree = other.Create(LR"(<Dialog><Button name="b" /></Dialog>)", nullptr, nullptr,
                                  &host);
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(tree->GetName(), L"b");
  host.AttachDialog(tree);
}

TEST_F(BuilderTest, TheRootsFontsImagesAndDefaultLists) {
  ASSERT_TRUE(CSkinModule::LoadSkinArchiveResource(150));
  CControlUI* root = Build(LR"(<Window>
    <Font name="Tahoma" size="14" />
    <Font name="Microsoft YaHei" default="true" bold="true" />
    <Font name="Tahoma" size="13" bold="True" underline="true" italic="true" />
    <Image name="common_tip_icon.png" mask="#FF000000" />
    <Default name="Button" value="text=&quot;default&quot; width=&quot;10&quot;" />
    <Default name="Button" value="text=&quot;second&quot;" />
    <VerticalLayout>
      <Button name="a" width="20" text="own" text="later" />
      <Button name="b" />
      <Label name="l" />
    </VerticalLayout></Window>)");
  ASSERT_NE(root, nullptr);
  const TFontRecord* first = host_.GetFontInfo(0);
  EXPECT_EQ(first->faceName, L"Tahoma");
  EXPECT_EQ(first->size, 14);
  EXPECT_FALSE(first->bold);
  // The default font is also custom font 1; a missing size is 12.
  const TFontRecord* fallback = host_.GetFontInfo(-1);
  EXPECT_EQ(fallback->faceName, L"Microsoft YaHei");
  EXPECT_EQ(fallback->size, 12);
  EXPECT_TRUE(fallback->bold);
  EXPECT_EQ(host_.GetFontInfo(1)->faceName, L"Microsoft YaHei");
  // Booleans are true only when written exactly "true".
  const TFontRecord* third = host_.GetFontInfo(2);
  EXPECT_FALSE(third->bold);
  EXPECT_TRUE(third->underline);
  EXPECT_TRUE(third->italic);

  const TImageRecord* image = host_.GetImage(L"common_tip_icon.png");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->mask, 0xFF000000u);
  EXPECT_GT(image->width, 0);

  // The first default list of a class wins; the element's own attributes come after it, in
  // document order.
  EXPECT_EQ(host_.FindControl(L"a")->GetText(), L"later");
  EXPECT_EQ(host_.FindControl(L"a")->GetFixedWidth(), 20);
  EXPECT_EQ(host_.FindControl(L"b")->GetText(), L"default");
  EXPECT_EQ(host_.FindControl(L"b")->GetFixedWidth(), 10);
  EXPECT_EQ(host_.FindControl(L"l")->GetText(), L"");
}

TEST_F(BuilderTest, WindowSettingsGoToAManagerWithAWindow) {
  const wchar_t* const layout = LR"(<Window size="300,120" caption="1,2,3,35" sizebox="4,5,6,7"
      roundcorner="8,9" shadowcorner="3,4" mininfo="300,120" maxinfo="600,240" sizegrip="11,12"
      showdirty="true" shadow="true" selfshadow="true" shadowborder="1,2,3,4"
      shadowimage="shadow.png" alpha="200" defaultfontcolor="#FF102030"
      disabledfontcolor="FFA0A0A0" linkfontcolor="#FF0000EE" linkhoverfontcolor="#FFEE0000"
      selectedcolor="#FF00EE00"><Control /></Window>)";
  // No window: the settings stay as they were.
  ASSERT_NE(Build(layout), nullptr);
  EXPECT_EQ(host_.GetCaptionRect().bottom, 0);
  EXPECT_EQ(host_.GetInitSize().cx, 0);

  testing_support::TestHostWindow window(L"KeltoBuilderWindow", 50, 40);
  ASSERT_NE(window.hwnd(), nullptr);
  CWindowHostUI& host = window.host();
  CDialogBuilder builder;
  CControlUI* root = builder.Create(layout, nullptr, nullptr, &host);
  ASSERT_NE(root, nullptr);
  host.AttachDialog(root);
  RECT client = {};
  ::GetClientRect(window.hwnd(), &client);
  EXPECT_EQ(client.right, 300);
  EXPECT_EQ(client.bottom, 120);
  EXPECT_EQ(host.GetCaptionRect(), (RECT{1, 2, 3, 35}));
  EXPECT_EQ(host.GetSizeBox(), (RECT{4, 5, 6, 7}));
  EXPECT_EQ(host.GetRoundCorner().cx, 8);
  EXPECT_EQ(host.GetRoundCorner().cy, 9);
  EXPECT_EQ(host.GetShadowCorner().cy, 4);
  EXPECT_EQ(host.GetMinInfo().cx, 300);
  EXPECT_EQ(host.GetMaxInfo().cy, 240);
  EXPECT_EQ(host.GetSizeGrip().cx, 11);
  EXPECT_TRUE(host.IsShowUpdateRect());
  EXPECT_TRUE(host.IsShadowWanted());
  EXPECT_TRUE(host.IsSelfShadow());
  EXPECT_EQ(host.GetShadowBorder(), (RECT{1, 2, 3, 4}));
  EXPECT_EQ(host.GetShadowImage(), L"shadow.png");
  EXPECT_TRUE(::GetWindowLongW(window.hwnd(), GWL_EXSTYLE) & WS_EX_LAYERED);
  EXPECT_EQ(host.GetDefaultFontColor(), 0xFF102030u);
  EXPECT_EQ(host.GetDefaultDisabledColor(), 0xFFA0A0A0u);
  EXPECT_EQ(host.GetDefaultLinkFontColor(), 0xFF0000EEu);
  EXPECT_EQ(host.GetDefaultLinkHoverFontColor(), 0xFFEE0000u);
  EXPECT_EQ(host.GetDefaultSelectedBkColor(), 0xFF00EE00u);

  // The first size given stays; "alpha" outside 0 to 255 ends layering.
  CDialogBuilder again;
  host.AttachDialog(again.Create(LR"(<Window size="500,500" alpha="256"><Control /></Window>)",
                                 nullptr, nullptr, &host));
  ::GetClientRect(window.hwnd(), &client);
  EXPECT_EQ(client.right, 300);
  EXPECT_FALSE(::GetWindowLongW(window.hwnd(), GWL_EXSTYLE) & WS_EX_LAYERED);
}

TEST_F(BuilderTest, SkinFilesAndTheirIncludes) {
  UseArchive({
      {"Main.xml", R"(<?xml version="1.0" encoding="utf-8"?>
        <Window><VerticalLayout name="main">
          <Include source="part.xml" count="3" />
          <Include source="Part.xml" count="0" />
          <Include count="2" />
          <Include source="Missing.xml" />
          <Label name="after" />
        </VerticalLayout></Window>)"},
      {"Part.xml", R"(<Window><Button text="part" /></Window>)"},
      {"TopPart.xml", R"(<Window><Include source="Part.xml" count="2" /></Window>)"},
      {"Loop.xml", R"(<Window><VerticalLayout><Include source="Loop.xml" /></VerticalLayout></Window>)"},
  });
  CControlUI* main = Build(L"Main.xml");
  ASSERT_NE(main, nullptr) << builder_.GetMarkup().GetLastErrorMessage();
  IContainerUI* items = ContainerOf(main);
  ASSERT_EQ(items->GetCount(), 4);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(items->GetItemAt(i)->GetText(), L"part");
  EXPECT_EQ(items->GetItemAt(3)->GetName(), L"after");

  // An include at the top level gives the tree when nothing came before it.
  CDialogBuilder top;
  CWindowHostUI topHost;
  CControlUI* part = top.Create(L"TopPart.xml", nullptr, nullptr, &topHost);
  ASSERT_NE(part, nullptr);
  EXPECT_STREQ(part->GetClass(), L"ButtonUI");
  topHost.AttachDialog(part);

  // A layout that includes itself ends after a fixed depth.
  CDialogBuilder loop;
  CWindowHostUI loopHost;
  CControlUI* nested = loop.Create(L"Loop.xml", nullptr, nullptr, &loopHost);
  ASSERT_NE(nested, nullptr);
  loopHost.AttachDialog(nested);
  int depth = 0;
  for (CControlUI* c = nested; c; c = ContainerOf(c)->GetCount() ? ContainerOf(c)->GetItemAt(0) : nullptr) {
    ++depth;
  }
  EXPECT_EQ(depth, CDialogBuilder::kMaxIncludeDepth + 1);
}

TEST_F(BuilderTest, ResourceLayoutsIncludeResources) {
  const wchar_t* const ids[] = {L"301", MAKEINTRESOURCEW(301)};
  for (const wchar_t* id : ids) {
    CDialogBuilder builder;
    CWindowHostUI host;
    CControlUI* root = builder.Create(id, L"xml", nullptr, &host);
    ASSERT_NE(root, nullptr);
    host.AttachDialog(root);
    EXPECT_EQ(root->GetName(), L"resource_root");
    IContainerUI* items = ContainerOf(root);
    ASSERT_EQ(items->GetCount(), 3);
    EXPECT_EQ(items->GetItemAt(0)->GetText(), L"资源");
    EXPECT_EQ(items->GetItemAt(1)->GetName(), L"resource_part");
    EXPECT_EQ(items->GetItemAt(2)->GetName(), L"resource_part");
  }
}

TEST_F(BuilderTest, LayoutsThatCannotBeBuiltGiveNothing) {
  UseArchive({{"Broken.xml", "<Window><Button></Window>"}, {"Empty.xml", "<Window />"}});
  EXPECT_EQ(builder_.Create(L"Missing.xml", nullptr, nullptr, &host_), nullptr);
  EXPECT_STREQ(builder_.GetMarkup().GetLastErrorMessage(), L"Could not find ziped file");
  EXPECT_EQ(builder_.Create(L"Broken.xml", nullptr, nullptr, &host_), nullptr);
  EXPECT_STREQ(builder_.GetMarkup().GetLastErrorMessage(), L"Unmatched closing tag");
  EXPECT_EQ(builder_.Create(L"Empty.xml", nullptr, nullptr, &host_), nullptr);
  EXPECT_EQ(builder_.Create(L"<Window x='1'><Control /></Window>", nullptr, nullptr, &host_),
            nullptr);
  EXPECT_STREQ(builder_.GetMarkup().GetLastErrorMessage(), L"Expected attribute value");
  EXPECT_EQ(builder_.Create(L"", nullptr, nullptr, &host_), nullptr);
  EXPECT_EQ(builder_.Create(nullptr, nullptr, nullptr, &host_), nullptr);
  EXPECT_EQ(builder_.Create(L"999", L"xml", nullptr, &host_), nullptr);
  EXPECT_EQ(builder_.Create(L"", L"xml", nullptr, &host_), nullptr);
  EXPECT_EQ(host_.GetRoot(), nullptr);
}

TEST_F(BuilderTest, ChildrenNeedAContainerAndGoIntoAGivenParent) {
  CControlUI* root = Build(LR"(<Window><VerticalLayout name="v">
    <Button name="b"><Label name="inner" /><Label name="inner2" /></Button>
    <Label name="after" /></VerticalLayout></Window>)");
  ASSERT_NE(root, nullptr);
  EXPECT_NE(host_.FindControl(L"b"), nullptr);
  EXPECT_EQ(host_.FindControl(L"inner"), nullptr);
  EXPECT_EQ(host_.FindControl(L"inner2"), nullptr);
  EXPECT_NE(host_.FindControl(L"after"), nullptr);

  // Built into an existing container, as "Include" does.
  CDialogBuilder more;
  CControlUI* added = more.Create(LR"(<Window><Label name="x" /><Label name="y" /></Window>)",
                                  nullptr, nullptr, &host_, root);
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->GetName(), L"x");
  EXPECT_EQ(ContainerOf(root)->GetCount(), 4);
  EXPECT_EQ(host_.FindControl(L"y")->GetParent(), root);
}

}  // namespace
