// The road of one Qca9x15 DUT through the headless station on the virtual bench: the default
// road with an AP image larger than one fastboot piece, backup and restore with the NV writes
// and the EFS backup after it, the two operator modes, an unplug in the AP pieces, a failing
// partition, and the platform chosen through the menu and the file panel.

#include "integration/road/road_fixture.h"

namespace road_test {
namespace {

// Larger than two fastboot pieces of 38,658,048 bytes: the partition arrives in three.
constexpr uint64_t kBigImageBytes = 100000000;

bool isMessage(const json& e, const std::string& text) {
  return e["event"] == "message" && e["text"] == text;
}

// The Qca9x07 road's bench, station and checks, with a Qca9x15 firmware and its settings.
class Qca9x15RoadTest : public Qca9x07RoadTest {
 protected:
  void SetUp() override {
    Qca9x07RoadTest::SetUp();
    if (HasFatalFailure()) return;
    cfg_["current"] = "Qca_9x15";
    flags_["SupportHalvoB"] = true;  // the menu's Qca9x15 item
    settings_ = {{"Dir Path", firmware().string()},
                 {"Qcn Path", firmware().string()},
                 {"CheckCFUN", "+CFUN: 1"}};
  }

  // A fresh Qca9x15 firmware; `bigImage` is written at kBigImageBytes.
  void makeFirmware(const std::string& bigImage = "") {
    fs::remove_all(firmware());
    std::vector<std::string> args = {binPath("zendral-bench"),
                                     "make-firmware",
                                     "--platform",
                                     "Qca9x15",
                                     firmware().string(),
                                     "--size-scale",
                                     "0.01",
                                     "--station-dir",
                                     dir_.string()};
    if (!bigImage.empty()) {
      args.push_back("--big-image");
      args.push_back(bigImage + "=" + std::to_string(kBigImageBytes));
    }
    const test_support::ProgramRun made = test_support::runProgram(args);
    ASSERT_EQ(made.status, 0) << made.out << made.err;
  }

  // Writes Platform/Qca9x15.ini, then starts the station as the Qca9x07 road does.
  void start(bool pressStart = true) {
    IniDocumentPtr ini(Ini_New(0));
    for (const auto& [key, value] : settings_)
      Ini_PutString(ini.get(), "Dir", key.c_str(), value.c_str());
    for (const auto& [key, on] : platformFlags_) Ini_PutBoolean(ini.get(), "Dir", key.c_str(), on);
    ASSERT_EQ(Ini_WriteToFile(ini.get(), (dir_ / "Platform/Qca9x15.ini").c_str()), 0);
    startStation(pressStart);
  }

  std::string plugModule(const std::vector<std::string>& faults = {}) {
    const json reply = benchRequest({{"cmd", "plug"}, {"platform", "Qca9x15"}, {"faults", faults}});
    EXPECT_TRUE(host::benchReplyOk(reply)) << reply.dump();
    return reply.value("id", "");
  }

  // What a download with backup/restore off leaves in the module: the streamed CP images
  // (the station's own boot loader in APPSBL) and the AP images written over fastboot.
  std::map<std::string, fs::path> expectedPartitions() const {
    const fs::path f = firmware();
    return {{"sbl1", f / "sbl1.mbn"},
            {"sbl2", f / "sbl2.mbn"},
            {"appsbl", dir_ / "appsboot_fastboot_9x15.mbn"},
            {"rpm", f / "rpm.mbn"},
            {"dsp1", f / "dsp1.mbn"},
            {"dsp2", f / "dsp2.mbn"},
            {"dsp3", f / "dsp3.mbn"},
            {"aboot", f / "appsboot.mbn"},
            {"boot", f / "boot.img"},
            {"system", f / "system.img"},
            {"userdata", f / "userdata.img"},
            {"recovery", f / "recovery.img"},
            {"recoveryfs", f / "recoveryfs.img"}};
  }

  // The fastboot commands the module received, in order.
  std::vector<std::string> fastbootCommands(const std::string& id) {
    std::vector<std::string> out;
    const json state = moduleState(id);
    for (const json& c : state["commands"]) {
      if (c["via"] == "fastboot") out.push_back(c["text"]);
    }
    return out;
  }

  // The operator repowers the module once the station waits for its reboot.
  void repowerWhenWaiting(const std::string& id, const std::string& waitingText) {
    ASSERT_TRUE(station_->waitForMessage(waitingText))
        << "messages: " << json(station_->messages()).dump(1);
    benchRequest({{"cmd", "replug"}, {"id", id}});
  }

