// WindowImplBase with real windows under Wine and Xvfb, driven by xdotool's real X input
// where it matters: the layout and the skin archive taken at creation, hit tests over the
// caption, the borders and the controls, dragging by the caption and clicking a button in
// it, rounded corners, size limits, the shadow, the system buttons, Escape in modal loops,
// and the end of the window.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "LoopSteps.h"
#include "SkinWindowFixture.h"
#include "TestDialog.h"
#include "TestHostWindow.h"
#include "support/MessagePump.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"
#include "ui/WndShadow.h"

using SkinUI::CControlUI;
using testing_support::PumpMessagesUntil;
using testing_support::RunInLoop;
using testing_support::StartXdotool;
using testing_support::TestDialog;
using testing_support::When;
using testing_support::XdotoolClick;

namespace {

// A caption 60 pixels high holding a label, a progress bar, and a horizontal layout with a
// button; resizing borders of 4; the system buttons at the top right.
constexpr const wchar_t* kFrameLayout = LR"(<Window size="400,300" caption="0,0,0,60"
    sizebox="4,4,4,4" roundcorner="10,10" mininfo="300,200" maxinfo="800,600" shadow="true">
  <VerticalLayout name="root" bkcolor="#FF3060A0">
    <Label name="lb_title" float="true" pos="10,10,200,40" text="title" />
    <Progress name="pro" float="true" pos="20,45,200,55" />
    <HorizontalLayout name="hlt_caption" float="true" pos="210,10,300,50" bkcolor="#FF204080">
      <Button name="btn_in_caption" width="60" bkcolor="#FFE0E0E0" />
    </HorizontalLayout>
    <Button name="btn_min" float="true" pos="340,5,365,28" bkcolor="#FFFFFFFF" />
    <Button name="btn_close" float="true" pos="370,5,395,28" bkcolor="#FFFF0000" />
  </VerticalLayout>
</Window>)";

// No control takes the keyboard: keys reach only the window base.
constexpr const wchar_t* kPlainLayout = LR"(<Window size="240,120" caption="0,0,0,30">
  <VerticalLayout name="root" bkcolor="#FF808080"><Label name="lb" text="modal" />
  </VerticalLayout>
</Window>)";

class WindowImplBaseTest : public testing_support::SkinWindowTest {
 protected:
  // A shown dialog with a title of its own, painted once.
  std::unique_ptr<TestDialog> Open(const wchar_t* layout) {
    title_ = UniqueTitle(L"KeltoDialog");
    auto dialog = std::make_unique<TestDialog>(layout);
    if (!dialog->CreateDialogWindow(title_)) return nullptr;
    dialog->ShowWindow(true, true);
    ::UpdateWindow(dialog->GetHWND());
    PumpMessagesUntil([&] { return dialog->Count(L"windowinit:root") > 0; }, 2000);
    return dialog;
  }
  static int HitTest(const TestDialog& dialog, int x, int y) {
    POINT p = {x, y};
    ::ClientToScreen(dialog.GetHWND(), &p);
    return static_cast<int>(::SendMessageW(dialog.GetHWND(), WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)));
  }
  static RECT WindowRect(HWND window) {
    RECT r = {};
    ::GetWindowRect(window, &r);
    return r;
  }
  static RECT Inflated(RECT r, int by) { return RECT{r.left - by, r.top - by, r.right + by, r.bottom + by}; }

  std::wstring title_;
};

TEST_F(WindowImplBaseTest, CreationBuildsTheLayoutIntoABorderlessWindow) {
  auto dialog = Open(kFrameLayout);
  ASSERT_NE(dialog, nullptr);
  const HWND window = dialog->GetHWND();
  const RECT bounds = WindowRect(window);
  EXPECT_EQ(bounds.right - bounds.left, 400);
  EXPECT_EQ(bounds.bottom - bounds.top, 300);
  RECT client = {};
  ::GetClientRect(window, &client);
  EXPECT_EQ(client.right, 400) << "no native frame";
  const LONG style = ::GetWindowLongW(window, GWL_STYLE);
  EXPECT_FALSE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_CLIPCHILDREN);
  EXPECT_TRUE(style & WS_CLIPSIBLINGS);
  EXPECT_EQ(::GetClassLongW(window, GCL_STYLE), static_cast<DWORD>(CS_DBLCLKS));
  EXPECT_TRUE(dialog->rootAtInit);
  EXPECT_EQ(dialog->Count(L"windowinit:root"), 1);
  EXPECT_EQ(dialog->Find(L"btn_min")->GetPos(), (RECT{340, 5, 365, 28}));
}

