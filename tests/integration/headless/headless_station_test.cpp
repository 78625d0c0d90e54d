// The headless station as a program: started in a temporary working directory with a cfg.ini,
// fed operator actions on standard input, judged by its JSON lines, its exit code and cfg.ini.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/program_run.h"
#include "support/temporary_folder.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

struct StationRun {
  int exitCode = -1;
  std::vector<json> events;
  std::string errors;
};

class HeadlessStationTest : public ::testing::Test {
 protected:
  void writeFile(const std::string& name, const std::string& text) { folder_.write(name, text); }
  std::string readFile(const std::string& name) { return folder_.read(name); }

  StationRun run(const std::string& input) {
    const test_support::ProgramRun program = test_support::runProgram(
        {ZENDRAL_HEADLESS}, {.workingDirectory = dir_.string(),
                             .input = input,
                             .environment = {{"ZENDRAL_TIME_SCALE", "0.01"}}});
    StationRun result;
    result.exitCode = program.status;
    std::istringstream lines(program.out);
    for (std::string line; std::getline(lines, line);) {
      json event = json::parse(line, nullptr, false);
      EXPECT_FALSE(event.is_discarded()) << "not a JSON line: " << line;
      result.events.push_back(event);
    }
    result.errors = program.err;
    return result;
  }

  test_support::TemporaryFolder folder_{"zendral-headless"};
  const fs::path dir_ = folder_.path();
};

json lastControl(const std::vector<json>& events, const std::string& name) {
  json last;
  for (const json& e : events) {
    if (e["event"] == "control" && e["name"] == name) last = e;
  }
  return last;
}

// Position of the first event of `kind`; -1 when there is none.
int indexOf(const std::vector<json>& events, const std::string& kind) {
  for (size_t i = 0; i < events.size(); ++i) {
    if (events[i]["event"] == kind) return static_cast<int>(i);
  }
  return -1;
}

std::vector<json> ofKind(const std::vector<json>& events, const std::string& kind) {
  std::vector<json> found;
  for (const json& e : events) {
    if (e["event"] == kind) found.push_back(e);
  }
  return found;
}

constexpr char kCfg[] =
    "[Platform]\n"
    "current = Qca_9x07\n"
    "Version = Zendral-L V9\n"
    "BacupRestorQcn = True\n"
    "BackCtrlVisble = True\n"
    "SupportHalvoC = True\n"
    "SupportHalvoG = True\n"
    "[Dev1]\n"
    "diaport = 3\n";

TEST_F(HeadlessStationTest, StartsFromCfgIniAndShowsThePanel) {
  writeFile("cfg.ini", kCfg);
  StationRun result = run("quit\n");
  EXPECT_EQ(result.exitCode, 0);
  ASSERT_FALSE(result.events.empty());
  EXPECT_EQ(result.events.back(), (json{{"event", "exit"}, {"code", 0}}));

  auto titles = ofKind(result.events, "title");
  ASSERT_EQ(titles.size(), 1u);
  std::regex title(
      R"(Zendral-L V9\(Build:[A-Z][a-z]{2} [ 0-9][0-9] [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}\))");
  EXPECT_TRUE(std::regex_match(titles[0]["text"].get<std::string>(), title)) << titles[0];

  for (const char* item : {"Qca6270", "Qca6695", "Qca9206", "Qca9x15", "Qca8909"}) {
    EXPECT_EQ(lastControl(result.events, item)["checked"], false) << item;
  }
  EXPECT_EQ(lastControl(result.events, "Qca9x07")["checked"], true);
  EXPECT_EQ(lastControl(result.events, "Qca9x07")["dimmed"], false);
  EXPECT_EQ(lastControl(result.events, "Qca6270")["dimmed"], true);

  EXPECT_EQ(lastControl(result.events, "backup"), (json{{"event", "control"},
                                                        {"name", "backup"},
                                                        {"visible", true},
                                                        {"dimmed", false},
                                                        {"checked", true}}));
  EXPECT_EQ(lastControl(result.events, "qcnonly")["visible"], true);
  EXPECT_EQ(lastControl(result.events, "qcnonly")["checked"], false);
  EXPECT_EQ(lastControl(result.events, "aponly")["visible"], false);

  // No Platform/Qca9x07.ini names a firmware folder yet: the list offers an empty folder row
  // (and the platform's files, none found) and Start is dimmed.
  auto tables = ofKind(result.events, "table");
  ASSERT_FALSE(tables.empty());
  EXPECT_EQ(tables.back()["rows"][0]["label"], "Firmware Path");
  EXPECT_EQ(tables.back()["rows"][0]["path"], "");
  EXPECT_FALSE(fs::exists(dir_ / "Platform")) << "a load creates no platform file";
  EXPECT_EQ(lastControl(result.events, "start")["dimmed"], true);
}

