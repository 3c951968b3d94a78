// Benchmarks of the window base, with the installer's own skin archive in the resources.
// Each figure is a ratio against a reference measured in the same run, printed as
// "BENCH <name> <value> <unit>":
//   dialog_build_per_layout_parse   building the install window's control tree from
//                                   "InstallPackages.xml" (fonts, defaults, every control and
//                                   attribute) / parsing the same layout file alone
//   message_box_open_per_plain_window  creating a message box window (layout, tree, fonts,
//                                   shadow, centring) and destroying it / creating and
//                                   destroying a plain pop-up window
#include <windows.h>

#include "BenchSupport.h"
#include "app/MsgBoxDlg.h"
#include "ui/core/WindowHostUI.h"
#include "ui/markup/LayoutXml.h"
#include "ui/markup/SkinStorage.h"
#include "ui/skin/SkinModule.h"
#include "ui/windows/DialogBuilder.h"
#include "ui/windows/WndShadow.h"

using bench_support::Median;
using bench_support::Report;

int main() {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  SkinUI::CSkinModule::SetInstance(instance);
  SkinUI::CWndShadow::Initialize(instance);
  if (!SkinUI::CSkinModule::LoadSkinArchiveResource(150)) return 1;

  // The install window's tree against its layout's parse.
  {
    const double parse = Median(51, [] {
      SkinUI::CLayoutXml xml;
      xml.LoadFromFile(L"InstallPackages.xml");
    });
    const double build = Median(51, [] {
      SkinUI::CWindowHostUI host;
      SkinUI::CDialogBuilder builder;
      host.AttachDialog(builder.Create(L"InstallPackages.xml", nullptr, nullptr, &host));
    });
    Report("dialog_build_per_layout_parse", build / parse, "ratio");
  }

  // A message box window made and destroyed against a plain window.
  {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = instance;
    wc.lpszClassName = L"KeltoWindowBench";
    ::RegisterClassW(&wc);
    const double plain = Median(31, [&] {
      HWND window = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 280, 115, nullptr,
                                      nullptr, instance, nullptr);
      ::DestroyWindow(window);
    });
    const double box = Median(31, [] {
      auto* dialog = new CMsgBoxDlg(L"是否退出安装？", L"退出安装", L"");
      if (!dialog->Create(nullptr, L"退出安装", WS_POPUP, 0, 0, 0, 0, 0)) {
        delete dialog;
        return;
      }
      dialog->CenterWindow();
      // The window's end deletes the box.
      ::DestroyWindow(dialog->GetHWND());
    });
    Report("message_box_open_per_plain_window", box / plain, "ratio");
  }
  return 0;
}
