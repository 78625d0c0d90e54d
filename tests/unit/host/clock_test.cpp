#include "host/clock.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(ClockTest, StopEndsAWaitingDelayAndStaysUntilCleared) {
  host::clearStop();
  bool completed = true;
  std::thread waiter([&] { completed = host::sleepMs(60'000); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  host::requestStop();
  waiter.join();
  EXPECT_FALSE(completed);
  EXPECT_TRUE(host::stopRequested());
  EXPECT_FALSE(host::sleepMs(10'000)) << "a stop stays in force until cleared";
  host::clearStop();
  EXPECT_TRUE(host::sleepMs(1));
}

}  // namespace
