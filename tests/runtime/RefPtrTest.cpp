#include "runtime/RefPtr.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// Counts its deaths; may hold the only reference to another object.
class Counted : public CRefThreadSafeBase<Counted> {
 public:
  explicit Counted(int* deaths, Counted* held = nullptr) : inner(held), deaths_(deaths) {}
  ~Counted() override { ++*deaths_; }

  CRefPtr<Counted> inner;

 private:
  int* deaths_;
};

// An object reached only through the old target must survive its release: the new target
// gains its reference first.
TEST(RefPtr, AssignmentAddsBeforeItReleases) {
  int outerDeaths = 0;
  int innerDeaths = 0;
  CRefPtr<Counted> holder(new Counted(&outerDeaths, new Counted(&innerDeaths)));
  Counted* inner = holder->inner.get();
  holder = inner;
  EXPECT_EQ(outerDeaths, 1);
  EXPECT_EQ(innerDeaths, 0);
  EXPECT_EQ(holder.get(), inner);

  holder = new Counted(&outerDeaths, new Counted(&innerDeaths));
  EXPECT_EQ(innerDeaths, 1);
  holder = holder->inner;
  EXPECT_EQ(outerDeaths, 2);
  EXPECT_EQ(innerDeaths, 1);
}

TEST(RefPtr, CopiesOnManyThreadsDeleteExactlyOnce) {
  int deaths = 0;
  CRefPtr<Counted> shared(new Counted(&deaths));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([shared] {
      for (int i = 0; i < 50000; ++i) {
        CRefPtr<Counted> copy = shared;
        CRefPtr<Counted> another;
        another = copy;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(deaths, 0);
  shared.reset();
  EXPECT_EQ(deaths, 1);
}

}  // namespace
