// Test helper: what an operation threw.
//
// Contract: runs `operation` on the calling thread and returns the exception of type E that it
// threw, or a default-constructed E when it threw nothing. Exceptions of other types pass on.
#pragma once

namespace testing_support {

template <typename E, typename Operation>
E Thrown(Operation operation) {
  try {
    operation();
  } catch (const E& e) {
    return e;
  }
  return E();
}

}  // namespace testing_support
