// Test helper: screenshots of real windows as the X display shows them, saved in the build
// tree (build/win/screenshots) to be looked at, and compared with what the window painted.
//
// Contract: the test's thread, which owns the window. The window must be shown and painted.
// Failures come back as null, false or -1.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "TestCanvas.h"

namespace testing_support {

// The window's rectangle on the screen with `margin` pixels around it (where its shadow
// lies).
std::unique_ptr<TestCanvas> CaptureWindow(HWND window, int margin);

// Saves `image` as build/win/screenshots/<name>.png.
bool SaveScreenshot(const TestCanvas& image, const std::string& name);

// The number of pixels of `backBuffer` (the window's painted back buffer, found at
// (margin, margin) of `screen`) that the screen shows otherwise, any colour channel off by
// more than `tolerance`; -1 without a back buffer.
int CountUnlikePixels(const TestCanvas& screen, int margin, HBITMAP backBuffer, int tolerance);

}  // namespace testing_support