TEST_F(HeadlessStationTest, ActionsChangeOptionsPlatformAndFolder) {
  writeFile("cfg.ini", kCfg);
  writeFile("fw/R07/NPRG9x07.mbn", "programmer");
  std::string folder = (dir_ / "fw/R07").string();
  StationRun result =
      run("check qcnonly on\n"
          "check aponly on\n"
          "start\n"
          "folder " +
          folder +
          "\n"
          "platform Qca8909\n"
          "start\n"
          "folder " +
          folder +
          "\n"
          "close-files\n"
          "stop\n");
  EXPECT_EQ(result.exitCode, 0) << "the end of the input closes the station";
  EXPECT_EQ(result.events.back()["event"], "exit");

  std::string cfg = readFile("cfg.ini");
  EXPECT_NE(cfg.find("OnlyQcn = True"), std::string::npos) << cfg;
  EXPECT_NE(cfg.find("Qca_8909"), std::string::npos) << "the menu choice is stored";
  EXPECT_EQ(cfg.find("OnlyAP"), std::string::npos) << "a hidden box cannot be changed";
  EXPECT_NE(cfg.find("Version = Zendral-L V9"), std::string::npos);

  auto refused = ofKind(result.events, "refused");
  std::vector<std::string> actions;
  for (const json& r : refused) actions.push_back(r["action"]);
  EXPECT_EQ(actions, (std::vector<std::string>{"check aponly on", "start", "folder " + folder,
                                               "start", "stop"}));
  EXPECT_EQ(refused[3]["reason"], "the file panel is shown");

  auto panels = ofKind(result.events, "filepanel");
  ASSERT_EQ(panels.size(), 2u);
  EXPECT_EQ(panels[0]["visible"], true);
  EXPECT_EQ(panels[1]["visible"], false);

  auto choosers = ofKind(result.events, "chooser");
  ASSERT_EQ(choosers.size(), 1u);
  EXPECT_EQ(choosers[0]["title"], "Firmware Path:");
  // The folder's programmer made it a Qca9x07 firmware, whatever the menu said.
  EXPECT_EQ(lastControl(result.events, "Qca9x07")["checked"], true);
  EXPECT_EQ(lastControl(result.events, "Qca8909")["checked"], false);
  EXPECT_EQ(ofKind(result.events, "folder").back()["text"], "R07");
  EXPECT_EQ(ofKind(result.events, "table").back()["rows"][0]["path"], folder);
  EXPECT_EQ(lastControl(result.events, "aponly")["dimmed"], true);
}

TEST_F(HeadlessStationTest, WithoutCfgIniItStillStartsAndQuits) {
  StationRun result = run("check backup on\nquit\nplatform Qca9x07\n");
  EXPECT_EQ(result.exitCode, 0);
  auto titles = ofKind(result.events, "title");
  ASSERT_EQ(titles.size(), 1u);
  EXPECT_EQ(titles[0]["text"].get<std::string>().rfind("(Build:", 0), 0u);
  auto refused = ofKind(result.events, "refused");
  ASSERT_EQ(refused.size(), 1u) << "nothing after quit is carried out";
  EXPECT_EQ(refused[0]["reason"], "hidden");
  EXPECT_FALSE(fs::exists(dir_ / "cfg.ini"));
}

TEST_F(HeadlessStationTest, HelpOpensTheConfiguredDocument) {
  writeFile("cfg.ini",
            "[Platform]\ncurrent = Qca_9x07\nSupportHalvoC = True\nSupportHalvoG = True\n"
            "Help = docs/manual.pdf\n");
  StationRun result = run("help\nplatform Qca9x07\nhelp\n");
  auto opened = ofKind(result.events, "open");
  ASSERT_EQ(opened.size(), 1u) << "the modal file panel keeps the menu out of reach";
  EXPECT_EQ(opened[0]["path"], "docs/manual.pdf");
  auto refused = ofKind(result.events, "refused");
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0]["action"], "help");
}

constexpr char kEveryPlatformCfg[] =
    "[Platform]\n"
    "current = Qca_9x07\n"
    "SupportHalvoA = True\nSupportHalvoB = True\nSupportHalvoC = True\nSupportHalvoD = True\n"
    "SupportHalvoE = True\nSupportHalvoF = True\nSupportHalvoG = True\n";

