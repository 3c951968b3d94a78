// PreciseClock: the arithmetic of the installer's steady millisecond clock, kept apart from
// the clock reads so that it can be checked with simulated clocks.
//
// The clock follows the wall clock (system time), but between calibrations it advances with
// the performance counter, which is finer and does not jump; it recalibrates when the counter
// and the wall clock drift apart, and it smooths out small backward steps of the wall clock.
//
// Contract: not thread-safe; one PreciseClock serves one caller at a time (PreciseNow wraps
// the process's clock in a lock). The ClockSource is only read, never kept. Nothing throws.
#pragma once

#include <cstdint>

// The platform clocks a PreciseClock reads.
class ClockSource {
 public:
  virtual ~ClockSource() = default;
  // Wall clock in milliseconds since 1970-01-01 (UTC).
  virtual int64_t SystemMs() = 0;
  // The same, read with the system timer's resolution raised, for a calibration.
  virtual int64_t CalibrationSystemMs() = 0;
  // False when there is no performance counter.
  virtual bool CounterFrequency(int64_t* countsPerSecond) = 0;
  virtual int64_t Counter() = 0;
  // Milliseconds since start-up, wrapping at 2^32.
  virtual uint32_t TickCount() = 0;
};

class PreciseClock {
 public:
  // Steady wall-clock milliseconds since 1970. A step back of the wall clock by less than
  // 2 seconds is held off; a larger one is passed on.
  double NowMs(ClockSource& source);
  // NowMs in seconds, never below an earlier result.
  double NowSeconds(ClockSource& source);

  // Counter counts to whole milliseconds, without overflow for any counter value.
  static int64_t CounterToMs(int64_t counter, int64_t countsPerSecond);

  // The counter may disagree with the tick count by this much between two reads ...
  static constexpr int64_t kCounterTickToleranceMs = 500;
  // ... and with the wall clock by this much since the calibration.
  static constexpr double kWallClockToleranceMs = 31.25;
  // Backward steps of the wall clock shorter than this are held off.
  static constexpr double kHoldBackMs = 2000;

 private:
  bool frequencyKnown_ = false;
  bool hasCounter_ = false;
  int64_t frequency_ = 0;

  bool calibrated_ = false;
  int64_t baseSystemMs_ = 0;
  int64_t baseCounterMs_ = 0;

  bool haveLastRead_ = false;
  int64_t lastCounterMs_ = 0;
  uint32_t lastTick_ = 0;

  bool haveResult_ = false;
  double lastResultMs_ = 0;

  bool haveMax_ = false;
  double maxSeconds_ = 0;
};
