// The edit box and its native "Edit" window, and real X input through xdotool, in the
// main-window-shaped tree.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "MainWindowFixture.h"
#include "ui/DibSection.h"
#include "ui/EditUI.h"
#include "ui/ContainerUI.h"

using namespace SkinUI;
using testing_support::MainWindowTest;

namespace {

std::wstring WindowText(HWND window) {
  wchar_t text[256] = L"";
  ::GetWindowTextW(window, text, 256);
  return text;
}

// The number of pixels of `rect` in the back buffer whose colour is `rgb`.
int CountColour(testing_support::TestHostWindow& window, const RECT& rect, uint32_t rgb) {
  int count = 0;
  window.BackBufferRgb(0, 0);  // repaint once
  const TConstPixelView pixels = CDibSection::PixelsOf(window.host().GetOffscreenBitmap());
  for (int y = rect.top; y < rect.bottom && y < pixels.height; ++y) {
    for (int x = rect.left; x < rect.right && x < pixels.width; ++x) {
      if ((pixels.pixels[static_cast<size_t>(y) * pixels.stride + x] & 0xFFFFFF) == rgb) ++count;
    }
  }
  return count;
}

}  // namespace

class EditBoxTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    ShowPage(1);
    edit_ = Find<CEditUI>(L"edit_input", L"Edit");
    ASSERT_NE(edit_, nullptr);
    recorder_->Clear();
  }

  // Clicks the edit box and waits for its native window.
  HWND OpenByClick() {
    const POINT p = Centre(L"edit_input");
    window_->Click(p.x, p.y);
    return edit_->GetNativeWindow();
  }

  CEditUI* edit_ = nullptr;
};

TEST_F(EditBoxTest, ClickOpensTheNativeBoxOverTheTextArea) {
  const HWND native = OpenByClick();
  ASSERT_NE(native, nullptr);
  EXPECT_EQ(::GetParent(native), window_->hwnd());
  EXPECT_TRUE(::IsWindowVisible(native));
  EXPECT_EQ(::GetFocus(), native);
  EXPECT_EQ(recorder_->Count(L"setfocus:edit_input"), 1);
  EXPECT_EQ(recorder_->Count(L"textchanged:edit_input"), 0);  // opening changes nothing
  // Over the control shrunk by its text padding (4, 3, 4, 3), one text line high, centred.
  RECT box;
  ::GetWindowRect(native, &box);
  ::MapWindowPoints(HWND_DESKTOP, window_->hwnd(), reinterpret_cast<POINT*>(&box), 2);
  const RECT& pos = edit_->GetPos();
  EXPECT_EQ(box.left, pos.left + 4);
  EXPECT_EQ(box.right, pos.right - 4);
  const int height = static_cast<int>(host().GetFontInfo(edit_->GetFont())->metrics.tmHeight);
  EXPECT_EQ(box.bottom - box.top, height);
  EXPECT_LE(std::abs((box.top + box.bottom) - (pos.top + pos.bottom)), 1);
}

TEST_F(EditBoxTest, TypingSendsTextChangedPerChangeAndReturnSendsReturn) {
  const HWND native = OpenByClick();
  ASSERT_NE(native, nullptr);
  ::SendMessageW(native, WM_CHAR, L'D', 1);
  ::SendMessageW(native, WM_CHAR, L':', 1);
  EXPECT_EQ(recorder_->Count(L"textchanged:edit_input"), 2);
  EXPECT_EQ(edit_->GetText(), L"D:");
  ::SendMessageW(native, WM_KEYDOWN, VK_RETURN, 1);
  ::SendMessageW(native, WM_CHAR, VK_RETURN, 1);
  EXPECT_EQ(recorder_->Count(L"return:edit_input"), 1);
  EXPECT_EQ(edit_->GetText(), L"D:");  // Return is not text

  // Clicking elsewhere closes the box; the control keeps and paints the text.
  const POINT elsewhere = Centre(L"btn_select");
  window_->Click(elsewhere.x, elsewhere.y);
  EXPECT_TRUE(window_->PumpUntil([&] { return edit_->GetNativeWindow() == nullptr; }));
  EXPECT_FALSE(::IsWindow(native));
  EXPECT_EQ(recorder_->Count(L"killfocus:edit_input"), 1);
  EXPECT_EQ(edit_->GetText(), L"D:");
  EXPECT_GT(CountColour(*window_, edit_->GetPos(), 0x000000), 0);
}

