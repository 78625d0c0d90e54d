// Several Qca9x07 modules on one station at once, each on its own hub port of the bench: all
// end green with their own partitions and logs, one failing leaves the others alone, a module
// pulled during its AP download touches no other slot and gets a new slot on another port, a
// module keeps its slot through every re-enumeration, and Stop ends four busy slots at once.

#include "road_fixture.h"

namespace road_test {
namespace {

bool isMessage(const json& e, const std::string& text) {
  return e["event"] == "message" && e["text"] == text;
}

class MultiSlotRoadTest : public Qca9x07RoadTest {
 protected:
  void SetUp() override {
    Qca9x07RoadTest::SetUp();
    cfg_["DutCount"] = "4";
  }

  // Plugs a module into hub port `port`; returns its id.
  std::string plugAt(int port, const std::vector<std::string>& faults = {}) {
    const json reply = benchRequest(
        {{"cmd", "plug"}, {"platform", "Qca9x07"}, {"port", port}, {"faults", faults}});
    EXPECT_TRUE(host::benchReplyOk(reply)) << reply.dump();
    return reply.value("id", "");
  }

  bool waitForSuccessOf(int dut, size_t after = 0) {
    return station_->waitForAfter(after, [dut](const json& e) {
      return e.value("dut", 0) == dut && isMessage(e, "Update Success!");
    });
  }
  bool waitForFailureOf(int dut) {
    return station_->waitFor([dut](const json& e) {
      return e.value("dut", 0) == dut && e["event"] == "status" && e["value"].get<int>() < 0;
    });
  }
  // The events of one DUT's row.
  std::vector<json> eventsOf(int dut) {
    std::vector<json> out;
    for (const json& e : station_->events()) {
      if (e.value("dut", 0) == dut) out.push_back(e);
    }
    return out;
  }
  // Whether DUT `dut`'s row listed COM `com` among its ports.
  bool rowShowedPort(int dut, int com) {
    const std::string item = "COM" + std::to_string(com);
    for (const json& e : eventsOf(dut)) {
      if (e["event"] == "ports" && e["items"] == json::array({item})) return true;
    }
    return false;
  }
  std::string messages() { return json(station_->messages()).dump(1); }
};

TEST_F(MultiSlotRoadTest, FourModulesAllEndGreenWithTheirOwnPartitionsAndLogs) {
  std::vector<std::string> ids;
  for (int port = 1; port <= 4; ++port) ids.push_back(plugAt(port));
  startStation();
  for (int dut = 1; dut <= 4; ++dut) {
    ASSERT_TRUE(waitForSuccessOf(dut)) << "DUT " << dut << ": " << messages();
  }
  for (int dut = 1; dut <= 4; ++dut) {
    SCOPED_TRACE(dut);
    // Module n has COM numbers 10n+1...: the module on hub port n is DUT n.
    EXPECT_TRUE(rowShowedPort(dut, 10 * dut + 1));
    expectPartitionsEqualFiles(ids[dut - 1], defaultPartitions());
    const std::string log = readText(dir_ / ("Dut" + std::to_string(dut) + ".log"));
    EXPECT_EQ(log.find("-------------Zendral road(Build:"), 0u);
    EXPECT_NE(log.find("CP Download Success!"), std::string::npos);
    EXPECT_NE(log.find("Update Success!"), std::string::npos);
    // One run per log: each DUT wrote its own file only.
    EXPECT_EQ(log.find("Update Success!"), log.rfind("Update Success!"));
    for (const json& e : eventsOf(dut)) {
      EXPECT_FALSE(e["event"] == "status" && e["value"].get<int>() < 0) << e.dump();
    }
  }
  quitStation();
  EXPECT_EQ(station_->exitCode(), 0);
}

TEST_F(MultiSlotRoadTest, OneModuleFailingLeavesTheOtherThreeGreen) {
  plugAt(1);
  const std::string failing = plugAt(2, {"fastboot-fail:system"});
  plugAt(3);
  plugAt(4);
  startStation();
  ASSERT_TRUE(waitForFailureOf(2)) << messages();
  for (int dut : {1, 3, 4}) ASSERT_TRUE(waitForSuccessOf(dut)) << dut << ": " << messages();
  for (const json& e : eventsOf(2)) EXPECT_FALSE(isMessage(e, "Update Success!"));
  EXPECT_NE(readText(dir_ / "Dut2.log").find("system"), std::string::npos);
}

TEST_F(MultiSlotRoadTest, AModulePulledDuringApTouchesNoOtherSlotAndGetsANewSlotElsewhere) {
  const std::string pulled = plugAt(1, {"unplug:ap:50"});
  plugAt(2);
  startStation();
  ASSERT_TRUE(waitForFailureOf(1)) << messages();
  ASSERT_TRUE(waitForSuccessOf(2)) << messages();
  ASSERT_TRUE(station_->waitFor([](const json& e) {
    return e.value("dut", 0) == 2 && e["event"] == "status" && e["value"] == 0;
  }));
  for (const json& e : eventsOf(2)) {
    EXPECT_FALSE(e["event"] == "status" && e["value"].get<int>() < 0) << e.dump();
    EXPECT_FALSE(isMessage(e, "Device unplug.")) << "the other module's unplug is not DUT 2's";
  }

  // Into another hub port: the module is a new module there. It takes the lowest free slot:
  // DUT 3, or DUT 1 when the station saw the unplug only after the failed run had ended (then
  // the slot was idle, showed "Device unplug." and gave its port up).
  const size_t mark = station_->eventCount();
  const json moved = benchRequest({{"cmd", "replug"}, {"id", pulled}, {"port", 5}});
  ASSERT_TRUE(host::benchReplyOk(moved)) << moved.dump();
  ASSERT_TRUE(station_->waitForAfter(mark, [](const json& e) {
    return isMessage(e, "Update Success!") && e.value("dut", 0) != 2;
  })) << messages();
  for (size_t i = mark; i < station_->events().size(); ++i) {
    const json e = station_->events()[i];
    EXPECT_NE(e.value("dut", 0), 2) << "DUT 2 is left alone: " << e.dump();
  }
  expectPartitionsEqualFiles(pulled, defaultPartitions());
}

TEST_F(MultiSlotRoadTest, AModuleKeepsItsSlotThroughEveryReEnumeration) {
  // DUT 1 is pinned to hub port 2, where module 2 (COM 21 ...) sits; module 1 (COM 11 ...) on
  // hub port 1 takes the lowest free slot, DUT 2.
  cfgSections_["Slots"]["Slot1"] = "1-2";
  plugAt(1);
  plugAt(2);
  startStation();
  ASSERT_TRUE(waitForSuccessOf(1)) << messages();
  ASSERT_TRUE(waitForSuccessOf(2)) << messages();
  // Each slot followed its module through the download port, fastboot and the reboot, and
  // never saw the other module's ports.
  EXPECT_TRUE(rowShowedPort(1, 21));
  EXPECT_TRUE(rowShowedPort(2, 11));
  for (int com : {11, 12, 13, 14}) EXPECT_FALSE(rowShowedPort(1, com)) << com;
  for (int com : {21, 22, 23, 24}) EXPECT_FALSE(rowShowedPort(2, com)) << com;
  for (int dut : {1, 2}) {
    int successes = 0;
    for (const json& e : eventsOf(dut)) successes += isMessage(e, "AP Download Success.");
    EXPECT_EQ(successes, 1) << "one AP download for DUT " << dut;
  }
}

TEST_F(MultiSlotRoadTest, StopWithFourBusySlotsReturnsAndLeavesNoWorker) {
  for (int port = 1; port <= 4; ++port) plugAt(port);
  startStation();
  // Every slot is at work.
  for (int dut = 1; dut <= 4; ++dut) {
    ASSERT_TRUE(station_->waitFor([dut](const json& e) {
      return e.value("dut", 0) == dut && e["event"] == "status" && e["value"] == 1;
    })) << dut;
  }
  const size_t mark = station_->eventCount();
  station_->send("stop");
  // Stop resets every row: the time text goes back to "0".
  for (int dut = 1; dut <= 4; ++dut) {
    ASSERT_TRUE(station_->waitForAfter(mark, [dut](const json& e) {
      return e.value("dut", 0) == dut && e["event"] == "time" && e["text"] == "0";
    })) << dut;
  }
  ASSERT_TRUE(station_->waitForAfter(mark, [](const json& e) {
    return e["event"] == "control" && e["name"] == "start" && e["dimmed"] == false;
  })) << "Stop came back";
  quitStation();
  EXPECT_EQ(station_->exitCode(), 0) << "no worker held the station up";
}

}  // namespace
}  // namespace road_test
