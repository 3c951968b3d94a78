// The install dialog in a real window of the test, as start-up opens it, driven by real X
// input (xdotool) against a real update server on the installer's own manifest address,
// installing the real demo game on the harness's test drives. The test's thread plays the
// installer's user-interface thread; message boxes are read and answered from inside their
// modal loops. Screenshots of the pages and boxes go to build/win/screenshots.
#include <winsock2.h>  // before windows.h: the engine's headers use sockets

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "AppTestSupport.h"
#include "MessageBoxWatch.h"
#include "LoopSteps.h"
#include "Screenshot.h"
#include "SkinWindowFixture.h"
#include "TestHostWindow.h"
#include "app/CommonUtils.h"
#include "app/InstallLocation.h"
#include "app/MainDlg.h"
#include "app/MsgBoxDlg.h"
#include "app/StartupSettings.h"
#include "http/HttpEngine.h"
#include "http/SystemProxy.h"
#include "runtime/MainThreadTask.h"
#include "support/FaultRule.h"
#include "support/MessagePump.h"
#include "support/ScopedProxySettings.h"
#include "ui/EditUI.h"
#include "ui/LabelUI.h"
#include "ui/OptionUI.h"
#include "ui/ProgressUI.h"
#include "ui/TabLayoutUI.h"

using namespace testing_support;
using app_test::ClickAt;
using app_test::OneClickFolder;

namespace {

constexpr DWORD kInstallLimitMs = 120000;

// Bytes of the files directly in `folder`.
long long BytesIn(const std::wstring& folder) {
  long long bytes = 0;
  WIN32_FIND_DATAW data = {};
  HANDLE found = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (found == INVALID_HANDLE_VALUE) return 0;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      bytes += (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
  } while (::FindNextFileW(found, &data));
  ::FindClose(found);
  return bytes;
}

class MainDlgTest : public SkinWindowTest {
 protected:
  void SetUp() override {
    if (!app_test::TestDrivesPresent()) GTEST_SKIP() << "needs the harness's test drives";
    app_test::ClearInstallTraces();
    StartupSettings::Get() = StartupSettings();
    ASSERT_TRUE(InitMainThreadTasks());
    ASSERT_TRUE(CHttpEngine::StartCommandFamily());
    ASSERT_TRUE(CHttpEngine::StartDownloadFamily());
  }

  void TearDown() override {
    // Steps still waiting look at the window: none may run once it is gone.
    StopLoopSteps();
    dialog_.reset();
    CHttpEngine::ShutdownCommandFamily();
    CHttpEngine::ShutdownDownloadFamily();
    CHttpEngine::StopTimer();
    ClearMainThreadTasks();
    app_test::ClearInstallTraces();
    SkinWindowTest::TearDown();
  }

  // The install window as start-up opens it.
  void Open() {
    dialog_ = std::make_unique<CMainDlg>();
    ASSERT_NE(dialog_->Create(nullptr, CMainDlg::WindowTitle().c_str(), CMainDlg::kWindowStyle,
                              0, 0, 0, 0, 0),
              nullptr);
    dialog_->CenterWindow();
    dialog_->ShowWindow(true, true);
    ASSERT_TRUE(PumpMessagesUntil([&] { return ::IsWindowVisible(window()); }, 10000));
    PumpMessagesFor(300);
  }

