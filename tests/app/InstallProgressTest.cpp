// The progress page's arithmetic: the bar's filled width, the shine, the image string that
// draws them, the simulated install progress and the speed label's texts; platform-free, run
// natively and under Wine.
#include <gtest/gtest.h>

#include <string>

#include "app/InstallProgress.h"

using namespace install_progress;

namespace {

const std::wstring kGap = L"\t\t\t\t\t\t\t\t\t   ";

// The image string for the given numbers, item by item.
std::wstring Image(int width, int g, int filled, int a, int x, int s, int f, int d, int s2a,
                   int s2b) {
  auto n = [](int v) { return std::to_wstring(v); };
  return L"file='progress_bk.png' dest='0,0," + n(width) + L",30' " + kGap +
         L"file='progress_fore.png' corner='0,10," + n(g) + L",10' dest='0,0," + n(filled) +
         L",30' " + kGap + L"file='pro_flash_bk.png' corner='0,0,0,0' dest='" + n(a) + L",0," +
         n(x) + L",30' source='" + n(s) + L",0,80,30' " + kGap +
         L"file='pro_flash_fore.png' corner='0,0,0,0' dest='" + n(f) + L",0," + n(d) +
         L",30' source='" + n(s2a) + L",0," + n(s2b) + L",30' " + kGap;
}

TEST(ProgressBarImage, ComposesTrackFillAndBothShineSweeps) {
  // The shine entering an empty bar: the wide sweep cut from the left, nothing filled.
  EXPECT_EQ(ProgressBarImage(500, 0, 30), Image(500, 0, 0, 0, 30, 50, 0, 0, 0, 0));
  // Inside a bar filled to 450: the wide sweep whole, the trailing one 230 wide behind it.
  EXPECT_EQ(ProgressBarImage(500, 450, 300), Image(500, 110, 450, 220, 300, 0, 70, 300, 0, 230));
  // The trailing sweep clipped where the fill ends.
  EXPECT_EQ(ProgressBarImage(500, 200, 260), Image(500, 110, 200, 180, 260, 0, 30, 200, 0, 170));
  // Past a full bar, near the wrap.
  EXPECT_EQ(ProgressBarImage(500, 500, 560), Image(500, 110, 500, 480, 560, 0, 330, 500, 0, 170));
  // A fill narrower than the fore image's head.
  EXPECT_EQ(ProgressBarImage(500, 60, 10), Image(500, 60, 60, 0, 10, 70, 0, 10, 220, 230));
  // A fill entirely behind the trailing sweep draws none of it.
  EXPECT_EQ(ProgressBarImage(500, 20, 400), Image(500, 20, 20, 320, 400, 0, 20, 20, 0, 0));
}

TEST(ProgressBarImage, StaysWithinItsLimitForAnyNumbers) {
  const std::wstring widest = ProgressBarImage(2147483647, 2147483647, 2147483647);
  EXPECT_LE(widest.size(), kImageTextLimit);
  EXPECT_EQ(widest.substr(widest.size() - kGap.size()), kGap) << "the last item was cut";
  // Numbers outside the bar are drawn inside it.
  EXPECT_EQ(ProgressBarImage(500, 700, -3), Image(500, 110, 500, 0, 0, 80, 0, 0, 0, 0));
  EXPECT_EQ(ProgressBarImage(-1, -5, 0), Image(0, 0, 0, 0, 0, 80, 0, 0, 0, 0));
}

TEST(NextShineOffset, MovesThreePixelsAndWrapsAtWidthPlus80) {
  EXPECT_EQ(NextShineOffset(0, 500, true), 3);
  EXPECT_EQ(NextShineOffset(576, 500, true), 579);
  EXPECT_EQ(NextShineOffset(577, 500, true), 0);  // 580 reached
  EXPECT_EQ(NextShineOffset(579, 500, true), 0);
  // Without animation it stays, unless the bar became narrower than where it was.
  EXPECT_EQ(NextShineOffset(200, 500, false), 200);
  EXPECT_EQ(NextShineOffset(200, 100, false), 0);
  // A bar not laid out yet (width 0) wraps at 80.
  EXPECT_EQ(NextShineOffset(77, 0, true), 0);
  // A whole lap takes ceil(580 / 3) steps.
  int offset = 0, steps = 0;
  do {
    offset = NextShineOffset(offset, 500, true);
    ++steps;
  } while (offset != 0);
  EXPECT_EQ(steps, 194);
}

TEST(FilledWidth, DownloadFillsNinetyPercentAndTheInstallStepTheRest) {
  EXPECT_EQ(FilledWidth(500, false, 0, 0, 1000), 0);
  EXPECT_EQ(FilledWidth(500, false, 0, 500, 1000), 225);
  EXPECT_EQ(FilledWidth(500, false, 0, 1000, 1000), 450);   // download done: 90 % at once
  EXPECT_EQ(FilledWidth(500, false, 450, 1000, 1000), 475);
  EXPECT_EQ(FilledWidth(500, false, 900, 1000, 1000), 500);
  // Truncated, not rounded: 299.7 / 7 + 0.037 = 42.85.
  EXPECT_EQ(FilledWidth(333, false, 1, 1, 7), 42);
  // A 25 MiB package half way.
  EXPECT_EQ(FilledWidth(500, false, 0, 13107200, 26214400), 225);
}

TEST(FilledWidth, NoSizeKeepsTheBarEmptyToTheEnd) {
  for (int ticks : {0, 450, 900}) {
    EXPECT_EQ(FilledWidth(500, false, ticks, 0, 0), 0) << ticks;
    EXPECT_EQ(FilledWidth(500, false, ticks, 5000, -1), 0) << ticks;
  }
}

TEST(FilledWidth, PackageBesideTheInstallerFillsByTheInstallStepAlone) {
  EXPECT_EQ(FilledWidth(500, true, 0, 1000, 1000), 0);
  EXPECT_EQ(FilledWidth(500, true, 450, 0, 0), 250);
  EXPECT_EQ(FilledWidth(500, true, 899, 0, 0), 499);
  EXPECT_EQ(FilledWidth(500, true, 900, 0, 0), 500);
}

TEST(FilledWidth, NeverLeavesTheBar) {
  EXPECT_EQ(FilledWidth(500, false, 0, 3000, 1000), 450);  // more bytes than the size
  EXPECT_EQ(FilledWidth(500, false, 909, 1000, 1000), 500);
  EXPECT_EQ(FilledWidth(500, true, 909, 0, 0), 500);
  EXPECT_EQ(FilledWidth(500, false, 0, -10, 1000), 0);
  EXPECT_EQ(FilledWidth(500, true, -9, 0, 0), 0);
  EXPECT_EQ(FilledWidth(0, false, 900, 1000, 1000), 0);
  EXPECT_EQ(FilledWidth(-5, true, 900, 0, 0), 0);
}

TEST(NextInstallTicks, SlowsDownWhileThePackageRunsAndRunsFastOnceItEnded) {
  EXPECT_EQ(NextInstallTicks(0, false), 3);
  EXPECT_EQ(NextInstallTicks(447, false), 450);
  EXPECT_EQ(NextInstallTicks(450, false), 452);  // past 450: net 2
  EXPECT_EQ(NextInstallTicks(672, false), 674);  // 675 is not past 675: net 2
  EXPECT_EQ(NextInstallTicks(674, false), 675);  // 677 is: net 1
  EXPECT_EQ(NextInstallTicks(800, false), 801);
  EXPECT_EQ(NextInstallTicks(0, true), 9);
  EXPECT_EQ(NextInstallTicks(800, true), 809);
  EXPECT_EQ(NextInstallTicks(896, true), 905);
  // Without the package ending: 150 ticks to 450, 113 more to 675, then one a tick: the
  // bar would reach its end after 488 ticks (49 s).
  int ticks = 0, steps = 0;
  while (ticks < 450) ticks = NextInstallTicks(ticks, false), ++steps;
  EXPECT_EQ(steps, 150);
  while (ticks < 675) ticks = NextInstallTicks(ticks, false), ++steps;
  EXPECT_EQ(steps, 263);
  EXPECT_EQ(ticks, 675);
  while (ticks < 900) ticks = NextInstallTicks(ticks, false), ++steps;
  EXPECT_EQ(steps, 488);
}

TEST(InstallPercent, RunsFromNinetyAfterADownloadAndFromZeroWithoutOne) {
  EXPECT_EQ(InstallPercent(0, false), 90);
  EXPECT_EQ(InstallPercent(450, false), 95);
  EXPECT_EQ(InstallPercent(899, false), 99);
  EXPECT_EQ(InstallPercent(900, false), 100);
  EXPECT_EQ(InstallPercent(0, true), 0);
  EXPECT_EQ(InstallPercent(450, true), 50);
  EXPECT_EQ(InstallPercent(899, true), 99);
  EXPECT_EQ(InstallPercent(900, true), 100);
  EXPECT_EQ(InstallPercent(905, true), 100);
  EXPECT_EQ(PercentText(90), L"90%");
  EXPECT_EQ(PercentText(100), L"100%");
}

TEST(RemainingText, ShowsWhatIsLeftAndTheSpeed) {
  EXPECT_EQ(RemainingText(26214400, 1048576, 524288), L"剩余24.00MB @ 512.00KB/s");
  EXPECT_EQ(RemainingText(1000, 1, 0), L"剩余999B @ 0B/s");
  // More bytes than announced, or a speed below zero, never read as huge numbers.
  EXPECT_EQ(RemainingText(1000, 2000, -1), L"剩余0B @ 0B/s");
}

}  // namespace
