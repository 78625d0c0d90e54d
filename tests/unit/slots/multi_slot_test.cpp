// Several slots at once: each module keeps the slot of its USB port through every
// re-enumeration, a fastboot device goes to the slot of its port, a slot gives its port up
// when its module is unplugged while it is idle, pinned slots take only their own port, and
// Stop stops every busy slot.

#include <atomic>
#include <map>

#include "host/clock.h"
#include "host/report.h"
#include "platform/platform_settings.h"
#include "slots_fixture.h"
#include "station/dut_slots.h"
#include "station/port_discovery.h"
#include "station/slot_access.h"
#include "station/slot_binding.h"
#include "station/slot_stop.h"
#include "station/worker_scheduling.h"

namespace slotstest {
namespace {

using ::testing::ElementsAre;

// The messages each DUT's row showed.
class PerDutSurface : public host::OperatorSurface {
 public:
  void setDutMessage(int dut, const std::string& text) override {
    std::lock_guard lock(mutex_);
    messages_[dut].push_back(text);
  }
  void setDutProgress(int, double, const std::string&) override {}
  void setDutStatus(int, int, host::Rgb, bool, host::Rgb) override {}
  void messageBox(const std::string&, const std::string&) override {}
  std::vector<std::string> messages(int dut) {
    std::lock_guard lock(mutex_);
    return messages_[dut];
  }

 private:
  std::mutex mutex_;
  std::map<int, std::vector<std::string>> messages_;
};

class MultiSlotTest : public SlotsTest {
 protected:
  void SetUp() override {
    SlotsTest::SetUp();
    host::installSurface(&surface_);
    previousSlots_ = installDutSlots(&stationDutSlots());
    configure({});
  }
  void TearDown() override {
    host::requestStop();
    destroySlotPools();
    installDutSlots(previousSlots_);
    resetSlotBindings();
    setDutCount(1);
    SlotsTest::TearDown();
  }

  // Four slots, pinned as given.
  void configure(const std::vector<std::string>& pinned) {
    setDutCount(4);
    configureSlotBindings(4, pinned);
    createSlotPools(host::uiLoop());
  }

  // The module on hub port `port` shows its diagnostic and AT ports; the scan runs as an
  // arrival does and every worker it started finishes.
  void plugModule(const std::string& port, int diag, int at) {
    directory_.addSerialPort(atName(at), tty(at), 0, false, port);
    directory_.addSerialPort(diagName(diag), tty(diag), 0, false, port);
    ScanComPorts();
    settleAll();
  }
  void unplugModule(int diag, int at) {
    directory_.removeSerialPort(tty(diag), false);
    directory_.removeSerialPort(tty(at), false);
    fnDeviceChangeCB(host::DeviceChange::Removal);
    settleAll();
  }
  void settleAll() {
    for (int index = 0; index < dutCount(); ++index) {
      while (true) {
        const int id = static_cast<int>(loadField(gThreadData[index].threadId));
        if (id == 0) break;
        slotPool(index)->waitUntilFinished(id);
        if (static_cast<int>(loadField(gThreadData[index].threadId)) == id) break;
      }
    }
  }
  // The DUT numbers of the CP downloads that ran, in order.
  std::vector<int> cpDuts() {
    std::vector<int> duts;
    for (const OperationCall& call : FakePlatform::calls()) {
      if (call.operation == "cp") duts.push_back(call.request.slot);
    }
    return duts;
  }

