#include "app/InstallProgress.h"

#include <algorithm>

#include "platform/CommonText.h"

namespace install_progress {

namespace {

// Where the install step slows down while the package still runs, so that a long unpack
// does not reach the end of the bar before it is done.
constexpr int kFirstSlowDown = 450;
constexpr int kSecondSlowDown = 675;

// Each image item is followed by nine tabs and three spaces.
#define KELTO_IMAGE_GAP L"\t\t\t\t\t\t\t\t\t   "

constexpr const wchar_t* kBarImageFormat =
    L"file='progress_bk.png' dest='0,0,%d,30' " KELTO_IMAGE_GAP
    L"file='progress_fore.png' corner='0,10,%d,10' dest='0,0,%d,30' " KELTO_IMAGE_GAP
    L"file='pro_flash_bk.png' corner='0,0,0,0' dest='%d,0,%d,30' source='%d,0,%d,30' "
    KELTO_IMAGE_GAP
    L"file='pro_flash_fore.png' corner='0,0,0,0' dest='%d,0,%d,30' source='%d,0,%d,30' "
    KELTO_IMAGE_GAP;

#undef KELTO_IMAGE_GAP

}  // namespace

int FilledWidth(int width, bool packageBeside, int installTicks, int64_t completedBytes,
                int64_t totalBytes) {
  if (width <= 0) return 0;
  const int ticks = std::clamp(installTicks, 0, kTicksFull);
  int64_t filled = 0;
  if (packageBeside) {
    filled = static_cast<int64_t>(ticks) * width / kTicksFull;
  } else if (totalBytes > 0) {
    const int64_t completed = std::clamp<int64_t>(completedBytes, 0, totalBytes);
    filled = static_cast<int64_t>(width * 0.9 * static_cast<double>(completed) /
                                      static_cast<double>(totalBytes) +
                                  width * 0.1 * ticks / kTicksFull);
  }
  return static_cast<int>(std::clamp<int64_t>(filled, 0, width));
}

int NextShineOffset(int shineOffset, int width, bool animate) {
  if (animate) shineOffset += kShineStep;
  if (shineOffset >= width + kShineWidth || shineOffset < 0) shineOffset = 0;
  return shineOffset;
}

std::wstring ProgressBarImage(int width, int filled, int shineOffset) {
  width = std::max(width, 0);
  filled = std::clamp(filled, 0, width);
  const int x = std::max(shineOffset, 0);
  // 1. The wide sweep: its part inside the track, cut from the left of the image while it
  //    enters.
  const int a = std::max(x - kShineWidth, 0);
  const int s = a - x + kShineWidth;
  // 2. The trailing sweep, clipped to the filled part.
  const int d = std::min(filled, x);
  const int f = std::max(std::min(filled, x - kShineTrail), 0);
  int s2a = 0, s2b = 0;
  if (d > f) {
    s2a = f - x + kShineTrail;
    s2b = d - x + kShineTrail;
  }
  // 3. The fore image's head never wider than the fill.
  const int g = std::min(filled, kForeHeadWidth);
  std::wstring text = FormatString(kBarImageFormat, width, g, filled, a, x, s, kShineWidth, f,
                                   d, s2a, s2b);
  if (text.size() > kImageTextLimit) text.resize(kImageTextLimit);
  return text;
}

int NextInstallTicks(int installTicks, bool finishing) {
  installTicks += kTickStep;
  if (finishing) {
    installTicks += kFinishingTickStep - kTickStep;
  } else if (installTicks > kSecondSlowDown) {
    installTicks -= 2;
  } else if (installTicks > kFirstSlowDown) {
    installTicks -= 1;
  }
  return installTicks;
}

int InstallPercent(int installTicks, bool packageBeside) {
  const int ticks = std::clamp(installTicks, 0, kTicksFull);
  return packageBeside ? ticks * 100 / kTicksFull : ticks * 10 / kTicksFull + 90;
}

std::wstring PercentText(int percent) { return FormatString(L"%d%%", percent); }

std::wstring RemainingText(int64_t totalBytes, int64_t completedBytes, int64_t bytesPerSecond) {
  const int64_t left = std::max<int64_t>(totalBytes - std::max<int64_t>(completedBytes, 0), 0);
  const int64_t speed = std::max<int64_t>(bytesPerSecond, 0);
  return FormatString(L"剩余%ls @ %ls/s", FormatSize(static_cast<uint64_t>(left)).c_str(),
                      FormatSize(static_cast<uint64_t>(speed)).c_str());
}

}  // namespace install_progress
