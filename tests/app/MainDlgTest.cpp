// The install dialog in a real window, driven by real X input against update servers on the
// installer's addresses, installing the demo game on the test drives; boxes are answered from
// inside their modal loops. Each scenario walks one path and checks all it passes; the pages
// and boxes go to build/win/screenshots.
#include "AppTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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
#include "support/MessagePump.h"
#include "support/ScopedProxySettings.h"
#include "ui/controls/OptionUI.h"
#include "ui/controls/ProgressUI.h"
#include "ui/controls/TabLayoutUI.h"
#include "ui/skin/WinGeometry.h"
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

HWND ShownBox() { return ShownBoxes().empty() ? nullptr : ShownBoxes().front(); }

SkinUI::CControlUI* BoxControl(HWND box, const wchar_t* name) {
  auto* window = reinterpret_cast<SkinUI::CWindowWnd*>(::GetWindowLongPtrW(box, GWLP_USERDATA));
  auto* dialog = dynamic_cast<CMsgBoxDlg*>(window);
  return dialog ? dialog->GetPaintManager().FindControl(name) : nullptr;
}

std::wstring BoxText(HWND box, const wchar_t* name) {
  SkinUI::CControlUI* control = box ? BoxControl(box, name) : nullptr;
  return control ? control->GetText() : std::wstring();
}

