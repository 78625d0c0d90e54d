// Stopping a slot whose worker is busy: a worker that keeps reporting to the UI thread while
// Stop waits for it always finishes (the UI loop keeps running), its waits end at once, and a
// worker queued while the slot still looks idle is waited for too.

#include <atomic>

#include "host/clock.h"
#include "host/event_loop.h"
#include "host/report.h"
#include "host/station_options.h"
#include "slots_fixture.h"
#include "station/dut_slots.h"
#include "station/port_discovery.h"
#include "station/slot_access.h"
#include "station/slot_stop.h"
#include "station/station_state.h"
#include "support/pty_peer.h"

namespace slotstest {
namespace {

using test_support::PtyPeer;

class StopTest : public SlotsTest {
 protected:
  void SetUp() override {
    SlotsTest::SetUp();
    previousSlots_ = installDutSlots(&stationDutSlots());
  }
  void TearDown() override {
    installDutSlots(previousSlots_);
    SlotsTest::TearDown();
  }
  DutSlots* previousSlots_ = nullptr;
};

// A CP download that reports its progress without pause until the station stops it, then
// reports its failure.
std::atomic<bool> gEntered{false};
void reportUntilStopped(const std::string& operation, const DownloadRequest& request) {
  gEntered = true;
  do {
    updateStatus(request.slot, 1);
    updateProgressBar(request.slot, 0.5);
    updateMesage(request.slot, "Downloading sbl1.mbn...");
  } while (host::Delay(0.5));
  updateStatus(request.slot, -1);
}

TEST_F(StopTest, StopWhileTheWorkerReportsNeverDeadlocksAndResetsTheRow) {
  FakePlatform::hook = reportUntilStopped;
  host::EventLoop& loop = host::uiLoop();
  ASSERT_TRUE(loop.bind());  // this thread is the UI thread: reports wait for it
  directory_.addSerialPort(diagName(12), tty(12), 0, false);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    gEntered = false;
    storeField(slot().present, 0);
    host::clearStop();
    ScanComPorts();
    ASSERT_EQ(slotState(slot()), DUT_CP_DOWNLOAD);
    loop.runUntil([] { return gEntered.load(); });
    surface_.clear();
    stopAllSlots();
    EXPECT_EQ(slotState(slot()), DUT_IDLE);
    EXPECT_EQ(stationDutSlots().findBusySlot(), -1);
    const auto events = surface_.events();
    ASSERT_GE(events.size(), 3u);
    EXPECT_NE(std::find(events.begin(), events.end(), "status -1"), events.end())
        << "the report made while Stop waited was drawn";
    EXPECT_EQ(std::vector<std::string>(events.end() - 3, events.end()),
              (std::vector<std::string>{"time 0", "message ", "progress 0"}));
  }
  loop.detach();
}

TEST_F(StopTest, WorkerQueuedWhileTheSlotIsIdleIsWaitedFor) {
  PtyPeer peer(PtyPeer::Behaviour::AnswerOk);
  directory_.addSerialPort(atName(9), peer.ttyPath(), 0, false);
  gOnlyAp = true;
  std::atomic<bool> release{false};
  const int blocker = gThreadPool->schedule([&] {
    while (!release) host::sleepMs(1);
    return 0;
  });
  directory_.addSerialPort(diagName(12), tty(12), 0, false);
  ScanComPorts();  // the AT switch is queued behind the blocker; the slot is still idle
  ASSERT_EQ(slotState(slot()), DUT_IDLE);
  EXPECT_EQ(stationDutSlots().findBusySlot(), 0) << "a queued worker makes the slot busy";
  release = true;
  stopAllSlots();
  gThreadPool->waitUntilFinished(blocker);
  EXPECT_EQ(slotState(slot()), DUT_IDLE) << "the switch did not leave it waiting after Stop";
  EXPECT_EQ(stationDutSlots().findBusySlot(), -1);
  EXPECT_EQ(peer.received(), "") << "a stopped switch sends nothing";
  EXPECT_EQ(slot().atBusy, 0);
}

TEST_F(StopTest, StopEndsARunningAtSwitchPromptly) {
  PtyPeer peer(PtyPeer::Behaviour::AnswerOk);
  directory_.addSerialPort(atName(9), peer.ttyPath(), 0, false);
  gOnlyAp = true;
  directory_.addSerialPort(diagName(12), tty(12), 0, false);
  ScanComPorts();
  while (peer.received().empty()) host::sleepMs(1);
  stopAllSlots();
  EXPECT_EQ(slotState(slot()), DUT_IDLE);
  EXPECT_LT(peer.received().size(), 10 * std::string("at+bootldr\r").size());
}

}  // namespace
}  // namespace slotstest
