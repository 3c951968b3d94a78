// The install dialog in a real window of the test, as start-up opens it, driven by real X
// input against a real update server on the installer's own manifest address, installing the
// real demo game on the harness's test drives. The test's thread plays the installer's
// user-interface thread; message boxes are read and answered from inside their modal loops.
// Each scenario walks one path and checks what it passes; build/win/screenshots gets each page
// and box once.
#include <winsock2.h>  // before windows.h: the engine's headers use sockets

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "LoopSteps.h"
#include "Screenshot.h"
#include "SkinWindowFixture.h"
#include "TestHostWindow.h"
#include "app/MainDlg.h"
#include "app/MsgBoxDlg.h"
#include "app/StartupSettings.h"
#include "http/HttpEngine.h"
#include "http/SystemProxy.h"
#include "runtime/MainThreadTask.h"
#include "support/FaultRule.h"
#include "support/MessagePump.h"
#include "support/ScopedProxySettings.h"
#include "ui/LabelUI.h"
#include "ui/OptionUI.h"
#include "ui/ProgressUI.h"
#include "ui/TabLayoutUI.h"
#include "updater/PackageFiles.h"

using namespace testing_support;
using app_test::OneClickFolder;

namespace {

constexpr const wchar_t* kFailureText = L"连接超时，请检查网络是否正常";
constexpr const wchar_t* kCorruptText = L"文件已损坏，请重新下载！";

// The message boxes this process shows, the topmost first.
std::vector<HWND> ShownBoxes() {
  std::vector<HWND> boxes;
  HWND window = nullptr;
  while ((window = ::FindWindowExW(nullptr, window, CMsgBoxDlg::kClassName, nullptr))) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == ::GetCurrentProcessId() && ::IsWindowVisible(window)) boxes.push_back(window);
  }
  return boxes;
}

HWND ShownBox() {
  const std::vector<HWND> boxes = ShownBoxes();
  return boxes.empty() ? nullptr : boxes.front();
}

SkinUI::CControlUI* BoxControl(HWND box, const wchar_t* name) {
  auto* window = reinterpret_cast<SkinUI::CWindowWnd*>(::GetWindowLongPtrW(box, GWLP_USERDATA));
  auto* dialog = dynamic_cast<CMsgBoxDlg*>(window);
  return dialog ? dialog->GetPaintManager().FindControl(name) : nullptr;
}

std::wstring BoxText(HWND box, const wchar_t* name) {
  SkinUI::CControlUI* control = box ? BoxControl(box, name) : nullptr;
  return control ? control->GetText() : std::wstring();
}

std::wstring ShownBoxText() { return BoxText(ShownBox(), L"lb_text"); }

// What a box shows: "title|text|code line|OK caption|cancel caption|x", the cancel caption
// empty when that button is hidden, and "x" only when the box has its close button.
std::string Described(HWND box) {
  const bool cancel = BoxControl(box, L"hlt_btn_0")->IsVisible();
  const bool close = BoxControl(box, L"btn_close")->IsVisible();
  return WideToUtf8(app_test::TitleOf(box) + L"|" + BoxText(box, L"lb_text") + L"|" +
                    BoxText(box, L"lb_code") + L"|" + BoxText(box, L"btn_ok") + L"|" +
                    (cancel ? BoxText(box, L"btn_cancel") : L"") + (close ? L"|x" : L"|"));
}

