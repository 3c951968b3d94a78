#include "runtime/PreciseClock.h"

#include <gtest/gtest.h>

namespace {

// A counter at 3 GHz after 40 days: the counter times 1000 would exceed 64 bits.
TEST(PreciseClock, CounterAtProcessorFrequencyDoesNotOverflow) {
  const int64_t frequency = 3000000000LL;
  const int64_t counter = frequency * 40 * 86400 + frequency / 2;
  EXPECT_EQ(PreciseClock::CounterToMs(counter, frequency), 40LL * 86400 * 1000 + 500);
  EXPECT_EQ(PreciseClock::CounterToMs(2999999, frequency), 0);
  EXPECT_EQ(PreciseClock::CounterToMs(3000000, frequency), 1);
}

}  // namespace