  PerDutSurface surface_;
  DutSlots* previousSlots_ = nullptr;
};

TEST_F(MultiSlotTest, ModulesTakeTheLowestFreeSlotsAndKeepThemThroughReEnumeration) {
  FakePlatform::cpResults = {-1, -1, -1};
  plugModule("1-3", 31, 32);
  plugModule("1-1", 11, 12);
  EXPECT_EQ(slotPortPath(0), "1-3");
  EXPECT_EQ(slotPortPath(1), "1-1");
  EXPECT_EQ(gThreadData[0].diaport, 31);
  EXPECT_EQ(gThreadData[0].atport, 32);
  EXPECT_EQ(gThreadData[1].diaport, 11);
  EXPECT_EQ(gThreadData[1].atport, 12);
  EXPECT_THAT(cpDuts(), ElementsAre(1, 2));

  // DUT 1's module reboots after its download: its ports go away and its slot waits for it...
  setSlotState(gThreadData[0], DUT_WAIT_REBOOT);
  unplugModule(31, 32);
  EXPECT_EQ(slotPortPath(0), "1-3");
  // ...while a third module arrives and takes the next free slot...
  plugModule("1-2", 21, 22);
  EXPECT_EQ(slotPortPath(2), "1-2");
  // ...and it comes back with other COM numbers on its own port: its slot ends the run.
  plugModule("1-3", 35, 36);
  EXPECT_EQ(gThreadData[0].diaport, 35);
  EXPECT_THAT(surface_.messages(1), ::testing::Contains("Update Success!"));
  EXPECT_THAT(surface_.messages(3), ::testing::Not(::testing::Contains("Update Success!")));
  EXPECT_THAT(cpDuts(), ElementsAre(1, 2, 3));
}

TEST_F(MultiSlotTest, AFastbootDeviceGoesToTheSlotOfItsPort) {
  FakePlatform::cpResults = {-1, -1};
  FakePlatform::apResults = {-1};
  plugModule("1-1", 11, 12);
  plugModule("1-2", 21, 22);
  setSlotState(gThreadData[0], DUT_WAIT_AP);
  setSlotState(gThreadData[1], DUT_WAIT_AP);
  const std::string first = host::usbInterfacePath(0x18D1, 0xD00D, "bench-9");
  directory_.addUsbInterface(first, false, "1-2");
  ScanFastbootDevices();
  settleAll();
  const std::vector<OperationCall> calls = FakePlatform::calls();
  ASSERT_EQ(calls.back().operation, "ap");
  EXPECT_EQ(calls.back().request.slot, 2) << "not the first slot that waits";
  EXPECT_EQ(slotState(gThreadData[0]), DUT_WAIT_AP);

  // A device on a port no slot follows takes a free slot: an idle one starts its AP download.
  directory_.removeUsbInterface(first, false);
  directory_.addUsbInterface(host::usbInterfacePath(0x18D1, 0xD00D, "bench-8"), false, "1-7");
  ScanFastbootDevices();
  settleAll();
  EXPECT_EQ(FakePlatform::calls().back().request.slot, 3);
  EXPECT_EQ(slotPortPath(2), "1-7");
}

TEST_F(MultiSlotTest, UnplugInAnIdleSlotFreesItAndTouchesNoOtherSlot) {
  FakePlatform::cpResults = {-1, -1, -1};
  plugModule("1-1", 11, 12);
  plugModule("1-2", 21, 22);
  unplugModule(11, 12);
  EXPECT_THAT(surface_.messages(1), ::testing::Contains("Device unplug."));
  EXPECT_THAT(surface_.messages(2), ::testing::Not(::testing::Contains("Device unplug.")));
  EXPECT_TRUE(surface_.messages(3).empty()) << "a slot without a module has nothing to lose";
  EXPECT_EQ(slotPortPath(0), "");
  EXPECT_EQ(gThreadData[0].diaport, 0);
  EXPECT_EQ(slotPortPath(1), "1-2");
  EXPECT_EQ(loadField(gThreadData[1].present), 1);

  // The module plugged into another port takes the lowest free slot: the one it left.
  plugModule("1-4", 41, 42);
  EXPECT_EQ(slotPortPath(0), "1-4");
  EXPECT_THAT(cpDuts(), ElementsAre(1, 2, 1));
}

TEST_F(MultiSlotTest, AModulePulledDuringItsRunKeepsItsSlotUntilNoOtherIsFree) {
  FakePlatform::cpResults = {-1, -1, -1, -1, -1};
  plugModule("1-1", 11, 12);
  setSlotState(gThreadData[0], DUT_AP_DOWNLOAD);
  unplugModule(11, 12);
  setSlotState(gThreadData[0], DUT_IDLE);  // the run ends red
  EXPECT_THAT(surface_.messages(1), ::testing::Not(::testing::Contains("Device unplug.")));
  // Plugged into another port, the module gets a new slot; the old one stays bound.
  plugModule("1-5", 51, 52);
  EXPECT_EQ(slotPortPath(1), "1-5");
  EXPECT_EQ(slotPortPath(0), "1-1");
  plugModule("1-2", 21, 22);
  plugModule("1-3", 31, 32);
  // With every slot taken, the vacated one goes to the next module.
  plugModule("1-4", 41, 42);
  EXPECT_EQ(slotPortPath(0), "1-4");
  EXPECT_THAT(cpDuts(), ElementsAre(1, 2, 3, 4, 1));
}

TEST_F(MultiSlotTest, PinnedSlotsTakeOnlyTheirPortAndKeepIt) {
  configure({"", "1-5"});
  FakePlatform::cpResults = {-1, -1};
  plugModule("1-5", 51, 52);
  plugModule("1-6", 61, 62);
  EXPECT_EQ(gThreadData[1].diaport, 51);
  EXPECT_EQ(gThreadData[0].diaport, 61);
  EXPECT_THAT(cpDuts(), ElementsAre(2, 1));
  unplugModule(51, 52);
  EXPECT_EQ(slotPortPath(1), "1-5");
  EXPECT_EQ(gThreadData[1].diaport, 0) << "the next module there starts afresh";
}

TEST_F(MultiSlotTest, EveryPortOfAFullStationWaitsForAFreeSlot) {
  FakePlatform::cpResults = {-1, -1, -1, -1, -1};
  for (int port = 1; port <= 5; ++port) {
    plugModule("1-" + std::to_string(port), 10 * port + 1, 10 * port + 2);
  }
  EXPECT_THAT(cpDuts(), ElementsAre(1, 2, 3, 4));
  EXPECT_EQ(bPortPresent(51), 0);
  unplugModule(11, 12);
  ScanComPorts();
  settleAll();
  EXPECT_EQ(slotPortPath(0), "1-5");
  EXPECT_THAT(cpDuts(), ElementsAre(1, 2, 3, 4, 1));
}

// A CP download that keeps its slot busy until the station stops it.
void busyUntilStopped(const std::string& operation, const DownloadRequest& request) {
  if (operation != "cp") return;
  updateMesage(request.slot, "Downloading sbl1.mbn...");
  while (host::Delay(0.5)) {
  }
}

TEST_F(MultiSlotTest, StopEndsEveryBusySlot) {
  FakePlatform::hook = busyUntilStopped;
  for (int port = 1; port <= 4; ++port) {
    const int com = 10 * port;
    directory_.addSerialPort(diagName(com + 1), tty(com + 1), 0, false,
                             "1-" + std::to_string(port));
  }
  ScanComPorts();
  for (ThreadData& slot : activeSlots()) EXPECT_EQ(slotState(slot), DUT_CP_DOWNLOAD);
  stopAllSlots();
  for (int index = 0; index < 4; ++index) {
    EXPECT_EQ(slotState(gThreadData[index]), DUT_IDLE) << index;
    EXPECT_FALSE(slotWorkerRunning(gThreadData[index])) << index;
    // Every row is reset, also of a worker that ended by itself once the stop was asked for.
    ASSERT_FALSE(surface_.messages(index + 1).empty()) << index;
    EXPECT_EQ(surface_.messages(index + 1).back(), "") << index;
  }
  EXPECT_EQ(stationDutSlots().findBusySlot(), -1);
}

TEST_F(MultiSlotTest, StopSlotStopsOnlyItsSlotWhileTheOthersGoOnToSuccess) {
  // DUT 1's download runs until its stop ends its waits (the bound only keeps a missing stop
  // from hanging the test); DUT 2's runs until released, and notes a wait that ended early.
  std::atomic<bool> stopping{true}, released{false}, dut2Interrupted{false}, dut1RanOut{false};
  std::atomic<int> entered = 0;
  FakePlatform::hook = [&](const std::string& operation, const DownloadRequest& request) {
    if (operation != "cp") return;
    if (request.slot == 1) {
      if (!stopping) return;
      ++entered;
      for (int wait = 0; host::sleepMs(1); ++wait) {
        if (wait == 10000) return void(dut1RanOut = true);
      }
      return;
    }
    setUpdatedCp(request.slot, 1);
    ++entered;
    while (!released) {
      if (!host::sleepMs(1)) return void(dut2Interrupted = true);
    }
  };
  for (int port = 1; port <= 2; ++port) {
    directory_.addSerialPort(diagName(10 * port + 1), tty(10 * port + 1), 0, false,
                             "1-" + std::to_string(port));
  }
  ScanComPorts();
  while (entered < 2) host::sleepMs(1);

  StopSlot(0);
  EXPECT_FALSE(dut1RanOut) << "DUT 1's waits ended at its stop";
  EXPECT_EQ(slotState(gThreadData[0]), DUT_IDLE);
  EXPECT_FALSE(slotWorkerRunning(gThreadData[0]));
  ASSERT_FALSE(surface_.messages(1).empty());
  EXPECT_EQ(surface_.messages(1).back(), "") << "DUT 1's row shows the stopped state";
  EXPECT_EQ(slotState(gThreadData[1]), DUT_CP_DOWNLOAD) << "DUT 2 still runs";
  EXPECT_FALSE(host::stopRequested()) << "the station does not stop";

  // DUT 2 goes on through its AP download and its reboot to success.
  released = true;
  settleAll();
  EXPECT_FALSE(dut2Interrupted);
  ASSERT_EQ(slotState(gThreadData[1]), DUT_WAIT_AP);
  directory_.addUsbInterface(host::usbInterfacePath(0x18D1, 0xD00D, "bench-2"), false, "1-2");
  ScanFastbootDevices();
  settleAll();
  ASSERT_EQ(slotState(gThreadData[1]), DUT_WAIT_REBOOT);
  directory_.removeUsbInterface(host::usbInterfacePath(0x18D1, 0xD00D, "bench-2"), false);
  unplugModule(21, 22);
  plugModule("1-2", 21, 22);
  EXPECT_THAT(surface_.messages(2), ::testing::Contains("Update Success!"));
  EXPECT_THAT(surface_.messages(1), ::testing::Not(::testing::Contains("Update Success!")));

  // The stopped slot takes its module's next run.
  stopping = false;
  unplugModule(11, 12);
  plugModule("1-1", 11, 12);
  EXPECT_THAT(cpDuts(), ElementsAre(1, 2, 1));
}

TEST_F(MultiSlotTest, EachDutKeepsItsOwnCpOutcome) {
  setUpdatedCp(1, 1);
  setPartionDiff(2, 1);
  setUpdatedCp(3, 0);
  EXPECT_EQ(updatedCpOf(1), 1);
  EXPECT_EQ(updatedCpOf(3), 0);
  EXPECT_EQ(partionDiffOf(1), 0);
  EXPECT_EQ(partionDiffOf(2), 1);
  setDutCount(1);
  EXPECT_EQ(updatedCpOf(1), 0) << "one slot reads the globals, which the last writer set";
  EXPECT_EQ(partionDiffOf(1), 1);
  setDutCount(4);
}

}  // namespace
}  // namespace slotstest
