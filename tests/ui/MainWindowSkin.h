// Test fixture: a skin shaped like the install window's ("InstallPackages.xml": a 540 x 355
// Container root, the TabLayout "tb_main" with three VerticalLayout pages, floating buttons,
// the option "opt_agree", the progress bar "pro_InstallProgress", the edit box "edit_input"
// and labels) with solid-colour images, so that tests can tell the images apart by pixel.
//
// Contract: the test's thread. InstallMainWindowSkin makes the archive the process's skin
// archive (CSkinStorage) until RemoveMainWindowSkin.
#pragma once

#include <cstdint>

namespace testing_support {

// Colours of the images and backgrounds, 0xRRGGBB (all of them opaque).
constexpr uint32_t kButtonNormal = 0x2050C0;
constexpr uint32_t kButtonHot = 0x30A030;
constexpr uint32_t kButtonPushed = 0xC03020;
constexpr uint32_t kBoxEmpty = 0xFFFFFF;
constexpr uint32_t kBoxTicked = 0x202020;
constexpr uint32_t kProgressTrack = 0xD0D0D0;
constexpr uint32_t kProgressFill = 0x10B0F0;

extern const wchar_t* const kMainWindowMarkup;

bool InstallMainWindowSkin();
void RemoveMainWindowSkin();

}  // namespace testing_support