TEST_F(WindowImplBaseTest, HitTestsDragByTheCaptionResizeByTheBordersAndSpareTheButtons) {
  auto dialog = Open(kFrameLayout);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(HitTest(*dialog, 5, 50), HTCAPTION) << "the root alone";
  EXPECT_EQ(HitTest(*dialog, 100, 25), HTCAPTION) << "a label";
  EXPECT_EQ(HitTest(*dialog, 100, 50), HTCAPTION) << "a progress bar";
  EXPECT_EQ(HitTest(*dialog, 285, 30), HTCAPTION) << "a layout beside its button";
  EXPECT_EQ(HitTest(*dialog, 230, 30), HTCLIENT) << "a button inside a layout";
  EXPECT_EQ(HitTest(*dialog, 352, 16), HTCLIENT) << "a system button";
  EXPECT_EQ(HitTest(*dialog, 200, 150), HTCLIENT) << "below the caption";
  EXPECT_EQ(HitTest(*dialog, 1, 1), HTTOPLEFT);
  EXPECT_EQ(HitTest(*dialog, 200, 1), HTTOP);
  EXPECT_EQ(HitTest(*dialog, 1, 150), HTLEFT);
  EXPECT_EQ(HitTest(*dialog, 398, 150), HTRIGHT);
  EXPECT_EQ(HitTest(*dialog, 398, 298), HTBOTTOMRIGHT);
  EXPECT_EQ(HitTest(*dialog, 200, 298), HTBOTTOM);
}

TEST_F(WindowImplBaseTest, RoundedCornersSizeLimitsAndTheShadow) {
  auto dialog = Open(kFrameLayout);
  ASSERT_NE(dialog, nullptr);
  const HWND window = dialog->GetHWND();
  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(::GetWindowRgn(window, region), ERROR);
  EXPECT_FALSE(::PtInRegion(region, 0, 0));
  EXPECT_FALSE(::PtInRegion(region, 399, 299));
  EXPECT_TRUE(::PtInRegion(region, 5, 5));
  EXPECT_TRUE(::PtInRegion(region, 200, 150));
  EXPECT_TRUE(::PtInRegion(region, 0, 150));
  ::DeleteObject(region);

  MINMAXINFO info = {};
  ::SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, 300);
  EXPECT_EQ(info.ptMinTrackSize.y, 200);
  EXPECT_EQ(info.ptMaxTrackSize.x, 800);
  EXPECT_EQ(info.ptMaxTrackSize.y, 600);
  MONITORINFO monitor = {sizeof(monitor)};
  ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
  EXPECT_EQ(info.ptMaxPosition.x, monitor.rcWork.left - monitor.rcMonitor.left);
  EXPECT_EQ(info.ptMaxPosition.y, monitor.rcWork.top - monitor.rcMonitor.top);

  // The shadow: 14 pixels larger on every side, and it follows the window.
  ASSERT_NE(dialog->GetShadow(), nullptr);
  const HWND shadow = dialog->GetShadow()->GetHWND();
  ASSERT_TRUE(PumpMessagesUntil([&] { return ::IsWindowVisible(shadow) != FALSE; }, 3000));
  EXPECT_EQ(WindowRect(shadow), Inflated(WindowRect(window), 14));
  ::SetWindowPos(window, nullptr, 33, 44, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(WindowRect(shadow), (RECT{33 - 14, 44 - 14, 33 + 400 + 14, 44 + 300 + 14}));
}

