#include "station_fixture.h"

#include <unistd.h>

#include "host/operator_surface.h"
#include "host/station_options.h"
#include "ui/headless/headless_station.h"

namespace stationtest {
namespace {

int fakeLoad(host::FileTable& table) {
  FakePlatform::calls.push_back("load");
  table.clear();
  if (FakePlatform::giveUpLoads) return -1;
  table.appendRow("Firmware Path", FakePlatform::folder);
  for (int i = 1; i <= FakePlatform::files; ++i) {
    table.appendRow("File" + std::to_string(i), FakePlatform::folder + "/file" + std::to_string(i));
  }
  return FakePlatform::loadResult;
}

int fakeAutoLoad(host::FileTable& table, const char* folder) {
  FakePlatform::calls.push_back(std::string("autoLoad ") + folder);
  FakePlatform::folder = folder;
  return fakeLoad(table);
}

int fakeSave(host::FileTable& table) {
  FakePlatform::calls.push_back("save");
  FakePlatform::folder = table.path(1);
  return 0;
}

int fakeStep(const DownloadRequest&) {
  return -1;
}
int fakeCompleted() {
  return 0;
}

PlatformOps gRow{0, fakeAutoLoad, fakeLoad, fakeSave, fakeStep, fakeStep, fakeStep, fakeCompleted};

}  // namespace

void FakePlatform::reset() {
  loadResult = 0;
  refuseTables = false;
  giveUpLoads = false;
  folder.clear();
  files = 0;
  calls.clear();
}

const PlatformOps* fakePlatformRows(PlatformType type) {
  if (FakePlatform::refuseTables) return nullptr;
  FakePlatform::calls.push_back("create " + std::to_string(type));
  return &gRow;
}

void StationTest::SetUp() {
  folder_.emplace("zendral-station");
  dir_ = folder_->path();
  FakePlatform::reset();
  previousRows_ = installPlatformRows(fakePlatformRows);
  host::installProcessKiller(&killer_);
  resetStationOptions();
}

void StationTest::TearDown() {
  platform_dispose();
  installPlatformRows(previousRows_);
  host::installProcessKiller(nullptr);
  host::installSurface(nullptr);
  folder_.reset();
}

void StationTest::writeFile(const std::string& name, const std::string& text) {
  folder_->write(name, text);
}

std::string StationTest::readFile(const std::string& name) {
  return folder_->read(name);
}

std::vector<json> StationTest::runStation(const std::string& input) {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  // The whole input fits the pipe; its end is the operator closing the station.
  EXPECT_EQ(write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  close(fds[1]);
  std::FILE* out = std::tmpfile();
  int code = runHeadlessStation(fds[0], out);
  close(fds[0]);
  std::vector<json> events = readEvents(out);
  std::fclose(out);
  EXPECT_FALSE(events.empty());
  if (!events.empty()) {
    EXPECT_EQ(events.back(), (json{{"event", "exit"}, {"code", code}}));
  }
  return events;
}

std::vector<json> readEvents(std::FILE* file) {
  std::rewind(file);
  std::vector<json> events;
  char* line = nullptr;
  size_t capacity = 0;
  while (getline(&line, &capacity, file) > 0) events.push_back(json::parse(line));
  free(line);
  std::fseek(file, 0, SEEK_END);  // later events are appended after a read
  return events;
}

std::vector<json> eventsOf(const std::vector<json>& events, const std::string& kind) {
  std::vector<json> found;
  for (const json& event : events) {
    if (event["event"] == kind) found.push_back(event);
  }
  return found;
}

json lastControl(const std::vector<json>& events, const std::string& name) {
  json last;
  for (const json& event : events) {
    if (event["event"] == "control" && event["name"] == name) last = event;
  }
  return last;
}

int indexOf(const std::vector<json>& events, const std::string& kind, const std::string& field,
            const json& value) {
  for (size_t i = 0; i < events.size(); ++i) {
    if (events[i]["event"] != kind) continue;
    if (field.empty() || (events[i].contains(field) && events[i][field] == value)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

}  // namespace stationtest
