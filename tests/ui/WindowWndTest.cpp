// CWindowWnd with real windows under Wine: the link between object and window from creation
// to the final message, superclassing and subclassing, a handler that throws, a creation that
// fails, the modal loop (its result, the owner, a quit message) and centring.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "LoopSteps.h"
#include "ui/WindowWnd.h"

using SkinUI::CWindowWnd;

namespace {

constexpr UINT kThrowMessage = WM_APP + 40;
constexpr UINT kProbeMessage = WM_APP + 41;

class RecordingWnd : public CWindowWnd {
 public:
  explicit RecordingWnd(const wchar_t* superClass = nullptr) : superClass_(superClass) {}

  bool Saw(UINT message) const {
    return std::find(messages.begin(), messages.end(), message) != messages.end();
  }

  std::vector<UINT> messages;
  int finals = 0;
  HWND finalWindow = nullptr;
  bool failCreation = false;

 protected:
  const wchar_t* GetWindowClassName() const override {
    return superClass_ ? L"KeltoTestSuperStatic" : L"KeltoTestWnd";
  }
  const wchar_t* GetSuperClassName() const override { return superClass_; }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    messages.push_back(message);
    if (message == WM_CREATE && failCreation) return -1;
    if (message == kThrowMessage) throw std::runtime_error("handler failed");
    return CWindowWnd::HandleMessage(message, wParam, lParam);
  }
  void OnFinalMessage(HWND window) override {
    ++finals;
    finalWindow = window;
  }

 private:
  const wchar_t* superClass_;
};