// A station on its first day: no Platform folder at all. Every platform of the menu offers row 1
// of its file panel, takes a firmware folder there, creates its platform file and can start.
// Platforms whose procedure is not part of this build say so when picked and are left out.
TEST_F(HeadlessStationTest, AFreshStationChoosesItsFirmwareFolderOnEveryPlatform) {
  const std::vector<std::pair<std::string, std::string>> menu = {
      {"Qca6270", "Qca_6270"}, {"Qca6695", "Qca_6695"}, {"Qca9206", "Qca_9206"},
      {"Qca9x15", "Qca_9x15"}, {"Qca9x07", "Qca_9x07"}, {"Qca8909", "Qca_8909"}};
  std::vector<std::string> covered;
  for (const auto& [platform, current] : menu) {
    SCOPED_TRACE(platform);
    test_support::TemporaryFolder station{"zendral-fresh"};
    station.write("cfg.ini", kEveryPlatformCfg);
    const fs::path firmware = station.path() / "fw" / platform;
    const test_support::ProgramRun made = test_support::runProgram(
        {ZENDRAL_BENCH_PROGRAM, "make-firmware", "--platform", platform, firmware.string(),
         "--size-scale", "0.0001", "--station-dir", station.path().string()});
    ASSERT_EQ(made.status, 0) << made.err;
    const test_support::ProgramRun program = test_support::runProgram(
        {ZENDRAL_HEADLESS}, {.workingDirectory = station.path().string(),
                             .input = "platform " + platform + "\nfolder " + firmware.string() +
                                      "\nclose-files\nstart\nstop\n",
                             .environment = {{"ZENDRAL_TIME_SCALE", "0.01"}}});
    std::vector<json> events;
    std::istringstream lines(program.out);
    for (std::string line; std::getline(lines, line);) events.push_back(json::parse(line));
    ASSERT_EQ(program.status, 0) << program.err;

    // A procedure missing from this build says so in an error box when picked.
    auto boxes = ofKind(events, "box");
    if (std::any_of(boxes.begin(), boxes.end(), [](const json& box) {
          return box["text"].get<std::string>().find("not available in this build") !=
                 std::string::npos;
        })) {
      continue;
    }
    covered.push_back(platform);
    // The table the menu choice loaded (the file panel opens after it) offers an empty row 1.
    const int panel = indexOf(events, "filepanel");
    ASSERT_GT(panel, 0);
    const auto shown =
        std::find_if(std::make_reverse_iterator(events.begin() + panel), events.rend(),
                     [](const json& e) { return e["event"] == "table"; });
    ASSERT_NE(shown, events.rend());
    EXPECT_EQ((*shown)["rows"][0]["label"], "Firmware Path");
    EXPECT_EQ((*shown)["rows"][0]["path"], "");
    auto tables = ofKind(events, "table");
    EXPECT_EQ(tables.back()["rows"][0]["path"], firmware.string());
    const fs::path platformFile = station.path() / "Platform" / (platform + ".ini");
    ASSERT_TRUE(fs::exists(platformFile)) << "the save creates the platform file";
    EXPECT_NE(station.read("Platform/" + platform + ".ini").find(firmware.string()),
              std::string::npos);
    EXPECT_TRUE(ofKind(events, "refused").empty()) << program.out;
    auto listening = [](const json& e) {
      return e["event"] == "control" && e["name"] == "stop" && e["dimmed"] == false;
    };
    EXPECT_TRUE(std::any_of(events.begin(), events.end(), listening)) << "Start was carried out";
    EXPECT_NE(station.read("cfg.ini").find(current), std::string::npos);
  }
  EXPECT_NE(std::find(covered.begin(), covered.end(), "Qca9x07"), covered.end());
  std::string list;
  for (const std::string& platform : covered) list += " " + platform;
  RecordProperty("platforms", list);
}

TEST_F(HeadlessStationTest, GarbageOnStandardInputIsRefusedNotFatal) {
  writeFile("cfg.ini", kCfg);
  std::string garbage("\x01\xff\xfe binary \0 zero\n", 19);
  garbage += std::string(100000, 'x') + "\n";
  garbage += "file 99999999999999999999 /x\n";
  StationRun result = run(garbage + "quit\n");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(ofKind(result.events, "refused").size(), 3u);
  EXPECT_EQ(result.events.back()["event"], "exit");
}

}  // namespace
