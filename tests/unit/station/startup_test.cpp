// Start-up from cfg.ini as the operator sees it through the headless station.

#include <gtest/gtest.h>

#include "host/report.h"
#include "host/station_options.h"
#include "station/dut_slots.h"
#include "station/station_config.h"
#include "station_fixture.h"

namespace stationtest {
namespace {

const char* const kPlatformItems[] = {"Qca6270", "Qca6695", "Qca9206",
                                      "Qca9x15", "Qca9x07", "Qca8909"};

// The platform items that end up checked.
std::vector<std::string> checkedItems(const std::vector<json>& events) {
  std::vector<std::string> checked;
  for (const char* item : kPlatformItems) {
    if (lastControl(events, item)["checked"] == true) checked.push_back(item);
  }
  return checked;
}

using StartupTest = StationTest;

TEST_F(StartupTest, CurrentPlatformPicksTheTableAndTheCheckMark) {
  struct Case {
    const char* current;
    int type;
    std::vector<std::string> checked;
  };
  const Case cases[] = {
      {"Qca_6270", 6, {"Qca6270"}},
      {"Qca_6695", 5, {"Qca6695"}},
      {"Qca_9206", 4, {"Qca9206"}},
      {"Qca_9x15", 0, {"Qca9x15"}},
      {"Qca_9x07", 3, {"Qca9x07"}},
      {"Qca_8909", 2, {"Qca8909"}},
      // No item selects Qca9x25, and anything unknown falls back to Qca9x15 unchecked.
      {"Qca_9x25", 0, {}},
      {"qca_9x07", 0, {}},
      {"", 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.current);
    FakePlatform::reset();
    writeFile("cfg.ini", std::string("[Platform]\ncurrent = \"") + c.current + "\"\n");
    auto events = runStation("");
    EXPECT_EQ(FakePlatform::calls,
              (std::vector<std::string>{"create " + std::to_string(c.type), "load"}));
    EXPECT_EQ(checkedItems(events), c.checked);
  }
}

TEST_F(StartupTest, TitleCarriesVersionAndBuildStamp) {
  writeFile("cfg.ini", "[Platform]\nVersion = Zendral-L V2.1\n");
  auto events = runStation("");
  std::string stamp = std::string("(Build:") + buildDate() + " " + buildTime() + ")";
  ASSERT_EQ(eventsOf(events, "title").size(), 1u);
  EXPECT_EQ(eventsOf(events, "title")[0]["text"], "Zendral-L V2.1" + stamp);
  EXPECT_EQ(eventsOf(events, "version")[0]["text"], "Zendral-L V2.1");

  writeFile("cfg.ini", "[Platform]\ncurrent = Qca_9x07\n");
  events = runStation("");
  EXPECT_EQ(eventsOf(events, "title")[0]["text"], stamp) << "no version: the title starts (Build:";
}

TEST_F(StartupTest, AnOptionBoxIsVisibleOnlyWhileItsOptionIsOn) {
  writeFile("cfg.ini", "[Platform]\nBacupRestorQcn = True\nOnlyAP = false\n");
  auto events = runStation("");
  EXPECT_EQ(lastControl(events, "backup")["visible"], true);
  EXPECT_EQ(lastControl(events, "backup")["checked"], true);
  EXPECT_EQ(lastControl(events, "aponly")["visible"], false);
  EXPECT_EQ(lastControl(events, "qcnonly")["visible"], false);
  EXPECT_TRUE(gBackupRestoreQcn);
  EXPECT_FALSE(gOnlyAp);
}

TEST_F(StartupTest, Qca9x07CanShowTheQcnBoxesAnyway) {
  writeFile("cfg.ini", "[Platform]\ncurrent = Qca_9x07\nBackCtrlVisble = True\n");
  auto events = runStation("");
  EXPECT_EQ(lastControl(events, "backup")["visible"], true);
  EXPECT_EQ(lastControl(events, "backup")["checked"], false);
  EXPECT_EQ(lastControl(events, "qcnonly")["visible"], true);
  EXPECT_EQ(lastControl(events, "aponly")["visible"], false);

  // On another platform the key has no effect.
  writeFile("cfg.ini", "[Platform]\ncurrent = Qca_8909\nBackCtrlVisble = True\n");
  events = runStation("");
  EXPECT_EQ(lastControl(events, "backup")["visible"], false);
}

TEST_F(StartupTest, PlatformItemsAreDimmedUnlessTheirKeyEnablesThem) {
  writeFile("cfg.ini",
            "[Platform]\nSupportHalvoA = True\nSupportHalvoG = TRUE\nSupportHalvoD = True\n");
  auto events = runStation("");
  EXPECT_EQ(lastControl(events, "Qca9206")["dimmed"], false);
  EXPECT_EQ(lastControl(events, "Qca8909")["dimmed"], false);
  for (const char* item : {"Qca6270", "Qca6695", "Qca9x15", "Qca9x07"}) {
    EXPECT_EQ(lastControl(events, item)["dimmed"], true) << item;
  }
}

TEST_F(StartupTest, FailedFileListLoadDimsStart) {
  writeFile("cfg.ini", "[Platform]\ncurrent = Qca_9x07\n");
  FakePlatform::loadResult = -1;
  auto events = runStation("start\n");
  EXPECT_EQ(lastControl(events, "start")["dimmed"], true);
  int refused = indexOf(events, "refused", "action", "start");
  ASSERT_GE(refused, 0);
  EXPECT_EQ(events[refused]["reason"], "dimmed");

  FakePlatform::reset();
  events = runStation("");
  EXPECT_EQ(lastControl(events, "start")["dimmed"], false);
  EXPECT_EQ(lastControl(events, "stop")["dimmed"], true) << "nothing to stop before Start";
}

TEST_F(StartupTest, FolderTextIsTheLastPartOfRowOne) {
  FakePlatform::folder = "/lines/fw/R03A07";
  auto events = runStation("");
  EXPECT_EQ(eventsOf(events, "folder").back()["text"], "R03A07");
  auto tables = eventsOf(events, "table");
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0]["rows"][0]["path"], "/lines/fw/R03A07");