  HWND window() const { return dialog_->GetHWND(); }
  bool Closed() const { return !::IsWindow(window()); }
  SkinUI::CControlUI* Find(const wchar_t* name) {
    return dialog_->GetPaintManager().FindControl(name);
  }
  // "<gone>" once the window (and its controls) is.
  std::wstring Text(const wchar_t* name) {
    SkinUI::CControlUI* control = Find(name);
    return control ? control->GetText() : L"<gone>";
  }
  int Page() {
    return static_cast<SkinUI::CTabLayoutUI*>(Find(L"tb_main")->GetInterface(L"TabLayout"))
        ->GetCurSel();
  }
  SkinUI::CProgressUI* Progress() {
    return static_cast<SkinUI::CProgressUI*>(
        Find(L"pro_InstallProgress")->GetInterface(L"Progress"));
  }
  bool Click(const wchar_t* name) {
    SkinUI::CControlUI* control = Find(name);
    return control && ClickAt(window(), Centre(control));
  }
  void Screenshot(const std::string& name) {
    PumpMessagesFor(200);
    if (auto shot = CaptureWindow(window(), 0)) SaveScreenshot(*shot, name);
  }
  // Replaces the folder page's text by typing `keys` (xdotool key names) until it reads
  // `expected`.
  testing::AssertionResult Type(const std::wstring& keys, const std::wstring& expected) {
    auto* edit = static_cast<SkinUI::CEditUI*>(Find(L"edit_input")->GetInterface(L"Edit"));
    if (!edit->GetNativeWindow()) {
      Click(L"edit_input");
      if (!PumpMessagesUntil([&] { return edit->GetNativeWindow() != nullptr; }, 15000)) {
        return testing::AssertionFailure() << "the edit box did not open";
      }
    }
    app_test::XdotoolOn(window(), L"key --window %1 End shift+Home Delete " + keys);
    if (!PumpMessagesUntil([&] { return edit->GetText() == expected; }, 15000)) {
      return testing::AssertionFailure() << "the folder reads " << WideToUtf8(edit->GetText());
    }
    PumpMessagesFor(100);
    return testing::AssertionSuccess();
  }
  uint32_t TipColor() {
    return static_cast<SkinUI::CLabelUI*>(Find(L"lb_tip")->GetInterface(L"Label"))->GetTextColor();
  }

  app_test::UpdateServer server_;
  std::unique_ptr<CMainDlg> dialog_;
};

TEST_F(MainDlgTest, TheAgreementMustBeTickedForEitherInstall) {
  Open();
  Screenshot("install_start_page");
  EXPECT_EQ(Page(), CMainDlg::kStartPage);
  auto* agree = static_cast<SkinUI::COptionUI*>(Find(L"opt_agree")->GetInterface(L"Option"));
  ASSERT_TRUE(agree->IsSelected());
  ASSERT_TRUE(Click(L"opt_agree"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return !agree->IsSelected(); }, 15000));

  for (const wchar_t* button : {L"btn_install", L"btn_free"}) {
    BoxRecord box;
    AnswerNextBox(&box, L"btn_ok", "box_agreement");
    ASSERT_TRUE(Click(button));
    ASSERT_TRUE(PumpMessagesUntil([&] { return box.answered && !ShownBox(); }, 20000));
    EXPECT_EQ(box.shown, (BoxShown{L"提示信息", L"未勾选“同意软件许可协议”。", L"", L"确定", L"",
                                   true}));
    EXPECT_EQ(Page(), CMainDlg::kStartPage) << "the page changed without the agreement";
  }

  // Ticked again, the custom install opens the folder page on the one-click folder.
  ASSERT_TRUE(Click(L"opt_agree"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return agree->IsSelected(); }, 15000));
  ASSERT_TRUE(Click(L"btn_free"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Page() == CMainDlg::kFolderPage; }, 15000));
  EXPECT_EQ(Text(L"edit_input"), OneClickFolder());
}

