// InstallProgress: the arithmetic of the install window's progress page: the filled width of
// the bar, the moving shine, the image string that draws the bar, the simulated progress of
// the install step and the texts of the speed label.
//
// Contract: pure functions of their arguments; any thread may call them (the install dialog
// calls them on the user-interface thread). Values out of range (a completed size above the
// total, negative sizes or speeds, ticks past the end) are clamped into what the bar can show;
// nothing fails and nothing throws (allocation failure aside).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace install_progress {

// installTicks at which the install step is complete.
inline constexpr int kTicksFull = 900;
// installTicks added per tick of the install timer while the package still runs (before the
// slow-downs) and once it has ended.
inline constexpr int kTickStep = 3;
inline constexpr int kFinishingTickStep = 9;
// The shine: an 80-pixel sweep over the whole track, a 230-pixel one over the filled part,
// moved 3 pixels per animation step.
inline constexpr int kShineWidth = 80;
inline constexpr int kShineTrail = 230;
inline constexpr int kShineStep = 3;
// The bright head of the fore image that keeps its width while the fill grows.
inline constexpr int kForeHeadWidth = 110;
// Longest image string the bar is given.
inline constexpr std::size_t kImageTextLimit = 519;

// Filled width of a bar `width` pixels wide. With the package beside the installer the
// install step fills it alone; otherwise the download fills 90 % and the install step the
// rest. No size known yet (total 0 or less) leaves the download's part empty. Never outside
// 0..width.
int FilledWidth(int width, bool packageBeside, int installTicks, int64_t completedBytes,
                int64_t totalBytes);

// The shine's position after one repaint: 3 pixels on when `animate`; back to 0 once it
// reaches width + 80.
int NextShineOffset(int shineOffset, int width, bool animate);

// The bar's background image string: the track, the fore image over the `filled` pixels and
// the two shine sweeps at `shineOffset`, four image items each followed by nine tabs and three
// spaces; at most kImageTextLimit characters.
std::wstring ProgressBarImage(int width, int filled, int shineOffset);

// installTicks after one tick of the install timer: 3 more up to 450, 2 up to 675, 1 beyond;
// 9 more once the package has ended (`finishing`).
int NextInstallTicks(int installTicks, bool finishing);

// The percentage shown during the install step: 0 to 100 with the package beside the
// installer, else 90 to 100 (the download was the first 90 %).
int InstallPercent(int installTicks, bool packageBeside);

// "<percent>%".
std::wstring PercentText(int percent);

// "剩余<size still to come> @ <speed>/s"; a completed size above the total reads as nothing
// left, a negative speed as 0.
std::wstring RemainingText(int64_t totalBytes, int64_t completedBytes, int64_t bytesPerSecond);

}  // namespace install_progress