  std::map<std::string, std::string> settings_;
  std::map<std::string, bool> platformFlags_;
};

// ---- The default road ----

TEST_F(Qca9x15RoadTest, DefaultRoadWritesABigImageInPiecesAndEndsGreen) {
  makeFirmware("system.img");
  const std::string id = plugModule();
  start();
  ASSERT_TRUE(waitForSuccess()) << "messages: " << json(station_->messages()).dump(1);
  expectPartitionsEqualFiles(id, expectedPartitions());

  std::vector<std::string> systemFlashes;
  for (const std::string& command : fastbootCommands(id)) {
    if (command.find(":system") != std::string::npos) systemFlashes.push_back(command);
  }
  EXPECT_EQ(systemFlashes,
            (std::vector<std::string>{"flash:system", "flashC:system", "flashC:system"}));
  const std::string log = readText(dir_ / "Dut1.log");
  for (const char* line :
       {"Platform:9x15", "Waiting switch To Download Mode...", "Downloading sbl1.mbn ...",
        "CP Download Success!", "AP Download Success.", "Update Success!"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
  quitStation();
  EXPECT_EQ(station_->exitCode(), 0);
}

TEST_F(Qca9x15RoadTest, BackupEfsKeyBacksUpTheEfsAfterTheApDownload) {
  makeFirmware();
  platformFlags_["BackupEFS"] = true;
  const std::string id = plugModule();
  start();
  ASSERT_TRUE(station_->waitForMessage("Waiting reboot to backup efs2..."));
  repowerWhenWaiting(id, "backup efs2 Success,waiting reboot...");
  ASSERT_TRUE(waitForSuccess()) << "messages: " << json(station_->messages()).dump(1);
  EXPECT_NE(moduleState(id)["efsBackup"], "none");
  expectPartitionsEqualFiles(id, expectedPartitions());
}

// ---- Backup and restore ----

TEST_F(Qca9x15RoadTest, BackupRestoreKeepsTheCalibrationButTheTwoItemsWrittenOnPurpose) {
  makeFirmware();
  flags_["BacupRestorQcn"] = true;
  flags_["WriteNvItem"] = true;
  platformFlags_["UseQcn"] = true;
  const std::string id = plugModule();
  const json before = moduleState(id);
  // The calibration the road must end with: the module's own, with the two items the station
  // clears before the download.
  const int diag = comOf(id, "diag");
  for (int item : {3628, 3629}) {
    ASSERT_TRUE(host::benchReplyOk(
        benchRequest({{"cmd", "nv-write"}, {"com", diag}, {"item", item}, {"data", {0}}})));
  }
  const std::string expectedNv = moduleState(id)["nvSha256"];
  start();
  repowerWhenWaiting(id, "backup efs2 Success,waiting reboot...");
  ASSERT_TRUE(waitForSuccess()) << "messages: " << json(station_->messages()).dump(1);

  const fs::path backup = firmware() / (before["imei"].get<std::string>() + ".qcn");
  EXPECT_TRUE(fs::is_regular_file(backup)) << backup;
  EXPECT_EQ(moduleState(id)["nvSha256"], expectedNv);
  for (const char* text : {"waiting WriteNvItem...", "AP Download Success,Wait reboot...",
                           "Waiting recovery xqcn...", "Enter downloadTpQca9x15..."}) {
    EXPECT_TRUE(station_->waitForMessage(text)) << text;
  }
}

TEST_F(Qca9x15RoadTest, BackupRestoreInXqcnFormByDefault) {
  makeFirmware();
  flags_["BacupRestorQcn"] = true;
  flags_["WriteNvItem"] = false;
  const std::string id = plugModule();
  const json before = moduleState(id);
  start();
  repowerWhenWaiting(id, "backup efs2 Success,waiting reboot...");
  ASSERT_TRUE(waitForSuccess()) << "messages: " << json(station_->messages()).dump(1);
  EXPECT_TRUE(fs::is_regular_file(firmware() / (before["imei"].get<std::string>() + ".xqcn")));
  EXPECT_EQ(moduleState(id)["nvSha256"], before["nvSha256"]);
}

// ---- Operator modes ----

TEST_F(Qca9x15RoadTest, QcnOnlyRestoresTheChosenFileAndNothingElse) {
  makeFirmware();
  const std::string id = plugModule();
  const json before = moduleState(id);
  const int diag = comOf(id, "diag");
  const fs::path chosen = firmware() / "line9.xqcn";
  ASSERT_TRUE(host::benchReplyOk(benchRequest(
      {{"cmd", "qcn-backup"}, {"com", diag}, {"form", "xqcn"}, {"path", chosen.string()}})));
  ASSERT_TRUE(host::benchReplyOk(
      benchRequest({{"cmd", "nv-write"}, {"com", diag}, {"item", 550}, {"data", {1, 2, 3}}})));
  // The option boxes are shown on Qca9x07 only: QCN-only comes from cfg.ini here.
  flags_["OnlyQcn"] = true;
  flags_["BacupRestorQcn"] = true;
  start(false);
  station_->send("answer " + chosen.string());
  station_->send("start");
  repowerWhenWaiting(id, "backup efs2 Success,waiting reboot...");
  ASSERT_TRUE(waitForSuccess()) << "messages: " << json(station_->messages()).dump(1);
  const json after = moduleState(id);
  EXPECT_EQ(after["nvSha256"], before["nvSha256"]);
  EXPECT_TRUE(after["partitions"].empty()) << "nothing is downloaded in QCN-only mode";
}

TEST_F(Qca9x15RoadTest, ApOnlyWritesOnlyTheApImages) {
  makeFirmware();
  flags_["OnlyAP"] = true;
  const std::string id = plugModule();
  start();
  ASSERT_TRUE(waitForSuccess()) << "messages: " << json(station_->messages()).dump(1);
  std::map<std::string, fs::path> apImages = expectedPartitions();
  for (const char* streamed : {"sbl1", "sbl2", "appsbl", "rpm", "dsp1", "dsp2", "dsp3"}) {
    apImages.erase(streamed);
  }
  expectPartitionsEqualFiles(id, apImages);
}

// ---- Roads that end red, and the recovery ----

TEST_F(Qca9x15RoadTest, UnplugInTheApPiecesEndsRedAndAReplugRecovers) {
  // The first AP image is the boot loader: pieces of it are on their way when the plug goes.
  makeFirmware("appsboot.mbn");
  const std::string id = plugModule({"unplug:ap:60"});
  start();
  ASSERT_TRUE(waitForFailure()) << "messages: " << json(station_->messages()).dump(1);
  EXPECT_TRUE(station_->waitForMessage("AP Download Failed."));
  ASSERT_TRUE(station_->waitForMessage("Device unplug."));

  const size_t mark = station_->eventCount();
  benchRequest({{"cmd", "replug"}, {"id", id}});
  ASSERT_TRUE(
      station_->waitForAfter(mark, [](const json& e) { return isMessage(e, "Update Success!"); }))
      << "messages: " << json(station_->messages()).dump(1);
  expectPartitionsEqualFiles(id, expectedPartitions());
}

TEST_F(Qca9x15RoadTest, FailingApPartitionEndsRed) {
  makeFirmware();
  plugModule({"fastboot-fail:system"});
  start();
  ASSERT_TRUE(station_->waitForMessage("AP Download Failed."));
  ASSERT_TRUE(waitForFailure());
  const std::vector<std::string> messages = station_->messages();
  EXPECT_EQ(std::count(messages.begin(), messages.end(), "Update Success!"), 0);
}

// ---- The platform chosen by the operator ----

TEST_F(Qca9x15RoadTest, MenuItemAndFolderChoiceLeadToASuccessfulRun) {
  makeFirmware();
  cfg_["current"] = "Qca_9x07";  // the station starts on another platform
  const std::string id = plugModule();
  startStation(false);
  station_->send("platform Qca9x15");
  station_->send("folder " + firmware().string());
  station_->send("close-files");
  ASSERT_TRUE(station_->waitFor([](const json& e) {
    return e["event"] == "control" && e["name"] == "start" && e["dimmed"] == false;
  }));
  station_->send("start");
  ASSERT_TRUE(waitForSuccess()) << "messages: " << json(station_->messages()).dump(1);
  expectPartitionsEqualFiles(id, expectedPartitions());

  IniDocumentPtr ini(Ini_New(0));
  ASSERT_GE(Ini_ReadFromFile(ini.get(), (dir_ / "Platform/Qca9x15.ini").c_str()), 0);
  char folder[300] = {};
  Ini_GetStringIntoBuffer(ini.get(), "Dir", "Dir Path", folder, sizeof folder);
  EXPECT_EQ(std::string(folder), firmware().string()) << "the panel saved the chosen folder";
  quitStation();
}

}  // namespace
}  // namespace road_test
