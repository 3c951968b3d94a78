// The paint manager in a real window under Wine: mouse, hover, capture, focus, tab order,
// timers, cursors, tooltips and notifications, driven by real window messages.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MainWindowFixture.h"
#include "TestCanvas.h"
#include "ui/EditUI.h"
#include "ui/ButtonUI.h"
#include "ui/DialogBuilder.h"
#include "ui/OptionUI.h"
#include "ui/TabLayoutUI.h"

using namespace SkinUI;
using testing_support::MainWindowTest;

namespace {

// Sees every WM_TIMER the window gets, handling none.
class TimerSpy : public IMessageFilterUI {
 public:
  LRESULT MessageHandler(UINT message, WPARAM wParam, LPARAM, bool&) override {
    if (message == WM_TIMER) ids.push_back(static_cast<UINT>(wParam));
    return 0;
  }
  std::vector<UINT> ids;
};

}  // namespace

TEST_F(MainWindowTest, FirstPaintLaysOutAndSendsWindowInitOnce) {
  EXPECT_EQ(recorder_->Count(L"windowinit:root"), 1);
  ::RedrawWindow(window_->hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  ::SendMessageW(window_->hwnd(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(540, 355));
  ::UpdateWindow(window_->hwnd());
  EXPECT_EQ(recorder_->Count(L"windowinit:root"), 1);

  // The root gives its one child the whole window; the first page stacks a stretchable
  // control above the 42-pixel bar; floating controls sit at their offsets.
  EXPECT_EQ(Find(L"tb_main")->GetPos(), (RECT{0, 0, 540, 355}));
  EXPECT_EQ(Find(L"ctl_fill")->GetPos(), (RECT{0, 0, 540, 313}));
  EXPECT_EQ(Find(L"hlt_bar")->GetPos(), (RECT{0, 313, 540, 355}));
  EXPECT_EQ(Find(L"btn_close")->GetPos(), (RECT{488, 0, 513, 23}));
  EXPECT_EQ(Find(L"btn_install")->GetPos(), (RECT{177, 237, 361, 281}));
  // The first page shows; the others are hidden.
  EXPECT_TRUE(Find(L"vlt_start")->IsVisible());
  EXPECT_FALSE(Find(L"vlt_folder")->IsVisible());
  EXPECT_FALSE(Find(L"edit_input")->IsVisible());
  EXPECT_FALSE(Find(L"vlt_progress")->IsVisible());
}

TEST_F(MainWindowTest, ButtonReleasedInsideClicksAndReleasedOutsideDoesNot) {
  const POINT inside = Centre(L"btn_install");
  window_->Click(inside.x, inside.y);
  EXPECT_EQ(recorder_->Count(L"click:btn_install"), 1);

  // Pressed inside, dragged out and released outside: capture delivers the release to the
  // button, which clears its pushed state and sends nothing.
  auto* button = Find<CButtonUI>(L"btn_install", L"Button");
  window_->Press(inside.x, inside.y);
  EXPECT_TRUE(button->GetButtonState() & kStatePushed);
  EXPECT_TRUE(host().IsCaptured());
  window_->Move(5, 5);
  EXPECT_FALSE(button->GetButtonState() & kStatePushed);
  window_->Move(inside.x, inside.y);
  EXPECT_TRUE(button->GetButtonState() & kStatePushed);
  window_->Move(5, 5);
  window_->Release(5, 5);
  EXPECT_FALSE(button->GetButtonState() & (kStatePushed | kStateCaptured));
  EXPECT_FALSE(host().IsCaptured());
  EXPECT_EQ(recorder_->Count(L"click:btn_install"), 1);
}

TEST_F(MainWindowTest, MovingBetweenButtonsLeavesTheFirstBeforeEnteringTheSecond) {
  CControlUI* minimize = Find(L"btn_min");
  CControlUI* close = Find(L"btn_close");
  RecordEvents(minimize);
  RecordEvents(close);
  const POINT a = Centre(L"btn_min"), b = Centre(L"btn_close");
  window_->Move(a.x, a.y);
  window_->Move(b.x, b.y);
  std::vector<std::pair<CControlUI*, int>> transitions;
  for (const auto& entry : events_) {
    if (entry.second == kEventMouseEnter || entry.second == kEventMouseLeave) {
      transitions.push_back(entry);
    }
  }
  const std::vector<std::pair<CControlUI*, int>> expected = {
      {minimize, kEventMouseEnter}, {minimize, kEventMouseLeave}, {close, kEventMouseEnter}};
  EXPECT_EQ(transitions, expected);
  EXPECT_FALSE(static_cast<CButtonUI*>(minimize)->GetButtonState() & kStateHot);
  EXPECT_TRUE(static_cast<CButtonUI*>(close)->GetButtonState() & kStateHot);

  // The mouse leaving the window takes the hover away too.
  ::SendMessageW(window_->hwnd(), WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(static_cast<CButtonUI*>(close)->GetButtonState() & kStateHot);
}

TEST_F(MainWindowTest, ButtonImagesFollowHoverAndPress) {
  const POINT p = Centre(L"btn_install");
  EXPECT_EQ(window_->BackBufferRgb(p.x, p.y), testing_support::kButtonNormal);
  window_->Move(p.x, p.y);
  EXPECT_EQ(window_->BackBufferRgb(p.x, p.y), testing_support::kButtonHot);
  window_->Press(p.x, p.y);
  EXPECT_EQ(window_->BackBufferRgb(p.x, p.y), testing_support::kButtonPushed);
  window_->Release(p.x, p.y);
  EXPECT_EQ(window_->BackBufferRgb(p.x, p.y), testing_support::kButtonHot);
  // Outside every control: the root's colour; the bar at the bottom of the first page.
  EXPECT_EQ(window_->BackBufferRgb(30, 30), testing_support::kRootColor);
  EXPECT_EQ(window_->BackBufferRgb(300, 340), testing_support::kBarColor);
}

TEST_F(MainWindowTest, OptionClickSendsClickThenSelectChangedAndTogglesItsBox) {
  auto* option = Find<COptionUI>(L"opt_agree", L"Option");
  ASSERT_NE(option, nullptr);
  EXPECT_TRUE(option->IsSelected());
  const RECT& box = option->GetPos();
  const int boxX = box.left + 8, boxY = box.top + 12;  // inside dest='0,4,16,20'
  EXPECT_EQ(window_->BackBufferRgb(boxX, boxY), testing_support::kBoxTicked);
  // Beside the box, the image string's dest keeps the background showing.
  EXPECT_EQ(window_->BackBufferRgb(box.left + 8, box.top + 1), testing_support::kRootColor);

  const POINT p = Centre(L"opt_agree");
  recorder_->Clear();
  window_->Click(p.x, p.y);
  // The first paint gave the focus to the first tab stop; the click moves it on.
  EXPECT_EQ(recorder_->Joined(), L"killfocus:btn_install, setfocus:opt_agree, click:opt_agree, "
                                 L"selectchanged:opt_agree");
  EXPECT_FALSE(option->IsSelected());
  EXPECT_EQ(window_->BackBufferRgb(boxX, boxY), testing_support::kBoxEmpty);

  recorder_->Clear();
  window_->Click(p.x, p.y);
  EXPECT_EQ(recorder_->Joined(), L"click:opt_agree, selectchanged:opt_agree");
  EXPECT_TRUE(option->IsSelected());
  EXPECT_EQ(window_->BackBufferRgb(boxX, boxY), testing_support::kBoxTicked);
}

TEST_F(MainWindowTest, TabSelectionSwitchesPagesAndNotifiesOnce) {
  auto* tab = Find<CTabLayoutUI>(L"tb_main", L"TabLayout");
  EXPECT_EQ(tab->GetCurSel(), 0);
  EXPECT_TRUE(tab->SelectItem(1));
  ASSERT_EQ(recorder_->Count(L"tabselect:tb_main"), 1);
  for (const TControlNotify& n : recorder_->notifications) {
    if (n.typeName != L"tabselect") continue;
    EXPECT_EQ(n.wParam, 1u);
    EXPECT_EQ(n.lParam, 0);
  }
  EXPECT_FALSE(Find(L"vlt_start")->IsVisible());
  EXPECT_FALSE(Find(L"btn_install")->IsVisible());
  EXPECT_TRUE(Find(L"vlt_folder")->IsVisible());
  EXPECT_TRUE(Find(L"edit_input")->IsVisible());
  EXPECT_TRUE(tab->SelectItem(1));
  EXPECT_FALSE(tab->SelectItem(3));
  EXPECT_FALSE(tab->SelectItem(-1));
  EXPECT_EQ(recorder_->Count(L"tabselect:tb_main"), 1);
  // The hidden page's button no longer takes clicks; the new page lays out and paints.
  ::UpdateWindow(window_->hwnd());
  const POINT p = Centre(L"btn_install2");
  EXPECT_EQ(Find(L"btn_install2")->GetPos(), (RECT{177, 237, 361, 281}));
  window_->Click(p.x, p.y);
  EXPECT_EQ(recorder_->Count(L"click:btn_install"), 0);
  EXPECT_EQ(recorder_->Count(L"click:btn_install2"), 1);
}

TEST_F(MainWindowTest, TabKeyWalksTheTabStopsOfTheShownPageBothWays) {
  // The first paint focused the first tab stop.
  EXPECT_EQ(host().GetFocus(), Find(L"btn_install"));
  window_->Key(VK_TAB);
  EXPECT_EQ(host().GetFocus(), Find(L"opt_agree"));
  window_->Key(VK_TAB);
  window_->Key(VK_TAB);
  EXPECT_EQ(host().GetFocus(), Find(L"btn_free"));
  window_->Key(VK_TAB);
  window_->Key(VK_TAB);
  EXPECT_EQ(host().GetFocus(), Find(L"btn_close"));
  window_->Key(VK_TAB);  // wraps to the first
  EXPECT_EQ(host().GetFocus(), Find(L"btn_install"));
  EXPECT_EQ(recorder_->Count(L"setfocus:btn_install"), 2);
  EXPECT_EQ(recorder_->Count(L"killfocus:btn_close"), 1);

  // Shift+Tab goes back, and wraps from the first to the last.
  BYTE keys[256] = {};
  ::GetKeyboardState(keys);
  keys[VK_SHIFT] = 0x80;
  ::SetKeyboardState(keys);
  window_->Key(VK_TAB);
  EXPECT_EQ(host().GetFocus(), Find(L"btn_close"));
  window_->Key(VK_TAB);
  EXPECT_EQ(host().GetFocus(), Find(L"btn_min"));
  keys[VK_SHIFT] = 0;
  ::SetKeyboardState(keys);

  // Return on the focused button clicks it.
  window_->Key(VK_RETURN);
  EXPECT_EQ(recorder_->Count(L"click:btn_min"), 1);
}

TEST_F(MainWindowTest, HidingTheFocusedControlTakesTheFocusAway) {
  CControlUI* button = Find(L"btn_free");
  button->SetFocus();
  EXPECT_EQ(host().GetFocus(), button);
  recorder_->Clear();
  button->SetVisible(false);
  EXPECT_EQ(host().GetFocus(), nullptr);
  EXPECT_EQ(recorder_->Joined(), L"killfocus:btn_free");
  // Hidden and disabled controls cannot take the focus.
  button->SetFocus();
  EXPECT_EQ(host().GetFocus(), nullptr);
  Find(L"btn_agreement")->SetEnabled(false);
  Find(L"btn_agreement")->SetFocus();
  EXPECT_EQ(host().GetFocus(), nullptr);
}

TEST_F(MainWindowTest, UnhandledMouseEventsReachTheParent) {
  // A right click on a plain control: its context menu request bubbles to the bar, which
  // uses a context menu.
  const POINT p = Centre(L"ctl_plain");
  POINT screen = p;
  ::ClientToScreen(window_->hwnd(), &screen);
  ::SendMessageW(window_->hwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(p.x, p.y));
  ::SendMessageW(window_->hwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_->hwnd()),
                 MAKELPARAM(screen.x, screen.y));
  EXPECT_EQ(recorder_->Count(L"menu:hlt_bar"), 1);
  EXPECT_FALSE(host().IsCaptured());
}

TEST_F(MainWindowTest, ControlTimersRaiseTimerNotificationsAndAreReused) {
  TimerSpy spy;
  host().AddMessageFilter(&spy);
  CControlUI* progress = Find(L"pro_InstallProgress");
  ASSERT_TRUE(host().SetTimer(progress, 1, 20));
  EXPECT_FALSE(host().SetTimer(progress, 1, 20));  // alive already
  EXPECT_TRUE(window_->PumpUntil([&] { return recorder_->Count(L"timer:pro_InstallProgress") >= 3; }));
  for (const TControlNotify& n : recorder_->notifications) {
    if (n.typeName == L"timer") {
      EXPECT_EQ(n.wParam, 1u);
    }
  }
  ASSERT_FALSE(spy.ids.empty());
  const UINT windowId = spy.ids.front();

  EXPECT_TRUE(host().KillTimer(progress, 1));
  EXPECT_FALSE(host().KillTimer(progress, 1));
  window_->Pump(30);
  recorder_->Clear();
  spy.ids.clear();
  window_->Pump(100);
  EXPECT_EQ(recorder_->Count(L"timer:pro_InstallProgress"), 0);

  // Set again: the same record and window timer id come back to life.
  ASSERT_TRUE(host().SetTimer(progress, 1, 20));
  EXPECT_TRUE(window_->PumpUntil([&] { return !spy.ids.empty(); }));
  EXPECT_EQ(spy.ids.front(), windowId);
  // A second control's timer gets a window timer of its own.
  ASSERT_TRUE(host().SetTimer(Find(L"lb_speed"), 1, 20));
  EXPECT_TRUE(window_->PumpUntil([&] { return recorder_->Count(L"timer:lb_speed") >= 1; }));
  host().KillTimer(progress);
  host().RemoveMessageFilter(&spy);
}

TEST_F(MainWindowTest, CursorFollowsWhatTheControlUnderTheMouseAsks) {
  const HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);
  const POINT p = Centre(L"btn_install");
  POINT screen = p;
  ::ClientToScreen(window_->hwnd(), &screen);
  ::SetCursorPos(screen.x, screen.y);
  ::SetCursor(nullptr);
  LRESULT handled = ::SendMessageW(window_->hwnd(), WM_SETCURSOR,
                                   reinterpret_cast<WPARAM>(window_->hwnd()),
                                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_TRUE(handled);
  EXPECT_EQ(::GetCursor(), hand);

  // A label asks for nothing: the window's own cursor applies.
  const POINT q = Centre(L"ctl_fill");
  screen = q;
  ::ClientToScreen(window_->hwnd(), &screen);
  ::SetCursorPos(screen.x, screen.y);
  ::SendMessageW(window_->hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(window_->hwnd()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_NE(::GetCursor(), hand);
}

TEST_F(MainWindowTest, HoverShowsTheTooltipWithItsLineBreak) {
  const POINT p = Centre(L"btn_close");
  window_->Move(p.x, p.y);
  ::SendMessageW(window_->hwnd(), WM_MOUSEHOVER, 0, MAKELPARAM(p.x, p.y));
  HWND tooltip = nullptr;
  for (HWND w = ::GetWindow(::GetDesktopWindow(), GW_CHILD); w; w = ::GetWindow(w, GW_HWNDNEXT)) {
    wchar_t name[64] = L"";
    ::GetClassNameW(w, name, 64);
    if (std::wstring(name) == TOOLTIPS_CLASSW && ::GetWindow(w, GW_OWNER) == window_->hwnd()) {
      tooltip = w;
    }
  }
  ASSERT_NE(tooltip, nullptr);
  EXPECT_TRUE(::IsWindowVisible(tooltip));
  wchar_t text[80] = L"";
  TOOLINFOW info = {};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.hwnd = window_->hwnd();
  info.uId = reinterpret_cast<UINT_PTR>(window_->hwnd());
  info.lpszText = text;
  ::SendMessageW(tooltip, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(std::wstring(text), L"关闭\r\n安装程序");
  // Moving to another control hides it.
  window_->Move(30, 30);
  EXPECT_FALSE(::IsWindowVisible(tooltip));
}

TEST_F(MainWindowTest, AltShortcutFocusesAndActivatesItsControl) {
  CControlUI* button = Find(L"btn_free");
  button->SetShortcut(L'f');
  MSG msg = {window_->hwnd(), WM_SYSCHAR, L'F', 0};
  EXPECT_TRUE(CWindowHostUI::TranslateMessage(&msg));
  EXPECT_EQ(host().GetFocus(), button);
  EXPECT_EQ(recorder_->Count(L"click:btn_free"), 1);
  // A label's shortcut passes to the control searched after it.
  msg.wParam = L'q';
  EXPECT_FALSE(CWindowHostUI::TranslateMessage(&msg));
  Find(L"btn_close")->SetShortcut(L'Q');
  Find(L"btn_close")->SetEnabled(false);
  EXPECT_FALSE(CWindowHostUI::TranslateMessage(&msg));
}

TEST_F(MainWindowTest, MessagesOfTheNativeEditBoxArePreTranslatedByItsWindowsManager) {
  ShowPage(1);
  Find(L"edit_input")->SetFocus();
  HWND native = static_cast<CEditUI*>(Find(L"edit_input")->GetInterface(L"Edit"))->GetNativeWindow();
  ASSERT_NE(native, nullptr);
  // Tab pressed in the native box moves the focus on, through the skinned window's manager.
  MSG msg = {native, WM_KEYDOWN, VK_TAB, 1};
  EXPECT_TRUE(CWindowHostUI::TranslateMessage(&msg));
  EXPECT_EQ(host().GetFocus(), Find(L"btn_select"));
  // Messages of windows without a manager are left alone.
  MSG other = {::GetDesktopWindow(), WM_KEYDOWN, VK_TAB, 1};
  EXPECT_FALSE(CWindowHostUI::TranslateMessage(&other));
  EXPECT_FALSE(CWindowHostUI::TranslateMessage(nullptr));
}

TEST_F(MainWindowTest, FiltersSeeMessagesFirstAndQueuedNotificationsComeWithTheNextMessage) {
  struct SwallowClicks : IMessageFilterUI {
    LRESULT MessageHandler(UINT message, WPARAM, LPARAM, bool& handled) override {
      handled = message == WM_LBUTTONDOWN || message == WM_LBUTTONUP;
      return 0;
    }
  } filter;
  host().AddMessageFilter(&filter);
  const POINT p = Centre(L"btn_install");
  window_->Click(p.x, p.y);
  EXPECT_EQ(recorder_->Count(L"click:btn_install"), 0);
  host().RemoveMessageFilter(&filter);

  host().SendNotify(Find(L"btn_free"), L"click", 0, 0, true);
  EXPECT_EQ(recorder_->Count(L"click:btn_free"), 0);
  window_->Pump(20);
  EXPECT_EQ(recorder_->Count(L"click:btn_free"), 1);
}

TEST_F(MainWindowTest, ClosingReleasesTheHoveredAndPressedControls) {
  const POINT p = Centre(L"btn_install");
  auto* button = Find<CButtonUI>(L"btn_install", L"Button");
  window_->Press(p.x, p.y);
  ASSERT_TRUE(button->GetButtonState() & kStateHot);
  LRESULT result = 0;
  // What the window base does with WM_CLOSE before the window goes.
  host().MessageHandler(WM_CLOSE, 0, 0, result);
  EXPECT_FALSE(button->GetButtonState() & (kStateHot | kStatePushed | kStateCaptured));
  EXPECT_EQ(host().GetFocus(), nullptr);
  EXPECT_EQ(recorder_->Count(L"click:btn_install"), 0);
  ::ReleaseCapture();
}

TEST_F(MainWindowTest, DoubleClickAndWheelReachTheControlUnderTheMouse) {
  RecordEvents(Find(L"btn_install"));
  const POINT p = Centre(L"btn_install");
  ::SendMessageW(window_->hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  window_->Release(p.x, p.y);
  EXPECT_EQ(recorder_->Count(L"click:btn_install"), 1);
  POINT screen = p;
  ::ClientToScreen(window_->hwnd(), &screen);
  ::SendMessageW(window_->hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)),
                 MAKELPARAM(screen.x, screen.y));
  bool wheel = false;
  for (const auto& entry : events_) wheel = wheel || entry.second == kEventScrollWheel;
  EXPECT_TRUE(wheel);
}

TEST_F(MainWindowTest, PaintingGoesThroughTheBackBufferToTheWindow) {
  const POINT p = Centre(L"btn_install");
  EXPECT_EQ(window_->BackBufferRgb(p.x, p.y), testing_support::kButtonNormal);
  HDC dc = ::GetDC(window_->hwnd());
  EXPECT_EQ(::GetPixel(dc, p.x, p.y), RGB(0x20, 0x50, 0xC0));
  // With the dirty frame on, every repainted area gets a red outline on the window only.
  host().SetShowUpdateRect(true);
  ::RedrawWindow(window_->hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(::GetPixel(dc, 0, 100), RGB(220, 0, 0));
  EXPECT_EQ(window_->BackBufferRgb(0, 100), testing_support::kRootColor);
  host().SetShowUpdateRect(false);
  ::ReleaseDC(window_->hwnd(), dc);

  // WM_PRINTCLIENT paints the tree into any device context.
  testing_support::TestCanvas canvas(540, 355, 0xFF000000);
  ::SendMessageW(window_->hwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()),
                 PRF_CLIENT);
  EXPECT_EQ(canvas.Rgb(p.x, p.y), testing_support::kButtonNormal);
  EXPECT_EQ(canvas.Rgb(30, 30), testing_support::kRootColor);
}

TEST(LayeredWindow, BackgroundTransparentWindowsPaintThroughTheLayeredPath) {
  testing_support::InstallMainWindowSkin();
  {
    testing_support::TestHostWindow window(L"KeltoLayeredTest", 200, 100);
    ASSERT_NE(window.hwnd(), nullptr);
    testing_support::NotifyRecorder recorder(window.host());
    window.host().SetBackgroundTransparent(true);
    SkinUI::CDialogBuilder builder;
    window.host().AttachDialog(builder.Create(
        LR"(<Window><Container name="root" bkcolor="#FF336699"><Button name="b" float="true"
              pos="10,10,60,40" normalimage="btn_n.png" /></Container></Window>)",
        nullptr, nullptr, &window.host()));
    ::ShowWindow(window.hwnd(), SW_SHOWNOACTIVATE);
    ::UpdateWindow(window.hwnd());
    window.Pump(20);
    EXPECT_TRUE(::GetWindowLongW(window.hwnd(), GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_EQ(recorder.Count(L"windowinit:root"), 1);
    EXPECT_EQ(window.host().FindControl(L"b")->GetPos(), (RECT{10, 10, 60, 40}));
    // Input works the same way.
    window.Click(30, 20);
    EXPECT_EQ(recorder.Count(L"click:b"), 1);
  }
  testing_support::RemoveMainWindowSkin();
}