TEST_F(MainDlgTest, CustomInstallChecksTheTypedFolderAndInstallsThere) {
  ASSERT_TRUE(server_.Start()) << server_.http().error();
  Open();
  ASSERT_TRUE(Click(L"btn_free"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Page() == CMainDlg::kFolderPage; }, 15000));
  // The one-click folder on D:, with the free space of the drive.
  EXPECT_EQ(Text(L"edit_input"), OneClickFolder());
  EXPECT_EQ(Text(L"lb_tip"), install_location::DescribeInstallDirCheck(
                                 0, install_location::FreeBytes(L"D:"))
                                 .tipText);
  EXPECT_EQ(TipColor(), 0xFF444343u);
  EXPECT_TRUE(Find(L"btn_install2")->IsEnabled());

  // No such drive.
  ASSERT_TRUE(Type(L"Q colon backslash x", L"Q:\\x"));
  EXPECT_EQ(Text(L"lb_tip"), L"安装目录无效，请选择正确的目录");
  EXPECT_EQ(TipColor(), 0xFFFF0000u);
  EXPECT_FALSE(Find(L"btn_install2")->IsEnabled());
  // A drive where nothing can be written; the disabled button does nothing.
  ASSERT_TRUE(Type(L"E colon backslash K e l t o", L"E:\\Kelto"));
  EXPECT_EQ(Text(L"lb_tip"), L"该目录权限不足，请选择其他目录安装");
  EXPECT_FALSE(Find(L"btn_install2")->IsEnabled());
  ASSERT_TRUE(Click(L"btn_install2"));
  PumpMessagesFor(1000);
  EXPECT_EQ(Page(), CMainDlg::kFolderPage);
  // A drive with less than 150 MiB free.
  ASSERT_TRUE(WriteTestFile(L"D:\\filler.bin", 11ull << 20));
  ASSERT_TRUE(Type(L"D colon backslash K", L"D:\\K"));
  EXPECT_EQ(Text(L"lb_tip"), L"该磁盘剩余空间不足，请选择其他目录安装");
  EXPECT_EQ(TipColor(), 0xFFFF0000u);
  EXPECT_FALSE(Find(L"btn_install2")->IsEnabled());
  // A good folder.
  const std::wstring folder = L"F:\\Kelto\\Game";
  ASSERT_TRUE(Type(L"F colon backslash K e l t o backslash G a m e", folder));
  EXPECT_EQ(Text(L"lb_tip").rfind(L"所需磁盘空间：150.00MB          可用磁盘空间：", 0), 0u)
      << WideToUtf8(Text(L"lb_tip"));
  EXPECT_EQ(TipColor(), 0xFF444343u);
  EXPECT_TRUE(Find(L"btn_install2")->IsEnabled());
  Screenshot("install_folder_page");

  ASSERT_TRUE(Click(L"btn_install2"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Page() == CMainDlg::kProgressPage; }, 15000));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Closed(); }, kInstallLimitMs));
  const app_test::LauncherStart start = app_test::WaitForLauncherStart(folder);
  ASSERT_TRUE(start.found) << "no launcher started in the typed folder";
  EXPECT_EQ(start.id, "12");
  EXPECT_TRUE(FileExists(folder + L"\\bin\\game.dat"));
  EXPECT_FALSE(FileExists(folder + L"\\qvinstaller.exe"));
  EXPECT_FALSE(FolderExists(OneClickFolder()));
}

TEST_F(MainDlgTest, OneClickInstallShowsTheDownloadThenTheInstallStep) {
  ASSERT_TRUE(server_.Start()) << server_.http().error();
  // Slow enough to watch: about six seconds for the package.
  ASSERT_TRUE(server_.http().AddRule(FaultRule("/qvinstaller.exe").Drip(4 << 20)));
  StartupSettings::Get().gameIdOption = 30;
  Open();
  ASSERT_TRUE(Click(L"btn_install"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Page() == CMainDlg::kProgressPage; }, 15000));
  EXPECT_EQ(Text(L"lb_download"), L"下载中");

  // Half way through the download: the remaining size and speed, the bar's first 90 %.
  ASSERT_TRUE(PumpMessagesUntil(
      [&] { return Text(L"lb_speed").rfind(L"剩余", 0) == 0 && Progress()->GetValue() > 100; },
      60000));
  Screenshot("install_downloading");
  EXPECT_NE(Text(L"lb_speed").find(L" @ "), std::wstring::npos);
  EXPECT_EQ(Text(L"lb_download"), L"下载中");
  EXPECT_LT(Progress()->GetValue(), 450);
  EXPECT_EQ(Progress()->GetBkImage().rfind(L"file='progress_bk.png' dest='0,0,500,30' ", 0), 0u);

  // The install step: from 90 % on.
  ASSERT_TRUE(PumpMessagesUntil([&] { return Text(L"lb_download") == L"安装中"; }, 60000));
  EXPECT_GE(Progress()->GetValue(), 450);
  ASSERT_TRUE(PumpMessagesUntil([&] { return Text(L"lb_speed") == L"95%"; }, 60000));
  Screenshot("install_installing");
  ASSERT_TRUE(PumpMessagesUntil([&] { return Closed(); }, kInstallLimitMs));
  const app_test::LauncherStart start = app_test::WaitForLauncherStart(OneClickFolder());
  ASSERT_TRUE(start.found);
  EXPECT_EQ(start.id, "30");
  EXPECT_FALSE(FileExists(OneClickFolder() + L"\\qvinstaller.exe"));
}

