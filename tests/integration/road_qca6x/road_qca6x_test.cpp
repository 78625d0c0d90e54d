// The roads of one Qca6270 or Qca6695 DUT through the headless station on the virtual bench:
// the default road (the hex programmer and every image in one multi-image upload), backup and
// restore around it, an upload the programmer refuses, an unplug during the upload and the
// replug that recovers, the platform chosen through the menu and the file panel, and a folder
// with the programmers of two platforms.

#include "integration/road/road_fixture.h"

namespace road_test {
namespace {

struct Platform {
  const char* name;        // "Qca6270"
  const char* current;     // its name in cfg.ini
  const char* menuFlag;    // the cfg.ini flag that offers its menu item
  const char* programmer;  // the normal programmer
  const char* modem;       // the modem image
};
const Platform k6270 = {"Qca6270", "Qca_6270", "SupportHalvoE", "NPRG6270.hex", "amss.mbn"};
const Platform k6695 = {"Qca6695", "Qca_6695", "SupportHalvoF", "NPRG6695.hex", "dsp.mbn"};

bool isMessage(const json& e, const std::string& text) {
  return e["event"] == "message" && e["text"] == text;
}

// The latest state of a main-panel control ("dimmed", "checked") as the station showed it.
std::optional<bool> lastControlState(StationProcess& station, const std::string& name,
                                     const char* field) {
  std::optional<bool> state;
  for (const json& e : station.events()) {
    if (e["event"] == "control" && e["name"] == name && e.contains(field)) state = e[field];
  }
  return state;
}

// The operator opens the file panel through the platform menu (`menuAction`), picks the
// firmware folder and closes the panel; the file list then offers Start.
void chooseFolder(StationProcess& station, const std::string& menuAction, const fs::path& folder) {
  const size_t mark = station.eventCount();
  station.send(menuAction);
  station.send("folder " + folder.string());
  station.send("close-files");
  // Closing the panel saves and loads the list, then refreshes the folder text.
  auto hidden = [](const json& e) { return e["event"] == "filepanel" && e["visible"] == false; };
  ASSERT_TRUE(station.waitForAfter(mark, hidden));
  const std::vector<json> events = station.events();
  size_t closed = mark;
  while (!hidden(events[closed])) ++closed;
  ASSERT_TRUE(
      station.waitForAfter(closed + 1, [](const json& e) { return e["event"] == "folder"; }));
  EXPECT_EQ(lastControlState(station, "start", "dimmed"), false);
}

// The Qca9x07 road's bench, station and checks, with the platform's firmware and settings.
class Qca6xRoadTest : public Qca9x07RoadTest, public ::testing::WithParamInterface<Platform> {
 protected:
  void SetUp() override {
    Qca9x07RoadTest::SetUp();
    if (HasFatalFailure()) return;
    cfg_["current"] = GetParam().current;
    flags_[GetParam().menuFlag] = true;
    fs::remove_all(firmware());
    makeFirmware(GetParam().name, firmware());
  }

  void makeFirmware(const std::string& platform, const fs::path& folder) {
    const test_support::ProgramRun made =
        test_support::runProgram({binPath("zendral-bench"), "make-firmware", "--platform", platform,
                                  folder.string(), "--size-scale", "0.01"});
    ASSERT_EQ(made.status, 0) << made.out << made.err;
  }

  // Writes the platform's INI file, then starts the station as the Qca9x07 road does.
  void start(bool pressStart = true) {
    IniDocumentPtr ini(Ini_New(0));
    Ini_PutString(ini.get(), "Dir", "Dir Path", firmware().c_str());
    Ini_PutString(ini.get(), "Dir", "CheckCFUN", "+CFUN: 1");
    for (const auto& [key, on] : platformFlags_) Ini_PutBoolean(ini.get(), "Dir", key.c_str(), on);
    const fs::path file = dir_ / "Platform" / (std::string(GetParam().name) + ".ini");
    ASSERT_EQ(Ini_WriteToFile(ini.get(), file.c_str()), 0);
    startStation(pressStart);
  }

  std::string plugModule(const std::vector<std::string>& faults = {}) {
    const json reply =
        benchRequest({{"cmd", "plug"}, {"platform", GetParam().name}, {"faults", faults}});
    EXPECT_TRUE(host::benchReplyOk(reply)) << reply.dump();
    return reply.value("id", "");
  }

  // Every image of the multi-image upload, as the module records it.
  std::map<std::string, fs::path> expectedPartitions() const {
    const fs::path f = firmware();
    return {{"partition", f / "partition.mbn"},
            {"dbl", f / "dbl.mbn"},
            {"fsbl", f / "fsbl.mbn"},
            {"osbl", f / "osbl.mbn"},
            {"amss", f / GetParam().modem}};
  }

  // The images came in the multi-image upload, after the normal programmer.
  void expectMultiImageUpload(const std::string& id) {
    const json state = moduleState(id);
    for (const json& record : state["partitions"]) {
      EXPECT_EQ(record["via"], "multi-image") << record["name"];
    }
    std::string sha;
    uint64_t size = 0;
    ASSERT_TRUE(sim::sha256OfFile((firmware() / GetParam().programmer).string(), sha, size));
    EXPECT_EQ(state["programmer"]["name"], GetParam().programmer);
    EXPECT_EQ(state["programmer"]["sha256"], sha);
  }

  std::string messagesText() { return json(station_->messages()).dump(1); }

