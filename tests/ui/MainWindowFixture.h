// Test fixture: a shown 540 x 355 window whose tree is built from the main-window-shaped
// markup (MainWindowSkin.h), with a notification recorder attached after building.
//
// Contract: the test's thread. Each test gets a fresh tree (attached to the window, so its
// first paint lays it out and sends "windowinit") and a fresh recorder; the window itself
// and the skin archive last for the whole suite (Wine takes seconds to hide an active
// window without a window manager).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "MainWindowSkin.h"
#include "TestHostWindow.h"
#include "ui/ControlUI.h"

namespace testing_support {

class MainWindowTest : public testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  SkinUI::CWindowHostUI& host() { return window_->host(); }
  SkinUI::CControlUI* Find(const wchar_t* name) { return host().FindControl(name); }
  template <typename T>
  T* Find(const wchar_t* name, const wchar_t* interfaceName) {
    SkinUI::CControlUI* control = Find(name);
    return control ? static_cast<T*>(control->GetInterface(interfaceName)) : nullptr;
  }
  // The centre of a control, in client coordinates.
  POINT Centre(const wchar_t* name);
  // Selects a page of "tb_main" and lets the window repaint.
  void ShowPage(int index);
  // Records the events `control` receives (with their type numbers) into events_, which
  // lives as long as the tree.
  void RecordEvents(SkinUI::CControlUI* control);

  // A title no other test window uses, so that xdotool finds this one.
  static std::wstring title_;
  static TestHostWindow* window_;
  std::unique_ptr<NotifyRecorder> recorder_;
  std::vector<std::pair<SkinUI::CControlUI*, int>> events_;
};

}  // namespace testing_support