TEST_F(EditBoxTest, SetTextSendsTextChangedWhetherTheBoxIsOpenOrNot) {
  edit_->SetText(L"C:\\Games");
  EXPECT_EQ(recorder_->Count(L"textchanged:edit_input"), 1);
  edit_->SetFocus();
  const HWND native = edit_->GetNativeWindow();
  ASSERT_NE(native, nullptr);
  EXPECT_EQ(WindowText(native), L"C:\\Games");
  EXPECT_EQ(recorder_->Count(L"textchanged:edit_input"), 1);
  edit_->SetText(L"D:\\凯途网络");
  EXPECT_EQ(WindowText(native), L"D:\\凯途网络");
  EXPECT_EQ(recorder_->Count(L"textchanged:edit_input"), 2);
  EXPECT_EQ(edit_->GetText(), L"D:\\凯途网络");
}

TEST_F(EditBoxTest, TabOpensTheBoxAndHidingThePageClosesIt) {
  // The page took the focus when it was selected; Tab moves on into it.
  window_->Key(VK_TAB);
  EXPECT_EQ(host().GetFocus(), edit_);
  const HWND native = edit_->GetNativeWindow();
  ASSERT_NE(native, nullptr);
  ShowPage(0);
  EXPECT_TRUE(window_->PumpUntil([&] { return edit_->GetNativeWindow() == nullptr; }));
  EXPECT_NE(host().GetFocus(), edit_);
}

TEST_F(EditBoxTest, ReadOnlyBoxStillOpensButRefusesTyping) {
  edit_->SetText(L"fixed");
  edit_->SetReadOnly(true);
  recorder_->Clear();
  const HWND native = OpenByClick();
  ASSERT_NE(native, nullptr);
  EXPECT_TRUE(::GetWindowLongW(native, GWL_STYLE) & ES_READONLY);
  ::SendMessageW(native, WM_CHAR, L'x', 1);
  EXPECT_EQ(edit_->GetText(), L"fixed");
  EXPECT_EQ(recorder_->Count(L"textchanged:edit_input"), 0);
}

TEST_F(EditBoxTest, DestroyingTheControlWithItsBoxOpenLeavesNothingBehind) {
  const HWND native = OpenByClick();
  ASSERT_NE(native, nullptr);
  auto* page = static_cast<IContainerUI*>(Find(L"vlt_folder")->GetInterface(L"IContainer"));
  ASSERT_TRUE(page->Remove(edit_));
  edit_ = nullptr;
  window_->Pump(20);  // the delayed deletion runs
  EXPECT_FALSE(::IsWindow(native));
  EXPECT_EQ(Find(L"edit_input"), nullptr);
  EXPECT_EQ(host().GetFocus(), nullptr);
}

TEST_F(MainWindowTest, RealMouseAndKeyboardFromTheXServerReachTheControls) {
  // xdotool moves the X server's pointer and types on its keyboard, as a player would.
  using testing_support::StartXdotool;
  using testing_support::XdotoolClick;
  ASSERT_TRUE(StartXdotool(title_, XdotoolClick(Centre(L"btn_install"))));
  EXPECT_TRUE(window_->PumpUntil([&] { return recorder_->Count(L"click:btn_install") == 1; }, 15000));

  ASSERT_TRUE(StartXdotool(title_, XdotoolClick(Centre(L"opt_agree"))));
  EXPECT_TRUE(window_->PumpUntil([&] { return recorder_->Count(L"selectchanged:opt_agree") == 1; }, 15000));

  ShowPage(1);
  auto* edit = Find<CEditUI>(L"edit_input", L"Edit");
  ASSERT_TRUE(StartXdotool(title_, XdotoolClick(Centre(L"edit_input"))));
  ASSERT_TRUE(window_->PumpUntil([&] { return edit->GetNativeWindow() != nullptr; }, 15000));
  ASSERT_TRUE(StartXdotool(title_, L"key --window %1 k 7 Return"));
  EXPECT_TRUE(window_->PumpUntil([&] { return recorder_->Count(L"return:edit_input") == 1; }, 15000));
  EXPECT_EQ(edit->GetText(), L"k7");
  EXPECT_EQ(recorder_->Count(L"textchanged:edit_input"), 2);
}