POINT Centre(SkinUI::CControlUI* control) {
  const RECT r = control->GetPos();
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

struct BoxRecord {
  bool answered = false;
  std::string shown;
};

// The most boxes shown at once, and whether the failure box showed, as the steps that answer
// boxes see them while they wait.
int g_mostBoxes = 0;
bool g_failureSeen = false;

// Answers the next message box of this process from inside its modal loop: once it has shown
// and painted, and `ready` holds, records what it shows, saves a screenshot (unless the name
// is empty) and clicks `button`, again every 3 s (a click on a busy display can be lost)
// until the box has gone.
void AnswerNextBox(BoxRecord* record, const wchar_t* button, const std::string& screenshot,
                   std::function<bool()> ready = [] { return true; }) {
  // The box and since when it shows, or was last clicked: a box that follows another in the
  // same place gets its own time to paint, or the screenshot shows the one before.
  auto seen = std::make_shared<std::pair<HWND, DWORD>>(nullptr, 0);
  auto clicked = std::make_shared<bool>(false);
  RunInLoop([=] {
    g_mostBoxes = std::max(g_mostBoxes, static_cast<int>(ShownBoxes().size()));
    g_failureSeen = g_failureSeen || ShownBoxText() == kFailureText;
    if (*clicked && !::IsWindowVisible(seen->first)) return record->answered = true;
    const HWND box = *clicked ? seen->first : ShownBox();
    if (!box || !BoxControl(box, button)) return false;
    if (seen->first != box) *seen = {box, ::GetTickCount()};
    if (::GetTickCount() - seen->second < (*clicked ? 3000u : 400u)) return false;
    if (!*clicked) {
      if (!ready()) return false;
      record->shown = Described(box);
      auto shot = screenshot.empty() ? nullptr : CaptureWindow(box, 0);
      if (shot) SaveScreenshot(*shot, screenshot);
    }
    *clicked = app_test::ClickAt(box, Centre(BoxControl(box, button)));
    seen->second = ::GetTickCount();
    return false;
  });
}

class MainDlgTest : public SkinWindowTest {
 protected:
  void SetUp() override {
    if (!app_test::TestDrivesPresent()) GTEST_SKIP() << "needs the harness's test drives";
    app_test::ClearInstallTraces();
    g_mostBoxes = 0;
    g_failureSeen = false;
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
  std::wstring Text(const wchar_t* name) {
    SkinUI::CControlUI* control = Closed() ? nullptr : Find(name);
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
  uint32_t TipColor() {
    return static_cast<SkinUI::CLabelUI*>(Find(L"lb_tip")->GetInterface(L"Label"))->GetTextColor();
  }
  bool Click(const wchar_t* name) {
    SkinUI::CControlUI* control = Find(name);
    return control && app_test::ClickAt(window(), Centre(control));
  }
  void Screenshot(const std::string& name) {
    PumpMessagesFor(200);
    if (auto shot = CaptureWindow(window(), 0)) SaveScreenshot(*shot, name);
  }
  // What the player types in the folder page's box, checked as each change is.
  void Type(const std::wstring& folder) {
    Find(L"edit_input")->SetText(folder.c_str());
    PumpMessagesFor(100);
  }

  // Failing fetches at the fallback address end at once: refused connections there are
  // tried three times half a second apart.
  void StartFailingFallback() {
    ASSERT_TRUE(fallback_.Start(std::string(), 18602)) << fallback_.http().error();
    ASSERT_TRUE(fallback_.http().AddRule(FaultRule("/qvinstall.txt").Status(503)));
  }

  app_test::UpdateServer server_, fallback_;
  std::unique_ptr<CMainDlg> dialog_;
};

// The quit confirmation (Escape and Return leave it open, its close button keeps the
// installer), the agreement for either install, the folder page's checks; an install folder
// that cannot be made is a failed attempt like any other; quitting during the download stops
// it and keeps what arrived for the next run.
TEST_F(MainDlgTest, CustomInstallFromTheStartPageUntilThePlayerQuitsTheDownload) {
  ASSERT_TRUE(server_.Start()) << server_.http().error();
  Open();
  Screenshot("install_start_page");
  KeyPressRecorder keys;
  bool keysSent = false;
  BoxRecord quit;
  AnswerNextBox(&quit, L"btn_close", "box_quit", [&] {
    if (!keysSent) keysSent = app_test::XdotoolOn(ShownBox(), XdotoolKeys(L"Escape Return"));
    return keys.Pressed(VK_ESCAPE) && keys.Pressed(VK_RETURN);
  });
  ASSERT_TRUE(Click(L"btn_close"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return quit.answered && !ShownBox(); }, 20000))
      << "Escape or Return answered the box";
  EXPECT_EQ(quit.shown, "退出安装|是否退出安装？||确定|取消|x");
  EXPECT_FALSE(Closed());

  auto* agree = static_cast<SkinUI::COptionUI*>(Find(L"opt_agree")->GetInterface(L"Option"));
  ASSERT_TRUE(Click(L"opt_agree"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return !agree->IsSelected(); }, 15000));
  for (const wchar_t* button : {L"btn_install", L"btn_free"}) {
    BoxRecord box;
    AnswerNextBox(&box, L"btn_ok", "box_agreement");
    ASSERT_TRUE(Click(button));
    ASSERT_TRUE(PumpMessagesUntil([&] { return box.answered && !ShownBox(); }, 20000));
    EXPECT_EQ(box.shown, "提示信息|未勾选“同意软件许可协议”。||确定||x");
    EXPECT_EQ(Page(), CMainDlg::kStartPage) << "the page changed without the agreement";
  }
  ASSERT_TRUE(Click(L"opt_agree"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return agree->IsSelected(); }, 15000));
  ASSERT_TRUE(Click(L"btn_free"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Page() == CMainDlg::kFolderPage; }, 15000));
  EXPECT_EQ(Text(L"edit_input"), OneClickFolder());
  EXPECT_EQ(Text(L"lb_tip"), L"所需磁盘空间：150.00MB          可用磁盘空间：160.00MB");
  ASSERT_TRUE(WriteTestFile(L"D:\\filler.bin", 11ull << 20));
  Type(L"D:\\凯途");
  EXPECT_EQ(Text(L"lb_tip"), L"该磁盘剩余空间不足，请选择其他目录安装");
  EXPECT_EQ(TipColor(), 0xFFFF0000u);
  EXPECT_FALSE(Find(L"btn_install2")->IsEnabled());
  const std::wstring folder = L"F:\\Kelto\\Game";
  Type(folder);
  EXPECT_EQ(Text(L"lb_tip").rfind(L"所需磁盘空间：150.00MB          可用磁盘空间：", 0), 0u);
  EXPECT_EQ(TipColor(), 0xFF444343u);
  EXPECT_TRUE(Find(L"btn_install2")->IsEnabled());
  Screenshot("install_folder_page");

  // A file where the folder goes: the attempt fails before a server is asked anything.
  ASSERT_TRUE(WriteBinaryFile(L"F:\\Kelto", "in the way"));
  size_t askedBeforeTheBox = 99;
  RunInLoop(When([] { return ShownBox() != nullptr; }, [&] {
    askedBeforeTheBox = server_.http().RequestsFor("/qvinstall.txt").size();
  }));
  BoxRecord failure;
  AnswerNextBox(&failure, L"btn_ok", "", [&] {
    return ::DeleteFileW(L"F:\\Kelto") &&
           server_.http().AddRule(FaultRule("/qvinstaller.exe").Drip(2 << 20));
  });
  ASSERT_TRUE(Click(L"btn_install2"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return failure.answered; }, 30000));
  EXPECT_EQ(askedBeforeTheBox, 0u);
  EXPECT_NE(failure.shown.find(" type:1|重试||x"), std::string::npos) << failure.shown;

  // "重试" downloads into the typed folder, until the player quits.
  ASSERT_TRUE(PumpMessagesUntil([&] { return Progress()->GetValue() > 0; }, 60000));
  BoxRecord stop;
  AnswerNextBox(&stop, L"btn_ok", "");
  ASSERT_TRUE(Click(L"btn_close"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Closed(); }, 20000));
  const std::wstring part = package_files::PartPath(package_files::PackagePath(folder),
                                                     L"test-1", package_files::kPartSuffix);
  const long long arrived = FileSizeOf(part);
  EXPECT_GT(arrived, 0);
  PumpMessagesFor(1000);
  EXPECT_EQ(FileSizeOf(part), arrived) << "the download went on after the window";
  EXPECT_LT(arrived, server_.packageSize());
}