// "title|text|code line|OK caption|cancel caption when shown|x when the close button shows".
std::string Described(HWND box) {
  const bool cancel = BoxControl(box, L"hlt_btn_0")->IsVisible();
  const bool close = BoxControl(box, L"btn_close")->IsVisible();
  wchar_t title[64] = L"";
  ::GetWindowTextW(box, title, 64);
  return WideToUtf8(title + (L"|" + BoxText(box, L"lb_text")) + L"|" + BoxText(box, L"lb_code") +
                    L"|" + BoxText(box, L"btn_ok") + L"|" +
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

// The most boxes shown at once, and whether the failure box showed, while boxes were awaited.
int g_mostBoxes = 0;
bool g_failureSeen = false;

// Answers the next box of this process from inside its modal loop: once it has painted and
// `ready` holds, records what it shows, saves its screenshot (unless the name is empty) and
// clicks `button`, again every 3 s (a click on a busy display can be lost) until it has gone.
void AnswerNextBox(
    BoxRecord* record, const wchar_t* button, const std::string& screenshot,
    std::function<bool()> ready = [] { return true; }) {
  // The box and since when it shows or was last clicked: each box gets its own time to paint.
  auto seen = std::make_shared<std::pair<HWND, DWORD>>(nullptr, 0);
  auto clicked = std::make_shared<bool>(false);
  RunInLoop([=] {
    g_mostBoxes = std::max(g_mostBoxes, static_cast<int>(ShownBoxes().size()));
    g_failureSeen = g_failureSeen || BoxText(ShownBox(), L"lb_text") == kFailureText;
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
    // A box no step answers would hold the test in its loop until CTest's time-out: after a
    // minute it is closed, and the test's own checks tell what went wrong.
    auto sinceNoBox = std::make_shared<DWORD>(::GetTickCount());
    RunInLoop(
        [sinceNoBox] {
          if (!ShownBox()) *sinceNoBox = ::GetTickCount();
          if (::GetTickCount() - *sinceNoBox > 60000) ::PostMessageW(ShownBox(), WM_CLOSE, 99, 0);
          return false;
        },
        1000);
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

  void Open() {
    dialog_ = std::make_unique<CMainDlg>();
    ASSERT_NE(dialog_->Create(nullptr, CMainDlg::WindowTitle().c_str(), CMainDlg::kWindowStyle, 0,
                              0, 0, 0, 0),
              nullptr);
    dialog_->CenterWindow();
    dialog_->ShowWindow(true, true);
    ASSERT_TRUE(PumpMessagesUntil([&] { return ::IsWindowVisible(window()); }, 10000));
    PumpMessagesFor(300);
  }
  // Failures at once there: a refused connection is tried three times, 0.5 s apart.
  void StartFailingFallback() {
    ASSERT_TRUE(fallback_.Start(std::string(), 18602)) << fallback_.http().error();
    ASSERT_TRUE(fallback_.http().AddRule(FaultRule("/qvinstall.txt").Status(503)));
  }

  HWND window() const { return dialog_->GetHWND(); }
  bool Closed() const { return !::IsWindow(window()); }
  // Null once the window has gone: a scenario that fails must not crash, which Wine reports as
  // an exit without error.
  SkinUI::CControlUI* Find(const wchar_t* name) {
    return Closed() ? nullptr : dialog_->GetPaintManager().FindControl(name);
  }
  std::wstring Text(const wchar_t* name) { return Find(name) ? Find(name)->GetText() : L"<gone>"; }
  int Page() {
    auto* tabs = Find(L"tb_main");
    return tabs ? static_cast<SkinUI::CTabLayoutUI*>(tabs->GetInterface(L"TabLayout"))->GetCurSel()
                : -1;
  }
  int Progress() {
    auto* bar = Find(L"pro_InstallProgress");
    return bar ? static_cast<SkinUI::CProgressUI*>(bar->GetInterface(L"Progress"))->GetValue() : -1;
  }
  bool Click(const wchar_t* name) {
    return Find(name) && app_test::ClickAt(window(), Centre(Find(name)));
  }
  void Screenshot(const std::string& name) {
    PumpMessagesFor(200);
    if (auto shot = CaptureWindow(window(), 0)) SaveScreenshot(*shot, name);
  }

  app_test::UpdateServer server_, fallback_;
  std::unique_ptr<CMainDlg> dialog_;
};

// The quit confirmation (its close button keeps the installer), the agreement for either
// install, the folder page's checks; a folder that cannot be made is a failed attempt like any
// other; closing the window stops the download.
TEST_F(MainDlgTest, CustomInstallFromTheStartPageUntilTheWindowIsClosed) {
  ASSERT_TRUE(server_.Start()) << server_.http().error();
  Open();
  Screenshot("install_start_page");
  BoxRecord quit;
  AnswerNextBox(&quit, L"btn_close", "box_quit");
  ASSERT_TRUE(Click(L"btn_close"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return quit.answered; }, 20000));
  EXPECT_EQ(quit.shown, "退出安装|是否退出安装？||确定|取消|x");
  EXPECT_FALSE(Closed());

  auto* agree = static_cast<SkinUI::COptionUI*>(Find(L"opt_agree")->GetInterface(L"Option"));
  ASSERT_TRUE(Click(L"opt_agree"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return !agree->IsSelected(); }, 15000));
  for (const wchar_t* button : {L"btn_install", L"btn_free"}) {
    BoxRecord box;
    AnswerNextBox(&box, L"btn_ok", "box_agreement");
    ASSERT_TRUE(Click(button));
    ASSERT_TRUE(PumpMessagesUntil([&] { return box.answered; }, 20000));
    EXPECT_EQ(box.shown, "提示信息|未勾选“同意软件许可协议”。||确定||x");
    EXPECT_EQ(Page(), CMainDlg::kStartPage) << "the page changed without the agreement";
  }
  ASSERT_TRUE(Click(L"opt_agree"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return agree->IsSelected(); }, 15000));
  ASSERT_TRUE(Click(L"btn_free"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Page() == CMainDlg::kFolderPage; }, 15000));
  EXPECT_EQ(Text(L"edit_input"), OneClickFolder());
  EXPECT_EQ(Text(L"lb_tip"), L"所需磁盘空间：150.00MB          可用磁盘空间：160.00MB");
  // What the player types: the box reports each change, which the page checks.
  Find(L"edit_input")->SetText(L"E:\\凯途");
  EXPECT_EQ(Text(L"lb_tip"), L"该目录权限不足，请选择其他目录安装");
  EXPECT_FALSE(Find(L"btn_install2")->IsEnabled());
  const std::wstring folder = L"F:\\Kelto\\Game";
  Find(L"edit_input")->SetText(folder.c_str());
  EXPECT_TRUE(Find(L"btn_install2")->IsEnabled());
  Screenshot("install_folder_page");

  // A file where the folder goes: the attempt fails before a server is asked anything.
  ASSERT_TRUE(WriteBinaryFile(L"F:\\Kelto", "in the way"));
  size_t askedBeforeTheBox = 99;
  RunInLoop(When([] { return ShownBox() != nullptr; },
                 [&] { askedBeforeTheBox = server_.http().RequestsFor("/qvinstall.txt").size(); }));
  BoxRecord failure;
  AnswerNextBox(&failure, L"btn_ok", "", [&] {
    return ::DeleteFileW(L"F:\\Kelto") &&
           server_.http().AddRule(FaultRule("/qvinstaller.exe").Drip(2 << 20));
  });
  ASSERT_TRUE(Click(L"btn_install2"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return failure.answered; }, 30000));
  EXPECT_EQ(askedBeforeTheBox, 0u);
  EXPECT_NE(failure.shown.find(" type:1|重试||x"), std::string::npos) << failure.shown;

  // "重试" downloads into the typed folder, until the window is closed.
  ASSERT_TRUE(PumpMessagesUntil([&] { return Progress() > 0; }, 60000));
  ::PostMessageW(window(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(PumpMessagesUntil([&] { return Closed(); }, 20000));
  EXPECT_EQ(dialog_->ExitCode(), exit_code::kQuit);
  const std::wstring part = package_files::PartPath(package_files::PackagePath(folder), L"test-1",
                                                    package_files::kPartSuffix);
  const long long arrived = FileSizeOf(part);
  PumpMessagesFor(1000);
  EXPECT_EQ(FileSizeOf(part), arrived) << "the download went on after the window";
  EXPECT_GT(arrived, 0);
}

// At the display scale of the Wine prefix (96 dpi, or what tools/wine-at-scale.sh set, named
// by KELTO_TEST_DPI): the window is 540 x 355 times the scale, drawn from the image set that
// fits it, each page saved as a screenshot of that scale. Moved to a display of another scale,
// the window takes that scale in place with its page and progress, and the quit confirmation
// opens at the window's new scale, not the program's.
TEST_F(MainDlgTest, EveryPageAtTheDisplaysScale) {
  wchar_t wanted[8] = L"96";
  ::GetEnvironmentVariableW(L"KELTO_TEST_DPI", wanted, 8);
  const int dpi = std::stoi(wanted), moved = dpi == 144 ? 192 : 144;
  const std::string name = "scale_" + std::to_string(dpi) + "dpi_";
  const auto expectClientSize = [](HWND window, SIZE size, int dpi) {
    const SIZE want = SkinUI::ToSIZE(SkinUI::TDisplayScale(dpi).Scale(SkinUI::ToTSize(size)));
    RECT client = {};
    ::GetClientRect(window, &client);
    EXPECT_NEAR(client.right, want.cx, 1) << dpi << " dpi";
    EXPECT_NEAR(client.bottom, want.cy, 1) << dpi << " dpi";
  };
  ASSERT_TRUE(server_.Start()) << server_.http().error();
  ASSERT_TRUE(server_.http().AddRule(FaultRule("/qvinstaller.exe").Drip(1 << 20)));
  Open();
  SkinUI::CWindowHostUI& host = dialog_->GetPaintManager();
  EXPECT_EQ(host.GetDisplayScale().dpi(), dpi);
  expectClientSize(window(), SIZE{540, 355}, dpi);
  const SkinUI::TImageRecord* art = host.GetResourceCache().GetImage(L"main_bk.png");
  ASSERT_NE(art, nullptr);
  EXPECT_EQ(art->dpi, host.GetDisplayScale().ImageSetDpi());
  EXPECT_EQ(art->width, 540 * art->dpi / SkinUI::kBaseDpi);
  Screenshot(name + "start_page");
  ASSERT_TRUE(Click(L"btn_free"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Page() == CMainDlg::kFolderPage; }, 15000));
  Screenshot(name + "folder_page");
  ASSERT_TRUE(Click(L"btn_install2"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Progress() > 0 && Progress() < 450; }, 30000));
  Screenshot(name + "download_page");

  // The system suggests the window's place and size on the new display.
  const SIZE size = SkinUI::ToSIZE(SkinUI::TDisplayScale(moved).Scale(SkinUI::ToTSize(
      SIZE{540, 355})));
  RECT suggested = {40, 30, 40 + size.cx, 30 + size.cy}, place = {};
  ::SendMessageW(window(), WM_DPICHANGED, MAKEWPARAM(moved, moved),
                 reinterpret_cast<LPARAM>(&suggested));
  ::GetWindowRect(window(), &place);
  EXPECT_TRUE(place.left == 40 && place.top == 30);
  expectClientSize(window(), SIZE{540, 355}, moved);
  // Laid out anew at the next paint.
  EXPECT_TRUE(PumpMessagesUntil(
      [&] { return Find(L"pro_InstallProgress")->GetWidth() == moved * 500 / SkinUI::kBaseDpi; },
      5000));
  EXPECT_EQ(Page(), CMainDlg::kProgressPage);
  EXPECT_GT(Progress(), 0);
  BoxRecord quit;
  AnswerNextBox(&quit, L"btn_ok", name + "box_quit_at_" + std::to_string(moved) + "dpi", [&] {
    expectClientSize(ShownBox(), SIZE{280, 115}, moved);
    return true;
  });
  ASSERT_TRUE(Click(L"btn_close"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Closed(); }, 20000));
  EXPECT_TRUE(quit.answered);
}

