#include "runtime/PreciseClock.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Simulated clocks: the test moves them by hand.
class FakeClocks : public ClockSource {
 public:
  int64_t systemMs = 1489039509000;  // 2017-03-09 06:05:09 UTC
  bool hasCounter = true;
  int64_t frequency = 10000000;      // 10 MHz
  int64_t counter = 123456789;
  uint32_t tick = 5000000;
  int calibrations = 0;

  // Real time passes: every clock moves by `ms`.
  void Advance(int64_t ms) {
    systemMs += ms;
    counter += ms * frequency / 1000;
    tick += static_cast<uint32_t>(ms);
  }

  int64_t SystemMs() override { return systemMs; }
  int64_t CalibrationSystemMs() override {
    ++calibrations;
    return systemMs;
  }
  bool CounterFrequency(int64_t* f) override {
    *f = frequency;
    return hasCounter;
  }
  int64_t Counter() override { return counter; }
  uint32_t TickCount() override { return tick; }
};

TEST(PreciseClock, WithoutCounterItIsTheWallClockMadeMonotonic) {
  FakeClocks clocks;
  clocks.hasCounter = false;
  PreciseClock clock;
  EXPECT_DOUBLE_EQ(clock.NowMs(clocks), 1489039509000.0);
  EXPECT_DOUBLE_EQ(clock.NowSeconds(clocks), 1489039509.0);
  clocks.systemMs -= 500;
  EXPECT_DOUBLE_EQ(clock.NowMs(clocks), 1489039508500.0);
  EXPECT_DOUBLE_EQ(clock.NowSeconds(clocks), 1489039509.0);
  EXPECT_EQ(clocks.calibrations, 0);
}

TEST(PreciseClock, CounterCarriesTheCalibrationWhileTheClocksAgree) {
  FakeClocks clocks;
  PreciseClock clock;
  const double first = clock.NowMs(clocks);
  EXPECT_DOUBLE_EQ(first, 1489039509000.0);
  for (int i = 0; i < 100; ++i) {
    clocks.Advance(7);
    clocks.systemMs += (i % 2) ? 15 : -15;  // a coarse wall clock wobbles around the truth
    EXPECT_DOUBLE_EQ(clock.NowMs(clocks), first + 7.0 * (i + 1));
    clocks.systemMs -= (i % 2) ? 15 : -15;
  }
  EXPECT_EQ(clocks.calibrations, 1);
}

TEST(PreciseClock, ShortStepBackIsHeldOffAndLongOneOnlyByTheWrapper) {
  FakeClocks clocks;
  PreciseClock clock;
  const double start = clock.NowMs(clocks);
  const double held = start + 10;

  // Set back by one second: the counter still carries the old calibration, which the next
  // call drops; the recalibrated clock is one second behind and is held at the earlier value.
  clocks.Advance(10);
  clocks.systemMs -= 1000;
  EXPECT_DOUBLE_EQ(clock.NowSeconds(clocks), held / 1000);
  clocks.Advance(10);
  EXPECT_DOUBLE_EQ(clock.NowMs(clocks), held);
  EXPECT_EQ(clocks.calibrations, 2);
  clocks.Advance(10);
  EXPECT_DOUBLE_EQ(clock.NowSeconds(clocks), held / 1000);

  // Set back by one hour: the step is passed on, the wrapper keeps the larger value.
  clocks.Advance(10);
  clocks.systemMs -= 3600 * 1000;
  EXPECT_DOUBLE_EQ(clock.NowMs(clocks), held);  // notices the step
  clocks.Advance(10);
  EXPECT_DOUBLE_EQ(clock.NowMs(clocks), start + 50 - 1000 - 3600 * 1000);
  EXPECT_DOUBLE_EQ(clock.NowSeconds(clocks), held / 1000);
}

TEST(PreciseClock, WallClockSetForwardIsFollowedAfterRecalibration) {
  FakeClocks clocks;
  PreciseClock clock;
  const double start = clock.NowMs(clocks);
  clocks.Advance(20);
  clocks.systemMs += 60000;
  EXPECT_DOUBLE_EQ(clock.NowMs(clocks), start + 20);  // still on the old calibration
  clocks.Advance(20);
  EXPECT_DOUBLE_EQ(clock.NowMs(clocks), start + 60040);
  EXPECT_EQ(clocks.calibrations, 2);
}

TEST(PreciseClock, CounterThatRunsOffFromTheTickCountIsRecalibrated) {
  FakeClocks clocks;
  PreciseClock clock;
  const double start = clock.NowMs(clocks);
  // The counter leaps 10 s ahead while the tick count and the wall clock move 100 ms.
  clocks.Advance(100);
  clocks.counter += 10 * clocks.frequency;
  EXPECT_DOUBLE_EQ(clock.NowMs(clocks), start + 100);
  EXPECT_EQ(clocks.calibrations, 2);
  // Within the tolerance nothing happens.
  clocks.Advance(100);
  clocks.counter += clocks.frequency / 1000 * 400;
  clock.NowMs(clocks);
  EXPECT_EQ(clocks.calibrations, 2);
}

TEST(PreciseClock, TickCountWrapIsNotMistakenForAJump) {
  FakeClocks clocks;
  clocks.tick = 0xFFFFFF00u;
  PreciseClock clock;
  const double start = clock.NowMs(clocks);
  clocks.Advance(512);  // the tick count wraps to 0x100
  EXPECT_EQ(clocks.tick, 0x100u);
  EXPECT_DOUBLE_EQ(clock.NowMs(clocks), start + 512);
  EXPECT_EQ(clocks.calibrations, 1);
}

TEST(PreciseClock, CounterAtProcessorFrequencyDoesNotOverflow) {
  // 3 GHz for 40 days: the counter times 1000 exceeds 64 bits.
  const int64_t frequency = 3000000000LL;
  const int64_t counter = frequency * 40 * 86400 + frequency / 2;
  EXPECT_EQ(PreciseClock::CounterToMs(counter, frequency), 40LL * 86400 * 1000 + 500);
  EXPECT_EQ(PreciseClock::CounterToMs(2999999, frequency), 0);
  EXPECT_EQ(PreciseClock::CounterToMs(3000000, frequency), 1);

  FakeClocks clocks;
  clocks.frequency = frequency;
  clocks.counter = counter;
  PreciseClock clock;
  const double start = clock.NowMs(clocks);
  clocks.Advance(250);
  EXPECT_DOUBLE_EQ(clock.NowMs(clocks), start + 250);
  EXPECT_EQ(clocks.calibrations, 1);
}

}  // namespace
