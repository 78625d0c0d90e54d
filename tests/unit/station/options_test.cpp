// The option boxes and Start/Stop, driven by operator actions of the headless station.

#include <gtest/gtest.h>

#include "host/station_options.h"
#include "ini/inifile.h"
#include "station_fixture.h"

namespace stationtest {
namespace {

// The value of a key of section "Platform" in the cfg.ini on disk.
std::optional<bool> storedOption(const std::string& key) {
  IniDocumentPtr doc(Ini_New(0));
  if (Ini_ReadFromFile(doc.get(), "cfg.ini") < 0) return std::nullopt;
  int value = 0;
  if (Ini_GetBoolean(doc.get(), "Platform", key.c_str(), &value) != 1) return std::nullopt;
  return value != 0;
}

using OptionsTest = StationTest;

// Both QCN boxes are visible on Qca9x07 with BackCtrlVisble, whatever their options.
constexpr char kQcnBoxesShown[] =
    "[Platform]\ncurrent = Qca_9x07\nBackCtrlVisble = True\nVersion = V1\n";

TEST_F(OptionsTest, QcnOnlyPullsBackupOnAndBothAreWrittenAtOnce) {
  writeFile("cfg.ini", kQcnBoxesShown);
  auto events = runStation("check qcnonly on\n");
  EXPECT_EQ(storedOption("OnlyQcn"), true);
  EXPECT_EQ(storedOption("BacupRestorQcn"), true);
  EXPECT_EQ(lastControl(events, "backup")["checked"], true);
  EXPECT_EQ(lastControl(events, "qcnonly")["checked"], true);
  EXPECT_NE(readFile("cfg.ini").find("Version = V1"), std::string::npos)
      << "the rest of cfg.ini is kept";
}

TEST_F(OptionsTest, BackupOffPullsQcnOnlyOff) {
  writeFile("cfg.ini", std::string(kQcnBoxesShown) + "BacupRestorQcn = True\nOnlyQcn = True\n");
  auto events = runStation("check backup off\n");
  EXPECT_EQ(storedOption("BacupRestorQcn"), false);
  EXPECT_EQ(storedOption("OnlyQcn"), false);
  EXPECT_EQ(lastControl(events, "qcnonly")["checked"], false);
  EXPECT_FALSE(gOnlyQcn);

  // Backup on alone leaves QCN-only as it is.
  events = runStation("check backup on\n");
  EXPECT_EQ(storedOption("BacupRestorQcn"), true);
  EXPECT_EQ(storedOption("OnlyQcn"), false);
}

TEST_F(OptionsTest, ApOnlyIsStoredOnItsOwn) {
  writeFile("cfg.ini", "[Platform]\nOnlyAP = True\n");
  runStation("check aponly off\n");
  EXPECT_EQ(storedOption("OnlyAP"), false);
  EXPECT_EQ(storedOption("BacupRestorQcn"), std::nullopt);
}

TEST_F(OptionsTest, HiddenBoxesCannotBeChanged) {
  writeFile("cfg.ini", "[Platform]\ncurrent = Qca_8909\n");
  auto events = runStation("check qcnonly on\ncheck aponly on\n");
  auto refusals = eventsOf(events, "refused");
  ASSERT_EQ(refusals.size(), 2u);
  EXPECT_EQ(refusals[0]["reason"], "hidden");
  EXPECT_EQ(storedOption("OnlyQcn"), std::nullopt) << "nothing was written";
  EXPECT_EQ(storedOption("OnlyAP"), std::nullopt);
}

TEST_F(OptionsTest, StartDimsTheOptionsAndStopGivesBackAllButApOnly) {
  writeFile("cfg.ini", "[Platform]\nBacupRestorQcn = True\nOnlyAP = True\nOnlyQcn = True\n");
  auto events = runStation(
      "start\ncheck backup off\nplatform Qca9x15\nstop\ncheck aponly off\ncheck backup off\n");
  auto refusals = eventsOf(events, "refused");
  ASSERT_EQ(refusals.size(), 3u);
  EXPECT_EQ(refusals[0]["action"], "check backup off");
  EXPECT_EQ(refusals[0]["reason"], "dimmed");
  EXPECT_EQ(refusals[1]["action"], "platform Qca9x15") << "the platform menu is dimmed";
  EXPECT_EQ(refusals[2]["action"], "check aponly off") << "AP-only stays dimmed after Stop";
  EXPECT_EQ(storedOption("BacupRestorQcn"), false) << "after Stop the backup box works again";
  EXPECT_EQ(storedOption("OnlyAP"), true) << "unchanged";
  EXPECT_EQ(lastControl(events, "start")["dimmed"], false);
  EXPECT_EQ(lastControl(events, "stop")["dimmed"], true);
  EXPECT_EQ(lastControl(events, "platform")["dimmed"], false);
}

TEST_F(OptionsTest, StartAndStopSwitchTheControls) {
  auto events = runStation("stop\nstart\nstart\n");
  auto refusals = eventsOf(events, "refused");
  ASSERT_EQ(refusals.size(), 2u);
  EXPECT_EQ(refusals[0]["action"], "stop") << "Stop is dimmed until Start";
  EXPECT_EQ(refusals[1]["action"], "start") << "Start is dimmed while listening";
  EXPECT_EQ(lastControl(events, "start")["dimmed"], true);
  EXPECT_EQ(lastControl(events, "stop")["dimmed"], false);
  EXPECT_EQ(lastControl(events, "platform")["dimmed"], true);
  for (const char* box : {"backup", "aponly", "qcnonly"}) {
    EXPECT_EQ(lastControl(events, box)["dimmed"], true) << box;
  }
}

TEST_F(OptionsTest, MalformedAndLateActionsAreRefusedOrIgnored) {
  writeFile("cfg.ini", "[Platform]\nBacupRestorQcn = True\n");
  auto events = runStation(
      "check backup maybe\ncheck lamp on\nplatform Qca9x25\nfile x /a\nlaunch\n\n"
      "quit\ncheck backup off\n");
  auto refusals = eventsOf(events, "refused");
  ASSERT_EQ(refusals.size(), 5u);
  EXPECT_EQ(refusals[2]["reason"], "unknown platform");
  EXPECT_EQ(refusals[4]["reason"], "unknown action");
  EXPECT_EQ(storedOption("BacupRestorQcn"), true) << "nothing after quit is carried out";
}

}  // namespace
}  // namespace stationtest
