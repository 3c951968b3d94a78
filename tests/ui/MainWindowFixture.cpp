#include "MainWindowFixture.h"

#include "ui/DialogBuilder.h"
#include "ui/TabLayoutUI.h"

namespace testing_support {

std::wstring MainWindowTest::title_;
TestHostWindow* MainWindowTest::window_ = nullptr;

void MainWindowTest::SetUpTestSuite() {
  InstallMainWindowSkin();
  title_ = L"KeltoSkinTest" + std::to_wstring(::GetCurrentProcessId());
  window_ = new TestHostWindow(title_.c_str());
  window_->Show();
}

void MainWindowTest::TearDownTestSuite() {
  delete window_;
  window_ = nullptr;
  RemoveMainWindowSkin();
}

void MainWindowTest::SetUp() {
  ASSERT_NE(window_->hwnd(), nullptr);
  BYTE keys[256] = {};
  ::SetKeyboardState(keys);
  SkinUI::CDialogBuilder builder;
  SkinUI::CControlUI* root = builder.Create(kMainWindowMarkup, nullptr, nullptr, &host());
  ASSERT_NE(root, nullptr);
  ASSERT_TRUE(host().AttachDialog(root));
  recorder_ = std::make_unique<NotifyRecorder>(host());
  ::SetFocus(window_->hwnd());
  ::RedrawWindow(window_->hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  window_->Pump(10);
}

void MainWindowTest::TearDown() {
  recorder_.reset();
  // The tree goes through the delayed deletion, as a replaced tree does.
  host().AttachDialog(nullptr);
  window_->Pump(10);
}

POINT MainWindowTest::Centre(const wchar_t* name) {
  SkinUI::CControlUI* control = Find(name);
  if (!control) return POINT{-1, -1};
  const RECT& r = control->GetPos();
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void MainWindowTest::RecordEvents(SkinUI::CControlUI* control) {
  control->OnEvent.Add([control, this](SkinUI::TControlEvent& event) {
    events_.emplace_back(control, event.type);
    return true;
  });
}

void MainWindowTest::ShowPage(int index) {
  auto* tab = Find<SkinUI::CTabLayoutUI>(L"tb_main", L"TabLayout");
  ASSERT_NE(tab, nullptr);
  tab->SelectItem(index);
  ::UpdateWindow(window_->hwnd());
  window_->Pump(20);
}

}  // namespace testing_support
