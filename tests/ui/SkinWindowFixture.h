// Test fixture of the tests with skinned windows (WindowImplBase and the installer's
// dialogs): the UI framework's program instance and the shadow support set up as start-up
// sets them, the skin archive closed after the suite, loop steps dropped after each test,
// and window titles no other window on the display has, for xdotool.
//
// Contract: the test's thread. The skin archive is the test program's "ZIPRES" resource 150,
// taken by the first window that needs it.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace testing_support {

class SkinWindowTest : public testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void TearDown() override;

  // `prefix` followed by this process's id and a serial number.
  static std::wstring UniqueTitle(const std::wstring& prefix);
};

}  // namespace testing_support