// One failure box stays up while the automatic retries fail behind it, even after a download
// that made progress. "重试" downloads, showing what is left and the speed, then the install
// step follows. A close request during the quit confirmation confirms it: the window goes at
// once, the package runs to its end and is deleted, and no launcher starts behind the window.
TEST_F(MainDlgTest, OneClickInstallThroughAFailingServerUntilThePlayerQuits) {
  ASSERT_TRUE(server_.Start()) << server_.http().error();
  StartFailingFallback();
  ASSERT_TRUE(server_.http().AddRule(FaultRule("/qvinstall.txt").Times(1).Status(503)));
  ASSERT_TRUE(server_.http().AddRule(FaultRule("/qvinstaller.exe").Times(1).CloseAfter(1 << 20)));
  ASSERT_TRUE(server_.http().AddRule(FaultRule("/qvinstaller.exe").Status(404)));
  Open();
  BoxRecord box;
  // The third fetch of the manifest follows the broken download. Slow enough that a retry
  // behind the box cannot end before a lost click is repeated.
  AnswerNextBox(&box, L"btn_ok", "box_connection", [&] {
    return server_.http().RequestsFor("/qvinstall.txt").size() >= 3 &&
           server_.http().ClearRules() &&
           server_.http().AddRule(FaultRule("/qvinstaller.exe").Drip(4 << 20));
  });
  ASSERT_TRUE(Click(L"btn_install"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return box.answered; }, 90000));
  EXPECT_EQ(box.shown, "提示信息|连接超时，请检查网络是否正常|code:503 type:4|重试||x");
  EXPECT_EQ(g_mostBoxes, 1) << "a second box was stacked on the open one";

  ASSERT_TRUE(PumpMessagesUntil(
      [&] { return Text(L"lb_speed").rfind(L"剩余", 0) == 0 && Progress() > 100; }, 60000));
  Screenshot("install_downloading");
  EXPECT_EQ(Text(L"lb_download"), L"下载中");
  EXPECT_NE(Text(L"lb_speed").find(L" @ "), std::wstring::npos);
  EXPECT_LT(Progress(), 450);
  const std::wstring folder = OneClickFolder();
  ASSERT_TRUE(PumpMessagesUntil([&] { return FileExists(folder + L"\\bin\\game.dat"); }, 60000));
  EXPECT_EQ(Text(L"lb_download"), L"安装中");
  EXPECT_GE(Progress(), 450);
  Screenshot("install_installing");

  RunInLoop(When([] { return ShownBox() != nullptr; },
                 [&] { ::PostMessageW(window(), WM_CLOSE, 0, 0); }));
  ASSERT_TRUE(Click(L"btn_close"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Closed(); }, 20000));
  dialog_->WaitForInstallStep();  // as start-up does before another installer may run
  EXPECT_EQ(dialog_->ExitCode(), exit_code::kInstalled) << "the package ran to its end";
  EXPECT_FALSE(FileExists(folder + L"\\qvinstaller.exe")) << "the package stayed";
  EXPECT_TRUE(FileExists(folder + L"\\KeltoLauncher.exe"));
  EXPECT_FALSE(app_test::WaitForLauncherStart(folder, 1500).found) << "a launcher started";
}

