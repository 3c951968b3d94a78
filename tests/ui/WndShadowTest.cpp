// The shadow window with real windows under Wine and Xvfb: its place and size around the
// parent (GetWindowRect), how it follows the parent, how it keeps out of the way of the
// mouse and of activation, and how it leaves with the parent.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "support/MessagePump.h"
#include "ui/WndShadow.h"

using SkinUI::CWndShadow;

namespace {

constexpr const wchar_t* kParentClass = L"KeltoShadowTestParent";
constexpr int kLeft = 200;
constexpr int kTop = 150;
constexpr int kWidth = 540;
constexpr int kHeight = 355;

HINSTANCE Instance() { return ::GetModuleHandleW(nullptr); }

// What the parent's own procedure saw at its final destroy.
struct FinalDestroyRecord {
  int count = 0;
  bool ownProcedureBack = false;
};
FinalDestroyRecord g_finalDestroy;

LRESULT CALLBACK TestParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(window, &ps);
      ::FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
      ::EndPaint(window, &ps);
      return 0;
    }
    case WM_NCDESTROY:
      ++g_finalDestroy.count;
      g_finalDestroy.ownProcedureBack =
          ::GetWindowLongPtrW(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&TestParentProc);
      break;
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

// Registers the parent class and the shadow support once per process.
bool ShadowSupportUp() {
  static const bool up = [] {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = TestParentProc;
    wc.hInstance = Instance();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kParentClass;
    if (!::RegisterClassExW(&wc)) return false;
    return CWndShadow::Initialize(Instance());
  }();
  return up;
}

// The installer's dialogs are pop-ups with a system menu and a minimise box.
constexpr DWORD kDialogStyle = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX;
// Without the system menu Wine leaves a pop-up to itself instead of to the (absent) X window
// manager, and hiding it takes no two-second wait for the manager's answer.
constexpr DWORD kQuickStyle = WS_POPUP | WS_MINIMIZEBOX;

// A borderless pop-up, hidden until shown.
HWND MakeParent(DWORD style = kQuickStyle) {
  return ::CreateWindowExW(0, kParentClass, L"shadow parent", style, kLeft, kTop, kWidth,
                           kHeight, nullptr, nullptr, Instance(), nullptr);
}

bool PumpUntil(const std::function<bool()>& done) {
  return testing_support::PumpMessagesUntil(done, 10000);
}
using testing_support::PumpMessagesFor;

RECT WindowRect(HWND window) {
  RECT rc = {};
  ::GetWindowRect(window, &rc);
  return rc;
}

std::string Describe(const RECT& rc) {
  return std::to_string(rc.left) + "," + std::to_string(rc.top) + " " +
         std::to_string(rc.right - rc.left) + "x" + std::to_string(rc.bottom - rc.top);
}

// True when `shadow` lies `size` pixels around `parent`, shifted by the offset.
bool Placed(HWND shadow, HWND parent, int size = 14, int dx = 0, int dy = 0) {
  const RECT p = WindowRect(parent);
  const RECT s = WindowRect(shadow);
  return s.left == p.left + dx - size && s.top == p.top + dy - size &&
         s.right == p.right + dx + size && s.bottom == p.bottom + dy + size;
}

// The same, and visible.
bool Surrounds(HWND shadow, HWND parent, int size = 14, int dx = 0, int dy = 0) {
  return ::IsWindowVisible(shadow) && Placed(shadow, parent, size, dx, dy);
}

// A shadow that counts its own deletion.
class CountedShadow : public CWndShadow {
 public:
  explicit CountedShadow(int* deletions) : deletions_(deletions) {}
  ~CountedShadow() override { ++*deletions_; }

 private:
  int* deletions_;
};

class WndShadowTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ShadowSupportUp());
    g_finalDestroy = FinalDestroyRecord();
    parent_ = MakeParent();
    ASSERT_NE(parent_, nullptr);
  }

  void TearDown() override {
    if (::IsWindow(parent_)) ::DestroyWindow(parent_);
    PumpMessagesFor(50);
  }

  // Attaches a counted shadow to the parent; the parent owns it from then on. Unless told
  // otherwise, waits until the delayed first drawing has placed it (hidden with a hidden
  // parent), so that whatever the test sees afterwards comes from following the parent.
  void Attach(bool pastFirstDrawing = true) {
    shadow_ = new CountedShadow(&deletions_);
    ASSERT_TRUE(shadow_->Create(parent_));
    shadowWindow_ = shadow_->GetHWND();
    ASSERT_NE(shadowWindow_, nullptr);
    if (pastFirstDrawing) {
      ASSERT_TRUE(PumpUntil([&] { return Placed(shadowWindow_, parent_); }))
          << "first drawing: " << Describe(WindowRect(shadowWindow_));
    }
  }

  void ShowParent() {
    ::ShowWindow(parent_, SW_SHOWNOACTIVATE);
    ::UpdateWindow(parent_);
  }

  void ExpectSurrounds(const char* when) {
    EXPECT_TRUE(PumpUntil([&] { return Surrounds(shadowWindow_, parent_); }))
        << when << ": parent " << Describe(WindowRect(parent_)) << ", shadow "
        << Describe(WindowRect(shadowWindow_))
        << (::IsWindowVisible(shadowWindow_) ? "" : " (hidden)");
  }

  HWND parent_ = nullptr;
  CountedShadow* shadow_ = nullptr;
  HWND shadowWindow_ = nullptr;
  int deletions_ = 0;
};

TEST_F(WndShadowTest, ShadowIsAHiddenLayeredClickThroughPopupOwnedByTheParent) {
  // The class is registered once per process, redrawn whole on every size change.
  EXPECT_FALSE(CWndShadow::Initialize(Instance()));
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  ASSERT_TRUE(::GetClassInfoExW(Instance(), L"QvShadowWnd", &wc));
  EXPECT_EQ(wc.style & (CS_HREDRAW | CS_VREDRAW), static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));

  Attach(false);
  const LONG_PTR exStyle = ::GetWindowLongPtrW(shadowWindow_, GWL_EXSTYLE);
  EXPECT_EQ(exStyle & (WS_EX_LAYERED | WS_EX_TRANSPARENT), WS_EX_LAYERED | WS_EX_TRANSPARENT);
  EXPECT_TRUE(::GetWindowLongPtrW(shadowWindow_, GWL_STYLE) & WS_POPUP);
  EXPECT_EQ(::GetWindow(shadowWindow_, GW_OWNER), parent_);
  wchar_t name[32] = L"";
  ::GetClassNameW(shadowWindow_, name, 32);
  EXPECT_STREQ(name, L"QvShadowWnd");
  ::GetWindowTextW(shadowWindow_, name, 32);
  EXPECT_STREQ(name, L"QvShadowWnd");
  EXPECT_FALSE(::IsWindowVisible(shadowWindow_));
  EXPECT_NE(::GetWindowLongPtrW(parent_, GWLP_WNDPROC),
            reinterpret_cast<LONG_PTR>(&TestParentProc));
}

TEST_F(WndShadowTest, ShowingTheDialogShowsAShadowFourteenPixelsAround) {
  ::DestroyWindow(parent_);
  parent_ = MakeParent(kDialogStyle);
  Attach();
  // Moved while hidden, which the hidden shadow does not follow: showing must draw it anew.
  ::SetWindowPos(parent_, nullptr, kLeft + 40, kTop + 30, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowParent();
  ExpectSurrounds("shown");
  const RECT rc = WindowRect(shadowWindow_);
  EXPECT_EQ(rc.left, kLeft + 40 - 14);
  EXPECT_EQ(rc.top, kTop + 30 - 14);
  EXPECT_EQ(rc.right - rc.left, 568);
  EXPECT_EQ(rc.bottom - rc.top, 383);
}

TEST_F(WndShadowTest, AHiddenParentsShadowIsDrawnAfterOneSecondAndStaysHidden) {
  Attach(false);
  EXPECT_FALSE(Placed(shadowWindow_, parent_));
  EXPECT_TRUE(PumpUntil([&] { return Placed(shadowWindow_, parent_); }))
      << Describe(WindowRect(shadowWindow_));
  EXPECT_EQ(WindowRect(shadowWindow_).right - WindowRect(shadowWindow_).left, 568);
  EXPECT_FALSE(::IsWindowVisible(shadowWindow_));
}

// Each change of the shown parent, one after the other: the shadow follows it, and hides
// and comes back with it.
TEST_F(WndShadowTest, FollowsTheParentThroughMovesSizesMinimisingAndHiding) {
  Attach();
  ShowParent();
  ExpectSurrounds("shown");
  ::SetWindowPos(parent_, nullptr, 320, 260, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ExpectSurrounds("moved");
  ::SetWindowPos(parent_, nullptr, 0, 0, 640, 420, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ExpectSurrounds("enlarged");
  // Shrunk by the program: no paint and no end of a size-move loop follow.
  ::SetWindowPos(parent_, nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ExpectSurrounds("shrunk");
  ::ShowWindow(parent_, SW_MINIMIZE);
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindowVisible(shadowWindow_); })) << "minimised";
  ::ShowWindow(parent_, SW_RESTORE);
  ExpectSurrounds("restored");
  ::ShowWindow(parent_, SW_HIDE);
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindowVisible(shadowWindow_); })) << "hidden";
  ShowParent();
  ExpectSurrounds("shown again");
}

