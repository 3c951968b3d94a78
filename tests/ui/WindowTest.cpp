// Real windows under Wine and Xvfb, driven by window messages and, where it matters, by
// xdotool's X input: the paint manager in a tree shaped like the install window's
// (MainWindowSkin.h), CWindowWnd, WindowImplBase's frame and its shadow, a skin that cannot
// load. Each test walks one scenario in one window.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "LoopSteps.h"
#include "MainWindowSkin.h"
#include "SkinWindowFixture.h"
#include "TestHostWindow.h"
#include "support/MessagePump.h"
#include "support/ProcessRunner.h"
#include "support/TestFiles.h"
#include "ui/controls/ButtonUI.h"
#include "ui/controls/EditUI.h"
#include "ui/controls/TabLayoutUI.h"
#include "ui/core/ContainerUI.h"
#include "ui/windows/DialogBuilder.h"
#include "ui/windows/WindowImplBase.h"
#include "ui/windows/WndShadow.h"

using namespace SkinUI;
using namespace testing_support;

namespace {

class MainWindow : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InstallMainWindowSkin());
    window_ = std::make_unique<TestHostWindow>(L"KeltoHostTest");
    ASSERT_NE(window_->hwnd(), nullptr);
    CDialogBuilder builder;
    ASSERT_TRUE(host().AttachDialog(builder.Create(kMainWindowMarkup, nullptr, nullptr, &host())));
    recorder_ = std::make_unique<NotifyRecorder>(host());
    window_->Show();
  }
  void TearDown() override {
    recorder_.reset();
    window_.reset();
    RemoveMainWindowSkin();
  }

  CWindowHostUI& host() { return window_->host(); }
  CControlUI* Find(const wchar_t* name) { return host().FindControl(name); }
  UINT State(const wchar_t* name) { return static_cast<CButtonUI*>(Find(name))->GetButtonState(); }
  POINT Centre(const wchar_t* name) {
    const RECT& r = Find(name)->GetPos();
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  int Count(const wchar_t* entry) { return recorder_->Count(entry); }
  bool Remove(const wchar_t* name, const wchar_t* page) {
    return static_cast<CContainerUI*>(Find(page))->Remove(Find(name));
  }

  std::unique_ptr<TestHostWindow> window_;
  std::unique_ptr<NotifyRecorder> recorder_;
};

static_assert(std::has_virtual_destructor_v<CWindowWnd>, "windows are deleted as CWindowWnd");

class Wnd : public CWindowWnd {
 public:
  int finals = 0;
  bool failCreation = false;

 protected:
  const wchar_t* GetWindowClassName() const override { return L"KeltoTestWnd"; }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_CREATE && failCreation) return -1;
    return CWindowWnd::HandleMessage(message, wParam, lParam);
  }
  void OnFinalMessage(HWND) override { ++finals; }
};

// Closes `window` with `result` from inside the modal loop about to run.
void CloseInLoop(CWindowWnd* window, UINT result) {
  RunInLoop([window, result] {
    window->Close(result);
    return true;
  });
}

RECT WindowRect(HWND window) {
  RECT r = {};
  ::GetWindowRect(window, &r);
  return r;
}

RECT Around(HWND window, int by) {
  const RECT r = WindowRect(window);
  return RECT{r.left - by, r.top - by, r.right + by, r.bottom + by};
}

// A skinned dialog of the layout it is given.
class TestDialog : public WindowImplBase {
 public:
  explicit TestDialog(const wchar_t* layout) : layout_(layout) {}

 protected:
  const wchar_t* GetWindowClassName() const override { return L"KeltoTestDialog"; }
  std::wstring GetSkinFile() override { return layout_; }

 private:
  const wchar_t* layout_;
};

int HitTest(HWND window, int x, int y) {
  POINT p = {x, y};
  ::ClientToScreen(window, &p);
  return static_cast<int>(::SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)));
}

using WindowTest = SkinWindowTest;

}  // namespace

TEST_F(MainWindow, APressedButtonClicksOnlyWhenReleasedOverIt) {
  // Pressed, dragged out and released outside: the capture brings the release to the
  // button, which clicks nothing.
  const POINT p = Centre(L"btn_install");
  window_->Press(p.x, p.y);
  EXPECT_EQ(window_->BackBufferRgb(p.x, p.y), kButtonPushed);
  window_->Move(5, 5);
  EXPECT_FALSE(State(L"btn_install") & kStatePushed);
  window_->Release(5, 5);
  EXPECT_FALSE(host().IsCaptured());
  window_->Click(p.x, p.y);
  EXPECT_EQ(Count(L"click:btn_install"), 1);
  // The window base's WM_CLOSE comes with a release at (-1, -1): it lets go of a pressed
  // button without clicking it.
  window_->Press(p.x, p.y);
  LRESULT result = 0;
  host().MessageHandler(WM_CLOSE, 0, 0, result);
  EXPECT_FALSE(State(L"btn_install") & (kStateHot | kStatePushed | kStateCaptured));
  EXPECT_EQ(Count(L"click:btn_install"), 1);
}

