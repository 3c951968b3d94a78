#include "SkinWindowFixture.h"

#include <windows.h>

#include "LoopSteps.h"
#include "ui/markup/SkinStorage.h"
#include "ui/skin/SkinModule.h"
#include "ui/windows/WndShadow.h"

namespace testing_support {

void SkinWindowTest::SetUpTestSuite() {
  SkinUI::CSkinModule::SetInstance(::GetModuleHandleW(nullptr));
  // Once per process; a second call only reports that it was done.
  SkinUI::CWndShadow::Initialize(::GetModuleHandleW(nullptr));
  SkinUI::CSkinStorage::CloseSkinArchive();
}

void SkinWindowTest::TearDownTestSuite() { SkinUI::CSkinStorage::CloseSkinArchive(); }

void SkinWindowTest::TearDown() { StopLoopSteps(); }

std::wstring SkinWindowTest::UniqueTitle(const std::wstring& prefix) {
  static int serial = 0;
  return prefix + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
}

}  // namespace testing_support
