// The road of one Qca9x07 DUT through the headless station on the virtual bench: the default
// road, backup and restore, the two operator modes, and the roads that end red.

#include <regex>

#include "road_fixture.h"

namespace road_test {
namespace {

bool isMessage(const json& e, const std::string& text) {
  return e["event"] == "message" && e["text"] == text;
}

// ---- The default road ----

TEST_F(Qca9x07RoadTest, DefaultRoadEndsGreenWithEveryPartitionEqualToItsFile) {
  const std::string id = plug();
  startStation();
  ASSERT_TRUE(waitForSuccess()) << "messages: " << json(station_->messages()).dump(1);
  expectPartitionsEqualFiles(id, defaultPartitions());
  const json state = moduleState(id);
  EXPECT_EQ(state["mode"], "normal");
  for (const json& record : state["partitions"]) {
    const bool streamed = record["name"] == "partition" || record["name"] == "sbl" ||
                          record["name"] == "tz" || record["name"] == "devcfg" ||
                          record["name"] == "rpm";
    EXPECT_EQ(record["via"], streamed ? "streaming" : "fastboot") << record["name"];
  }

  std::ifstream log(dir_ / "Dut1.log");
  std::string header, platform;
  std::getline(log, header);
  std::getline(log, platform);
  EXPECT_TRUE(std::regex_match(
      header,
      std::regex(
          R"(-------------Zendral road\(Build:\w{3} [ \d]\d \d{4} \d\d:\d\d:\d\d\)-----------\r?)")))
      << header;
  EXPECT_TRUE(
      std::regex_match(platform, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d: Platform:9x07\r?)")))
      << platform;
  const std::string text = readText(dir_ / "Dut1.log");
  for (const char* line : {"CP Download Success!", "Downloading sbl1.mbn...",
                           "AP Download Success.", "Update Success!"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
  quitStation();
  EXPECT_EQ(station_->exitCode(), 0);
}

// ---- Backup and restore ----

TEST_F(Qca9x07RoadTest, BackupRestoreKeepsTheModulesCalibration) {
  flags_["BacupRestorQcn"] = true;
  const std::string id = plug();
  const json before = moduleState(id);
  startStation();
  ASSERT_TRUE(waitForSuccess()) << "messages: " << json(station_->messages()).dump(1);

  const fs::path backup = firmware() / (before["imei"].get<std::string>() + ".xqcn");
  EXPECT_TRUE(fs::is_regular_file(backup)) << backup;
  // The AP download rewrote the EFS (erase and flash of efs2), so equal items mean the
  // restore after the AP download put them back.
  const json after = moduleState(id);
  EXPECT_EQ(after["nvSha256"], before["nvSha256"]);
  EXPECT_TRUE(station_->waitForMessage("Waiting recovery xqcn..."));

  // The firmware's own boot loader is streamed in place of the station's boot image, and the
  // EFS image is written over fastboot.
  std::map<std::string, fs::path> sources = defaultPartitions();
  sources["efs2"] = firmware() / "efs2.qmbn";
  expectPartitionsEqualFiles(id, sources);
}

// Without the phone server the station unlocks the module with the SPC and puts it into FTM
// mode itself before it writes the items back.
TEST_F(Qca9x07RoadTest, BackupRestoreWithoutThePhoneServerKeepsTheModulesCalibration) {
  flags_["BacupRestorQcn"] = true;
  platformFlags_["NotUseQPST"] = true;
  const std::string id = plug();
  const json before = moduleState(id);
  startStation();
  ASSERT_TRUE(waitForSuccess()) << "messages: " << json(station_->messages()).dump(1);
  EXPECT_EQ(moduleState(id)["nvSha256"], before["nvSha256"]);
  EXPECT_TRUE(station_->waitForMessage("Send default SPC..."));
  EXPECT_TRUE(station_->waitForMessage("NV READ FTM MODE = 1: PASS"));
  EXPECT_TRUE(station_->waitForMessage("qcn recover success!"));
}

// ---- Operator modes ----

TEST_F(Qca9x07RoadTest, ApOnlySwitchesToFastbootAndWritesOnlyTheApImages) {
  flags_["OnlyAP"] = true;
  const std::string id = plug();
  startStation();
  ASSERT_TRUE(waitForSuccess()) << "messages: " << json(station_->messages()).dump(1);
  EXPECT_TRUE(station_->waitForMessage("Enter ToFastbootThreadFunction."));
  std::map<std::string, fs::path> written = defaultPartitions();
  written.erase("partition");  // nothing is streamed, so the partition table stays
  expectPartitionsEqualFiles(id, written);
  const json state = moduleState(id);
  for (const json& record : state["partitions"]) {
    EXPECT_EQ(record["via"], "fastboot") << record["name"] << ": AP-only writes over fastboot only";
  }
  const std::string text = readText(dir_ / "Dut1.log");
  EXPECT_EQ(text.find("CP Download"), std::string::npos) << "no CP download in AP-only mode";
}

TEST_F(Qca9x07RoadTest, QcnOnlyRestoresTheChosenFileAndNothingElse) {
  const std::string id = plug();
  const json before = moduleState(id);
  const int diag = comOf(id, "diag");
  const fs::path chosen = firmware() / "line7.xqcn";
  ASSERT_TRUE(host::benchReplyOk(benchRequest(
      {{"cmd", "qcn-backup"}, {"com", diag}, {"form", "xqcn"}, {"path", chosen.string()}})));
  // The module's calibration changes after the backup was made.
  ASSERT_TRUE(host::benchReplyOk(
      benchRequest({{"cmd", "nv-write"}, {"com", diag}, {"item", 550}, {"data", {1, 2, 3}}})));
  ASSERT_NE(moduleState(id)["nvSha256"], before["nvSha256"]);

  // The operator ticks QCN-only (which ticks backup/restore too), queues the chooser's answer
  // and presses Start.
  startStation(false);
  station_->send("check qcnonly on");
  station_->send("answer " + chosen.string());
  station_->send("start");
  ASSERT_TRUE(station_->waitFor([](const json& e) {
    return e["event"] == "chooser" && e["title"] == "Please select 1 DUT qcn file" &&
           e["pattern"] == "*.xqcn";
  }));
  ASSERT_TRUE(waitForSuccess()) << "messages: " << json(station_->messages()).dump(1);
  const json after = moduleState(id);
  EXPECT_EQ(after["nvSha256"], before["nvSha256"]);
  EXPECT_TRUE(after["partitions"].empty()) << "nothing is downloaded in QCN-only mode";
}

// ---- Roads that end red ----

TEST_F(Qca9x07RoadTest, StreamingThatNeverAnnouncesAPartitionIsAPartitionDiff) {
  plug({"stream-quiet"});
  startStation();
  ASSERT_TRUE(station_->waitForMessage("CP Download Failed!,Partition diff!"));
  ASSERT_TRUE(waitForFailure());
  const std::vector<std::string> messages = station_->messages();
  EXPECT_EQ(std::count(messages.begin(), messages.end(),
                       "waiting for dut,long time please repower dut..."),
            0)
      << "a failed CP download does not wait for the fastboot device";
  EXPECT_NE(readText(dir_ / "Dut1.log").find("CP Download Failed!,Partition diff!"),
            std::string::npos);
}

// A module whose hello never comes, or comes without a Sahara version, is given up after the
// tries; one whose hello comes late (usually after the first try) is still reached.
TEST_F(Qca9x07RoadTest, SaharaWithoutAHelloOrVersionEndsRedAndALateHelloIsWaitedFor) {
  for (const char* fault : {"sahara-silent", "sahara-version0"}) {
    const std::string id = plug({fault});
    const size_t mark = station_ ? station_->eventCount() : 0;
    if (!station_) startStation();
    ASSERT_TRUE(station_->waitForAfter(mark, [](const json& e) {
      return isMessage(e, "Connect Sahara Server failed, Please repower No1 DUT.");
    })) << fault;
    ASSERT_TRUE(waitForFailure());
    EXPECT_TRUE(moduleState(id)["partitions"].empty()) << fault;
    unplug(id);
  }
  const size_t mark = station_->eventCount();
  const std::string late = plug({"sahara-slow:250"});
  ASSERT_TRUE(
      station_->waitForAfter(mark, [](const json& e) { return isMessage(e, "Update Success!"); }))
      << "messages: " << json(station_->messages()).dump(1);
  expectPartitionsEqualFiles(late, defaultPartitions());
}

TEST_F(Qca9x07RoadTest, FailingApPartitionEndsRedAndTheNextModuleSucceeds) {
  const std::string first = plug({"fastboot-fail:system"});
  startStation();
  ASSERT_TRUE(station_->waitForMessage("AP Download Failed."));
  ASSERT_TRUE(waitForFailure());
  unplug(first);
  ASSERT_TRUE(station_->waitForMessage("Device unplug."));

  const size_t mark = station_->eventCount();
  const std::string second = plug();
  ASSERT_TRUE(
      station_->waitForAfter(mark, [](const json& e) { return isMessage(e, "Update Success!"); }))
      << "messages: " << json(station_->messages()).dump(1);
  expectPartitionsEqualFiles(second, defaultPartitions());
}

TEST_F(Qca9x07RoadTest, UnplugDuringApEndsRedStopAnswersAndTheNextRunSucceeds) {
  const std::string first = plug({"unplug:ap:50"});
  startStation();
  ASSERT_TRUE(waitForFailure()) << "messages: " << json(station_->messages()).dump(1);
  EXPECT_TRUE(station_->waitForMessage("AP Download Failed."));

  // Stop ends listening at once: Start is offered again.
  size_t mark = station_->eventCount();
  station_->send("stop");
  ASSERT_TRUE(station_->waitForAfter(mark, [](const json& e) {
    return e["event"] == "control" && e["name"] == "start" && e["dimmed"] == false;
  }));

  mark = station_->eventCount();
  const std::string second = plug();
  station_->send("start");
  ASSERT_TRUE(
      station_->waitForAfter(mark, [](const json& e) { return isMessage(e, "Update Success!"); }))
      << "messages: " << json(station_->messages()).dump(1);
  expectPartitionsEqualFiles(second, defaultPartitions());
  quitStation();
  EXPECT_EQ(station_->exitCode(), 0);
}

TEST_F(Qca9x07RoadTest, StopDuringTheCpPortWaitEndsTheDownload) {
  plug({"no-download-port"});
  startStation();
  ASSERT_TRUE(station_->waitForMessage("Waiting port..."));
  const size_t mark = station_->eventCount();
  station_->send("stop");
  ASSERT_TRUE(station_->waitForAfter(mark, [](const json& e) {
    return e["event"] == "control" && e["name"] == "start" && e["dimmed"] == false;
  })) << "Stop does not return";
  // The stopped worker is gone: nothing follows but the station's own answer to quit.
  quitStation();
  EXPECT_EQ(station_->exitCode(), 0);
  const std::vector<json> events = station_->events();
  size_t stopDone = 0;
  for (size_t i = mark; i < events.size(); ++i) {
    if (events[i]["event"] == "control" && events[i]["name"] == "start" &&
        events[i]["dimmed"] == false) {
      stopDone = i;
      break;
    }
  }
  for (size_t i = stopDone; i < events.size(); ++i) {
    EXPECT_FALSE(isMessage(events[i], "Waiting port...")) << "the port wait went on after Stop";
    EXPECT_FALSE(isMessage(events[i], "Download port not found, Please repower 1 DUT."));
  }
}

}  // namespace
}  // namespace road_test