TEST_F(MainDlgTest, AFailingServerShowsOneBoxAndRetryInstalls) {
  ASSERT_TRUE(server_.Start()) << server_.http().error();
  // The first attempt and the first automatic retry find no manifest; the second retry gets
  // the start of the package before the server breaks off, and then only errors.
  ASSERT_TRUE(server_.http().AddRule(FaultRule("/qvinstall.txt").Times(2).Status(503)));
  ASSERT_TRUE(
      server_.http().AddRule(FaultRule("/qvinstaller.exe").Times(1).CloseAfter(1 << 20)));
  ASSERT_TRUE(server_.http().AddRule(FaultRule("/qvinstaller.exe").Status(500)));
  Open();
  BoxRecord box;
  int mostBoxes = 0;
  // The box stays up while the automatic retries (every 5 s) fail again, without progress and
  // after some: the fourth fetch of the manifest is the retry after the broken download.
  AnswerNextBox(&box, L"btn_ok", "box_connection", [&] {
    mostBoxes = std::max(mostBoxes, ShownBoxCount());
    return server_.http().RequestsFor("/qvinstall.txt").size() >= 4 &&
           server_.http().ClearRules();
  });
  ASSERT_TRUE(Click(L"btn_install"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return box.answered; }, 90000));
  // The fallback address (nothing listens there) was the last one tried: libcurl's 7.
  EXPECT_EQ(box.shown, (BoxShown{L"提示信息", L"连接超时，请检查网络是否正常", L"code:7 type:5",
                                 L"重试", L"", true}));
  EXPECT_EQ(mostBoxes, 1) << "a second box was stacked on the open one";
  EXPECT_FALSE(server_.http().RequestsFor("/qvinstaller.exe").empty());

  // "重试" starts over, and this time the server answers.
  ASSERT_TRUE(PumpMessagesUntil([&] { return Closed(); }, kInstallLimitMs));
  EXPECT_TRUE(app_test::WaitForLauncherStart(OneClickFolder()).found);
}

