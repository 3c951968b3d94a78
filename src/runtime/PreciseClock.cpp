#include "runtime/PreciseClock.h"

#include <cmath>
#include <cstdlib>

int64_t PreciseClock::CounterToMs(int64_t counter, int64_t countsPerSecond) {
  // counter * 1000 would overflow after some weeks with a counter at processor frequency.
  return counter / countsPerSecond * 1000 + counter % countsPerSecond * 1000 / countsPerSecond;
}

double PreciseClock::NowMs(ClockSource& source) {
  // 1. The wall clock.
  const int64_t sys = source.SystemMs();

  // 2, 3. Without a performance counter the wall clock is all there is.
  if (!frequencyKnown_) {
    frequencyKnown_ = true;
    hasCounter_ = source.CounterFrequency(&frequency_) && frequency_ > 0;
  }
  if (!hasCounter_) return static_cast<double>(sys);

  // 4. A counter that ran off from the tick count (a counter fault, a resume from sleep)
  //    cannot be trusted to extend the calibration.
  const int64_t counterMs = CounterToMs(source.Counter(), frequency_);
  const uint32_t tick = source.TickCount();
  if (haveLastRead_) {
    const int64_t counterAdvance = counterMs - lastCounterMs_;
    const int64_t tickAdvance = static_cast<uint32_t>(tick - lastTick_);  // wraps at 2^32
    if (std::llabs(counterAdvance - tickAdvance) > kCounterTickToleranceMs) calibrated_ = false;
  }
  haveLastRead_ = true;
  lastCounterMs_ = counterMs;
  lastTick_ = tick;

  // 5. Calibrate: pin the counter to a precise reading of the wall clock.
  if (!calibrated_) {
    baseSystemMs_ = source.CalibrationSystemMs();
    baseCounterMs_ = counterMs;
    calibrated_ = true;
  }

  // 6. The wall clock as the counter extends it.
  const int64_t elapsed = counterMs - baseCounterMs_;
  double now = static_cast<double>(baseSystemMs_ + elapsed);

  // 7. When the wall clock itself has moved away (it was set, or it drifted), the next call
  //    calibrates again.
  if (std::fabs(static_cast<double>(elapsed - (sys - baseSystemMs_))) > kWallClockToleranceMs) {
    calibrated_ = false;
  }

  // 8. A short step back is held off.
  if (haveResult_ && now < lastResultMs_ && lastResultMs_ - now < kHoldBackMs) now = lastResultMs_;

  // 9.
  haveResult_ = true;
  lastResultMs_ = now;
  return now;
}

double PreciseClock::NowSeconds(ClockSource& source) {
  // 10. Successive results never decrease.
  const double seconds = NowMs(source) / 1000.0;
  if (!haveMax_ || seconds > maxSeconds_) {
    haveMax_ = true;
    maxSeconds_ = seconds;
  }
  return maxSeconds_;
}
