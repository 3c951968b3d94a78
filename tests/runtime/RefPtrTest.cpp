#include "runtime/RefPtr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

class Counted : public CRefThreadSafeBase<Counted> {
 public:
  explicit Counted(int* deaths) : deaths_(deaths) {}
  ~Counted() override { ++*deaths_; }

 private:
  int* deaths_;
};

class Derived : public Counted {
 public:
  Derived(int* deaths, int* derivedDeaths) : Counted(deaths), derivedDeaths_(derivedDeaths) {}
  ~Derived() override { ++*derivedDeaths_; }

 private:
  int* derivedDeaths_;
};

TEST(RefPtr, LastReferenceDeletesThroughTheVirtualDestructor) {
  int deaths = 0, derivedDeaths = 0;
  {
    CRefPtr<Counted> a(new Derived(&deaths, &derivedDeaths));
    CRefPtr<Counted> b = a;
    CRefPtr<Counted> c(std::move(b));
    EXPECT_FALSE(b);
    EXPECT_EQ(a, c);
    a.reset();
    EXPECT_EQ(deaths, 0);
  }
  EXPECT_EQ(deaths, 1);
  EXPECT_EQ(derivedDeaths, 1);

  CRefPtr<Derived> d(new Derived(&deaths, &derivedDeaths));
  CRefPtr<Counted> base = d;  // derived to base shares the object
  EXPECT_EQ(base.get(), d.get());
  d = nullptr;
  EXPECT_EQ(deaths, 1);
  base = nullptr;
  EXPECT_EQ(deaths, 2);
}

TEST(RefPtr, AssignmentAddsBeforeItReleasesAndSelfAssignmentDoesNothing) {
  int deaths = 0;
  CRefPtr<Counted> a(new Counted(&deaths));
  CRefPtr<Counted>& alias = a;
  a = alias;
  a = std::move(alias);
  EXPECT_TRUE(a);
  a = a.get();
  EXPECT_EQ(deaths, 0);

  // Assigning the object that only the old target's holder reaches: it must survive.
  CRefPtr<Counted> b(new Counted(&deaths));
  Counted* raw = b.get();
  b = raw;
  EXPECT_EQ(deaths, 0);
  b = a;
  EXPECT_EQ(deaths, 1);
  EXPECT_EQ(b, a);
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
