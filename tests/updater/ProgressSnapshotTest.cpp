// Progress snapshots: stored ones collapse into the newest, and taking one empties the value.
#include "updater/ProgressSnapshot.h"

#include <gtest/gtest.h>

using progress_snapshot::Progress;

namespace {

TEST(ProgressSnapshot, StoredAsTheProcessEntry) {
  ProtoValue progress;
  progress_snapshot::Store(progress, 1000, 250, 75);
  EXPECT_EQ(progress.Get(L"process").Get(L"total").integer(), 1000);
  EXPECT_EQ(progress.Get(L"process").Get(L"complete").integer(), 250);
  EXPECT_EQ(progress.Get(L"process").Get(L"speed").integer(), 75);
}

TEST(ProgressSnapshot, SnapshotsCollapseIntoTheNewest) {
  ProtoValue progress;
  progress_snapshot::Store(progress, 1000, 100, 10);
  progress_snapshot::Store(progress, 1000, 200, 20);
  progress_snapshot::Store(progress, 5000000000LL, 4999999999LL, 30);
  Progress taken;
  ASSERT_TRUE(progress_snapshot::Take(progress, &taken));
  EXPECT_EQ(taken.total, 5000000000LL);
  EXPECT_EQ(taken.complete, 4999999999LL);
  EXPECT_EQ(taken.speed, 30);
  // Taken means gone: the messages posted for the older snapshots find nothing.
  EXPECT_TRUE(progress.IsNull());
  Progress again{7, 7, 7};
  EXPECT_FALSE(progress_snapshot::Take(progress, &again));
  EXPECT_EQ(again.total, 7);
}

}  // namespace
