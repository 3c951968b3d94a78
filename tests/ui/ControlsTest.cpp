// Controls and drawing without a window under Wine: trees built by the dialog builder from
// markup and skin files, what a deleted control leaves behind, and what image strings,
// colours and controls paint, pixel by pixel in a 32-bit DIB.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "MainWindowSkin.h"
#include "TestCanvas.h"
#include "support/PngWriter.h"
#include "support/ZipWriter.h"
#include "ui/controls/OptionUI.h"
#include "ui/controls/ProgressUI.h"
#include "ui/core/ContainerUI.h"
#include "ui/markup/SkinStorage.h"
#include "ui/skin/SkinPainter.h"
#include "ui/windows/DialogBuilder.h"

using namespace SkinUI;
using namespace testing_support;

namespace {

// True once `control` has been destroyed.
std::shared_ptr<bool> WatchDestruction(CControlUI* control) {
  auto destroyed = std::make_shared<bool>(false);
  control->OnDestroy.Add([destroyed](CControlUI&) { return *destroyed = true; });
  return destroyed;
}

IContainerUI* ContainerOf(CControlUI* control) {
  return control ? static_cast<IContainerUI*>(control->GetInterface(L"IContainer")) : nullptr;
}

// Makes the "Fancy" elements, watching the end of each one.
struct Maker : IDialogBuilderCallback {
  CControlUI* CreateControl(const wchar_t* element) override {
    if (std::wstring(element) != L"Fancy") return nullptr;
    auto* control = new CContainerUI;
    destroyed.push_back(WatchDestruction(control));
    return control;
  }
  std::vector<std::shared_ptr<bool>> destroyed;
};

// What pixels read back as, 0xRRGGBB.
constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;
constexpr uint32_t kGrey = 0x808080;

// A PNG of `size` x `size` pixels: a red frame `border` pixels wide around a blue middle.
std::string Frame(int size, int border) {
  std::vector<uint32_t> px;  // 0xRRGGBBAA
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const bool middle = x >= border && x < size - border && y >= border && y < size - border;
      px.push_back(middle ? 0x0000FFFFu : 0xFF0000FFu);
    }
  }
  return EncodePng(size, size, px);
}

struct Probe {
  int x, y;
  uint32_t rgb;
};

// The probed pixels hold their colours, and nothing outside `drawn` changed from `fill`
// (nothing at all without probes).
void ExpectPixels(const TestCanvas& canvas, const std::vector<Probe>& probes, uint32_t fill,
                  RECT drawn) {
  for (const Probe& p : probes) {
    EXPECT_TRUE(Near(canvas.Rgb(p.x, p.y), p.rgb, 8))
        << p.x << "," << p.y << ": " << std::hex << canvas.Rgb(p.x, p.y);
  }
  EXPECT_EQ(canvas.CountDiffering(probes.empty() ? RECT{} : drawn, fill, false), 0);
}

}  // namespace

TEST(DialogBuilder, BuildsKnownElementsAndTheCallbacksOnesIntoATreeWithOneRoot) {
  Maker maker;
  CDialogBuilder builder;
  CWindowHostUI host;
  CControlUI* root = builder.Create(
      LR"(<Window><Font name="Tahoma" /><VerticalLayout name="first">
      <Marquee name="m"><Button name="in_unknown" /></Marquee><Fancy><Label name="in_fancy" />
      </Fancy><Button><Option name="in_button" group="g" /></Button><Option group="g" />
      </VerticalLayout><Fancy><Option group="g" /></Fancy></Window>)",
      nullptr, &maker, &host);
  ASSERT_TRUE(host.AttachDialog(root));
  EXPECT_EQ(root->GetName(), L"first");
  EXPECT_NE(host.FindControl(L"in_fancy"), nullptr);
  // Unknown elements go with all inside them; only containers take children; a second
  // control at the top level has no place and is deleted.
  for (const wchar_t* name : {L"m", L"in_unknown", L"in_button"}) {
    EXPECT_EQ(host.FindControl(name), nullptr) << name;
  }
  EXPECT_EQ(ContainerOf(root)->GetCount(), 3);
  // Options that were deleted leave their group, whose next selection reaches only the live.
  ASSERT_NE(host.GetOptionGroup(L"g"), nullptr);
  EXPECT_EQ(*host.GetOptionGroup(L"g"), std::vector<CControlUI*>{ContainerOf(root)->GetItemAt(2)});
  ASSERT_EQ(maker.destroyed.size(), 2u);
  EXPECT_FALSE(*maker.destroyed[0]);
  EXPECT_TRUE(*maker.destroyed[1]);
  // A part built into a container of a live tree joins it under its names.
  CDialogBuilder part;
  ASSERT_NE(part.Create(LR"(<Window><Label name="x" /><Label name="y" /></Window>)", nullptr,
                        nullptr, &host, root),
            nullptr);
  ASSERT_NE(host.FindControl(L"y"), nullptr);
  EXPECT_EQ(host.FindControl(L"y")->GetParent(), root);
}

