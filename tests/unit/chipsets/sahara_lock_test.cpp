// The Sahara lock: one holder at a time, bounded waits, and a stop ends a wait.

#include "chipsets/sahara_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <thread>
#include <vector>

#include "chipset_test_support.h"

namespace {

// At the tests' time scale a wait step takes no time, so a finite limit counts spins.
constexpr double kNoLimit = std::numeric_limits<double>::infinity();

class SaharaLockTest : public chipset_test::ChipsetTest {
 protected:
  void SetUp() override {
    ChipsetTest::SetUp();
    releaseSaharaLock();
  }
  void TearDown() override {
    releaseSaharaLock();
    ChipsetTest::TearDown();
  }
};

TEST_F(SaharaLockTest, ContendingSlotsNeverHoldTheLockTogether) {
  std::atomic<int> holders{0};
  std::atomic<int> overlaps{0};
  std::atomic<int> taken{0};
  std::vector<std::thread> slots;
  for (int t = 0; t < 4; ++t) {
    slots.emplace_back([&] {
      for (int round = 0; round < 100; ++round) {
        if (takeSaharaLock(kNoLimit) != SaharaLockResult::Taken) continue;
        ++taken;
        if (holders.fetch_add(1) != 0) ++overlaps;
        std::this_thread::yield();
        holders.fetch_sub(1);
        releaseSaharaLock();
      }
    });
  }
  for (std::thread& slot : slots) slot.join();
  EXPECT_EQ(overlaps, 0);
  EXPECT_EQ(taken, 400);
  EXPECT_FALSE(saharaLockHeld());
}

TEST_F(SaharaLockTest, HeldLockTimesOutOrEndsOnStop) {
  ASSERT_EQ(takeSaharaLock(0), SaharaLockResult::Taken);
  EXPECT_EQ(takeSaharaLock(0), SaharaLockResult::TimedOut);
  EXPECT_EQ(takeSaharaLock(5), SaharaLockResult::TimedOut);
  host::requestStop();
  EXPECT_EQ(takeSaharaLock(kNoLimit), SaharaLockResult::Stopped);
  EXPECT_TRUE(saharaLockHeld());
  releaseSaharaLock();
  EXPECT_FALSE(saharaLockHeld());
}

}  // namespace