  std::map<std::string, bool> platformFlags_;
};

TEST_P(Qca6xRoadTest, DefaultRoadUploadsEveryImageAndEndsGreen) {
  const std::string id = plugModule();
  start();
  ASSERT_TRUE(waitForSuccess()) << messagesText();
  expectPartitionsEqualFiles(id, expectedPartitions());
  expectMultiImageUpload(id);
  const std::string log = readText(dir_ / "Dut1.log");
  for (const std::string line :
       {"Platform:" + std::string(GetParam().name).substr(3), std::string("Download Success!"),
        std::string("waiting for reboot device..."), std::string("Update Success!")}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
  quitStation();
  EXPECT_EQ(station_->exitCode(), 0);
}

TEST_P(Qca6xRoadTest, BackupRestoreBringsTheCalibrationBackAfterTheUpload) {
  flags_["BacupRestorQcn"] = true;
  platformFlags_["UseQcn"] = true;
  const std::string id = plugModule();
  const json before = moduleState(id);
  start();
  ASSERT_TRUE(waitForSuccess()) << messagesText();
  EXPECT_TRUE(fs::is_regular_file(firmware() / (before["imei"].get<std::string>() + ".qcn")));
  EXPECT_EQ(moduleState(id)["nvSha256"], before["nvSha256"]);
  for (const std::string text :
       {std::string("Waiting recovery xqcn...long time please replug dut."),
        "Enter downloadTp" + std::string(GetParam().name) + "...",
        std::string("qcn recover success!")}) {
    EXPECT_TRUE(station_->waitForMessage(text)) << text;
  }
  expectPartitionsEqualFiles(id, expectedPartitions());
}

TEST_P(Qca6xRoadTest, RefusedMultiImageUploadEndsRedWithItsErrorCode) {
  plugModule({"multi-image-fail"});
  start();
  ASSERT_TRUE(waitForFailure()) << messagesText();
  EXPECT_TRUE(station_->waitForMessage("Download Failed! ErrorCode:11")) << messagesText();
  // Both show the library's text log; only Qca6695 adds the library's last error.
  const char* lastError = "Partition 0:PARTITION refused: the flash programmer refused the image";
  EXPECT_TRUE(station_->waitForMessage(std::string("ERROR: ") + lastError));
  const std::vector<std::string> shown = station_->messages();
  EXPECT_EQ(std::count(shown.begin(), shown.end(), lastError),
            std::string(GetParam().name) == "Qca6695" ? 1 : 0);
  const std::vector<std::string> messages = station_->messages();
  EXPECT_EQ(std::count(messages.begin(), messages.end(), "Update Success!"), 0);
}

TEST_P(Qca6xRoadTest, UnplugDuringTheUploadEndsRedAndAReplugRecovers) {
  const std::string id = plugModule({"unplug:cp:50"});
  start();
  ASSERT_TRUE(waitForFailure()) << messagesText();
  EXPECT_TRUE(station_->waitForMessage("Download Failed! ErrorCode:11"));

  const size_t mark = station_->eventCount();
  benchRequest({{"cmd", "replug"}, {"id", id}});
  ASSERT_TRUE(station_->waitForAfter(mark, [](const json& e) {
    return isMessage(e, "Update Success!");
  })) << messagesText();
  expectPartitionsEqualFiles(id, expectedPartitions());
}

TEST_P(Qca6xRoadTest, MenuItemAndFolderChoiceLeadToASuccessfulRun) {
  cfg_["current"] = "Qca_9x07";  // the station starts on another platform
  const std::string id = plugModule();
  startStation(false);
  chooseFolder(*station_, std::string("platform ") + GetParam().name, firmware());
  station_->send("start");
  ASSERT_TRUE(waitForSuccess()) << messagesText();
  expectPartitionsEqualFiles(id, expectedPartitions());

  IniDocumentPtr ini(Ini_New(0));
  const fs::path file = dir_ / "Platform" / (std::string(GetParam().name) + ".ini");
  ASSERT_GE(Ini_ReadFromFile(ini.get(), file.c_str()), 0);
  char folder[300] = {};
  Ini_GetStringIntoBuffer(ini.get(), "Dir", "Dir Path", folder, sizeof folder);
  EXPECT_EQ(std::string(folder), firmware().string()) << "the panel saved the chosen folder";
  quitStation();
}

INSTANTIATE_TEST_SUITE_P(HexProgrammerPlatforms, Qca6xRoadTest, ::testing::Values(k6270, k6695),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Folder probing ----

class FolderProbingRoadTest : public Qca9x07RoadTest {};

TEST_F(FolderProbingRoadTest, FolderWithBothProgrammersIsTakenForQca6695) {
  // The Qca9x07 firmware of the fixture's folder, and a Qca6695 firmware written over it.
  const test_support::ProgramRun made =
      test_support::runProgram({binPath("zendral-bench"), "make-firmware", "--platform", "Qca6695",
                                firmware().string(), "--size-scale", "0.01"});
  ASSERT_EQ(made.status, 0) << made.out << made.err;
  ASSERT_TRUE(fs::is_regular_file(firmware() / "NPRG9x07.mbn"));
  const json reply = benchRequest({{"cmd", "plug"}, {"platform", "Qca6695"}});
  ASSERT_TRUE(host::benchReplyOk(reply)) << reply.dump();
  flags_["SupportHalvoC"] = true;  // the menu's Qca9x07 item
  startStation(false);
  // The station starts on Qca9x07, whose firmware the folder holds too.
  chooseFolder(*station_, "platform Qca9x07", firmware());
  EXPECT_EQ(lastControlState(*station_, "Qca6695", "checked"), true);
  EXPECT_EQ(lastControlState(*station_, "Qca9x07", "checked"), false);
  station_->send("start");
  ASSERT_TRUE(waitForSuccess()) << json(station_->messages()).dump(1);
  EXPECT_TRUE(station_->waitForMessage("Download Success!"));
  quitStation();
}

}  // namespace
}  // namespace road_test