TEST(DialogBuilder, SkinFilesIncludeEachOtherToALimitedDepth) {
  const auto zip = BuildZip({
      {"Main.xml", R"(<?xml version="1.0" encoding="utf-8"?>
        <Window><VerticalLayout name="main"><Include source="part.xml" count="3" />
          <Include source="Part.xml" count="0" /><Include count="2" />
          <Include source="Missing.xml" /><Label name="after" /></VerticalLayout></Window>)"},
      {"Part.xml", R"(<Window><Button text="part" /></Window>)"},
      {"Loop.xml",
       R"(<Window><VerticalLayout><Include source="Loop.xml" /></VerticalLayout></Window>)"},
  });
  ASSERT_TRUE(CSkinStorage::SetSkinArchive(zip.bytes.data(), zip.bytes.size()));
  CDialogBuilder builder;
  CWindowHostUI host;
  CControlUI* main = builder.Create(L"Main.xml", nullptr, nullptr, &host);
  ASSERT_TRUE(host.AttachDialog(main));
  IContainerUI* items = ContainerOf(main);
  ASSERT_EQ(items->GetCount(), 4);
  EXPECT_EQ(items->GetItemAt(2)->GetText(), L"part");
  EXPECT_EQ(items->GetItemAt(3)->GetName(), L"after");
  // A layout that includes itself ends after a fixed depth.
  CControlUI* nested = builder.Create(L"Loop.xml", nullptr, nullptr, &host);
  ASSERT_TRUE(host.AttachDialog(nested));
  int depth = 0;
  for (CControlUI* c = nested; c; c = ContainerOf(c)->GetItemAt(0)) ++depth;
  EXPECT_EQ(depth, CDialogBuilder::kMaxIncludeDepth + 1);
  CSkinStorage::CloseSkinArchive();
}

TEST(TreeDeletion, ADeletedControlLeavesItsGroupItsNameTheFocusAndThePaintListAtOnce) {
  std::shared_ptr<bool> destroyed;
  {
    CWindowHostUI host;
    CDialogBuilder builder;
    CControlUI* root = builder.Create(
        LR"(<Window><Container><Option name="x" group="g" />
      <Option name="x" group="g" /><Button name="b" /></Container></Window>)",
        nullptr, nullptr, &host);
    host.AttachDialog(root);
    auto* first = static_cast<COptionUI*>(host.FindControl(L"x"));
    auto* second = static_cast<COptionUI*>(ContainerOf(root)->GetItemAt(1));
    first->Activate();
    second->Activate();
    EXPECT_FALSE(first->IsSelected());
    // Out of the tree and forgotten by the manager at once, but deleted only later: the
    // message being handled may still use it.
    CControlUI* button = host.FindControl(L"b");
    destroyed = WatchDestruction(button);
    host.SetFocus(button);
    ASSERT_TRUE(host.AddPostPaint(button));
    ContainerOf(root)->Remove(button);
    EXPECT_FALSE(*destroyed);
    EXPECT_EQ(host.FindControl(L"b"), nullptr);
    EXPECT_EQ(host.GetFocus(), nullptr);
    EXPECT_FALSE(host.RemovePostPaint(button));
    // A name stays with the first control of that name until that one goes.
    ContainerOf(root)->Remove(second);
    EXPECT_EQ(host.GetOptionGroup(L"g")->size(), 1u);
    EXPECT_EQ(host.FindControl(L"x"), first);
    ContainerOf(root)->Remove(first);
    EXPECT_EQ(host.GetOptionGroup(L"g"), nullptr);
    EXPECT_EQ(host.FindControl(L"x"), nullptr);
  }
  // A manager going away deletes what still waits.
  EXPECT_TRUE(*destroyed);
}

