// The road of one Qca8909 DUT through the headless station on the virtual bench: the module is
// switched into emergency download mode and flashed by the outside Sahara and Firehose tools.
// The default road chosen through the menu and the file panel, backup and restore, the qmbn
// road of an .elf firmware, the tools' faults (no tool may outlive its run), Stop during the
// Firehose run, a hostile firmware folder, and an unplug that a replug recovers.

#include <unistd.h>

#include <fstream>

#include "host/process_killer.h"
#include "integration/road/road_fixture.h"
#include "support/process_state.h"

namespace road_test {
namespace {

bool isMessage(const json& e, const std::string& text) {
  return e["event"] == "message" && e["text"] == text;
}

// The environment of process `pid` holds `entry` ("NAME=value").
bool environmentHolds(pid_t pid, const std::string& entry) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
  std::string item;
  while (std::getline(in, item, '\0')) {
    if (item == entry) return true;
  }
  return false;
}

class Qca8909RoadTest : public Qca9x07RoadTest {
 protected:
  void SetUp() override {
    // The procedure waits a fixed 20 s for the emergency port after its switch; the bench's
    // restart from the AT port takes at least 0.4 s whatever the scale, so the road runs at a
    // scale at which those 20 s stay well above it.
    ASSERT_EQ(::setenv("ZENDRAL_TIME_SCALE", "0.05", 1), 0);
    Qca9x07RoadTest::SetUp();
    if (HasFatalFailure()) return;
    cfg_["current"] = "Qca_8909";
    flags_["SupportHalvoG"] = true;
  }

  fs::path emmc() const { return folder_.empty() ? dir_ / "emmc" : folder_; }

  // Writes the firmware of `variant` ("" for the 8909 eMMC firmware) into `folder` (the
  // default folder when empty).
  void makeFirmware(const std::string& variant = "", const fs::path& folder = {}) {
    folder_ = folder;
    std::vector<std::string> argv = {
        binPath("zendral-bench"), "make-firmware", "--platform", "Qca8909", emmc().string(),
        "--size-scale",           "0.01",          "--seed",     "7"};
    if (!variant.empty()) {
      argv.push_back("--variant");
      argv.push_back(variant);
    }
    const test_support::ProgramRun made = test_support::runProgram(argv);
    ASSERT_EQ(made.status, 0) << made.out << made.err;
  }

  // Writes Platform/Qca8909.ini (the file list found in the folder), then starts the station.
  void startEmmcStation(bool pressStart = true) {
    IniDocumentPtr doc(Ini_New(0));
    Ini_PutString(doc.get(), "Dir", "Dir Path", emmc().c_str());
    Ini_PutString(doc.get(), "Dir", "CheckCFUN", "+CFUN: 1");
    ASSERT_EQ(Ini_WriteToFile(doc.get(), (dir_ / "Platform/Qca8909.ini").c_str()), 0);
    startStation(pressStart);
  }

  std::string plugEmmc(const std::vector<std::string>& faults = {}) {
    const json reply = benchRequest({{"cmd", "plug"}, {"platform", "Qca8909"}, {"faults", faults}});
    EXPECT_TRUE(host::benchReplyOk(reply)) << reply.dump();
    return reply.value("id", "");
  }

  // The partitions of the rawprogram file with the files they must hold, in `folder`.
  std::map<std::string, fs::path> emmcPartitions(const fs::path& folder) const {
    return {{"sbl1", folder / "sbl1.mbn"},     {"rpm", folder / "rpm.mbn"},
            {"tz", folder / "tz.mbn"},         {"aboot", folder / "emmc_appsboot.mbn"},
            {"boot", folder / "boot.img"},     {"system", folder / "system.img"},
            {"modem", folder / "NON-HLOS.bin"}};
  }

  // Waits until the station reports `status` (< 0: any failure) with the lamp that goes with it.
  bool waitForGreen() {
    return station_->waitFor(
        [](const json& e) { return e["event"] == "status" && e["value"] == 0; });
  }

  // The outside tools of this bench that still run.
  std::vector<pid_t> toolsLeft() {
    std::vector<pid_t> left;
    for (const char* name : {"QSaharaServer.exe", "fh_loader.exe"}) {
      for (pid_t pid : host::findProcessesByName(name)) {
        if (!test_support::processEnded(pid) && environmentHolds(pid, "ZENDRAL_BENCH=" + socket_)) {
          left.push_back(pid);
        }
      }
    }
    return left;
  }