TEST_F(WindowImplBaseTest, RealDraggingOnTheCaptionMovesTheWindowAndItsShadow) {
  auto dialog = Open(kFrameLayout);
  ASSERT_NE(dialog, nullptr);
  const HWND window = dialog->GetHWND();
  const RECT before = WindowRect(window);
  ASSERT_TRUE(StartXdotool(title_, L"mousemove --window %1 285 30 mousedown 1 sleep 0.3 "
                                   L"mousemove_relative --sync 60 40 sleep 0.3 mouseup 1"));
  EXPECT_TRUE(PumpMessagesUntil([&] { return WindowRect(window).left == before.left + 60; }, 15000));
  const RECT after = WindowRect(window);
  EXPECT_EQ(after.left, before.left + 60);
  EXPECT_EQ(after.top, before.top + 40);
  EXPECT_EQ(after.right - after.left, 400);
  EXPECT_EQ(WindowRect(dialog->GetShadow()->GetHWND()), Inflated(after, 14));
  EXPECT_EQ(dialog->Count(L"click:btn_in_caption"), 0);
}

TEST_F(WindowImplBaseTest, RealClickOnAButtonInTheCaptionClicksIt) {
  auto dialog = Open(kFrameLayout);
  ASSERT_NE(dialog, nullptr);
  const RECT before = WindowRect(dialog->GetHWND());
  ASSERT_TRUE(StartXdotool(title_, XdotoolClick(POINT{240, 30})));
  EXPECT_TRUE(PumpMessagesUntil([&] { return dialog->Count(L"click:btn_in_caption") == 1; }, 15000));
  EXPECT_EQ(WindowRect(dialog->GetHWND()), before) << "a click is no drag";
}

TEST_F(WindowImplBaseTest, TheMinimiseButtonMinimisesAndTheShadowFollows) {
  auto dialog = Open(kFrameLayout);
  ASSERT_NE(dialog, nullptr);
  const HWND window = dialog->GetHWND();
  const HWND shadow = dialog->GetShadow()->GetHWND();
  ASSERT_TRUE(StartXdotool(title_, XdotoolClick(POINT{352, 16})));
  EXPECT_TRUE(PumpMessagesUntil([&] { return ::IsIconic(window) != FALSE; }, 15000));
  EXPECT_EQ(dialog->Count(L"click:btn_min"), 1);
  EXPECT_FALSE(::IsWindowVisible(shadow));
  // Restored, the shadow comes back around the window (it is put in place when the window
  // repaints, just after it shows again).
  ::ShowWindow(window, SW_RESTORE);
  EXPECT_TRUE(PumpMessagesUntil([&] {
    return ::IsWindowVisible(shadow) && WindowRect(shadow) == Inflated(WindowRect(window), 14);
  }, 5000));
  EXPECT_EQ(WindowRect(shadow), Inflated(WindowRect(window), 14));
}

TEST_F(WindowImplBaseTest, TheCloseButtonEndsTheWindowWhoseFinalMessageReapsTheTree) {
  auto dialog = Open(kFrameLayout);
  ASSERT_NE(dialog, nullptr);
  const HWND window = dialog->GetHWND();
  const HWND shadow = dialog->GetShadow()->GetHWND();
  bool rootDestroyed = false;
  dialog->Find(L"root")->OnDestroy.Add([&](CControlUI&) {
    rootDestroyed = true;
    return true;
  });
  ASSERT_TRUE(StartXdotool(title_, XdotoolClick(POINT{382, 16})));
  EXPECT_TRUE(PumpMessagesUntil([&] { return !::IsWindow(window); }, 15000));
  EXPECT_EQ(dialog->Count(L"click:btn_close"), 1);
  EXPECT_EQ(dialog->finals, 1);
  EXPECT_TRUE(rootDestroyed);
  EXPECT_EQ(dialog->GetHWND(), nullptr);
  EXPECT_EQ(dialog->GetPaintManager().GetRoot(), nullptr);
  EXPECT_EQ(dialog->GetPaintManager().GetPaintWindow(), nullptr);
  EXPECT_EQ(dialog->GetShadow(), nullptr);
  EXPECT_FALSE(::IsWindow(shadow));
}