// One-click install through a failing server: one failure box stays up while the automatic
// retries fail behind it, even after a download that made progress. "重试" then downloads,
// the page showing what is left and the speed, and the install step follows. A close request
// while the player is asked whether to quit confirms it: the window goes at once, the package
// runs to its end and is deleted, and no launcher starts behind the closed window.
TEST_F(MainDlgTest, OneClickInstallThroughAFailingServerUntilThePlayerQuits) {
  ASSERT_TRUE(server_.Start()) << server_.http().error();
  StartFailingFallback();
  ASSERT_TRUE(server_.http().AddRule(FaultRule("/qvinstall.txt").Times(1).Status(503)));
  ASSERT_TRUE(
      server_.http().AddRule(FaultRule("/qvinstaller.exe").Times(1).CloseAfter(1 << 20)));
  ASSERT_TRUE(server_.http().AddRule(FaultRule("/qvinstaller.exe").Status(404)));
  Open();
  BoxRecord box;
  // The third fetch of the manifest is the retry after the download that broke off.
  AnswerNextBox(&box, L"btn_ok", "box_connection", [&] {
    return server_.http().RequestsFor("/qvinstall.txt").size() >= 3 &&
           server_.http().ClearRules() &&
           server_.http().AddRule(FaultRule("/qvinstaller.exe").Drip(8 << 20));
  });
  ASSERT_TRUE(Click(L"btn_install"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Page() == CMainDlg::kProgressPage; }, 15000));
  EXPECT_EQ(Text(L"lb_download"), L"下载中");
  ASSERT_TRUE(PumpMessagesUntil([&] { return box.answered; }, 90000));
  EXPECT_EQ(box.shown, "提示信息|连接超时，请检查网络是否正常|code:503 type:4|重试||x");
  EXPECT_EQ(g_mostBoxes, 1) << "a second box was stacked on the open one";

  ASSERT_TRUE(PumpMessagesUntil(
      [&] { return Text(L"lb_speed").rfind(L"剩余", 0) == 0 && Progress()->GetValue() > 100; },
      60000));
  Screenshot("install_downloading");
  EXPECT_NE(Text(L"lb_speed").find(L" @ "), std::wstring::npos);
  EXPECT_LT(Progress()->GetValue(), 450);
  const std::wstring folder = OneClickFolder();
  ASSERT_TRUE(PumpMessagesUntil([&] { return FileExists(folder + L"\\bin\\game.dat"); }, 60000));
  EXPECT_EQ(Text(L"lb_download"), L"安装中");
  EXPECT_GE(Progress()->GetValue(), 450);
  Screenshot("install_installing");

  RunInLoop(When([] { return ShownBoxText() == L"是否退出安装？"; },
                 [&] { ::PostMessageW(window(), WM_CLOSE, 0, 0); }));
  ASSERT_TRUE(Click(L"btn_close"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Closed(); }, 20000));
  // As start-up does before another installer may run.
  dialog_->WaitForInstallStep();
  EXPECT_FALSE(FileExists(folder + L"\\qvinstaller.exe")) << "the package stayed";
  EXPECT_TRUE(FileExists(folder + L"\\KeltoLauncher.exe"));
  EXPECT_FALSE(app_test::WaitForLauncherStart(folder, 1500).found)
      << "the launcher started after the window had gone";
}

