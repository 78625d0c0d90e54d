#include "bench/road/road.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "host/bench_client.h"
#include "host/executable_path.h"
#include "ini/inifile.h"
#include "station/platform_menu.h"

namespace road {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// The platform's entry of the station's menu ("Qca9x07" is the item "Qca_9x07"); null for a
// platform the menu does not offer.
const PlatformMenuItem* menuEntry(const std::string& platform) {
  if (platform.size() < 4) return nullptr;
  const std::string current = "Qca_" + platform.substr(3);
  for (const PlatformMenuItem& item : kPlatformMenu) {
    if (current == item.currentName) return &item;
  }
  return nullptr;
}

std::string program(const char* name) {
  return host::executableDir() + "/" + name;
}

std::string numberText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// Every platform ends a good road on a green status 0; the text before it differs (Qca8909
// without backup and restore shows the tool's "Update success!").
bool isSuccess(const json& e) {
  return e["event"] == "status" && e["value"] == 0;
}

bool isFailure(const json& e) {
  return e["event"] == "status" && e["value"].is_number_integer() && e["value"].get<int>() < 0;
}

}  // namespace

const char* outcomeText(Outcome outcome) {
  switch (outcome) {
    case Outcome::kSuccess:
      return "success";
    case Outcome::kFailure:
      return "failure";
    case Outcome::kNoResult:
      return "no result";
  }
  return "?";
}

double smallestTimeScale(const std::string& platform) {
  // Qca8909 waits a fixed 20 s (scaled) for the emergency port after "at+bootedl"; the bench's
  // module lets the station read its echo first and so leaves its AT port no sooner than 0.4 s
  // after the command, whatever the scale. Below 0.05 the wait ends before the port can come.
  return platform == "Qca8909" ? 0.05 : 0.0;
}

std::vector<std::string> benchPlatforms() {
  std::vector<std::string> names;
  for (const PlatformMenuItem& item : kPlatformMenu) {
    names.push_back(std::string("Qca") + (item.currentName + 4));
  }
  return names;
}

Road::Road(const RoadOptions& options) : options_(options) {
  options_.timeScale = std::max(options.timeScale, smallestTimeScale(options.platform));
  if (!menuEntry(options.platform)) {
    error_ = "unknown platform " + options.platform;
    return;
  }
  std::string pattern = (fs::temp_directory_path() / "zendral-road-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    error_ = "cannot make a working folder";
    return;
  }
  folder_ = pattern;
  fs::create_directories(folder_ + "/Platform");
  socket_ = folder_ + "/bench.sock";
  // The station and the simulated library and tools run at the station's scale; the bench gets
  // its own, so that its delays can be told apart from the station's waits.
  ::setenv("ZENDRAL_BENCH", socket_.c_str(), 1);
  ::setenv("ZENDRAL_TIME_SCALE",
           numberText(options_.benchTimeScale < 0 ? options_.timeScale : options_.benchTimeScale)
               .c_str(),
           1);
  bench_ =
      host::ChildProcess::start({program("zendral-bench"), "serve", "--socket", socket_}, &error_);
  ::setenv("ZENDRAL_TIME_SCALE", numberText(options_.timeScale).c_str(), 1);
  if (!bench_) return;
  json reply;
  std::string failure;
  for (int tries = 0; tries < 200; ++tries) {
    if (host::benchRequest(socket_, {{"cmd", "state"}}, reply, failure, 1000)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!host::benchReplyOk(reply)) {
    error_ = "the bench does not answer: " + failure;
    return;
  }
  auto made = host::ChildProcess::start({program("zendral-bench"), "make-firmware", "--platform",
                                         options.platform, folder_ + "/firmware", "--size-scale",
                                         numberText(options.sizeScale), "--station-dir", folder_},
                                        &error_);
  if (!made || made->wait() != 0) {
    if (error_.empty()) error_ = "make-firmware failed";
    return;
  }
  if (!writeSettings()) return;
  station_ = std::make_unique<StationProcess>(folder_, program("zendral-headless"));
  if (!station_->started()) {
    error_ = "the station does not start";
    return;
  }
  station_->send("start");
}

Road::~Road() {
  station_.reset();
  if (bench_) {
    json reply;
    std::string failure;
    host::benchRequest(socket_, {{"cmd", "quit"}}, reply, failure, 5000);
    bench_->wait();
  }
  if (!options_.keepFolder && !folder_.empty()) {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
}

bool Road::writeSettings() {
  const PlatformMenuItem* entry = menuEntry(options_.platform);
  IniDocumentPtr cfg(Ini_New(0));
  Ini_PutString(cfg.get(), "Platform", "current", entry->currentName);
  Ini_PutString(cfg.get(), "Platform", "Version", "Zendral road");
  Ini_PutBoolean(cfg.get(), "Platform", entry->enablingKey, 1);
  if (options_.dutCount > 1) Ini_PutInt(cfg.get(), "Platform", "DutCount", options_.dutCount);
  IniDocumentPtr platform(Ini_New(0));
  const std::string firmware = folder_ + "/firmware";
  Ini_PutString(platform.get(), "Dir", "Dir Path", firmware.c_str());
  Ini_PutString(platform.get(), "Dir", "Qcn Path", firmware.c_str());
  Ini_PutString(platform.get(), "Dir", "CheckCFUN", "+CFUN: 1");
  const std::string platformIni = folder_ + "/Platform/" + options_.platform + ".ini";
  if (Ini_WriteToFile(cfg.get(), (folder_ + "/cfg.ini").c_str()) != 0 ||
      Ini_WriteToFile(platform.get(), platformIni.c_str()) != 0) {
    error_ = "cannot write the settings";
    return false;
  }
  return true;
}

json Road::request(const json& body) {
  json reply;
  std::string failure;
  if (!host::benchRequest(socket_, body, reply, failure, 30000)) {
    return {{"ok", false}, {"error", failure}};
  }
  return reply;
}

std::string Road::plug(const std::vector<std::string>& faults, const std::string& imei, int port) {
  json body = {{"cmd", "plug"}, {"platform", options_.platform}, {"faults", faults}};
  if (!imei.empty()) body["imei"] = imei;
  if (port > 0) body["port"] = port;
  const json reply = request(body);
  if (!host::benchReplyOk(reply)) {
    error_ = "plug refused: " + reply.dump();
    return "";
  }
  return reply.value("id", "");
}

void Road::unplug(const std::string& id) {
  request({{"cmd", "unplug"}, {"id", id}});
}

Outcome Road::waitForEnd(size_t mark, std::chrono::seconds limit) {
  json status;
  const bool ended = station_->waitForAfter(
      mark, [](const json& e) { return isSuccess(e) || isFailure(e); }, limit, &status);
  if (!ended) return Outcome::kNoResult;
  return isSuccess(status) ? Outcome::kSuccess : Outcome::kFailure;
}

bool Road::waitForUnplugShown(size_t mark, std::chrono::seconds limit) {
  return station_->waitForAfter(
      mark, [](const json& e) { return e["event"] == "message" && e["text"] == "Device unplug."; },
      limit);
}

bool Road::platformHasTools() const {
  // Only the Qca8909 procedure runs the Sahara and Firehose tools.
  return options_.platform == "Qca8909";
}

int Road::quitStation() {
  return station_ ? station_->quit(std::chrono::seconds(60)) : -1;
}

}  // namespace road