TEST_F(MainWindow, TimersQueuedNotificationsAndTheCaptureReachOnlyLiveControls) {
  CControlUI* progress = Find(L"pro_InstallProgress");
  ASSERT_TRUE(host().SetTimer(progress, 1, 20));
  EXPECT_FALSE(host().SetTimer(progress, 1, 20));  // alive already
  EXPECT_TRUE(window_->PumpUntil([&] { return Count(L"timer:pro_InstallProgress") >= 3; }));
  EXPECT_TRUE(host().KillTimer(progress, 1));
  // No two timers share a window timer: with every one taken, a new timer is refused.
  for (UINT id = 1; id <= 254; ++id) ASSERT_TRUE(host().SetTimer(progress, id, 100000)) << id;
  EXPECT_FALSE(host().SetTimer(Find(L"lb_speed"), 1, 20));
  host().KillTimer(progress);
  ASSERT_TRUE(host().SetTimer(Find(L"lb_speed"), 1, 20));
  EXPECT_TRUE(window_->PumpUntil([&] { return Count(L"timer:lb_speed") >= 1; }));
  // A queued notification wakes the loop up, with nothing else to; one of a control deleted
  // meanwhile is dropped.
  host().KillTimer(Find(L"lb_speed"));
  window_->Pump(30);
  host().SendNotify(Find(L"btn_free"), L"click", 0, 0, true);
  EXPECT_EQ(Count(L"click:btn_free"), 0);
  window_->Pump(20);
  EXPECT_EQ(Count(L"click:btn_free"), 1);
  host().SendNotify(Find(L"btn_agreement"), L"click", 0, 0, true);
  ASSERT_TRUE(Remove(L"btn_agreement", L"vlt_start"));
  window_->Pump(20);
  EXPECT_EQ(Count(L"click:btn_agreement"), 0);
  // The capture goes with another window taking it, and with the pressed control deleted.
  const POINT p = Centre(L"btn_install");
  window_->Press(p.x, p.y);
  ::ReleaseCapture();
  EXPECT_FALSE(host().IsCaptured());
  window_->Release(p.x, p.y);
  window_->Press(p.x, p.y);
  ASSERT_EQ(::GetCapture(), window_->hwnd());
  ASSERT_TRUE(Remove(L"btn_install", L"vlt_start"));
  EXPECT_FALSE(host().IsCaptured());
  EXPECT_EQ(::GetCapture(), nullptr);
}

// Moved and resized by the program, a floating control takes its new place at the next
// layout pass, which does not take the old place for the new one.
TEST_F(MainWindow, AFloatingControlGoesWhereTheProgramMovesIt) {
  CControlUI* button = Find(L"btn_agreement");
  button->SetFixedXY(SIZE{300, 200});
  button->SetFixedWidth(60);
  window_->Pump(50);
  const RECT& page = Find(L"vlt_start")->GetPos();
  EXPECT_EQ(button->GetPos(), (RECT{page.left + 300, page.top + 200, page.left + 360,
                                    page.top + 224}));
}

TEST_F(MainWindow, TheEditBoxTellsOnlyChangesAfterItOpensAndItsBoxGoesWithIt) {
  static_cast<CTabLayoutUI*>(Find(L"tb_main"))->SelectItem(1);
  window_->Pump(20);
  auto* edit = static_cast<CEditUI*>(Find(L"edit_input"));
  recorder_->Clear();
  edit->SetText(L"C:\\Games");
  window_->Click(Centre(L"edit_input").x, Centre(L"edit_input").y);
  const HWND native = edit->GetNativeWindow();
  ASSERT_NE(native, nullptr);
  wchar_t shown[64] = L"";
  ::GetWindowTextW(native, shown, 64);
  EXPECT_STREQ(shown, L"C:\\Games");
  // Filling the box on opening changes nothing; each change after it is told, Return too.
  EXPECT_EQ(Count(L"textchanged:edit_input"), 1);
  edit->SetText(L"");
  ::SendMessageW(native, WM_CHAR, L'D', 1);
  ::SendMessageW(native, WM_KEYDOWN, VK_RETURN, 1);
  ::SendMessageW(native, WM_CHAR, VK_RETURN, 1);
  EXPECT_EQ(Count(L"textchanged:edit_input"), 3);
  EXPECT_EQ(Count(L"return:edit_input"), 1);
  EXPECT_EQ(edit->GetText(), L"D");
  // Deleted with its box open, it leaves nothing behind.
  edit->SetFocus();
  const HWND open = edit->GetNativeWindow();
  ASSERT_NE(open, nullptr);
  ASSERT_TRUE(Remove(L"edit_input", L"vlt_folder"));
  window_->Pump(20);
  EXPECT_FALSE(::IsWindow(open));
  EXPECT_EQ(host().GetFocus(), nullptr);
}

