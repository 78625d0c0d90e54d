// The road of one Qca9206 DUT through the headless station on the virtual bench: the default
// road chosen through the platform menu and the file panel, backup and restore with the EFS
// backup and its check, and the roads that end red or recover.

#include <fstream>

#include "integration/road/road_fixture.h"

namespace road_test {
namespace {

bool isMessage(const json& e, const std::string& text) {
  return e["event"] == "message" && e["text"] == text;
}

// The Qca9206 road: the bench and its working directory as for every road, a Qca9206 firmware
// of its own and Platform/Qca9206.ini.
class Qca9206RoadTest : public Qca9x07RoadTest {
 protected:
  void SetUp() override {
    Qca9x07RoadTest::SetUp();
    if (HasFatalFailure()) return;
    const test_support::ProgramRun made =
        test_support::runProgram({binPath("zendral-bench"), "make-firmware", "--platform",
                                  "Qca9206", nand().string(), "--size-scale", "0.01"});
    ASSERT_EQ(made.status, 0) << made.out << made.err;
    cfg_["current"] = "Qca_9206";
    flags_["SupportHalvoA"] = true;
    settings_ = {{"Dir Path", nand().string()},
                 {"CheckCFUN", "+CFUN: 1"},
                 {"Flash512", "512"},
                 {"FirmwareTypeDef", "FIRMWARE_1G"}};
  }

  fs::path nand() const { return dir_ / "nand"; }

  // Writes Platform/Qca9206.ini, then starts the station.
  void startNandStation(bool pressStart = true) {
    IniDocumentPtr doc(Ini_New(0));
    for (const auto& [key, value] : settings_)
      Ini_PutString(doc.get(), "Dir", key.c_str(), value.c_str());
    for (const auto& [key, on] : nandFlags_) Ini_PutBoolean(doc.get(), "Dir", key.c_str(), on);
    ASSERT_EQ(Ini_WriteToFile(doc.get(), (dir_ / "Platform/Qca9206.ini").c_str()), 0);
    startStation(pressStart);
  }

  std::string plugNand(const std::string& flash = "512",
                       const std::vector<std::string>& faults = {}) {
    const json reply = benchRequest(
        {{"cmd", "plug"}, {"platform", "Qca9206"}, {"flash", flash}, {"faults", faults}});
    EXPECT_TRUE(host::benchReplyOk(reply)) << reply.dump();
    return reply.value("id", "");
  }

  // The partitions the firmware's partition XML lists, with the files they must hold.
  std::map<std::string, fs::path> nandPartitions() const {
    const fs::path f = nand();
    return {{"sbl", f / "sbl1.mbn"},          {"tz", f / "tz.mbn"},
            {"rpm", f / "rpm.mbn"},           {"aboot", f / "appsboot.mbn"},
            {"boot", f / "mdm9607-boot.img"}, {"system", f / "mdm9607-sysfs.ubi"},
            {"modem", f / "NON-HLOS.ubi"}};
  }

  // Every listed partition holds its file; the partition table, when the module records it,
  // holds the firmware's.
  void expectNandWritten(const std::string& id) {
    std::map<std::string, fs::path> sources = nandPartitions();
    const json state = moduleState(id);
    for (const json& record : state["partitions"]) {
      if (record["name"] == "partition") sources["partition"] = nand() / "partition.mbn";
    }
    expectPartitionsEqualFiles(id, sources);
  }

  std::string messagesText() { return json(station_->messages()).dump(1); }

  // The operator repowers the module; true when the station then reports "Update Success!".
  bool replugAndWaitForSuccess(const std::string& id) {
    const size_t mark = station_->eventCount();
    benchRequest({{"cmd", "replug"}, {"id", id}});
    return station_->waitForAfter(mark,
                                  [](const json& e) { return isMessage(e, "Update Success!"); });
  }

