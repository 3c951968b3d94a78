// Benchmarks of the controls and their paint manager. Each figure is a ratio against a
// reference measured in the same run, printed as "BENCH <name> <value> <unit>":
//   window_repaint_per_bitblt      painting the whole install-window-shaped tree (images,
//                                  texts, floating buttons) into a 540x355 bitmap / one plain
//                                  BitBlt of the same area
//   layout_per_tree_walk           a layout pass over 2000 controls in nested vertical and
//                                  horizontal layouts / one walk that visits each of them
//   mouse_move_per_null_message    a mouse move through the paint manager (hit test, hover
//                                  change, events to two buttons, repaint requests) / sending
//                                  the window a message that nothing handles
#include <windows.h>

#include <string>

#include "BenchSupport.h"
#include "MainWindowSkin.h"
#include "ui/core/ControlUI.h"
#include "ui/core/WindowHostUI.h"
#include "ui/windows/DialogBuilder.h"

using namespace SkinUI;
using bench_support::Median;
using bench_support::Report;
using bench_support::Surface;

namespace {

std::wstring ManyControls() {
  std::wstring text = L"<Window><VerticalLayout>";
  for (int row = 0; row < 200; ++row) {
    text += L"<HorizontalLayout height=\"20\" childpadding=\"2\" padding=\"1,1,1,1\">";
    for (int column = 0; column < 8; ++column) {
      text += column % 2 ? L"<Label text=\"x\" />" : L"<Button width=\"30\" />";
    }
    text += L"</HorizontalLayout>";
  }
  return text + L"</VerticalLayout></Window>";
}

CControlUI* Build(const wchar_t* layout, CWindowHostUI& host) {
  CDialogBuilder builder;
  return builder.Create(layout, nullptr, nullptr, &host);
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* host = reinterpret_cast<CWindowHostUI*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  LRESULT result = 0;
  if (host && host->MessageHandler(message, wParam, lParam, result)) return result;
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int main() {
  testing_support::InstallMainWindowSkin();
  const RECT window = {0, 0, 540, 355};

  // The whole window repainted against one BitBlt of it.
  {
    Surface target(nullptr), source(nullptr);
    CWindowHostUI host;
    host.AttachDialog(Build(testing_support::kMainWindowMarkup, host));
    host.GetRoot()->SetPos(window);
    host.GetRoot()->DoPaint(target.dc, window);  // images are decoded once, up front
    const double blit = Median(51, [&] {
      ::BitBlt(target.dc, 0, 0, 540, 355, source.dc, 0, 0, SRCCOPY);
      ::GdiFlush();
    });
    const double paint = Median(51, [&] {
      host.GetRoot()->DoPaint(target.dc, window);
      ::GdiFlush();
    });
    Report("window_repaint_per_bitblt", paint / blit, "ratio");
  }

  // A layout pass over a large tree against visiting its controls.
  {
    CWindowHostUI host;
    host.AttachDialog(Build(ManyControls().c_str(), host));
    CControlUI* root = host.GetRoot();
    int visited = 0;
    const double walk = Median(51, [&] {
      root->FindControl(
          [](CControlUI* c, void* count) -> CControlUI* {
            ++*static_cast<int*>(count);
            return nullptr;
          },
          &visited, 0);
    });
    int flip = 0;
    const double layout = Median(51, [&] {
      // A changed size each time, so that nothing can be skipped.
      root->SetPos(RECT{0, 0, 540 + (flip ^= 1), 4400});
    });
    Report("layout_per_tree_walk", layout / walk, "ratio");
  }

  // Mouse moves between two buttons through the manager against the hit test alone.
  {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KeltoControlsBench";
    ::RegisterClassW(&wc);
    HWND hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 540, 355, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    CWindowHostUI host;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&host));
    host.Init(hwnd);
    host.AttachDialog(Build(testing_support::kMainWindowMarkup, host));
    // Shown, with the pointer over it, as when a player moves the mouse.
    ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    ::UpdateWindow(hwnd);
    ::SetCursorPos(270, 170);
    const POINT a = {470, 10}, b = {500, 10};
    const double message = Median(51, [&] {
      for (int i = 0; i < 100; ++i) ::SendMessageW(hwnd, WM_NULL, 0, 0);
    });
    const double moves = Median(51, [&] {
      for (int i = 0; i < 100; ++i) {
        const POINT p = i % 2 ? a : b;
        ::SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
      }
    });
    Report("mouse_move_per_null_message", moves / message, "ratio");
    host.AttachDialog(nullptr);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    ::DestroyWindow(hwnd);
  }
  testing_support::RemoveMainWindowSkin();
  return 0;
}