// The automatic retry behind the failure box brings the (corrupt) package: that box goes and
// the corrupt-package box shows alone. "重新下载"; the player asks to quit while the manifest
// is on its way: the failure that follows shows no box over the confirmation, and the corrupt
// package found meanwhile waits for its answer. The package never runs.
TEST_F(MainDlgTest, ACorruptPackageIsNeverRunAndNoBoxIsStackedOnAnother) {
  ASSERT_TRUE(server_.Start(std::string(32, '0'))) << server_.http().error();
  StartFailingFallback();
  ASSERT_TRUE(server_.http().AddRule(FaultRule("/qvinstall.txt").Times(1).Status(503)));
  Open();
  BoxRecord corrupt;
  AnswerNextBox(&corrupt, L"btn_ok", "box_corrupt", [&] {
    return BoxText(ShownBox(), L"lb_text") == kCorruptText &&
           server_.http().AddRule(FaultRule("/qvinstall.txt").Times(1).Stall(2).Status(503));
  });
  ASSERT_TRUE(Click(L"btn_install"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return corrupt.answered; }, 90000));
  EXPECT_EQ(corrupt.shown, "提示信息|文件已损坏，请重新下载！||重新下载|退出安装|x");
  EXPECT_TRUE(g_failureSeen);
  EXPECT_EQ(g_mostBoxes, 1) << "the corrupt-package box was stacked on the failure box";

  g_failureSeen = false;
  BoxRecord quit, again;
  DWORD installingSince = 0;
  // The confirmation stays until the package is long found corrupt (or a box is stacked).
  AnswerNextBox(&quit, L"btn_cancel", "", [&] {
    if (ShownBoxes().size() > 1) return true;
    if (Text(L"lb_download") != L"安装中") return false;
    if (installingSince == 0) installingSince = ::GetTickCount();
    return ::GetTickCount() - installingSince > 1000;
  });
  AnswerNextBox(&again, L"btn_cancel", "",
                [&] { return quit.answered && BoxText(ShownBox(), L"lb_text") == kCorruptText; });
  ASSERT_TRUE(Click(L"btn_close"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return Closed(); }, 60000));
  EXPECT_EQ(quit.shown, "退出安装|是否退出安装？||确定|取消|x");
  EXPECT_EQ(again.shown, corrupt.shown);
  EXPECT_EQ(server_.http().RequestsFor("/qvinstall.txt").size(), 4u);
  EXPECT_FALSE(g_failureSeen) << "a failure box showed during the quit confirmation";
  EXPECT_EQ(g_mostBoxes, 1);
  EXPECT_FALSE(FolderExists(OneClickFolder() + L"\\bin")) << "the corrupt package ran";
}