// The first manifest fetch fails, so the failure box is still up when the automatic retry
// brings the whole (corrupt) package: that box goes by itself and the corrupt-package box
// shows alone. "重新下载" starts over, and the player asks to quit while the manifest is on
// its way: the failure that follows shows no box over the confirmation, and the corrupt
// package found meanwhile waits for the player's answer to it. The package never runs.
TEST_F(MainDlgTest, ACorruptPackageIsNeverRunAndNoBoxIsStackedOnAnother) {
  ASSERT_TRUE(server_.Start(std::string(32, '0'))) << server_.http().error();
  StartFailingFallback();
  ASSERT_TRUE(server_.http().AddRule(FaultRule("/qvinstall.txt").Times(1).Status(503)));
  Open();
  BoxRecord corrupt;
  AnswerNextBox(&corrupt, L"btn_ok", "box_corrupt", [&] {
    return ShownBoxText() == kCorruptText &&
           server_.http().AddRule(FaultRule("/qvinstall.txt").Times(1).Stall(2).Status(503));
  });
  ASSERT_TRUE(Click(L"btn_install"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return corrupt.answered; }, 90000));
  EXPECT_EQ(corrupt.shown, "提示信息|文件已损坏，请重新下载！||重新下载|退出安装|x");
  EXPECT_TRUE(g_failureSeen);
  EXPECT_EQ(g_mostBoxes, 1) << "the corrupt-package box was stacked on the failure box";

  ASSERT_TRUE(PumpMessagesUntil([&] { return !ShownBox(); }, 20000));
  g_failureSeen = false;
  BoxRecord quit, again;
  DWORD installingSince = 0;
  // The confirmation stays up until the package is long found corrupt (or a box is stacked).
  AnswerNextBox(&quit, L"btn_cancel", "", [&] {
    if (ShownBoxes().size() > 1) return true;
    if (Text(L"lb_download") != L"安装中") return false;
    if (installingSince == 0) installingSince = ::GetTickCount();
    return ::GetTickCount() - installingSince > 1000;
  });
  AnswerNextBox(&again, L"btn_cancel", "",
                [&] { return quit.answered && ShownBoxText() == kCorruptText; });
  ASSERT_TRUE(Click(L"btn_close"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Closed(); }, 60000));
  EXPECT_EQ(quit.shown, "退出安装|是否退出安装？||确定|取消|x");
  EXPECT_EQ(again.shown, corrupt.shown);
  EXPECT_EQ(server_.http().RequestsFor("/qvinstall.txt").size(), 4u);
  EXPECT_FALSE(g_failureSeen) << "a failure box showed during the quit confirmation";
  EXPECT_EQ(g_mostBoxes, 1);
  EXPECT_FALSE(FolderExists(OneClickFolder() + L"\\bin")) << "the corrupt package ran";
}

