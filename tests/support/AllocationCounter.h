// Test helper: counts the heap allocations made through operator new, per thread.
//
// Contract: linking AllocationCounter.cpp into a test program replaces the global operator
// new and delete of that program; AllocationsOnThisThread() may be called from any thread and
// returns that thread's running count. Exhausted memory still throws std::bad_alloc.
#pragma once

namespace testing_support {

long AllocationsOnThisThread();

}  // namespace testing_support
