#pragma once
// Shared ground for the station tests: a temporary working directory, a fake platform whose
// file-list operations record what the station asked of them, and runs of the headless station
// whose JSON events are collected.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/process_killer.h"
#include "platform/platform.h"
#include "support/temporary_folder.h"

namespace stationtest {

using nlohmann::json;

// The fake platform: every table made from it records its calls here. load() fills row 1 with
// `folder` and then `files` rows; save() keeps row 1 as the folder; auto-load takes the folder.
struct FakePlatform {
  static void reset();
  static inline int loadResult = 0;
  static inline bool refuseTables = false;  // the row source has no rows
  static inline bool giveUpLoads = false;   // load() empties the table and fails
  static inline std::string folder;
  static inline int files = 0;
  static inline std::vector<std::string> calls;  // "create 3", "load", "save", "autoLoad /fw"
};
const PlatformOps* fakePlatformRows(PlatformType type);

class StationTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void writeFile(const std::string& name, const std::string& text);
  std::string readFile(const std::string& name);

  // Runs the headless station on `input` (its end closes the station) and returns every event.
  std::vector<json> runStation(const std::string& input);

  std::filesystem::path dir_;
  host::RecordingProcessKiller killer_;

 private:
  std::optional<test_support::WorkingFolder> folder_;
  PlatformRowSource previousRows_ = nullptr;
};

// The events of one kind, in order.
std::vector<json> eventsOf(const std::vector<json>& events, const std::string& kind);
// The last "control" event of a control; null json when there is none.
json lastControl(const std::vector<json>& events, const std::string& name);
// Position of the first event matching `kind` and (when given) a field value; -1 when none.
int indexOf(const std::vector<json>& events, const std::string& kind, const std::string& field = "",
            const json& value = nullptr);

// Reads JSON lines written to `file` from its start.
std::vector<json> readEvents(std::FILE* file);

}  // namespace stationtest
