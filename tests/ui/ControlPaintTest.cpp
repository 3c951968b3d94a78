// What controls paint, checked pixel by pixel in a 32-bit DIB: background colours and
// gradients, borders, rounded clipping, container clipping, state images, label alignment,
// the progress bar's fill and the edit box's password mask.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "MainWindowSkin.h"
#include "TestCanvas.h"
#include "TestHostWindow.h"
#include "ui/ButtonUI.h"
#include "ui/DialogBuilder.h"
#include "ui/ProgressUI.h"

using namespace SkinUI;
using testing_support::Near;
using testing_support::TestCanvas;

namespace {

constexpr uint32_t kBlack = 0xFF000000;

class PaintTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(testing_support::InstallMainWindowSkin()); }
  void TearDown() override { testing_support::RemoveMainWindowSkin(); }

  // Builds the controls of `markup` as the children of a layout's window, lays them out over
  // `area` and paints `paint` (all of it by default).
  CControlUI* Paint(const wchar_t* markup, const RECT& area, const RECT* paint = nullptr) {
    const std::wstring layout = L"<Window>" + std::wstring(markup) + L"</Window>";
    CDialogBuilder builder;
    CControlUI* root = builder.Create(layout.c_str(), nullptr, nullptr, &host_);
    if (!root) return nullptr;
    host_.AttachDialog(root);
    root->SetPos(area);
    root->DoPaint(canvas_.dc(), paint ? *paint : area);
    return root;
  }
  uint32_t At(int x, int y) const { return canvas_.Rgb(x, y); }
  int CountRgb(uint32_t rgb) const {
    return canvas_.width() * canvas_.height() -
           canvas_.CountDiffering(RECT{0, 0, canvas_.width(), canvas_.height()}, rgb);
  }
  // The bounding box of the pixels that differ from the canvas colour.
  RECT Ink() const {
    RECT box = {canvas_.width(), canvas_.height(), -1, -1};
    for (int y = 0; y < canvas_.height(); ++y) {
      for (int x = 0; x < canvas_.width(); ++x) {
        if (canvas_.Rgb(x, y) == (kBlack & 0xFFFFFF)) continue;
        box = RECT{std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                   std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
      }
    }
    return box;
  }

  CWindowHostUI host_;
  TestCanvas canvas_{200, 100, kBlack};
};

}  // namespace