  std::vector<std::string> moduleCommands(const std::string& id) {
    std::vector<std::string> out;
    for (const json& command : moduleState(id).value("commands", json::array())) {
      out.push_back(command.dump());
    }
    return out;
  }

  std::string messagesText() { return json(station_->messages()).dump(1); }

  fs::path folder_;
};

// ---- The default road, chosen through the menu and the file panel ----

TEST_F(Qca8909RoadTest, MenuFolderAndStartFlashEveryPartitionThroughTheTools) {
  cfg_["current"] = "Qca_9x07";
  makeFirmware();
  const std::string id = plugEmmc();
  startEmmcStation(false);
  station_->send("platform Qca8909");
  station_->send("folder " + emmc().string());
  station_->send("close-files");
  station_->send("start");
  ASSERT_TRUE(station_->waitForMessage("Update success!")) << messagesText();
  ASSERT_TRUE(waitForGreen()) << messagesText();
  expectPartitionsEqualFiles(id, emmcPartitions(emmc()));
  EXPECT_TRUE(station_->waitForMessage("system.img")) << "the file being sent is shown";
  const std::string log = readText(dir_ / "Dut1.log");
  for (const std::string line :
       {"Switching to EDL...", "Send: at+bootedl\r", "Waiting SaharaFirehoseProgramer...",
        "QSaharaServer.exe -u ", "File transferred successfully", "fh_loader.exe --port=\\\\.\\COM",
        "{All Finished Successfully}"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
  EXPECT_TRUE(toolsLeft().empty());
  quitStation();
  EXPECT_EQ(station_->exitCode(), 0);
}

TEST_F(Qca8909RoadTest, Sdx55FirmwareSwitchesThroughTheLibrary) {
  makeFirmware("sdx55");
  const std::string id = plugEmmc();
  startEmmcStation();
  ASSERT_TRUE(station_->waitForMessage("Update success!")) << messagesText();
  expectPartitionsEqualFiles(id, emmcPartitions(emmc()));
  const std::string log = readText(dir_ / "Dut1.log");
  EXPECT_NE(log.find("Platform:HalvoK-sdx55"), std::string::npos);
  EXPECT_EQ(log.find("at+bootedl"), std::string::npos) << "no AT switch on sdx55";
}

// ---- Backup and restore ----

TEST_F(Qca8909RoadTest, BackupRestoreSavesTheQcnAndRestoresItAfterTheReset) {
  flags_["BacupRestorQcn"] = true;
  makeFirmware();
  const std::string id = plugEmmc();
  const json before = moduleState(id);
  startEmmcStation();
  ASSERT_TRUE(station_->waitForMessage("DownloadXmlPackage success!")) << messagesText();
  ASSERT_TRUE(waitForSuccess()) << messagesText();
  EXPECT_TRUE(station_->waitForMessage("Waiting recovery xqcn...long time please replug dut."));
  EXPECT_TRUE(fs::is_regular_file(emmc() / (before["imei"].get<std::string>() + ".xqcn")));
  expectPartitionsEqualFiles(id, emmcPartitions(emmc()));
  EXPECT_EQ(moduleState(id)["nvSha256"], before["nvSha256"]);
  const std::string commands = json(moduleCommands(id)).dump();
  EXPECT_NE(commands.find("nv restore"), std::string::npos) << commands;
}

TEST_F(Qca8909RoadTest, QmbnRoadFlashesTheBackupFirmwareReadsTheEfsAndEndsGreenWithoutImei) {
  flags_["BacupRestorQcn"] = true;
  makeFirmware("elf");
  const std::string id = plugEmmc();
  startEmmcStation();
  ASSERT_TRUE(waitForSuccess()) << messagesText();
  for (const char* text : {"Waiting backup SaharaFirehoseProgramer...", "Waiting backup qmbn...",
                           "backup qmbn success.", "Waiting switch EDL..."}) {
    EXPECT_TRUE(station_->waitForMessage(text)) << text;
  }
  EXPECT_TRUE(fs::is_regular_file(emmc() / "backup.qmbn"));
  // The backup firmware ran first; what stays is the real firmware.
  const std::string commands = json(moduleCommands(id)).dump();
  EXPECT_NE(commands.find("reset into rawprogram_nand_p4K_b256K-HalvoH_9205_R01.xml"),
            std::string::npos)
      << commands;
  expectPartitionsEqualFiles(id, emmcPartitions(emmc()));
  const std::string log = readText(dir_ / "Dut1.log");
  EXPECT_NE(log.find("Platform:HalvoH-9205"), std::string::npos);
  EXPECT_EQ(log.find("No IMEI"), std::string::npos);
}

// ---- The tools' faults: red, and no tool left behind ----

TEST_F(Qca8909RoadTest, RefusedSaharaUploadEndsRedWithTheToolsOutputInTheLog) {
  makeFirmware();
  plugEmmc({"sahara-fail"});
  startEmmcStation();
  ASSERT_TRUE(waitForFailure()) << messagesText();
  const std::string log = readText(dir_ / "Dut1.log");
  EXPECT_NE(log.find("Image using Sahara protocol failed"), std::string::npos);
  for (const std::string& message : station_->messages()) {
    EXPECT_EQ(message.find("Sahara protocol failed"), std::string::npos)
        << "a Sahara failure shows no message of its own: " << message;
  }
  EXPECT_TRUE(toolsLeft().empty());
}

TEST_F(Qca8909RoadTest, FirehoseErrorEndsRedWithTheToolsErrorText) {
  makeFirmware();
  plugEmmc({"firehose-error"});
  startEmmcStation();
  ASSERT_TRUE(waitForFailure()) << messagesText();
  EXPECT_TRUE(station_->waitFor([](const json& e) {
    return e["event"] == "message" &&
           e["text"].get<std::string>().rfind("ERROR: Failed to write '", 0) == 0;
  })) << messagesText();
  EXPECT_TRUE(toolsLeft().empty());
}

TEST_F(Qca8909RoadTest, HangingToolTimesOutAndIsEnded) {
  makeFirmware();
  plugEmmc({"tool-hang"});
  startEmmcStation();
  ASSERT_TRUE(waitForFailure()) << messagesText();
  EXPECT_TRUE(station_->waitForMessage(
      "download prog_emmc_firehose_8909_ddr.mbn timeout!,Please repower 1 DUT."));
  EXPECT_TRUE(toolsLeft().empty()) << "a hanging tool outlived its run";
}

TEST_F(Qca8909RoadTest, StopDuringTheFirehoseRunEndsTheToolAtOnce) {
  makeFirmware();
  plugEmmc({"firehose-hang"});
  startEmmcStation();
  ASSERT_TRUE(station_->waitForMessage("sbl1.mbn")) << messagesText();
  ASSERT_FALSE(toolsLeft().empty()) << "the Firehose tool should run now";
  const size_t mark = station_->eventCount();
  station_->send("stop");
  ASSERT_TRUE(station_->waitForAfter(mark, [](const json& e) {
    return e["event"] == "control" && e["name"] == "start" && e["dimmed"] == false;
  })) << "Stop does not return";
  for (int i = 0; i < 500 && !toolsLeft().empty(); ++i) ::usleep(10'000);
  EXPECT_TRUE(toolsLeft().empty()) << "the tool outlived the stop";
  quitStation();
  EXPECT_EQ(station_->exitCode(), 0);
}

// ---- A hostile firmware folder ----

TEST_F(Qca8909RoadTest, AHostileFolderPathIsFlashedAndRunsNothing) {
  const fs::path hostile = dir_ / "\"; touch pwned; \"" / "$(touch pwned)" / "`touch pwned` & x";
  makeFirmware("", hostile);
  const std::string id = plugEmmc();
  startEmmcStation();
  ASSERT_TRUE(station_->waitForMessage("Update success!")) << messagesText();
  expectPartitionsEqualFiles(id, emmcPartitions(hostile));
  for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
    EXPECT_NE(entry.path().filename(), "pwned") << entry.path();
  }
  EXPECT_FALSE(fs::exists("pwned"));
}

// ---- Unplug and replug ----

TEST_F(Qca8909RoadTest, UnplugDuringFirehoseEndsRedAndAReplugRecovers) {
  makeFirmware();
  const std::string id = plugEmmc({"unplug:cp:1"});
  startEmmcStation();
  ASSERT_TRUE(waitForFailure()) << messagesText();
  EXPECT_TRUE(toolsLeft().empty());
  const size_t mark = station_->eventCount();
  benchRequest({{"cmd", "replug"}, {"id", id}});
  ASSERT_TRUE(station_->waitForAfter(mark, [](const json& e) {
    return isMessage(e, "Update success!");
  })) << messagesText();
  expectPartitionsEqualFiles(id, emmcPartitions(emmc()));
}

}  // namespace
}  // namespace road_test
