#include "Screenshot.h"

#include "support/TestFiles.h"
#include "ui/skin/DibSection.h"

namespace testing_support {

std::unique_ptr<TestCanvas> CaptureWindow(HWND window, int margin) {
  RECT r = {};
  if (!::GetWindowRect(window, &r)) return nullptr;
  auto canvas = std::make_unique<TestCanvas>(r.right - r.left + 2 * margin,
                                             r.bottom - r.top + 2 * margin, 0);
  if (!canvas->CopyFromScreen(r.left - margin, r.top - margin)) return nullptr;
  return canvas;
}

bool SaveScreenshot(const TestCanvas& image, const std::string& name) {
  const std::wstring folder = WindowsPathOfBuildFile(KELTO_BINARY_DIR "/screenshots");
  ::CreateDirectoryW(folder.c_str(), nullptr);
  return image.SavePng(folder + L"\\" + Utf8ToWide(name) + L".png");
}

int CountUnlikePixels(const TestCanvas& screen, int margin, HBITMAP backBuffer, int tolerance) {
  const SkinUI::TConstPixelView painted = SkinUI::CDibSection::PixelsOf(backBuffer);
  if (!painted.pixels) return -1;
  int unlike = 0;
  for (int y = 0; y < painted.height && y + margin < screen.height(); ++y) {
    for (int x = 0; x < painted.width && x + margin < screen.width(); ++x) {
      const uint32_t want = painted.pixels[static_cast<size_t>(y) * painted.stride + x];
      if (!Near(screen.Rgb(x + margin, y + margin), want & 0xFFFFFF, tolerance)) ++unlike;
    }
  }
  return unlike;
}

}  // namespace testing_support
