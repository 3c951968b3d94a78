#include "runtime/Singleton.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

std::atomic<int> g_made{0};

// A service slow to make, so that first uses on several threads overlap. Destroying it would
// end the process with code 3.
class SlowService : public CSingleton<SlowService> {
 private:
  friend class CSingleton<SlowService>;
  SlowService() {
    ++g_made;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ~SlowService() { std::_Exit(3); }
};

TEST(Singleton, FirstUsesOnManyThreadsMakeOneInstance) {
  std::vector<SlowService*> seen(8);
  std::vector<std::thread> threads;
  for (SlowService*& s : seen) threads.emplace_back([&s] { s = &SlowService::Instance(); });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(g_made, 1);
  for (SlowService* s : seen) EXPECT_EQ(s, seen[0]);
}

// Worker threads, and destructors of other process-wide objects, may still use a service
// while the process exits: it is never destroyed.
TEST(Singleton, IsNeverDestroyed) {
  EXPECT_EXIT(
      {
        SlowService::Instance();
        std::exit(0);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