// A player whose proxy setting is broken sees the failure box, mends the setting and presses
// "重试": the retry reads the settings afresh (they would otherwise be kept 30 s) and the
// install goes through without a second box.
TEST_F(MainDlgTest, RetryAfterMendingTheProxyUsesTheNewSettings) {
  using testing_support::ScopedProxySettings;
  ASSERT_TRUE(server_.Start()) << server_.http().error();
  // A configuration script that sends the update servers' ports to a proxy where nothing
  // listens (port 1 in the tests' namespace), and everything else, other tests' servers
  // meanwhile, directly.
  TempFolder scripts{L"proxy-script"};
  ASSERT_TRUE(WriteBinaryFile(scripts / L"proxy.pac",
                              "function FindProxyForURL(url, host) {\n"
                              "  if (url.indexOf(':18601/') > 0 || url.indexOf(':18602/') > 0)\n"
                              "    return 'PROXY 127.0.0.1:1';\n"
                              "  return 'DIRECT';\n"
                              "}\n"));
  testing_support::TestHttpServer scriptServer;
  ASSERT_TRUE(scriptServer.Start(scripts.path())) << scriptServer.error();
  ScopedProxySettings settings;
  ASSERT_TRUE(settings.Set(ScopedProxySettings::kDirect | ScopedProxySettings::kScript, "", "",
                           scriptServer.Url("/proxy.pac")));
  CSystemProxy::Instance().Forget();  // what this process read before the change
  Open();
  BoxRecord box;
  size_t fetchedThroughTheProxy = 0;
  AnswerNextBox(&box, L"btn_ok", "box_proxy", [&] {
    fetchedThroughTheProxy = server_.http().RequestsFor("/qvinstall.txt").size();
    return settings.Set(ScopedProxySettings::kDirect, "", "", "");
  });
  ASSERT_TRUE(Click(L"btn_install"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return box.answered; }, 90000));
  EXPECT_EQ(box.shown.code, L"code:7 type:5");
  EXPECT_EQ(fetchedThroughTheProxy, 0u);

  // Either the install ends, or the retry fails again and shows another box.
  ASSERT_TRUE(PumpMessagesUntil([&] { return !ShownBox(); }, 20000));
  BoxRecord again;
  AnswerNextBox(&again, L"btn_ok", "box_proxy_again");
  ASSERT_TRUE(PumpMessagesUntil([&] { return Closed() || again.answered; }, kInstallLimitMs));
  EXPECT_FALSE(again.answered) << "the retry went through the old proxy: " << testing::PrintToString(again.shown);
  ASSERT_TRUE(PumpMessagesUntil([&] { return Closed(); }, kInstallLimitMs));
  EXPECT_TRUE(app_test::WaitForLauncherStart(OneClickFolder()).found);
}

// The first manifest fetch fails, so the failure box is still up when the automatic retry
// brings the whole (corrupt) package: the failure box goes by itself and the corrupt-package
// box shows alone.
TEST_F(MainDlgTest, ACorruptPackageIsNeverRunAndCanBeDownloadedAgain) {
  ASSERT_TRUE(server_.Start("00000000000000000000000000000000")) << server_.http().error();
  ASSERT_TRUE(server_.http().AddRule(FaultRule("/qvinstall.txt").Times(1).Status(503)));
  Open();
  BoxWatch boxes;
  boxes.Start([&] { return Closed(); });
  BoxRecord box;
  bool gameThere = true;
  AnswerNextBox(&box, L"btn_ok", "box_corrupt", [&] {
    boxes.Look();
    if (ShownBoxText() != L"文件已损坏，请重新下载！") return false;
    gameThere = FileExists(OneClickFolder() + L"\\KeltoLauncher.exe");
    return server_.WriteManifest(server_.packageDigest());
  });
  ASSERT_TRUE(Click(L"btn_install"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return box.answered; }, 90000));
  EXPECT_EQ(box.shown, (BoxShown{L"提示信息", L"文件已损坏，请重新下载！", L"", L"重新下载",
                                 L"退出安装", true}));
  EXPECT_FALSE(gameThere) << "the corrupt package ran";
  EXPECT_TRUE(boxes.failureSeen);
  EXPECT_EQ(boxes.most, 1) << "the corrupt-package box was stacked on the failure box";

  // "重新下载" fetches the manifest and the package again: now they match.
  ASSERT_TRUE(PumpMessagesUntil([&] { return Closed(); }, kInstallLimitMs));
  EXPECT_TRUE(app_test::WaitForLauncherStart(OneClickFolder()).found);
  EXPECT_EQ(server_.http().RequestsFor("/qvinstall.txt").size(), 3u);
}

