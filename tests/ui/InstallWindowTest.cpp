// The install window's layout, "InstallPackages.xml", loaded by the window base from the
// installer's skin archive into a real window: its size, the caption over the banner, and
// screenshots of its three pages (the shadow around them) in build/win/screenshots.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Screenshot.h"
#include "SkinWindowFixture.h"
#include "TestDialog.h"
#include "TestHostWindow.h"
#include "support/MessagePump.h"
#include "ui/SkinStorage.h"
#include "ui/TabLayoutUI.h"
#include "ui/WndShadow.h"

using testing_support::TestDialog;

namespace {

RECT WindowRect(HWND window) {
  RECT r = {};
  ::GetWindowRect(window, &r);
  return r;
}

using InstallWindowTest = testing_support::SkinWindowTest;

TEST_F(InstallWindowTest, TheLayoutLoadsFromTheSkinArchiveIntoADraggableWindowThatShowsWhatItPaints) {
  TestDialog dialog(L"InstallPackages.xml");
  const std::wstring title = UniqueTitle(L"安装凯途星联");
  ASSERT_NE(dialog.CreateDialogWindow(title), nullptr);
  const HWND window = dialog.GetHWND();
  dialog.ShowWindow(true, true);
  ::UpdateWindow(window);
  // The archive came from the resource and stays for every later window.
  EXPECT_EQ(SkinUI::CSkinStorage::GetSkinArchive(), L"membuffer");
  EXPECT_NE(SkinUI::CSkinStorage::GetSkinArchiveHandle(), nullptr);

  const RECT bounds = WindowRect(window);
  EXPECT_EQ(bounds.right - bounds.left, 540);
  EXPECT_EQ(bounds.bottom - bounds.top, 355);
  // The banner drags the window; the system buttons on it stay buttons.
  const auto hit = [&](int x, int y) {
    POINT p = {x, y};
    ::ClientToScreen(window, &p);
    return ::SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
  };
  EXPECT_EQ(hit(270, 100), HTCAPTION);
  EXPECT_EQ(hit(500, 11), HTCLIENT);
  EXPECT_EQ(hit(525, 11), HTCLIENT);
  EXPECT_EQ(hit(270, 250), HTCLIENT);

  // The three pages as the screen shows them, with the shadow around them.
  testing_support::PumpMessagesUntil([&] {
    return dialog.GetShadow() && ::IsWindowVisible(dialog.GetShadow()->GetHWND());
  }, 3000);
  auto* pages = static_cast<SkinUI::CTabLayoutUI*>(dialog.Find(L"tb_main")->GetInterface(L"TabLayout"));
  ASSERT_NE(pages, nullptr);
  const char* const names[] = {"install_start", "install_folder", "install_progress"};
  for (int page = 0; page < 3; ++page) {
    SCOPED_TRACE(names[page]);
    pages->SelectItem(page);
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    // The X server shows the page a little later; only the corners cut round by the window
    // region may differ from what was painted.
    std::unique_ptr<testing_support::TestCanvas> screen;
    int unlike = -1;
    testing_support::PumpMessagesUntil([&] {
      screen = testing_support::CaptureWindow(window, 14);
      unlike = screen ? testing_support::CountUnlikePixels(
                            *screen, 14, dialog.GetPaintManager().GetOffscreenBitmap(), 8)
                      : -1;
      return unlike >= 0 && unlike <= 4 * 8 * 8;
    }, 5000);
    ASSERT_NE(screen, nullptr);
    EXPECT_TRUE(testing_support::SaveScreenshot(*screen, names[page]));
    EXPECT_GE(unlike, 4);
    EXPECT_LE(unlike, 4 * 8 * 8);
  }
}

}  // namespace