// A window of a class of the test's own, whose procedure counts the probe message.
int g_plainProbes = 0;
LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kProbeMessage) ++g_plainProbes;
  return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND MakePlainWindow() {
  static const bool registered = [] {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KeltoPlainWindow";
    return ::RegisterClassW(&wc) != 0;
  }();
  if (!registered) return nullptr;
  return ::CreateWindowExW(0, L"KeltoPlainWindow", L"plain", WS_POPUP, 40, 60, 540, 355,
                           nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

// A plain window shown at (40, 60), 540 x 355, to own the windows under test.
HWND MakeOwner() {
  const HWND owner = MakePlainWindow();
  if (owner) ::ShowWindow(owner, SW_SHOWNOACTIVATE);
  return owner;
}

class WindowWndTest : public testing::Test {
 protected:
  void TearDown() override { testing_support::StopLoopSteps(); }
};

TEST_F(WindowWndTest, TheObjectIsLinkedFromCreationToTheFinalMessage) {
  RecordingWnd wnd;
  const HWND window = wnd.Create(nullptr, L"linked", WS_POPUP, 0, 10, 10, 100, 50);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(wnd.GetHWND(), window);
  EXPECT_EQ(::GetWindowLongPtrW(window, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&wnd));
  EXPECT_TRUE(wnd.Saw(WM_NCCREATE));
  EXPECT_TRUE(wnd.Saw(WM_CREATE));
  EXPECT_EQ(::GetClassLongW(window, GCL_STYLE), 0u);
  wnd.SendMessage(kProbeMessage);
  EXPECT_TRUE(wnd.Saw(kProbeMessage));
  EXPECT_TRUE(wnd.PostMessage(kProbeMessage + 1));

  ::DestroyWindow(window);
  EXPECT_EQ(wnd.finals, 1);
  EXPECT_EQ(wnd.finalWindow, window);
  EXPECT_EQ(wnd.GetHWND(), nullptr);
  // The final message itself is not handed to the handler.
  EXPECT_FALSE(wnd.Saw(WM_NCDESTROY));
  // The object can make a window again.
  ASSERT_NE(wnd.Create(nullptr, L"again", WS_POPUP, 0, 0, 0, 10, 10), nullptr);
}

TEST_F(WindowWndTest, SuperclassedWindowsKeepTheirClassesBehaviour) {
  RecordingWnd wnd(L"Static");
  const HWND window = wnd.Create(nullptr, L"hello", WS_POPUP, 0, 0, 0, 100, 20);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(::GetPropW(window, L"WndX"), static_cast<HANDLE>(&wnd));
  wchar_t className[64] = L"";
  ::GetClassNameW(window, className, 64);
  EXPECT_STREQ(className, L"KeltoTestSuperStatic");
  // The static control's own procedure keeps the text.
  ASSERT_TRUE(::SetWindowTextW(window, L"superclassed"));
  wchar_t text[64] = L"";
  ::GetWindowTextW(window, text, 64);
  EXPECT_STREQ(text, L"superclassed");
  EXPECT_TRUE(wnd.Saw(WM_SETTEXT));
  ::DestroyWindow(window);
  EXPECT_EQ(wnd.finals, 1);
}

TEST_F(WindowWndTest, SubclassingTakesOverAWindowUntilUnsubclassOrItsEnd) {
  const HWND window = MakePlainWindow();
  ASSERT_NE(window, nullptr);
  const LONG_PTR ownProc = ::GetWindowLongPtrW(window, GWLP_WNDPROC);
  RecordingWnd wnd;
  ASSERT_EQ(wnd.Subclass(window), window);
  EXPECT_EQ(wnd.Subclass(window), nullptr) << "one window at a time";
  g_plainProbes = 0;
  ::SendMessageW(window, kProbeMessage, 0, 0);
  // Both the object and the window's own procedure see it.
  EXPECT_TRUE(wnd.Saw(kProbeMessage));
  EXPECT_EQ(g_plainProbes, 1);

  wnd.Unsubclass();
  EXPECT_EQ(wnd.GetHWND(), nullptr);
  EXPECT_EQ(::GetWindowLongPtrW(window, GWLP_WNDPROC), ownProc);
  EXPECT_EQ(::GetPropW(window, L"WndX"), nullptr);
  wnd.messages.clear();
  ::SendMessageW(window, kProbeMessage, 0, 0);
  EXPECT_FALSE(wnd.Saw(kProbeMessage));
  EXPECT_EQ(g_plainProbes, 2);

  // A subclassed window's end unhooks the object and tells it.
  ASSERT_EQ(wnd.Subclass(window), window);
  ::DestroyWindow(window);
  EXPECT_EQ(wnd.finals, 1);
  EXPECT_EQ(wnd.GetHWND(), nullptr);
}

TEST_F(WindowWndTest, AHandlerThatThrowsGetsTheDefaultHandling) {
  RecordingWnd wnd;
  const HWND window = wnd.Create(nullptr, L"throws", WS_POPUP, 0, 0, 0, 10, 10);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(::SendMessageW(window, kThrowMessage, 0, 0), 0);
  EXPECT_TRUE(::IsWindow(window));
  EXPECT_TRUE(wnd.Saw(kThrowMessage));
}

TEST_F(WindowWndTest, AFailedCreationLeavesTheObjectWithItsCaller) {
  auto* wnd = new RecordingWnd;
  wnd->failCreation = true;
  EXPECT_EQ(wnd->Create(nullptr, L"fails", WS_POPUP, 0, 0, 0, 10, 10), nullptr);
  EXPECT_TRUE(wnd->Saw(WM_CREATE));
  EXPECT_EQ(wnd->finals, 0);
  EXPECT_EQ(wnd->GetHWND(), nullptr);
  wnd->failCreation = false;
  const HWND window = wnd->Create(nullptr, L"works", WS_POPUP, 0, 0, 0, 10, 10);
  ASSERT_NE(window, nullptr);
  // Deleting the object takes its window along.
  delete wnd;
  EXPECT_FALSE(::IsWindow(window));
}

TEST_F(WindowWndTest, ShowModalDisablesTheOwnerAndReturnsTheCloseResult) {
  const HWND owner = MakeOwner();
  ASSERT_NE(owner, nullptr);
  RecordingWnd wnd;
  ASSERT_NE(wnd.Create(owner, L"modal", WS_POPUP, 0, 0, 0, 120, 60), nullptr);
  bool ownerEnabled = true;
  testing_support::RunInLoop([&] {
    ownerEnabled = ::IsWindowEnabled(owner) != FALSE;
    wnd.Close(7);
    return true;
  });
  EXPECT_EQ(wnd.ShowModal(), 7u);
  EXPECT_FALSE(ownerEnabled);
  EXPECT_TRUE(::IsWindowEnabled(owner));
  EXPECT_EQ(wnd.GetHWND(), nullptr);
  EXPECT_EQ(wnd.ShowModal(), 0u) << "no window, no loop";

  // An owner that something else disabled stays disabled afterwards.
  ::EnableWindow(owner, FALSE);
  ASSERT_NE(wnd.Create(owner, L"modal", WS_POPUP, 0, 0, 0, 120, 60), nullptr);
  testing_support::RunInLoop([&] {
    wnd.Close(3);
    return true;
  });
  EXPECT_EQ(wnd.ShowModal(), 3u);
  EXPECT_FALSE(::IsWindowEnabled(owner));
  ::DestroyWindow(owner);
}

TEST_F(WindowWndTest, AQuitMessageEndsTheModalLoopAndIsPostedAgain) {
  RecordingWnd wnd;
  ASSERT_NE(wnd.Create(nullptr, L"modal", WS_POPUP, 0, 0, 0, 120, 60), nullptr);
  testing_support::RunInLoop([] {
    ::PostQuitMessage(5);
    return true;
  });
  EXPECT_EQ(wnd.ShowModal(), 0u);
  EXPECT_TRUE(::IsWindow(wnd.GetHWND()));
  MSG msg = {};
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 5u);
  ::DestroyWindow(wnd.GetHWND());
}

TEST_F(WindowWndTest, CentredOverAVisibleOwnerElseOverTheWorkArea) {
  const HWND owner = MakeOwner();
  ASSERT_NE(owner, nullptr);
  RecordingWnd wnd;
  ASSERT_NE(wnd.Create(owner, L"centred", WS_POPUP, 0, 0, 0, 280, 115), nullptr);
  wnd.CenterWindow();
  RECT r = {};
  ::GetWindowRect(wnd.GetHWND(), &r);
  EXPECT_EQ(r.left, 40 + (540 - 280) / 2);
  EXPECT_EQ(r.top, 60 + (355 - 115) / 2);
  EXPECT_EQ(r.right - r.left, 280);

  RECT work = {};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  // A minimised owner has no place worth centring over.
  ::ShowWindow(owner, SW_MINIMIZE);
  ASSERT_TRUE(::IsIconic(owner));
  wnd.CenterWindow();
  ::GetWindowRect(wnd.GetHWND(), &r);
  EXPECT_EQ(r.left, work.left + (work.right - work.left - 280) / 2);
  EXPECT_EQ(r.top, work.top + (work.bottom - work.top - 115) / 2);
  ::DestroyWindow(owner);
}

}  // namespace