TEST_F(WindowTest, TheObjectLivesWithItsWindowAndItsModalLoopGivesTheOwnerBack) {
  Wnd wnd;
  HWND window = wnd.Create(nullptr, L"linked", WS_POPUP, 0, 10, 10, 100, 50);
  ASSERT_NE(window, nullptr);
  ::DestroyWindow(window);
  EXPECT_EQ(wnd.finals, 1);
  // A creation that fails leaves the object with its caller.
  wnd.failCreation = true;
  EXPECT_EQ(wnd.Create(nullptr, L"fails", WS_POPUP, 0, 0, 0, 10, 10), nullptr);
  EXPECT_EQ(wnd.finals, 1);
  wnd.failCreation = false;

  // Modal over a shown owner: centred over it, the owner disabled meanwhile.
  TestHostWindow owner(L"KeltoOwner", 540, 355);
  ::SetWindowPos(owner.hwnd(), nullptr, 40, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ::ShowWindow(owner.hwnd(), SW_SHOWNOACTIVATE);
  ASSERT_NE(wnd.Create(owner.hwnd(), L"modal", WS_POPUP, 0, 0, 0, 280, 115), nullptr);
  wnd.CenterWindow();
  EXPECT_EQ(WindowRect(wnd.GetHWND()).left, 40 + (540 - 280) / 2);
  EXPECT_EQ(WindowRect(wnd.GetHWND()).top, 60 + (355 - 115) / 2);
  bool ownerEnabled = true;
  RunInLoop([&] {
    ownerEnabled = ::IsWindowEnabled(owner.hwnd()) != FALSE;
    wnd.Close(7);
    return true;
  });
  EXPECT_EQ(wnd.ShowModal(), 7u);
  EXPECT_FALSE(ownerEnabled);
  EXPECT_TRUE(::IsWindowEnabled(owner.hwnd()));
  // A minimised owner is no place to centre over; an owner something else disabled stays so.
  ::ShowWindow(owner.hwnd(), SW_MINIMIZE);
  ::EnableWindow(owner.hwnd(), FALSE);
  ASSERT_NE(wnd.Create(owner.hwnd(), L"modal", WS_POPUP, 0, 0, 0, 280, 115), nullptr);
  wnd.CenterWindow();
  RECT work = {};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(WindowRect(wnd.GetHWND()).left, work.left + (work.right - work.left - 280) / 2);
  CloseInLoop(&wnd, 3);
  EXPECT_EQ(wnd.ShowModal(), 3u);
  EXPECT_FALSE(::IsWindowEnabled(owner.hwnd()));
  // A window object that deletes itself with its window, inside its own modal loop.
  struct SelfDeleting : Wnd {
    void OnFinalMessage(HWND) override { delete this; }
  };
  CWindowWnd* box = new SelfDeleting;
  ASSERT_NE(box->Create(nullptr, L"box", WS_POPUP, 0, 0, 0, 120, 60), nullptr);
  CloseInLoop(box, 9);
  EXPECT_EQ(box->ShowModal(), 9u);
}

TEST_F(WindowTest, ASkinnedFrameDragsByItsCaptionAndEndsByItsButtons) {
  // A caption 60 pixels high holding a label, a progress bar, and a layout with a button.
  TestDialog dialog(
      LR"(<Window size="400,300" caption="0,0,0,60" sizebox="4,4,4,4"
      roundcorner="10,10" shadow="true"><VerticalLayout name="root" bkcolor="#FF3060A0">
    <Label float="true" pos="10,10,200,40" text="title" />
    <Progress float="true" pos="20,45,200,55" />
    <HorizontalLayout float="true" pos="210,10,300,50" bkcolor="#FF204080">
      <Button width="60" bkcolor="#FFE0E0E0" /></HorizontalLayout>
    <Button name="btn_close" float="true" pos="370,5,395,28" bkcolor="#FFFF0000" />
  </VerticalLayout></Window>)");
  // No system menu: Wine then hides it at once instead of asking the absent window manager.
  const std::wstring title = UniqueTitle(L"KeltoDialog");
  const HWND window =
      dialog.Create(nullptr, title.c_str(), WS_POPUP | WS_MINIMIZEBOX, 0, 0, 0, 0, 0);
  ASSERT_NE(window, nullptr);
  dialog.ShowWindow(true, true);
  ::UpdateWindow(window);
  EXPECT_EQ(WindowRect(window).right - WindowRect(window).left, 400) << "no native frame";
  // The caption drags through labels, progress bars and layouts, never through buttons.
  for (const POINT p : {POINT{5, 50}, POINT{100, 25}, POINT{100, 50}, POINT{285, 30}}) {
    EXPECT_EQ(HitTest(window, p.x, p.y), HTCAPTION) << p.x << "," << p.y;
  }
  EXPECT_EQ(HitTest(window, 230, 30), HTCLIENT);
  EXPECT_EQ(HitTest(window, 398, 298), HTBOTTOMRIGHT);
  // The shadow: a layered, click-through plain pop-up (Wine manages a pop-up window, and
  // would wait for the absent window manager at each hide), 14 pixels around the window.
  ASSERT_NE(dialog.GetShadow(), nullptr);
  const HWND shadow = dialog.GetShadow()->GetHWND();
  EXPECT_EQ(::GetWindowLongW(shadow, GWL_EXSTYLE) & (WS_EX_LAYERED | WS_EX_TRANSPARENT),
            WS_EX_LAYERED | WS_EX_TRANSPARENT);
  EXPECT_EQ(::GetWindowLongW(shadow, GWL_STYLE) & (WS_POPUP | WS_BORDER | WS_SYSMENU), WS_POPUP);
  ::SetWindowPos(window, HWND_TOPMOST, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_TRUE(PumpMessagesUntil([&] { return WindowRect(shadow) == Around(window, 14); }, 3000));
  // With no compositor under Xvfb its premultiplied pixels land on the screen as they are:
  // the innermost ring, lighter at the top than at the bottom and the sides.
  PumpMessagesFor(200);
  const RECT r = WindowRect(window);
  HDC screen = ::GetDC(nullptr);
  EXPECT_EQ(::GetPixel(screen, r.left + 200, r.top - 1), RGB(9, 9, 9));
  EXPECT_EQ(::GetPixel(screen, r.left + 200, r.bottom), RGB(21, 21, 21));
  EXPECT_EQ(::GetPixel(screen, r.right, r.top + 150), RGB(21, 21, 21));
  ::ReleaseDC(nullptr, screen);

  // Real input: a drag on the caption moves the window and its shadow.
  const RECT before = WindowRect(window);
  ASSERT_TRUE(StartXdotool(title,
                           L"mousemove --window %1 285 30 mousedown 1 sleep 0.3 "
                           L"mousemove_relative --sync 60 40 sleep 0.3 mouseup 1"));
  EXPECT_TRUE(
      PumpMessagesUntil([&] { return WindowRect(window).left == before.left + 60; }, 15000));
  EXPECT_EQ(WindowRect(window).top, before.top + 40);
  EXPECT_EQ(WindowRect(shadow), Around(window, 14));
  // The pointer rests on the close button at the window's edge (the platform's hover comes),
  // then jumps out of the window: the button loses its hot look.
  auto* close = static_cast<CButtonUI*>(dialog.GetPaintManager().FindControl(L"btn_close"));
  const auto hot = [close] { return (close->GetButtonState() & kStateHot) != 0; };
  ASSERT_TRUE(StartXdotool(title, L"mousemove --window %1 382 16 sleep 1 mousemove 5 5"));
  EXPECT_TRUE(PumpMessagesUntil(hot, 15000));
  EXPECT_TRUE(PumpMessagesUntil([&] { return !hot(); }, 5000)) << "still hot";
  // The close button ends the window, whose final message reaps the tree and lets go of
  // the paint manager and the shadow.
  bool rootDestroyed = false;
  dialog.GetPaintManager().GetRoot()->OnDestroy.Add(
      [&](CControlUI&) { return rootDestroyed = true; });
  ASSERT_TRUE(StartXdotool(title, XdotoolClick(POINT{382, 16})));
  EXPECT_TRUE(PumpMessagesUntil([&] { return !::IsWindow(window); }, 15000));
  EXPECT_TRUE(rootDestroyed);
  EXPECT_EQ(dialog.GetPaintManager().GetPaintWindow(), nullptr);
  EXPECT_EQ(dialog.GetShadow(), nullptr);
  EXPECT_FALSE(::IsWindow(shadow));
}

TEST_F(WindowTest, AShadowFollowsItsParentOnScreenAtOnceOrOnceDrawnAndGoesWithoutHarm) {
  // A plain parent, which a smaller size does not repaint.
  WNDCLASSW plain = {0, ::DefWindowProcW, 0, 0, ::GetModuleHandleW(nullptr)};
  plain.lpszClassName = L"KeltoPlainParent";
  ::RegisterClassW(&plain);
  const HWND parent = ::CreateWindowExW(0, plain.lpszClassName, L"", WS_POPUP, 100, 100, 540, 355,
                                        nullptr, nullptr, plain.hInstance, nullptr);
  const LONG_PTR ownProcedure = ::GetWindowLongPtrW(parent, GWLP_WNDPROC);
  auto* shadow = new CWndShadow;
  shadow->SetSize(6);
  shadow->SetPosition(2, -3);
  ASSERT_TRUE(shadow->Create(parent));
  HWND window = shadow->GetHWND();
  const auto placed = [&](bool shown) {
    RECT expected = WindowRect(parent);
    ::OffsetRect(&expected, 2, -3);
    ::InflateRect(&expected, 6, 6);
    return (::IsWindowVisible(window) != FALSE) == shown && WindowRect(window) == expected;
  };
  // A hidden parent's shadow is drawn in place a while later, hidden; then it follows.
  EXPECT_TRUE(PumpMessagesUntil([&] { return placed(false); }, 3000));
  ::ShowWindow(parent, SW_SHOWNOACTIVATE);
  // It follows sizes the program sets, a smaller one too, which brings no paint.
  for (const SIZE size : {SIZE{540, 355}, SIZE{600, 400}, SIZE{400, 300}}) {
    ::SetWindowPos(parent, nullptr, 0, 0, size.cx, size.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(PumpMessagesUntil([&] { return placed(true); }, 3000)) << size.cx;
  }
  delete shadow;
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_EQ(::GetWindowLongPtrW(parent, GWLP_WNDPROC), ownProcedure);
  // A parent on screen gets its shadow at once, and it follows its first smaller size at
  // once too; the parent's end takes the shadow along.
  shadow = new CWndShadow;
  shadow->SetSize(6);
  shadow->SetPosition(2, -3);
  ASSERT_TRUE(shadow->Create(parent));
  window = shadow->GetHWND();
  EXPECT_TRUE(placed(true));
  ::SetWindowPos(parent, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_TRUE(placed(true)) << "a smaller parent brings no paint to wait for";
  ::DestroyWindow(parent);
  EXPECT_FALSE(::IsWindow(window));
}

// Without its layout or its skin archive, a dialog shows a "SkinUI" box and ends the
// program with exit code 1.
TEST_F(WindowTest, ASkinThatCannotBeLoadedEndsTheProgramWithOne) {
  const std::wstring helper = WindowsPathOfBuildFile(KELTO_SKIN_FAILURE_HELPER_EXE);
  // A layout beside the program, to be found there were the missing archive let it go on.
  const std::wstring beside = helper.substr(0, helper.rfind(L'\\') + 1) + L"MessageBox.xml";
  ASSERT_TRUE(WriteBinaryFile(beside, "<Window size=\"10,10\"><Control /></Window>"));
  for (const wchar_t* mode : {L"layout", L"archive"}) {
    RunningProcess program(Quoted(helper) + L" " + mode);
    ASSERT_TRUE(program.started());
    const HWND box = WaitForShownWindowOf(program.id(), L"#32770");
    ASSERT_NE(box, nullptr) << "no message box";
    wchar_t caption[32] = L"";
    ::GetWindowTextW(box, caption, 32);
    EXPECT_STREQ(caption, L"SkinUI");
    EXPECT_NE(::FindWindowExW(box, nullptr, L"Static", L"加载资源文件失败"), nullptr);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    DWORD exitCode = 0;
    EXPECT_TRUE(program.Wait(20000, &exitCode));
    EXPECT_EQ(exitCode, 1u) << mode;
  }
  ::DeleteFileW(beside.c_str());
}
