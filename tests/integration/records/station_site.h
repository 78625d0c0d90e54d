#pragma once
// One station of a line on the virtual bench: a working directory with cfg.ini (its [Record]
// section as the test says), a Qca9x07 firmware and Platform/Qca9x07.ini, a bench of its own,
// and the headless station running there. Several sites run side by side.

#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../road/road_fixture.h"
#include "records/record_database.h"

namespace records_test {

namespace fs = std::filesystem;
using nlohmann::json;

class StationSite {
 public:
  // `database` and `station` are cfg.ini's [Record] values ("" leaves the key out).
  StationSite(const std::string& name, const std::string& database, const std::string& station,
              bool backup = true)
      : dir_(fs::temp_directory_path() /
             ("zendral-records-" + std::to_string(::getpid()) + "-" + name)) {
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "Platform");
    bench_ = std::make_unique<test_support::BenchServer>(test_support::binPath("zendral-bench"),
                                                         (dir_ / "bench.sock").string());
    if (!bench_->ready()) {
      error_ = bench_->error();
      return;
    }
    const auto made = test_support::runProgram(
        {test_support::binPath("zendral-bench"), "make-firmware", "--platform", "Qca9x07",
         firmware().string(), "--size-scale", "0.01", "--station-dir", dir_.string()});
    if (made.status != 0) error_ = made.out + made.err;
    writeConfig(database, station, backup);
  }

  ~StationSite() {
    station_.reset();
    bench_.reset();
    if (keep_) {
      std::cerr << "kept " << dir_ << "\n";
    } else {
      fs::remove_all(dir_);
    }
  }

  const std::string& error() const { return error_; }
  const fs::path& dir() const { return dir_; }
  fs::path firmware() const { return dir_ / "firmware"; }
  road_test::StationProcess& station() { return *station_; }
  void keep() { keep_ = true; }

  // Starts the headless station here and presses Start.
  bool start() {
    ::setenv("ZENDRAL_BENCH", bench_->socket().c_str(), 1);
    station_ = std::make_unique<road_test::StationProcess>(
        dir_, test_support::binPath("zendral-headless"));
    if (!station_->started()) return false;
    station_->send("start");
    return true;
  }
  bool quit() {
    station_->send("quit");
    station_->closeInput();
    return station_->waitForExit(std::chrono::seconds(60));
  }

  std::string plug(const std::vector<std::string>& faults = {}) {
    const json reply =
        bench_->request({{"cmd", "plug"}, {"platform", "Qca9x07"}, {"faults", faults}});
    return reply.value("id", "");
  }
  void unplug(const std::string& id) { bench_->request({{"cmd", "unplug"}, {"id", id}}); }
  json moduleState(const std::string& id) {
    for (const json& module : bench_->request({{"cmd", "state"}}).value("modules", json::array())) {
      if (module["id"] == id) return module;
    }
    return {};
  }

  // One module after the other: plug, wait for its result, unplug. Returns the bench ids.
  std::vector<std::string> runModules(int count) {
    std::vector<std::string> ids;
    for (int i = 0; i < count; ++i) {
      const size_t mark = station_->eventCount();
      ids.push_back(plug());
      if (!station_->waitForAfter(mark, [](const json& e) {
            return e["event"] == "status" && e["value"].get<int>() <= 0;
          })) {
        break;
      }
      unplug(ids.back());
      station_->waitForAfter(mark, [](const json& e) {
        return e["event"] == "message" && e["text"] == "Device unplug.";
      });
    }
    return ids;
  }

  std::string dutLog() const {
    std::ifstream in(dir_ / "Dut1.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  void writeConfig(const std::string& database, const std::string& station, bool backup) {
    IniDocumentPtr cfg(Ini_New(0));
    Ini_PutString(cfg.get(), "Platform", "current", "Qca_9x07");
    Ini_PutString(cfg.get(), "Platform", "Version", "Zendral records");
    Ini_PutBoolean(cfg.get(), "Platform", "BackCtrlVisble", true);
    Ini_PutBoolean(cfg.get(), "Platform", "BacupRestorQcn", backup);
    if (!database.empty()) Ini_PutString(cfg.get(), "Record", "Database", database.c_str());
    if (!station.empty()) Ini_PutString(cfg.get(), "Record", "Station", station.c_str());
    Ini_WriteToFile(cfg.get(), (dir_ / "cfg.ini").c_str());
    IniDocumentPtr platform(Ini_New(0));
    Ini_PutString(platform.get(), "Dir", "Dir Path", firmware().c_str());
    Ini_PutString(platform.get(), "Dir", "CheckCFUN", "+CFUN: 1");
    Ini_WriteToFile(platform.get(), (dir_ / "Platform/Qca9x07.ini").c_str());
  }

  fs::path dir_;
  std::string error_;
  bool keep_ = false;
  std::unique_ptr<test_support::BenchServer> bench_;
  std::unique_ptr<road_test::StationProcess> station_;
};

// How often `part` appears in `text`.
inline size_t countOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Waits (bounded; a hang shows as a failure, not a timing claim) until the database at
// `connection` holds `count` runs, and returns them.
inline std::vector<records::StoredRun> waitForRuns(const std::string& connection, size_t count) {
  const auto deadline = std::chrono::steady_clock::now() + road_test::kPatience;
  std::vector<records::StoredRun> runs;
  while (std::chrono::steady_clock::now() < deadline) {
    try {
      records::RecordDatabase db(connection);
      if (records::schemaVersion(db.tobrin()) > 0) runs = db.find({}, true);
    } catch (const std::exception&) {
    }
    if (runs.size() >= count) return runs;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return runs;
}

}  // namespace records_test
