#include "MessageBoxWatch.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "AppTestSupport.h"
#include "LoopSteps.h"
#include "Screenshot.h"
#include "app/MsgBoxDlg.h"
#include "support/TestFiles.h"
#include "ui/ControlUI.h"
#include "ui/WindowHostUI.h"

using namespace testing_support;

namespace {

CMsgBoxDlg* BoxObject(HWND box) {
  auto* window = reinterpret_cast<SkinUI::CWindowWnd*>(::GetWindowLongPtrW(box, GWLP_USERDATA));
  return dynamic_cast<CMsgBoxDlg*>(window);
}


std::wstring TextOf(SkinUI::CWindowHostUI& manager, const wchar_t* name) {
  SkinUI::CControlUI* control = manager.FindControl(name);
  return control ? control->GetText() : L"<missing>";
}

}  // namespace

POINT Centre(SkinUI::CControlUI* control) {
  const RECT r = control->GetPos();
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void PrintTo(const BoxShown& b, std::ostream* os) {
  *os << "{" << WideToUtf8(b.title) << " | " << WideToUtf8(b.text) << " | " << WideToUtf8(b.code)
      << " | [" << WideToUtf8(b.ok) << "] [" << WideToUtf8(b.cancel) << "] "
      << (b.close ? "x" : "no x") << "}";
}

HWND ShownBox() {
  const HWND box = app_test::FindWindowOf(::GetCurrentProcessId(), CMsgBoxDlg::kClassName);
  return box && ::IsWindowVisible(box) ? box : nullptr;
}

int ShownBoxCount() {
  int count = 0;
  HWND window = nullptr;
  while ((window = ::FindWindowExW(nullptr, window, CMsgBoxDlg::kClassName, nullptr))) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == ::GetCurrentProcessId() && ::IsWindowVisible(window)) ++count;
  }
  return count;
}

std::wstring ShownBoxText() {
  const HWND box = ShownBox();
  CMsgBoxDlg* dialog = box ? BoxObject(box) : nullptr;
  if (!dialog) return std::wstring();
  SkinUI::CControlUI* text = dialog->GetPaintManager().FindControl(L"lb_text");
  return text ? text->GetText() : std::wstring();
}

void BoxWatch::Start(std::function<bool()> done) {
  RunInLoop([this, done] {
    Look();
    return done();
  });
}

void BoxWatch::Look() {
  most = std::max(most, ShownBoxCount());
  if (ShownBoxText() == L"连接超时，请检查网络是否正常") failureSeen = true;
}

void AnswerNextBox(BoxRecord* record, const wchar_t* button, const std::string& screenshot,
                   std::function<bool()> ready) {
  // The box (and when it showed) that the wait counts from: a box that follows another in
  // the same place gets its own time to paint, or the screenshot shows the one before.
  auto seen = std::make_shared<std::pair<HWND, DWORD>>(nullptr, 0);
  RunInLoop([=] {
    const HWND box = ShownBox();
    if (!box) return false;
    if (seen->first != box) *seen = {box, ::GetTickCount()};
    if (::GetTickCount() - seen->second < 400 || !ready()) return false;
    CMsgBoxDlg* dialog = BoxObject(box);
    if (!dialog) return false;
    SkinUI::CWindowHostUI& manager = dialog->GetPaintManager();
    BoxShown& shown = record->shown;
    shown.title = app_test::TitleOf(box);
    shown.text = TextOf(manager, L"lb_text");
    shown.code = TextOf(manager, L"lb_code");
    shown.ok = TextOf(manager, L"btn_ok");
    if (manager.FindControl(L"hlt_btn_0")->IsVisible()) {
      shown.cancel = TextOf(manager, L"btn_cancel");
    }
    shown.close = manager.FindControl(L"btn_close")->IsVisible();
    if (auto shot = CaptureWindow(box, 0)) SaveScreenshot(*shot, screenshot);
    record->answered = app_test::ClickAt(box, Centre(manager.FindControl(button)));
    return true;
  });
}