// An earlier install: the player is asked, and "直接启动" starts the old launcher with the
// game number and closes the installer; a launcher that will not start leads on to the folder
// page of its folder instead, as "覆盖安装" does.
TEST_F(MainDlgTest, AnEarlierInstallsLauncherIsStartedDirectlyIfItCanBe) {
  const std::wstring old = L"F:\\旧版\\凯途星联";
  ASSERT_FALSE(
      app_test::PlaceProgram(app_test::DemoLauncher(), old + L"\\KeltoLauncher.exe").empty());
  ASSERT_TRUE(app_test::WriteIniRecord(old + L"\\KeltoLauncher.exe"));
  BoxRecord box;
  AnswerNextBox(&box, L"btn_cancel", "box_existing_install");
  Open();
  ASSERT_TRUE(PumpMessagesUntil([&] { return Closed(); }, 20000));
  EXPECT_EQ(box.shown, "提示信息|您已经安装了凯途星联，是否覆盖安装？||覆盖安装|直接启动|");
  EXPECT_EQ(app_test::WaitForLauncherStart(old).commandLine,
            WideToUtf8(old + L"\\KeltoLauncher.exe -i \"12\" -d"));

  ASSERT_TRUE(WriteTestFile(old + L"\\KeltoLauncher.exe"));  // no program
  AnswerNextBox(&box, L"btn_cancel", "");
  Open();
  ASSERT_TRUE(PumpMessagesUntil([&] { return Page() == CMainDlg::kFolderPage; }, 20000));
  EXPECT_EQ(Text(L"edit_input"), old);
}

// A player whose proxy setting is broken sees the failure box, mends the setting and presses
// "重试": the retry reads the settings afresh (they would otherwise be kept 30 s) and reaches
// the update server without a second box.
TEST_F(MainDlgTest, RetryAfterMendingTheProxyUsesTheNewSettings) {
  ASSERT_TRUE(server_.Start()) << server_.http().error();
  StartFailingFallback();
  // A configuration script that sends the primary update server's port to a proxy where
  // nothing listens (port 1), and everything else, other tests' servers meanwhile, directly.
  TempFolder scripts{L"proxy-script"};
  ASSERT_TRUE(WriteBinaryFile(scripts / L"proxy.pac",
                              "function FindProxyForURL(url, host) {\n"
                              "  return url.indexOf(':18601/') > 0 ? 'PROXY 127.0.0.1:1' : 'DIRECT';\n"
                              "}\n"));
  TestHttpServer scriptServer;
  ASSERT_TRUE(scriptServer.Start(scripts.path())) << scriptServer.error();
  ScopedProxySettings settings;
  ASSERT_TRUE(settings.Set(ScopedProxySettings::kDirect | ScopedProxySettings::kScript, "", "",
                           scriptServer.Url("/proxy.pac")));
  CSystemProxy::Instance().Forget();  // what this process read before the change
  Open();
  BoxRecord box;
  size_t fetchedThroughTheProxy = 99;
  AnswerNextBox(&box, L"btn_ok", "", [&] {
    fetchedThroughTheProxy = server_.http().RequestsFor("/qvinstall.txt").size();
    return settings.Set(ScopedProxySettings::kDirect, "", "", "");
  });
  ASSERT_TRUE(Click(L"btn_install"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return box.answered && !ShownBox(); }, 90000));
  EXPECT_EQ(fetchedThroughTheProxy, 0u);

  BoxRecord again;
  AnswerNextBox(&again, L"btn_close", "");
  ASSERT_TRUE(PumpMessagesUntil(
      [&] { return again.answered || !server_.http().RequestsFor("/qvinstaller.exe").empty(); },
      60000));
  EXPECT_FALSE(again.answered) << "the retry went through the old proxy: " << again.shown;
}

}  // namespace
