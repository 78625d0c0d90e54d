// The Qca9x07 road with backup/restore on, unplugged at every stage: during the CP download
// (just after its first partition started, half way, almost done), during the AP download
// (likewise) and during the QCN restore. The interrupted run never reports success; after a
// replug the station, still listening, takes the module again (from QDLoader 9008 when the
// unplug broke its boot chain) and ends with "Update Success!", every partition equal to its
// firmware file, the calibration as it was before the first run and no QCN file lost.

#include <set>

#include "road_fixture.h"

namespace road_test {
namespace {

bool isMessage(const json& e, const std::string& text) {
  return e["event"] == "message" && e["text"] == text;
}

class UnplugMatrix : public Qca9x07RoadTest, public ::testing::WithParamInterface<std::string> {
 protected:
  // Digests of every QCN/XQCN file in the firmware folder, whatever its name (a file moved
  // aside keeps its contents).
  std::set<std::string> qcnContents() {
    std::set<std::string> digests;
    for (const auto& entry : fs::directory_iterator(firmware())) {
      const std::string name = entry.path().filename().string();
      if (name.find(".qcn") == std::string::npos && name.find(".xqcn") == std::string::npos) {
        continue;
      }
      std::string sha;
      uint64_t size = 0;
      if (sim::sha256OfFile(entry.path().string(), sha, size)) digests.insert(sha);
    }
    return digests;
  }

  bool unplugged(const std::string& id) {
    for (const json& command : moduleState(id).value("commands", json::array())) {
      if (command["via"] == "bench" &&
          command["text"].get<std::string>().rfind("unplugged", 0) == 0)
        return true;
    }
    return false;
  }
};

TEST_P(UnplugMatrix, TheInterruptedRunFailsAndAReplugEndsGreenWithNothingLost) {
  flags_["BacupRestorQcn"] = true;
  const std::string id = plug({"unplug:" + GetParam()});
  const json before = moduleState(id);
  startStation();

  // The interrupted run: a failure or "Device unplug.", never success.
  ASSERT_TRUE(station_->waitFor([&](const json& e) {
    return (e["event"] == "status" && e["value"].get<int>() < 0) || isMessage(e, "Device unplug.");
  })) << "messages: "
      << json(station_->messages()).dump(1);
  ASSERT_TRUE(unplugged(id)) << "the fault did not fire";
  const bool brokenBootChain = !moduleState(id).value("bootChainComplete", true);
  const std::set<std::string> savedBefore = qcnContents();
  EXPECT_FALSE(savedBefore.empty()) << "the run backed up the calibration first";
  size_t mark = station_->eventCount();
  for (size_t i = 0; i < mark; ++i) {
    EXPECT_FALSE(isMessage(station_->events()[i], "Update Success!")) << "interrupted run";
  }

  replug(id);
  ASSERT_TRUE(
      station_->waitForAfter(mark, [](const json& e) { return isMessage(e, "Update Success!"); }))
      << "messages: " << json(station_->messages()).dump(1);

  std::map<std::string, fs::path> sources = defaultPartitions();
  sources["efs2"] = firmware() / "efs2.qmbn";
  expectPartitionsEqualFiles(id, sources);
  const json after = moduleState(id);
  EXPECT_EQ(after["nvSha256"], before["nvSha256"]) << "the calibration is back";
  EXPECT_EQ(after["mode"], "normal");
  if (brokenBootChain) {
    bool emergency = false;
    for (const json& command : after["commands"]) {
      emergency |= command["text"] == "programmer ENPRG9x07.mbn";
    }
    EXPECT_TRUE(emergency) << "a module with a broken boot chain comes back in QDLoader 9008";
  }
  const std::set<std::string> savedAfter = qcnContents();
  for (const std::string& digest : savedBefore) {
    EXPECT_TRUE(savedAfter.count(digest)) << "a QCN file was lost";
  }
  quitStation();
  EXPECT_EQ(station_->exitCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(Stages, UnplugMatrix,
                         ::testing::Values("cp:0", "cp:50", "cp:99", "ap:0", "ap:50", "ap:99",
                                           "tp:50"),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (c == ':') c = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace road_test
