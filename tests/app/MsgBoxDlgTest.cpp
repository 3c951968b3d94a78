// The skinned message box in real windows under Wine and Xvfb, with the installer's own skin
// archive in the test's resources: its results for OK, cancel and close clicked with real X
// input, Escape and Return refused, its texts, captions and hidden parts, its place over its
// owner, and screenshots of the installer's boxes in build/win/screenshots.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "LoopSteps.h"
#include "Screenshot.h"
#include "SkinWindowFixture.h"
#include "TestHostWindow.h"
#include "app/MsgBoxDlg.h"
#include "ui/ControlUI.h"

using SkinUI::CControlUI;
using testing_support::RunInLoop;
using testing_support::When;

namespace {

class MessageBoxTest : public testing_support::SkinWindowTest {
 protected:
  static std::wstring UniqueTitle() { return SkinWindowTest::UniqueTitle(L"KeltoBox"); }

  // Runs a box; `step` runs inside its modal loop once the box shows, laid out. A box still
  // open after 30 s is closed with 99, which no test expects.
  UINT Run(const CMsgBoxDlg::TOptions& options, std::function<void()> step, HWND owner = nullptr) {
    box_ = nullptr;
    RunInLoop(When([this] { return Ready(); }, std::move(step)));
    const DWORD start = ::GetTickCount();
    RunInLoop([this, start] {
      if (::GetTickCount() - start < 30000) return false;
      if (box_) box_->Close(99);
      return true;
    }, 500);
    const UINT result = CMsgBoxDlg::Run(owner, options, &box_);
    testing_support::StopLoopSteps();
    return result;
  }