  FakePlatform::reset();
  FakePlatform::folder = "R03A07";
  events = runStation("");
  EXPECT_EQ(eventsOf(events, "folder").back()["text"], "R03A07") << "no separator: all of it";
}

TEST_F(StartupTest, WithoutCfgIniEveryDefaultApplies) {
  gOnlyAp = true;
  gProcessMeid = false;
  auto events = runStation("");
  EXPECT_EQ(events.back()["code"], 0);
  EXPECT_EQ(FakePlatform::calls.front(), "create 0");
  EXPECT_FALSE(gOnlyAp);
  EXPECT_TRUE(gProcessMeid);
  EXPECT_TRUE(gWriteNv);
  for (const char* box : {"backup", "aponly", "qcnonly"}) {
    EXPECT_EQ(lastControl(events, box)["visible"], false) << box;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_ / "cfg.ini")) << "reading never writes";
}

TEST_F(StartupTest, NoPlatformTableGoesStraightToShutdown) {
  FakePlatform::refuseTables = true;
  auto events = runStation("start\n");
  EXPECT_EQ(events.back()["code"], 0);
  EXPECT_EQ(indexOf(events, "title"), -1);
  EXPECT_EQ(indexOf(events, "refused"), -1) << "actions after a failed start-up are ignored";
}

class RecordingSlots : public DutSlots {
 public:
  uint32_t diaport = 99;
  int resets = 0;
  void resetSlots(uint32_t port) override {
    diaport = port;
    ++resets;
  }
};

TEST_F(StartupTest, DiagnosticPortOfDut1ComesFromDev1) {
  RecordingSlots slots;
  installDutSlots(&slots);
  writeFile("cfg.ini", "[Platform]\ncurrent = Qca_9x07\n[Dev1]\ndiaport = 12\natport = 9\n");
  runStation("");
  EXPECT_EQ(slots.resets, 1);
  EXPECT_EQ(slots.diaport, 12u);
  writeFile("cfg.ini", "[Dev1]\ndiaport = COM12\n");
  runStation("");
  EXPECT_EQ(slots.diaport, 0u) << "a value that is no number leaves the default";
  installDutSlots(nullptr);
}

TEST_F(StartupTest, DutCountAndPinnedSlotsComeFromCfgIni) {
  struct Case {
    const char* cfg;
    int count;
    std::vector<std::string> pinned;
  };
  const Case cases[] = {
      {"", 1, {""}},
      {"[Platform]\nDutCount = 4\n[Slots]\nSlot2 = 1-1.3\nSlot5 = 1-9\n", 4, {"", "1-1.3", "", ""}},
      {"[Platform]\nDutCount = 12\n", 8, std::vector<std::string>(8)},
      {"[Platform]\nDutCount = 0\n", 1, {""}},
      {"[Platform]\nDutCount = many\n", 1, {""}},
  };
  for (const Case& c : cases) {
    IniDocumentPtr doc(Ini_New(0));
    writeFile("cfg.ini", c.cfg);
    Ini_ReadFromFile(doc.get(), (dir_ / "cfg.ini").c_str());
    const StationConfig config = readStationConfig(doc.get());
    EXPECT_EQ(config.dutCount, c.count) << c.cfg;
    EXPECT_EQ(config.pinnedPorts, c.pinned) << c.cfg;
  }
}

TEST_F(StartupTest, ShutdownEndsNoProcessByName) {
  runStation("quit\n");
  EXPECT_TRUE(killer_.names().empty()) << "only the station's own children are ended";
}

}  // namespace
}  // namespace stationtest