TEST_F(PaintTest, OpaqueBackgroundFillsThePaintedPartAndTranslucentOneTheWholeItem) {
  const RECT part = {0, 0, 100, 50};
  Paint(LR"(<Control bkcolor="#ffffffff" />)", RECT{0, 0, 200, 100}, &part);
  EXPECT_EQ(At(50, 25), 0xFFFFFFu);
  EXPECT_EQ(At(150, 75), 0x000000u);

  canvas_.Fill(kBlack);
  Paint(LR"(<Control bkcolor="#f2ffffff" />)", RECT{0, 0, 200, 100}, &part);
  EXPECT_TRUE(Near(canvas_.Rgb(150, 75), 0xF2F2F2, 1));
  EXPECT_TRUE(Near(canvas_.Rgb(50, 25), 0xF2F2F2, 1));
}

TEST_F(PaintTest, GradientRunsFromTheFirstColourAtTheTopToTheLastAtTheBottom) {
  Paint(LR"(<Control bkcolor="#FF000000" bkcolor2="#FFFFFFFF" />)", RECT{0, 0, 200, 100});
  EXPECT_LT(At(100, 0) & 0xFF, 8u);
  EXPECT_GT(At(100, 99) & 0xFF, 247u);
  for (int y = 1; y < 100; ++y) EXPECT_GE(At(100, y) & 0xFF, At(100, y - 1) & 0xFF);
  // Three colours: the middle colour halfway down.
  canvas_.Fill(kBlack);
  Paint(LR"(<Control bkcolor="#FF000000" bkcolor2="#FFFFFFFF" bkcolor3="#FF000000" />)",
        RECT{0, 0, 200, 100});
  EXPECT_GT(At(100, 49) & 0xFF, 240u);
  EXPECT_LT(At(100, 99) & 0xFF, 8u);
}

TEST_F(PaintTest, BordersLieInsideTheItemAndTransparentOnesDrawNothing) {
  Paint(LR"(<Control bordercolor="#00C0C0C0" />)", RECT{20, 20, 120, 80});
  EXPECT_EQ(canvas_.CountDiffering(RECT{0, 0, 200, 100}, kBlack), 0);

  Paint(LR"(<Control bordercolor="#FFFF0000" bordersize="2" />)", RECT{20, 20, 120, 80});
  EXPECT_EQ(At(20, 50), 0xFF0000u);
  EXPECT_EQ(At(21, 50), 0xFF0000u);
  EXPECT_EQ(At(22, 50), 0x000000u);
  EXPECT_EQ(At(119, 50), 0xFF0000u);
  EXPECT_EQ(At(120, 50), 0x000000u);
  EXPECT_EQ(At(70, 79), 0xFF0000u);
  EXPECT_EQ(At(70, 80), 0x000000u);

  // Single sides: each line within the item, none on its neighbour's pixels.
  canvas_.Fill(kBlack);
  Paint(LR"(<Control bordercolor="#FF00FF00" leftbordersize="2" rightbordersize="1"
                     bottombordersize="1" />)",
        RECT{20, 20, 120, 80});
  EXPECT_EQ(At(20, 50), 0x00FF00u);
  EXPECT_EQ(At(21, 50), 0x00FF00u);
  EXPECT_EQ(At(119, 50), 0x00FF00u);
  EXPECT_EQ(At(120, 50), 0x000000u);
  EXPECT_EQ(At(70, 79), 0x00FF00u);
  EXPECT_EQ(At(70, 80), 0x000000u);
  EXPECT_EQ(At(70, 20), 0x000000u);  // no top side

  // "bordersize" with four numbers sets the sides.
  canvas_.Fill(kBlack);
  Paint(LR"(<Control bordercolor="#FF0000FF" bordersize="0,0,0,3" />)", RECT{20, 20, 120, 80});
  EXPECT_EQ(At(70, 77), 0x0000FFu);
  EXPECT_EQ(At(70, 79), 0x0000FFu);
  EXPECT_EQ(At(20, 50), 0x000000u);
}

TEST_F(PaintTest, RoundedBorderClipsTheBackgroundToItsCorners) {
  Paint(LR"(<Control bkcolor="#FFFFFFFF" borderround="20,20" />)", RECT{20, 20, 120, 80});
  EXPECT_EQ(At(20, 20), 0x000000u);
  EXPECT_EQ(At(119, 79), 0x000000u);
  EXPECT_EQ(At(70, 50), 0xFFFFFFu);
  EXPECT_EQ(At(70, 20), 0xFFFFFFu);
}

TEST_F(PaintTest, FloatingChildrenUseTheWholeContainerAndFlowingOnesItsInnerArea) {
  // The floating child reaches into the inset margin and is painted whole, over the flowing
  // one before it; the flowing one is cut at the inner area.
  Paint(LR"(<HorizontalLayout inset="20,20,20,20">
    <Control height="200" bkcolor="#FF00FF00" />
    <Control float="true" pos="0,0,50,50" bkcolor="#FFFF0000" />
  </HorizontalLayout>)",
        RECT{0, 0, 200, 100});
  EXPECT_EQ(At(5, 5), 0xFF0000u);
  EXPECT_EQ(At(45, 45), 0xFF0000u);
  EXPECT_EQ(At(100, 50), 0x00FF00u);
  EXPECT_EQ(At(100, 85), 0x000000u);  // below the inner area
}

TEST_F(PaintTest, ButtonShowsTheImageOfItsStateOrFallsBackToTheNormalOne) {
  auto* button = static_cast<CButtonUI*>(Paint(
      LR"(<Button normalimage="btn_n.png" hotimage="btn_h.png" />)", RECT{0, 0, 200, 100}));
  EXPECT_EQ(At(100, 50), testing_support::kButtonNormal);
  TControlEvent event;
  event.type = kEventMouseEnter;
  button->Event(event);
  button->DoPaint(canvas_.dc(), RECT{0, 0, 200, 100});
  EXPECT_EQ(At(100, 50), testing_support::kButtonHot);
  // Pushed without a pushed image: the hot image stays.
  event.type = kEventButtonDown;
  event.mousePoint = POINT{100, 50};
  button->Event(event);
  EXPECT_TRUE(button->GetButtonState() & kStatePushed);
  button->DoPaint(canvas_.dc(), RECT{0, 0, 200, 100});
  EXPECT_EQ(At(100, 50), testing_support::kButtonHot);
  // Disabled without a disabled image: the normal image.
  button->SetEnabled(false);
  button->DoPaint(canvas_.dc(), RECT{0, 0, 200, 100});
  EXPECT_EQ(At(100, 50), testing_support::kButtonNormal);
  button->SetAttribute(L"disabledimage", L"btn_p.png");
  button->DoPaint(canvas_.dc(), RECT{0, 0, 200, 100});
  EXPECT_EQ(At(100, 50), testing_support::kButtonPushed);
  // An image that cannot be found draws nothing more, and the normal image still shows.
  canvas_.Fill(kBlack);
  button->SetEnabled(true);
  button->SetHotImage(L"missing.png");
  button->DoPaint(canvas_.dc(), RECT{0, 0, 200, 100});
  EXPECT_EQ(At(100, 50), testing_support::kButtonNormal);
}

TEST_F(PaintTest, SelectedOptionWithoutImageFillsItsSelectedColour) {
  Paint(LR"(<Option selected="true" selectedbkcolor="#FF0000FF" normalimage="btn_n.png" />)",
        RECT{0, 0, 200, 100});
  EXPECT_EQ(At(100, 50), 0x0000FFu);
}

TEST_F(PaintTest, LabelAlignmentPlacesItsText) {
  // "right" clears vertical centring: right-aligned at the top.
  Paint(LR"(<Label text="Ab" align="right" textcolor="#FFFFFFFF" />)", RECT{0, 0, 200, 100});
  RECT ink = Ink();
  EXPECT_GT(ink.right, 190);
  EXPECT_LT(ink.top, 20);
  // No align: vertically centred, from the left.
  canvas_.Fill(kBlack);
  Paint(LR"(<Label text="Ab" textcolor="#FFFFFFFF" />)", RECT{0, 0, 200, 100});
  ink = Ink();
  EXPECT_LT(ink.left, 10);
  EXPECT_NEAR((ink.top + ink.bottom) / 2, 50, 8);
  // "vcenter" also centres horizontally.
  canvas_.Fill(kBlack);
  Paint(LR"(<Label text="Ab" align="vcenter" textcolor="#FFFFFFFF" />)", RECT{0, 0, 200, 100});
  ink = Ink();
  EXPECT_NEAR((ink.left + ink.right) / 2, 100, 8);
  EXPECT_NEAR((ink.top + ink.bottom) / 2, 50, 8);
  // A disabled label takes the window's default disabled colour, an enabled one without a
  // colour the default text colour.
  canvas_.Fill(0xFFFFFFFF);
  Paint(LR"(<Label text="Ab" enabled="false" />)", RECT{0, 0, 200, 100});
  EXPECT_GT(CountRgb(0xA7A6AA), 0);
  EXPECT_EQ(CountRgb(0x000000), 0);
  canvas_.Fill(0xFFFFFFFF);
  Paint(LR"(<Label text="Ab" />)", RECT{0, 0, 200, 100});
  EXPECT_GT(CountRgb(0x000000), 0);
}

TEST_F(PaintTest, ProgressForeImageCoversTheFilledPartOnly) {
  auto* progress = static_cast<CProgressUI*>(
      Paint(LR"(<Progress bkimage="progress_bk.png" foreimage="progress_fore.png" value="30" />)",
            RECT{0, 0, 200, 100}));
  EXPECT_EQ(At(10, 50), testing_support::kProgressFill);
  EXPECT_EQ(At(59, 50), testing_support::kProgressFill);
  EXPECT_EQ(At(60, 50), testing_support::kProgressTrack);
  progress->SetValue(100);
  progress->DoPaint(canvas_.dc(), RECT{0, 0, 200, 100});
  EXPECT_EQ(At(199, 50), testing_support::kProgressFill);
  // Vertical bars fill from the bottom.
  progress->SetHorizontal(false);
  progress->SetValue(25);
  progress->DoPaint(canvas_.dc(), RECT{0, 0, 200, 100});
  EXPECT_EQ(At(100, 80), testing_support::kProgressFill);
  EXPECT_EQ(At(100, 70), testing_support::kProgressTrack);
}

TEST_F(PaintTest, PasswordEditPaintsOneMaskCharacterPerCharacter) {
  Paint(LR"(<Edit text="abc" password="true" textcolor="#FFFFFFFF" />)", RECT{0, 0, 200, 100});
  TestCanvas masked(200, 100, kBlack);
  ::BitBlt(masked.dc(), 0, 0, 200, 100, canvas_.dc(), 0, 0, SRCCOPY);
  canvas_.Fill(kBlack);
  Paint(LR"(<Label text="***" textcolor="#FFFFFFFF" textpadding="4,3,4,3" />)",
        RECT{0, 0, 200, 100});
  int differing = 0;
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 200; ++x) differing += masked.Rgb(x, y) != canvas_.Rgb(x, y);
  }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(canvas_.CountDiffering(RECT{0, 0, 200, 100}, kBlack), 0);
}
