// Shared pieces of the benchmarks: a monotonic clock, the median of repeated timings, the
// "BENCH <name> <value> <unit>" report line, and a 540 x 355 drawing surface (the size of
// the install window) to draw into.
//
// Contract: the benchmark's one thread. A Surface owns its memory DC and its 32-bit DIB.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "ui/skin/DibSection.h"

namespace bench_support {

inline double Now() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / frequency.QuadPart;
}

// The median over `rounds` of the time `work` takes, in seconds.
inline double Median(int rounds, const std::function<void()>& work) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    const double start = Now();
    work();
    times.push_back(Now() - start);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

inline void Report(const char* name, double value, const char* unit) {
  std::printf("BENCH %s %.3f %s\n", name, value, unit);
  std::fflush(stdout);
}

struct Surface {
  explicit Surface(HDC compatible, int width = 540, int height = 355)
      : dc(::CreateCompatibleDC(compatible)) {
    dib.Create(width, height);
    old = ::SelectObject(dc, dib.handle());
  }
  ~Surface() {
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  HDC dc;
  SkinUI::CDibSection dib;
  HGDIOBJ old;
};

}  // namespace bench_support
