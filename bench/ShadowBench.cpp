// How long drawing the dialog's shadow takes, the work repeated at every enlargement of the
// window. The reference is clearing the same bitmap, the least any drawing of it costs.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "ui/windows/ShadowPixels.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename Work>
double MicrosecondsPerRun(int runs, Work work) {
  const auto start = Clock::now();
  for (int i = 0; i < runs; ++i) work();
  const std::chrono::duration<double, std::micro> spent = Clock::now() - start;
  return spent.count() / runs;
}

}  // namespace

int main() {
  constexpr int kWidth = 568;
  constexpr int kHeight = 383;
  constexpr int kRuns = 400;
  std::vector<uint32_t> pixels(static_cast<size_t>(kWidth) * kHeight);
  const SkinUI::TPixelView view{pixels.data(), kWidth, kHeight, kWidth};

  volatile uint32_t sink = 0;
  // Warm the caches and the allocator first.
  SkinUI::CShadowPixels::Fill(view, 14, 0x505050);
  const double clear = MicrosecondsPerRun(kRuns, [&] {
    std::fill(pixels.begin(), pixels.end(), 0u);
    sink = sink + pixels[kWidth * 191 + 13];
  });
  const double fill = MicrosecondsPerRun(kRuns, [&] {
    SkinUI::CShadowPixels::Fill(view, 14, 0x505050);
    sink = sink + pixels[kWidth * 191 + 13];
  });
  if (pixels[kWidth * 191 + 13] != 0x43151515u) {
    std::fprintf(stderr, "shadow bench: wrong pixel %08x\n", pixels[kWidth * 191 + 13]);
    return 1;
  }
  std::printf("BENCH shadow_fill_568x383 %.1f us\n", fill);
  std::printf("BENCH shadow_clear_568x383 %.1f us\n", clear);
  std::printf("BENCH shadow_fill_vs_clear %.2f ratio\n", fill / clear);
  return 0;
}