TEST_F(WindowImplBaseTest, TheSystemCloseCommandClosesTheWindow) {
  auto dialog = Open(kPlainLayout);
  ASSERT_NE(dialog, nullptr);
  const HWND window = dialog->GetHWND();
  EXPECT_EQ(::SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0), 0);
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_EQ(dialog->finals, 1);
}

TEST_F(WindowImplBaseTest, InAModalLoopEscapeClosesWithOneAndReturnDoesNothing) {
  auto dialog = Open(kPlainLayout);
  ASSERT_NE(dialog, nullptr);
  testing_support::KeyPressRecorder keys;
  bool openAfterReturn = false;
  RunInLoop([&] {
    EXPECT_TRUE(StartXdotool(title_, testing_support::XdotoolKeys(L"Return")));
    RunInLoop(When([&] { return keys.Pressed(VK_RETURN); }, [&] {
      openAfterReturn = ::IsWindow(dialog->GetHWND()) != FALSE;
      EXPECT_TRUE(StartXdotool(title_, testing_support::XdotoolKeys(L"Escape")));
    }));
    return true;
  });
  // A safety net: a dialog still open after 30 s ends with 99.
  const DWORD start = ::GetTickCount();
  RunInLoop([&] {
    if (::GetTickCount() - start < 30000) return false;
    dialog->Close(99);
    return true;
  }, 500);
  EXPECT_EQ(dialog->ShowModal(), 1u);
  EXPECT_TRUE(openAfterReturn);
  EXPECT_TRUE(keys.Pressed(VK_ESCAPE));
  EXPECT_EQ(dialog->GetHWND(), nullptr);
}

TEST_F(WindowImplBaseTest, WithoutPreTranslationEscapeDoesNothing) {
  auto dialog = Open(kPlainLayout);
  ASSERT_NE(dialog, nullptr);
  testing_support::KeyPressRecorder keys;
  // Keys go to the window with the focus.
  ASSERT_TRUE(PumpMessagesUntil([&] { return ::GetForegroundWindow() == dialog->GetHWND(); }, 5000));
  ASSERT_TRUE(StartXdotool(title_, testing_support::XdotoolKeys(L"Escape")));
  // The program's own kind of loop: translate and dispatch only.
  ASSERT_TRUE(PumpMessagesUntil([&] { return keys.Pressed(VK_ESCAPE); }, 15000));
  testing_support::PumpMessagesFor(200);
  EXPECT_TRUE(::IsWindow(dialog->GetHWND()));
}

// A skin that cannot be loaded ends the program: a "SkinUI" box, then exit code 1.
TEST_F(WindowImplBaseTest, ASkinThatCannotBeLoadedEndsTheProgramWithOne) {
  const std::wstring helper = testing_support::WindowsPathOfBuildFile(KELTO_SKIN_FAILURE_HELPER_EXE);
  for (const wchar_t* mode : {L"layout", L"archive"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(mode)));
    testing_support::RunningProcess program(testing_support::Quoted(helper) + L" " + mode);
    ASSERT_TRUE(program.started());
    const HWND box = testing_support::WaitForShownWindowOf(program.id(), L"#32770");
    ASSERT_NE(box, nullptr) << "no message box";
    wchar_t caption[32] = L"";
    ::GetWindowTextW(box, caption, 32);
    EXPECT_STREQ(caption, L"SkinUI");
    std::wstring texts;
    ::EnumChildWindows(
        box,
        [](HWND child, LPARAM data) -> BOOL {
          wchar_t text[64] = L"";
          ::GetWindowTextW(child, text, 64);
          *reinterpret_cast<std::wstring*>(data) += std::wstring(text) + L"|";
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    EXPECT_NE(texts.find(L"加载资源文件失败"), std::wstring::npos) << testing::PrintToString(texts);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    DWORD exitCode = 0;
    EXPECT_TRUE(program.Wait(20000, &exitCode));
    EXPECT_EQ(exitCode, 1u);
  }
}

}  // namespace