TEST_F(WndShadowTest, AParentAlreadyOnScreenGetsItsShadowAtOnce) {
  ShowParent();
  PumpMessagesFor(50);
  Attach(false);
  EXPECT_TRUE(Surrounds(shadowWindow_, parent_)) << Describe(WindowRect(shadowWindow_));
}

TEST_F(WndShadowTest, SizeAndOffsetPlaceTheShadow) {
  shadow_ = new CountedShadow(&deletions_);
  shadow_->SetSize(6);
  shadow_->SetPosition(2, -3);
  ASSERT_TRUE(shadow_->Create(parent_));
  shadowWindow_ = shadow_->GetHWND();
  ASSERT_TRUE(PumpUntil([&] { return Placed(shadowWindow_, parent_, 6, 2, -3); }))
      << "first drawing: " << Describe(WindowRect(shadowWindow_));
  ::SetWindowPos(parent_, nullptr, kLeft + 40, kTop + 30, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowParent();
  EXPECT_TRUE(PumpUntil([&] { return Surrounds(shadowWindow_, parent_, 6, 2, -3); }))
      << Describe(WindowRect(shadowWindow_));
}

TEST_F(WndShadowTest, FinalDestroyRestoresTheParentProcedureAndDeletesTheShadow) {
  Attach();
  ShowParent();
  ExpectSurrounds("shown");
  ASSERT_TRUE(::DestroyWindow(parent_));
  EXPECT_EQ(g_finalDestroy.count, 1);
  EXPECT_TRUE(g_finalDestroy.ownProcedureBack);
  EXPECT_EQ(deletions_, 1);
  EXPECT_FALSE(::IsWindow(shadowWindow_));
}

TEST_F(WndShadowTest, AShadowDeletedEarlyUnhooksItselfFromTheParent) {
  Attach();
  ShowParent();
  ExpectSurrounds("shown");
  delete shadow_;
  EXPECT_EQ(deletions_, 1);
  EXPECT_FALSE(::IsWindow(shadowWindow_));
  EXPECT_EQ(::GetWindowLongPtrW(parent_, GWLP_WNDPROC),
            reinterpret_cast<LONG_PTR>(&TestParentProc));
  // The parent goes on without it and dies normally.
  ::SetWindowPos(parent_, nullptr, 10, 10, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE);
  PumpMessagesFor(50);
  ASSERT_TRUE(::DestroyWindow(parent_));
  EXPECT_EQ(g_finalDestroy.count, 1);
  EXPECT_EQ(deletions_, 1);
}

TEST_F(WndShadowTest, CreateRefusesBadParentsAndSecondShadows) {
  CWndShadow stray;
  EXPECT_FALSE(stray.Create(nullptr));
  EXPECT_EQ(stray.GetHWND(), nullptr);

  Attach(false);
  CWndShadow second;
  EXPECT_FALSE(second.Create(parent_));
  HWND other = MakeParent();
  EXPECT_FALSE(shadow_->Create(other));  // already attached elsewhere
  ::DestroyWindow(other);

  HWND gone = MakeParent();
  ::DestroyWindow(gone);
  CWndShadow late;
  EXPECT_FALSE(late.Create(gone));

  // A window of another thread cannot be followed from this one.
  HWND foreign = nullptr;
  HANDLE made = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread owner([&] {
    foreign = MakeParent();
    ::SetEvent(made);
    ::WaitForSingleObject(done, 10000);
    ::DestroyWindow(foreign);
  });
  ::WaitForSingleObject(made, 10000);
  CWndShadow crossThread;
  EXPECT_FALSE(crossThread.Create(foreign));
  ::SetEvent(done);
  owner.join();
  ::CloseHandle(made);
  ::CloseHandle(done);

  // The first shadow is still in charge of its parent.
  ShowParent();
  ExpectSurrounds("after refused attempts");
}

// With no compositor under Xvfb the layered window's premultiplied pixels land on the
// screen as they are, so the screen shows which way up the bitmap went and in which colour.
TEST_F(WndShadowTest, ScreenShowsTheComputedRingsTheRightWayUp) {
  // Topmost, so that no window of a test running beside this one covers the shadow.
  ::SetWindowPos(parent_, HWND_TOPMOST, 720, 420, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  Attach();
  ShowParent();
  ExpectSurrounds("shown");
  PumpMessagesFor(200);
  HDC screen = ::GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  const COLORREF top = ::GetPixel(screen, 990, 419);            // innermost ring, top side
  const COLORREF bottom = ::GetPixel(screen, 990, 420 + 355);   // innermost ring, bottom side
  const COLORREF right = ::GetPixel(screen, 720 + 540, 597);    // innermost ring, right side
  const COLORREF outer = ::GetPixel(screen, 990, 420 - 14);     // outermost ring
  ::ReleaseDC(nullptr, screen);
  EXPECT_EQ(top, RGB(9, 9, 9));
  EXPECT_EQ(bottom, RGB(21, 21, 21));
  EXPECT_EQ(right, RGB(21, 21, 21));
  EXPECT_EQ(outer, RGB(0, 0, 0));
}

// Activations the shadow window received, seen through a subclass of it.
int g_shadowActivations = 0;
WNDPROC g_shadowProc = nullptr;

LRESULT CALLBACK CountingShadowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if ((message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) ||
      (message == WM_NCACTIVATE && wParam) || message == WM_SETFOCUS) {
    ++g_shadowActivations;
  }
  return ::CallWindowProcW(g_shadowProc, window, message, wParam, lParam);
}

TEST_F(WndShadowTest, NeverTakesTheMouseOrTheActivation) {
  // A window under the whole shadow, to catch what the mouse hits there; it and the parent
  // are topmost so that no window of a test running beside this one comes between.
  HWND below = ::CreateWindowExW(WS_EX_TOPMOST, kParentClass, L"below", WS_POPUP, kLeft - 100,
                                 kTop - 100, kWidth + 200, kHeight + 200, nullptr, nullptr,
                                 Instance(), nullptr);
  ASSERT_NE(below, nullptr);
  ::ShowWindow(below, SW_SHOWNOACTIVATE);
  ::SetWindowPos(parent_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Attach();
  g_shadowActivations = 0;
  g_shadowProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
      shadowWindow_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingShadowProc)));
  ASSERT_NE(g_shadowProc, nullptr);

  ::ShowWindow(parent_, SW_SHOW);
  ::SetForegroundWindow(parent_);
  ExpectSurrounds("shown");
  for (POINT ring : {POINT{kLeft - 3, kTop + 100}, POINT{kLeft + 270, kTop - 3},
                     POINT{kLeft + kWidth + 3, kTop + 100},
                     POINT{kLeft + 270, kTop + kHeight + 3}}) {
    EXPECT_EQ(::WindowFromPoint(ring), below) << ring.x << "," << ring.y;
  }
  // Following a move, an enlargement, a minimise and a restore takes no activation either.
  ::SetWindowPos(parent_, nullptr, kLeft + 10, kTop + 10, kWidth + 20, kHeight + 20,
                 SWP_NOZORDER);
  ExpectSurrounds("moved and enlarged");
  ::ShowWindow(parent_, SW_MINIMIZE);
  ::ShowWindow(parent_, SW_RESTORE);
  ExpectSurrounds("restored");
  EXPECT_EQ(g_shadowActivations, 0);
  EXPECT_NE(::GetForegroundWindow(), shadowWindow_);
  ::DestroyWindow(below);
}

}  // namespace