// The install step finds the package corrupt while the player is being asked whether to
// quit: the corrupt-package box waits for that answer and shows once the player stays.
TEST_F(MainDlgTest, ACorruptPackageFoundDuringTheQuitConfirmationWaitsForItsAnswer) {
  ASSERT_TRUE(server_.Start("00000000000000000000000000000000")) << server_.http().error();
  ASSERT_TRUE(server_.http().AddRule(FaultRule("/qvinstaller.exe").Drip(12 << 20)));
  Open();
  BoxWatch boxes;
  boxes.Start([&] { return Closed(); });
  ASSERT_TRUE(Click(L"btn_install"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Progress()->GetValue() > 0; }, 60000));
  // The confirmation stays up until the download has ended and the digest has long been
  // checked (a box stacked on it ends the wait). The corrupt-package box then opens inside the
  // click's handler: its answer is waiting already.
  BoxRecord quit, corrupt;
  DWORD installingSince = 0;
  AnswerNextBox(&quit, L"btn_cancel", "box_quit_corrupt", [&] {
    boxes.Look();
    if (ShownBoxCount() > 1) return true;
    if (ShownBoxText() != L"是否退出安装？" || Text(L"lb_download") != L"安装中") return false;
    if (installingSince == 0) installingSince = ::GetTickCount();
    return ::GetTickCount() - installingSince > 2000;
  });
  AnswerNextBox(&corrupt, L"btn_cancel", "box_corrupt_after_quit",
                [&] { return quit.answered && ShownBoxText() == L"文件已损坏，请重新下载！"; });
  ASSERT_TRUE(Click(L"btn_close"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Closed(); }, 60000));
  EXPECT_EQ(quit.shown.text, L"是否退出安装？");
  EXPECT_EQ(corrupt.shown.text, L"文件已损坏，请重新下载！");
  EXPECT_EQ(boxes.most, 1) << "the corrupt-package box was stacked on the quit confirmation";
  EXPECT_FALSE(FileExists(OneClickFolder() + L"\\KeltoLauncher.exe")) << "the corrupt package ran";
}

// A download that completes behind the failure box closes it and goes on to the install step.
// The player then quits while the package unpacks: the window goes at once, the package ends
// its work (and is deleted), and no launcher starts behind the closed window.
TEST_F(MainDlgTest, QuittingDuringTheInstallStepFinishesThePackageButStartsNoLauncher) {
  ASSERT_TRUE(server_.Start()) << server_.http().error();
  ASSERT_TRUE(server_.http().AddRule(FaultRule("/qvinstall.txt").Times(1).Status(503)));
  Open();
  BoxWatch boxes;
  boxes.Start([&] { return Closed(); });
  ASSERT_TRUE(Click(L"btn_install"));
  const std::wstring folder = OneClickFolder();
  ASSERT_TRUE(PumpMessagesUntil([&] { return boxes.failureSeen; }, 60000));
  // The package has begun to unpack.
  ASSERT_TRUE(PumpMessagesUntil([&] { return FileExists(folder + L"\\bin\\game.dat"); }, 90000));
  EXPECT_EQ(ShownBox(), nullptr) << "the failure box outlived the download";
  EXPECT_EQ(Text(L"lb_download"), L"安装中");

  BoxRecord box;
  AnswerNextBox(&box, L"btn_ok", "box_quit_installing");
  ASSERT_TRUE(Click(L"btn_close"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Closed(); }, 20000));
  EXPECT_EQ(box.shown.text, L"是否退出安装？");
  // As start-up does before another installer may run.
  dialog_->WaitForInstallStep();
  EXPECT_FALSE(FileExists(folder + L"\\qvinstaller.exe")) << "the package stayed";
  EXPECT_TRUE(FileExists(folder + L"\\KeltoLauncher.exe"));
  EXPECT_FALSE(app_test::WaitForLauncherStart(folder, 2000).found)
      << "the launcher started after the window had gone";
  EXPECT_EQ(boxes.most, 1);
}