  bool Ready() const {
    if (!box_ || !::IsWindowVisible(box_->GetHWND())) return false;
    CControlUI* ok = Find(L"btn_ok");
    return ok && ok->GetPos().right > 0;
  }
  CControlUI* Find(const wchar_t* name) const {
    return box_ ? box_->GetPaintManager().FindControl(name) : nullptr;
  }
  POINT Centre(const wchar_t* name) const {
    const RECT r = Find(name)->GetPos();
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  RECT WindowRect() const {
    RECT r = {};
    ::GetWindowRect(box_->GetHWND(), &r);
    return r;
  }

  CMsgBoxDlg* box_ = nullptr;
};

CMsgBoxDlg::TOptions Options(const std::wstring& title) {
  CMsgBoxDlg::TOptions options;
  options.title = title;
  options.text = L"是否退出安装？";
  return options;
}

TEST_F(MessageBoxTest, OkGivesOneCancelAndCloseGiveTwo) {
  for (const auto& [button, expected] :
       std::vector<std::pair<const wchar_t*, UINT>>{{L"btn_ok", 1}, {L"btn_cancel", 2},
                                                    {L"btn_close", 2}}) {
    const std::wstring title = UniqueTitle();
    const UINT result = Run(Options(title), [&] {
      ASSERT_TRUE(testing_support::StartXdotool(title, testing_support::XdotoolClick(Centre(button))));
    });
    EXPECT_EQ(result, expected) << testing::PrintToString(std::wstring(button));
    EXPECT_EQ(box_, nullptr);
    EXPECT_EQ(::FindWindowW(CMsgBoxDlg::kClassName, title.c_str()), nullptr) << "the box stayed";
  }
}

TEST_F(MessageBoxTest, EscapeAndReturnLeaveTheBoxOpen) {
  const std::wstring title = UniqueTitle();
  testing_support::KeyPressRecorder keys;
  bool openAfterKeys = false;
  const UINT result = Run(Options(title), [&] {
    ASSERT_TRUE(testing_support::StartXdotool(title, testing_support::XdotoolKeys(L"Escape Return")));
    // Timer steps come after every other message: once both keys were taken from the queue,
    // whatever they did (a close message posted, a button pressed) has been handled.
    RunInLoop(When([&] { return keys.Pressed(VK_ESCAPE) && keys.Pressed(VK_RETURN); }, [&] {
      openAfterKeys = box_ && ::IsWindowVisible(box_->GetHWND());
      if (box_) {
        ASSERT_TRUE(testing_support::StartXdotool(title,
                                                  testing_support::XdotoolClick(Centre(L"btn_ok"))));
      }
    }));
  });
  EXPECT_TRUE(openAfterKeys);
  EXPECT_EQ(result, 1u);
}

TEST_F(MessageBoxTest, TextsCaptionsAndHiddenPartsAsTheCallerAsks) {
  CMsgBoxDlg::TOptions options = Options(UniqueTitle());
  options.text = L"文件已损坏，请重新下载！";
  options.code = L"code:28 type:5";
  options.okText = L"重新下载";
  options.cancelText = L"退出安装";
  std::wstring windowText(64, L'\0');
  std::wstring className(64, L'\0');
  RECT bounds = {}, ok = {}, cancel = {};
  Run(options, [&] {
    windowText.resize(::GetWindowTextW(box_->GetHWND(), &windowText[0], 64));
    className.resize(::GetClassNameW(box_->GetHWND(), &className[0], 64));
    bounds = WindowRect();
    EXPECT_EQ(Find(L"lb_title")->GetText(), options.title);
    EXPECT_EQ(Find(L"lb_text")->GetText(), options.text);
    EXPECT_EQ(Find(L"lb_code")->GetText(), L"code:28 type:5");
    EXPECT_EQ(Find(L"btn_ok")->GetText(), L"重新下载");
    EXPECT_EQ(Find(L"btn_cancel")->GetText(), L"退出安装");
    EXPECT_TRUE(Find(L"btn_close")->IsVisible());
    ok = Find(L"btn_ok")->GetPos();
    cancel = Find(L"btn_cancel")->GetPos();
    box_->Close(2);
  });
  EXPECT_EQ(windowText, options.title);
  EXPECT_EQ(className, L"keltoim");
  EXPECT_EQ(bounds.right - bounds.left, 280);
  EXPECT_EQ(bounds.bottom - bounds.top, 115);
  // OK then cancel at the right end of the bottom row.
  EXPECT_EQ(cancel.right, 270);
  EXPECT_EQ(ok.right, 270 - 68 - 8);

  // No code, default captions, no close button and no cancel: OK alone at the right end.
  options.code.clear();
  options.okText.clear();
  options.cancelText.clear();
  options.showClose = false;
  options.showCancel = false;
  Run(options, [&] {
    EXPECT_EQ(Find(L"lb_code")->GetText(), L"");
    EXPECT_EQ(Find(L"btn_ok")->GetText(), L"确定");
    EXPECT_EQ(Find(L"btn_cancel")->GetText(), L"取消");
    EXPECT_FALSE(Find(L"btn_close")->IsVisible());
    EXPECT_FALSE(Find(L"hlt_btn_0")->IsVisible());
    ok = Find(L"btn_ok")->GetPos();
    // Nothing answers a click where the close button was.
    const RECT close = Find(L"btn_close")->GetPos();
    EXPECT_EQ(box_->GetPaintManager().FindControl(POINT{(close.left + close.right) / 2, 17}),
              box_->GetPaintManager().GetRoot());
    box_->Close(2);
  });
  EXPECT_EQ(ok.right, 270);
}

TEST_F(MessageBoxTest, CentredOverItsOwnerWhichWaitsDisabled) {
  testing_support::TestHostWindow owner(L"KeltoBoxOwner", 540, 355);
  ASSERT_NE(owner.hwnd(), nullptr);
  ::SetWindowPos(owner.hwnd(), nullptr, 40, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  owner.Show();
  bool ownerEnabled = true;
  RECT bounds = {};
  const UINT result = Run(Options(UniqueTitle()), [&] {
    ownerEnabled = ::IsWindowEnabled(owner.hwnd()) != FALSE;
    bounds = WindowRect();
    EXPECT_EQ(::GetWindow(box_->GetHWND(), GW_OWNER), owner.hwnd());
    // The owner closing an open box (as the install window does with its quit confirmation).
    box_->Close(1);
  }, owner.hwnd());
  EXPECT_EQ(result, 1u);
  EXPECT_FALSE(ownerEnabled);
  EXPECT_TRUE(::IsWindowEnabled(owner.hwnd()));
  EXPECT_EQ(bounds.left, 40 + (540 - 280) / 2);
  EXPECT_EQ(bounds.top, 60 + (355 - 115) / 2);

  // Without an owner, over the work area.
  RECT work = {};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  Run(Options(UniqueTitle()), [&] {
    bounds = WindowRect();
    box_->Close(2);
  });
  EXPECT_EQ(bounds.left, work.left + (work.right - work.left - 280) / 2);
  EXPECT_EQ(bounds.top, work.top + (work.bottom - work.top - 115) / 2);
}

// The installer's boxes as players see them, saved in the build tree to be looked at: the
// screen shows exactly what the box painted, apart from the rounded corners, and the
// shadow lies around it (as a dark frame under Xvfb, which has no compositor).
TEST_F(MessageBoxTest, ScreenshotsOfTheInstallersBoxes) {
  struct Shot {
    const char* file;
    CMsgBoxDlg::TOptions options;
  };
  // Title, text, code line, OK and cancel captions, close button, cancel button.
  using Options = CMsgBoxDlg::TOptions;
  const std::vector<Shot> shots = {
      {"msgbox_quit", Options{L"退出安装", L"是否退出安装？", L"", L"", L"", true, true}},
      {"msgbox_existing", Options{L"提示信息", L"您已经安装了凯途星联，是否覆盖安装？", L"",
                                  L"覆盖安装", L"直接启动", false, true}},
      {"msgbox_agreement", Options{L"提示信息", L"未勾选“同意软件许可协议”。", L"", L"", L"",
                                   true, false}},
      {"msgbox_retry", Options{L"提示信息", L"连接超时，请检查网络是否正常",
                               L"code:-2147483648 type:5", L"重试", L"", true, false}},
      {"msgbox_corrupt", Options{L"提示信息", L"文件已损坏，请重新下载！", L"", L"重新下载",
                                 L"退出安装", true, true}},
      {"msgbox_running", Options{L"提示信息", L"您已经运行了一个星联安装程序。", L"", L"", L"",
                                 true, false}},
  };
  for (const Shot& shot : shots) {
    SCOPED_TRACE(shot.file);
    constexpr int kShadow = 14;
    const DWORD shown = ::GetTickCount();
    int unlike = -1, textInk = 0;
    bool saved = false;
    Run(shot.options, [&] {
      // The shadow and the X server catch up with the first paint.
      RunInLoop([&] {
        if (::GetTickCount() - shown < 400) return false;
        const auto screen = testing_support::CaptureWindow(box_->GetHWND(), kShadow);
        if (!screen) {
          ADD_FAILURE() << "no screenshot";
          box_->Close(2);
          return true;
        }
        saved = testing_support::SaveScreenshot(*screen, shot.file);
        unlike = testing_support::CountUnlikePixels(
            *screen, kShadow, box_->GetPaintManager().GetOffscreenBitmap(), 8);
        // Dark glyph pixels where the text label is.
        const RECT text = Find(L"lb_text")->GetPos();
        for (int y = text.top; y < text.bottom; ++y) {
          for (int x = text.left; x < text.right; ++x) {
            const uint32_t c = screen->Rgb(x + kShadow, y + kShadow);
            if (((c >> 16) & 0xFF) < 0x80 && ((c >> 8) & 0xFF) < 0x80) ++textInk;
          }
        }
        box_->Close(2);
        return true;
      });
    });
    EXPECT_TRUE(saved);
    // The four corners cut round by the window region: a few dozen pixels.
    EXPECT_GE(unlike, 4);
    EXPECT_LE(unlike, 4 * 8 * 8);
    EXPECT_GT(textInk, 50);
  }
}

}  // namespace
