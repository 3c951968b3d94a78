#include "support/AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local long g_allocations = 0;
}

void* operator new(size_t size) {
  ++g_allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace testing_support {

long AllocationsOnThisThread() { return g_allocations; }

}  // namespace testing_support