TEST(SkinPainter, ImageStringsDrawTheirPiecesWithinItemAndPaintRectangles) {
  const auto zip = BuildZip({{"frame.png", Frame(9, 3)},
                             {"half.png", SolidPng(4, 4, 0xFFFFFF80u)},
                             {"white.png", SolidPng(4, 4, 0xFFFFFFFFu)},
                             {"icon.png", SolidPng(4, 4, 0xFF0000FFu)}});
  ASSERT_TRUE(CSkinStorage::SetSkinArchive(zip.bytes.data(), zip.bytes.size()));
  // Draws `image` over `item` on a canvas of `fill`; what changes lies within `drawn`.
  const auto draw = [](const wchar_t* image, RECT item, std::vector<Probe> probes, RECT drawn = {},
                       uint32_t fill = kGrey, RECT paint = {0, 0, 64, 64}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(image)));
    TestCanvas canvas(64, 64, 0xFF000000 | fill);
    CSkinResourceCache cache;
    EXPECT_TRUE(CSkinPainter::DrawImageString(canvas.dc(), &cache, item, paint, image));
    ExpectPixels(canvas, probes, fill, drawn.right ? drawn : item);
  };
  draw(L"frame.png", {8, 8, 44, 44}, {{8, 8, kRed}, {43, 43, kRed}, {26, 26, kBlue}});
  draw(L"file='frame.png' source='3,3,6,6'", {4, 4, 36, 36}, {{4, 4, kBlue}, {35, 35, kBlue}});
  draw(L"file='icon.png' dest='0,4,16,20'", {8, 8, 48, 48}, {{8, 12, kRed}}, {8, 12, 24, 28});
  // Corners stay sharp while the middle stretches.
  draw(L"file='frame.png' corner='3,3,3,3'", {0, 0, 60, 30}, {{2, 15, kRed}, {3, 15, kBlue}});
  draw(L"file='icon.png' stretch='false' center='true'", {0, 0, 20, 20}, {{8, 8, kRed}},
       {8, 8, 12, 12});
  // Pieces wholly outside the paint rectangle are not drawn.
  draw(L"file='frame.png' corner='3,3,3,3'", {8, 8, 48, 48}, {{20, 20, kBlue}}, {8, 8, 45, 48},
       kGrey, {8, 8, 28, 48});
  draw(L"file='half.png' fade='128'", {0, 0, 8, 8}, {{4, 4, 0x404040}}, {}, 0);
  // Later images take the state the earlier ones set.
  draw(L"file='white.png' file='icon.png' dest='0,0,10,10'", {0, 0, 20, 10},
       {{15, 5, kWhite}, {5, 5, kRed}});
  draw(L"file='nothere.png'", {0, 0, 10, 10}, {});
  CSkinStorage::CloseSkinArchive();
}

TEST(SkinPainter, TranslucentColoursArePremultipliedBeforeTheyBlend) {
  TestCanvas canvas(20, 10, 0xFF000000);
  CSkinPainter::DrawColor(canvas.dc(), RECT{0, 0, 10, 10}, 0x00C0C0C0);
  CSkinPainter::DrawColor(canvas.dc(), RECT{10, 0, 20, 10}, 0x80FF8000);
  EXPECT_EQ(canvas.Rgb(5, 5), 0u);
  // A coloured fill darkens instead of saturating.
  EXPECT_TRUE(Near(canvas.Rgb(15, 5), 0x804000, 2)) << std::hex << canvas.Rgb(15, 5);
}

TEST(ControlPaint, BackgroundsBordersAndImagesStayWithinTheirItems) {
  ASSERT_TRUE(InstallMainWindowSkin());
  const RECT all = {0, 0, 200, 100}, item = {20, 20, 120, 80};
  // Lays `markup` out over `area` and paints it on black.
  const auto paint = [](const wchar_t* markup, RECT area, std::vector<Probe> probes) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(markup)));
    TestCanvas canvas(200, 100, 0xFF000000);
    CWindowHostUI host;
    CDialogBuilder builder;
    CControlUI* root = builder.Create((L"<Window>" + std::wstring(markup) + L"</Window>").c_str(),
                                      nullptr, nullptr, &host);
    ASSERT_TRUE(host.AttachDialog(root));
    // Painting a progress bar leaves its maximum and value alone.
    auto* bar = static_cast<CProgressUI*>(root->GetInterface(L"Progress"));
    const auto values = [bar] { return bar ? bar->GetMaxValue() * 10000 + bar->GetValue() : 0; };
    const int before = values();
    root->SetPos(area);
    root->DoPaint(canvas.dc(), area);
    ExpectPixels(canvas, probes, 0, area);
    EXPECT_EQ(values(), before);
  };
  // Borders lie inside the item; a focus colour alone draws nothing without the focus.
  paint(LR"(<Control bkcolor="#FFFFFFFF" focusbordercolor="#FFFF0000" bordersize="2" />)", item,
        {{20, 50, kWhite}, {119, 79, kWhite}});
  paint(LR"(<Control bordercolor="#FFFF0000" bordersize="2" />)", item,
        {{21, 50, kRed}, {22, 50, 0}, {119, 50, kRed}, {70, 80, 0}});
  paint(LR"(<Control bordercolor="#FF00FF00" rightbordersize="1" bottombordersize="1" />)", item,
        {{119, 50, kGreen}, {120, 50, 0}, {70, 79, kGreen}, {70, 80, 0}});
  // A floating child takes the whole container and is painted over the flowing one, which
  // is cut at the inner area.
  paint(
      LR"(<HorizontalLayout inset="20,20,20,20"><Control height="200" bkcolor="#FF00FF00" />
      <Control float="true" pos="0,0,50,50" bkcolor="#FFFF0000" /></HorizontalLayout>)",
      all, {{5, 5, kRed}, {100, 50, kGreen}, {100, 85, 0}});
  paint(LR"(<Progress bkimage="progress_bk.png" foreimage="progress_fore.png" value="30" />)", all,
        {{59, 50, kProgressFill}, {60, 50, kProgressTrack}});
  paint(LR"(<Progress foreimage="progress_fore.png" max="0" />)", all, {});
  RemoveMainWindowSkin();
}