TEST_F(MainDlgTest, QuittingAsksFirstAndACloseRequestConfirms) {
  Open();
  BoxRecord box;
  AnswerNextBox(&box, L"btn_cancel", "box_quit");
  ASSERT_TRUE(Click(L"btn_close"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return box.answered && !ShownBox(); }, 20000));
  EXPECT_EQ(box.shown, (BoxShown{L"退出安装", L"是否退出安装？", L"", L"确定", L"取消", true}));
  PumpMessagesFor(500);
  EXPECT_FALSE(Closed()) << "cancel closed the installer";

  // Escape neither closes the window nor answers the box.
  ASSERT_TRUE(app_test::XdotoolOn(window(), XdotoolKeys(L"Escape")));
  PumpMessagesFor(1000);
  EXPECT_FALSE(Closed());

  // A close request while the confirmation is up counts as confirming it.
  RunInLoop(When([] { return ShownBox() != nullptr; },
                 [&] { ::PostMessageW(window(), WM_CLOSE, 0, 0); }));
  ASSERT_TRUE(Click(L"btn_close"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Closed(); }, 20000));
  EXPECT_EQ(ShownBox(), nullptr);
}

// Quitting while the package downloads stops the download with the window; what has arrived
// stays for the next run to continue.
TEST_F(MainDlgTest, QuittingDuringTheDownloadStopsIt) {
  ASSERT_TRUE(server_.Start()) << server_.http().error();
  ASSERT_TRUE(server_.http().AddRule(FaultRule("/qvinstaller.exe").Drip(2 << 20)));
  Open();
  ASSERT_TRUE(Click(L"btn_install"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Progress()->GetValue() > 0; }, 60000));
  BoxRecord box;
  AnswerNextBox(&box, L"btn_ok", "box_quit_downloading");
  ASSERT_TRUE(Click(L"btn_close"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Closed(); }, 20000));
  EXPECT_EQ(box.shown.text, L"是否退出安装？");

  const long long arrived = BytesIn(OneClickFolder());
  EXPECT_GT(arrived, 0);
  PumpMessagesFor(1500);
  EXPECT_EQ(BytesIn(OneClickFolder()), arrived) << "the download went on after the window";
  EXPECT_LT(arrived, server_.packageSize());
}

// An earlier install: the player is asked, and "覆盖安装" opens the folder page on the old
// launcher's folder.
TEST_F(MainDlgTest, AnEarlierInstallIsOfferedForOverwriting) {
  const std::wstring old = L"F:\\旧版\\凯途星联";
  ASSERT_FALSE(
      app_test::PlaceProgram(app_test::DemoLauncher(), old + L"\\KeltoLauncher.exe").empty());
  ASSERT_TRUE(app_test::WriteIniRecord(old + L"\\KeltoLauncher.exe"));
  BoxRecord box;
  AnswerNextBox(&box, L"btn_ok", "box_existing_install");
  Open();
  ASSERT_TRUE(PumpMessagesUntil([&] { return box.answered && !ShownBox(); }, 20000));
  EXPECT_EQ(box.shown, (BoxShown{L"提示信息", L"您已经安装了凯途星联，是否覆盖安装？", L"",
                                 L"覆盖安装", L"直接启动", false}));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Page() == CMainDlg::kFolderPage; }, 15000));
  EXPECT_EQ(Text(L"edit_input"), old);
  EXPECT_FALSE(app_test::WaitForLauncherStart(old, 500).found);
}

// "直接启动" with a launcher that will not start leads on to the folder page, as "覆盖安装"
// does.
TEST_F(MainDlgTest, ALauncherThatWillNotStartLeadsToTheFolderPage) {
  const std::wstring old = L"F:\\旧版\\凯途星联";
  ASSERT_TRUE(CreateDir(old));
  ASSERT_TRUE(WriteBinaryFile(old + L"\\KeltoLauncher.exe", "no program"));
  ASSERT_TRUE(app_test::WriteIniRecord(old + L"\\KeltoLauncher.exe"));
  BoxRecord box;
  AnswerNextBox(&box, L"btn_cancel", "box_existing_install_start");
  Open();
  ASSERT_TRUE(PumpMessagesUntil([&] { return box.answered && !ShownBox(); }, 20000));
  EXPECT_EQ(box.shown.cancel, L"直接启动");
  ASSERT_TRUE(PumpMessagesUntil([&] { return Page() == CMainDlg::kFolderPage; }, 15000));
  EXPECT_FALSE(Closed());
  EXPECT_EQ(Text(L"edit_input"), old);
}

}  // namespace