// "直接启动" starts the earlier install's launcher and closes the installer; a launcher that
// will not start leads on to its folder's folder page, as "覆盖安装" does.
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

// A player mends a broken proxy setting behind the failure box: "重试" reads the settings
// afresh (they would otherwise be kept 30 s) and reaches the server without a second box.
TEST_F(MainDlgTest, RetryAfterMendingTheProxyUsesTheNewSettings) {
  ASSERT_TRUE(server_.Start()) << server_.http().error();
  StartFailingFallback();
  // Only the primary address (not other tests' servers) goes to a proxy where nothing listens.
  TempFolder scripts{L"proxy-script"};
  ASSERT_TRUE(
      WriteBinaryFile(scripts / L"proxy.pac",
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
  BoxRecord box, again;
  size_t fetchedThroughTheProxy = 99;
  AnswerNextBox(&box, L"btn_ok", "", [&] {
    fetchedThroughTheProxy = server_.http().RequestsFor("/qvinstall.txt").size();
    return settings.Set(ScopedProxySettings::kDirect, "", "", "");
  });
  ASSERT_TRUE(Click(L"btn_install"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return box.answered; }, 90000));
  EXPECT_EQ(fetchedThroughTheProxy, 0u);
  AnswerNextBox(&again, L"btn_close", "");
  ASSERT_TRUE(PumpMessagesUntil(
      [&] { return again.answered || !server_.http().RequestsFor("/qvinstaller.exe").empty(); },
      60000));
  EXPECT_FALSE(again.answered) << "the retry went through the old proxy: " << again.shown;
}

}  // namespace
