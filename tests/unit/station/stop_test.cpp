// Stop and shutdown against a worker that is still running: a worker waiting out a delay ends
// at once, and one that reports its status while the UI thread waits for it cannot deadlock.

#include <gtest/gtest.h>

#include <atomic>

#include "host/clock.h"
#include "host/report.h"
#include "station/dut_slots.h"
#include "station/station_state.h"
#include "station_fixture.h"

namespace stationtest {
namespace {

// One slot whose worker is scheduled at start-up: it reports, waits an hour (unscaled in these
// tests) unless stopped, and reports again after the stop, while the UI thread waits for it.
class WaitingSlot : public DutSlots {
 public:
  std::atomic<int> workerId{0};
  std::atomic<bool> delayCompleted{true};
  std::atomic<int> stops{0};
  bool busy = false;

  void resetSlots(uint32_t) override {
    busy = true;
    workerId = gThreadPool->schedule([this] {
      for (int i = 0; i < 20; ++i) updateStatus(1, 1);
      updateProgressBar(1, 0.5);
      delayCompleted = host::Delay(3600);
      updateStatus(1, -1);
      updateMesage(1, "stopped while waiting");
      return -1;
    });
  }
  int findBusySlot() override { return busy ? 0 : -1; }
  void stopSlot(int index) override {
    ++stops;
    gThreadPool->waitUntilFinished(workerId);
    gThreadPool->release(workerId);
    busy = false;
  }
};

class StopTest : public StationTest {
 protected:
  void SetUp() override {
    StationTest::SetUp();
    installDutSlots(&slot_);
  }
  void TearDown() override {
    installDutSlots(nullptr);
    StationTest::TearDown();
  }
  WaitingSlot slot_;
};

TEST_F(StopTest, StopEndsTheWorkersDelayAndItsLateReportsStillArrive) {
  auto events = runStation("start\nstop\n");
  EXPECT_FALSE(slot_.delayCompleted) << "the hour-long delay ended on Stop";
  EXPECT_EQ(slot_.stops, 1);
  int lateStatus = indexOf(events, "status", "value", -1);
  int stopDimmed = -1;
  for (size_t i = 0; i < events.size(); ++i) {
    if (events[i]["event"] == "control" && events[i]["name"] == "stop" &&
        events[i]["dimmed"] == true) {
      stopDimmed = static_cast<int>(i);
    }
  }
  ASSERT_GE(lateStatus, 0) << "the report made while Stop waited was drawn";
  EXPECT_LT(lateStatus, stopDimmed) << "Stop finished only after the worker";
  EXPECT_EQ(eventsOf(events, "status")[0]["lamp"], "blue");
  EXPECT_EQ(events[lateStatus]["lamp"], "red");
  EXPECT_GE(indexOf(events, "message", "text", "stopped while waiting"), 0);
}

TEST_F(StopTest, ClosingWhileAWorkerWaitsEndsItAndExits) {
  auto events = runStation("quit\n");
  EXPECT_EQ(events.back()["code"], 0);
  EXPECT_FALSE(slot_.delayCompleted);
  EXPECT_EQ(slot_.stops, 1);
  EXPECT_GE(indexOf(events, "status", "value", -1), 0);
}

TEST_F(StopTest, RepeatedStopsNeverHangAndTheNextActionWaitsForStop) {
  for (int round = 0; round < 20; ++round) {
    slot_.delayCompleted = true;
    auto events = runStation("start\nstop\nstart\nstop\n");
    ASSERT_FALSE(slot_.delayCompleted) << "round " << round;
    ASSERT_EQ(events.back()["code"], 0);
    // The second start arrives while Stop still waits for the worker; it is carried out after
    // Stop has finished, when Start is enabled again.
    ASSERT_EQ(indexOf(events, "refused"), -1) << "round " << round;
  }
}

}  // namespace
}  // namespace stationtest