  std::map<std::string, std::string> settings_;
  std::map<std::string, bool> nandFlags_;
};

// ---- The default road ----

TEST_F(Qca9206RoadTest, MenuFolderAndStartEndGreenWithEveryListedPartitionWritten) {
  // The station starts on another platform; the operator picks Qca9206 from the menu, chooses
  // the firmware folder in the file panel, closes it and presses Start.
  cfg_["current"] = "Qca_9x07";
  const std::string id = plugNand();
  startNandStation(false);
  station_->send("platform Qca9206");
  station_->send("folder " + nand().string());
  station_->send("close-files");
  station_->send("start");
  ASSERT_TRUE(station_->waitForMessage("Download Success!")) << messagesText();
  ASSERT_TRUE(waitForSuccess()) << messagesText();
  EXPECT_TRUE(station_->waitForMessage("waiting for reboot device..."));
  EXPECT_TRUE(station_->waitForMessage("Downloading sbl1.mbn ..."));
  expectNandWritten(id);
  EXPECT_EQ(moduleState(id)["mode"], "normal");
  for (const json& e : station_->events()) {
    EXPECT_FALSE(e["event"] == "box") << e.dump();
  }
  const std::string log = readText(dir_ / "Dut1.log");
  EXPECT_NE(log.find("Platform:9206"), std::string::npos);
  EXPECT_NE(log.find("Download Success!"), std::string::npos);
  quitStation();
  EXPECT_EQ(station_->exitCode(), 0);
}

// ---- Backup and restore, with the EFS backup and its check ----

TEST_F(Qca9206RoadTest, BackupRestoreKeepsTheCalibrationAndBacksUpEfs) {
  flags_["BacupRestorQcn"] = true;
  nandFlags_["NotUseQPST"] = true;
  const std::string id = plugNand();
  const json before = moduleState(id);
  startNandStation();
  ASSERT_TRUE(waitForSuccess()) << messagesText();
  EXPECT_TRUE(station_->waitForMessage("Waiting recovery xqcn...long time please replug dut."));
  EXPECT_TRUE(station_->waitForMessage("backup efs2 Success,waiting reboot..."));
  EXPECT_TRUE(fs::is_regular_file(nand() / (before["imei"].get<std::string>() + ".xqcn")));
  const json after = moduleState(id);
  EXPECT_EQ(after["nvSha256"], before["nvSha256"]);
  EXPECT_EQ(after["efsBackup"], "done");
  expectNandWritten(id);
}

TEST_F(Qca9206RoadTest, AFailedEfsCheckIsRetriedOnTheNextArrival) {
  flags_["BacupRestorQcn"] = true;
  nandFlags_["NotUseQPST"] = true;
  const std::string id = plugNand("512", {"efs-backup-fail"});
  startNandStation();
  ASSERT_TRUE(station_->waitForMessage("efs2 backup failed!,please repower 1 DUT"))
      << messagesText();
  ASSERT_TRUE(waitForFailure());
  // The operator repowers the module: its return backs up EFS again, the next one checks it.
  ASSERT_TRUE(replugAndWaitForSuccess(id)) << messagesText();
  EXPECT_EQ(moduleState(id)["efsBackup"], "done");
}

// ---- Roads that end red ----

TEST_F(Qca9206RoadTest, ADownloadThatSendsNoImageEndsWithPartitionDiff) {
  const std::string id = plugNand("512", {"stream-quiet"});
  startNandStation();
  ASSERT_TRUE(station_->waitForMessage("Download Failed!,Partition diff!")) << messagesText();
  ASSERT_TRUE(waitForFailure());
  EXPECT_NE(readText(dir_ / "Dut1.log").find("Download Failed!,Partition diff!"),
            std::string::npos);
  EXPECT_EQ(moduleState(id)["faults"], json::array({"stream-quiet"}));
}

TEST_F(Qca9206RoadTest, OneGigabyteFirmwareOnAFiveHundredTwelveMegabyteModuleEndsRed) {
  std::ofstream(nand() / "FIRMWARE_1G") << "1G";
  const std::string id = plugNand("512");
  startNandStation();
  ASSERT_TRUE(station_->waitForMessage(
      "You can't download 1G firmware to 512 Flash!, Please check No1 DUT firmware version."))
      << messagesText();
  ASSERT_TRUE(waitForFailure());
  const json state = moduleState(id);
  EXPECT_TRUE(state["partitions"].empty()) << "nothing is flashed";
  EXPECT_EQ(state["mode"], "normal") << "the module was never switched";
}

TEST_F(Qca9206RoadTest, OneGigabyteFirmwareOnAOneGigabyteModuleIsWritten) {
  std::ofstream(nand() / "FIRMWARE_1G") << "1G";
  const std::string id = plugNand("1024");
  startNandStation();
  ASSERT_TRUE(waitForSuccess()) << messagesText();
  expectNandWritten(id);
}

TEST_F(Qca9206RoadTest, AMalformedPartitionXmlShowsTheBoxAndFailsTheLoad) {
  std::ofstream(nand() / "partition_nand.xml") << "<nandboot><partition><name>0:SBL</name>";
  startNandStation(false);
  ASSERT_TRUE(station_->waitFor([](const json& e) {
    return e["event"] == "box" && e["title"] == "XML Error" &&
           !e["text"].get<std::string>().empty();
  }));
  ASSERT_TRUE(station_->waitFor([](const json& e) {
    return e["event"] == "control" && e["name"] == "start" && e["dimmed"] == true;
  })) << "a failed load leaves Start dimmed";
  quitStation();
}

// ---- Unplug and recovery ----

TEST_F(Qca9206RoadTest, UnplugDuringThePartitionDownloadEndsRedAndAReplugRecovers) {
  const std::string id = plugNand("512", {"unplug:cp:50"});
  startNandStation();
  ASSERT_TRUE(station_->waitForMessage("Download Failed!")) << messagesText();
  ASSERT_TRUE(waitForFailure());
  ASSERT_TRUE(replugAndWaitForSuccess(id)) << messagesText();
  expectNandWritten(id);
}

// ---- Names the short layout cannot hold ----

TEST_F(Qca9206RoadTest, EightCharacterLabelsAreWrittenWholeThroughTheLongNameBuild) {
  // The firmware's own update list names the partitions with longer labels.
  std::string xml = "<?xml version=\"1.0\"?>\n<nandboot><partitions>\n";
  for (const auto& [label, file] :
       std::vector<std::pair<std::string, std::string>>{{"SBL", "sbl1.mbn"},
                                                        {"TZ", "tz.mbn"},
                                                        {"RPM", "rpm.mbn"},
                                                        {"aboot", "appsboot.mbn"},
                                                        {"recovery", "mdm9607-boot.img"},
                                                        {"system", "mdm9607-sysfs.ubi"},
                                                        {"modemst1", "NON-HLOS.ubi"}}) {
    xml += "<partition><name>0:" + label + "</name><img_name>" + file + "</img_name></partition>\n";
  }
  std::ofstream(nand() / "partition_nand_update.xml") << xml << "</partitions></nandboot>\n";
  const std::string id = plugNand();
  startNandStation();
  ASSERT_TRUE(waitForSuccess()) << messagesText();
  std::map<std::string, fs::path> sources = nandPartitions();
  sources.erase("boot");
  sources.erase("modem");
  sources["recovery"] = nand() / "mdm9607-boot.img";
  sources["modemst1"] = nand() / "NON-HLOS.ubi";
  const json state = moduleState(id);
  for (const json& record : state["partitions"]) {
    if (record["name"] == "partition") sources["partition"] = nand() / "partition.mbn";
  }
  expectPartitionsEqualFiles(id, sources);
}

}  // namespace
}  // namespace road_test
