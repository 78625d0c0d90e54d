#pragma once
// The whole road on the virtual bench: zendral-bench serving in a fresh working directory with
// a Qca9x07 firmware, cfg.ini and Platform/Qca9x07.ini, and the headless station running in
// that directory, fed operator actions on its standard input and followed by its JSON lines.
// Every program runs at a tiny time scale.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/bench_client.h"
#include "ini/inifile.h"
#include "sim/bench/sha256.h"
#include "support/bench_server.h"
#include "support/program_run.h"

namespace road_test {

using nlohmann::json;
namespace fs = std::filesystem;

inline const bool kRoadEnvironment = [] {
  return ::setenv("ZENDRAL_TIME_SCALE", "0.01", 1) == 0;
}();

using test_support::binPath;

// How long a test waits for something the road should bring: hangs show as failures, never as
// a stuck test run. Not a measure of speed.
inline constexpr auto kPatience = std::chrono::seconds(120);

// The headless station as a child process with its standard input and output on pipes.
class StationProcess {
 public:
  StationProcess(const fs::path& workingDir, const fs::path& program) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(in[0], 0);
      ::dup2(out[1], 1);
      const int errors =
          ::open((workingDir / "station.err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (errors >= 0) ::dup2(errors, 2);
      if (::chdir(workingDir.c_str()) != 0) ::_exit(126);
      ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    input_ = in[1];
    output_ = out[0];
    reader_ = std::thread([this] { readLines(); });
  }
  ~StationProcess() {
    closeInput();
    if (pid_ > 0 && !exited_) {
      // A station that does not end on its own is a failure the test reports; here it is
      // only cleared away.
      if (!waitForExit(std::chrono::seconds(20))) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
      }
    }
    if (reader_.joinable()) reader_.join();
    if (output_ >= 0) ::close(output_);
  }

  bool started() const { return pid_ > 0; }

  void send(const std::string& line) {
    const std::string text = line + "\n";
    if (input_ >= 0) (void)!::write(input_, text.data(), text.size());
  }
  void closeInput() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
  }

  // Waits until an event satisfies `match` (events seen before count too).
  bool waitFor(const std::function<bool(const json&)>& match) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] {
      for (const json& e : events_) {
        if (match(e)) return true;
      }
      return ended_;
    }) && std::any_of(events_.begin(), events_.end(), match);
  }
  // Waits for an event matching `match` that arrives after the first `from` events.
  bool waitForAfter(size_t from, const std::function<bool(const json&)>& match) {
    std::unique_lock lock(mutex_);
    auto found = [&] {
      for (size_t i = from; i < events_.size(); ++i) {
        if (match(events_[i])) return true;
      }
      return false;
    };
    changed_.wait_for(lock, kPatience, [&] { return found() || ended_; });
    return found();
  }
  bool waitForMessage(const std::string& text) {
    return waitFor([&](const json& e) { return e["event"] == "message" && e["text"] == text; });
  }

  std::vector<json> events() {
    std::lock_guard lock(mutex_);
    return events_;
  }
  size_t eventCount() {
    std::lock_guard lock(mutex_);
    return events_.size();
  }
  std::vector<std::string> messages() {
    std::vector<std::string> out;
    for (const json& e : events()) {
      if (e["event"] == "message") out.push_back(e["text"]);
    }
    return out;
  }
  // The last status value posted, or nullopt.
  std::optional<int> lastStatus() {
    std::optional<int> last;
    for (const json& e : events()) {
      if (e["event"] == "status") last = e["value"].get<int>();
    }
    return last;
  }

  // Waits for the program to end; false when it did not within `limit`.
  bool waitForExit(std::chrono::seconds limit) {
    if (exited_) return true;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  int exitCode() const { return exitCode_; }

  // Ends the program at once, as a crash or a pulled plug would.
  void kill() {
    if (pid_ <= 0 || exited_) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    exited_ = true;
    exitCode_ = 128 + SIGKILL;
  }

 private:
  void readLines() {
    std::string pending;
    char chunk[4096];
    for (;;) {
      const ssize_t n = ::read(output_, chunk, sizeof chunk);
      if (n <= 0) break;
      pending.append(chunk, static_cast<size_t>(n));
      for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
        json event = json::parse(pending.substr(0, end), nullptr, false);
        pending.erase(0, end + 1);
        std::lock_guard lock(mutex_);
        events_.push_back(event.is_discarded() ? json{{"event", "not-json"}} : event);
        changed_.notify_all();
      }
    }
    std::lock_guard lock(mutex_);
    ended_ = true;
    changed_.notify_all();
  }

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  bool exited_ = false;
  int exitCode_ = -1;
  std::thread reader_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<json> events_;
  bool ended_ = false;
};

class Qca9x07RoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kRoadEnvironment);
    static int serial = 0;
    dir_ = fs::temp_directory_path() /
           ("zendral-road-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "Platform");
    socket_ = (dir_ / "bench.sock").string();
    // The station, the simulated library and the bench tools all find the bench by this.
    ::setenv("ZENDRAL_BENCH", socket_.c_str(), 1);
    bench_ = std::make_unique<test_support::BenchServer>(binPath("zendral-bench"), socket_,
                                                         benchOptions_);
    ASSERT_TRUE(bench_->ready()) << bench_->error();
    const test_support::ProgramRun made = test_support::runProgram(
        {binPath("zendral-bench"), "make-firmware", "--platform", "Qca9x07", firmware().string(),
         "--size-scale", "0.01", "--station-dir", dir_.string()});
    ASSERT_EQ(made.status, 0) << made.out << made.err;
    cfg_ = {{"current", "Qca_9x07"}, {"Version", "Zendral road"}};
    flags_ = {{"BackCtrlVisble", true}};
  }

  void TearDown() override {
    // A failed test keeps its working directory, with the station's events, for a look.
    if (HasFailure() && station_) {
      std::ofstream out(dir_ / "events.jsonl");
      for (const json& e : station_->events()) out << e.dump() << "\n";
      std::cerr << "kept " << dir_ << "\n";
    }
    station_.reset();
    bench_.reset();
    if (!HasFailure()) fs::remove_all(dir_);
  }

  fs::path firmware() const { return dir_ / "firmware"; }

  // Writes cfg.ini and Platform/Qca9x07.ini, starts the station and presses Start.
  void startStation(bool pressStart = true) {
    IniDocumentPtr cfg(Ini_New(0));
    for (const auto& [key, value] : cfg_)
      Ini_PutString(cfg.get(), "Platform", key.c_str(), value.c_str());
    for (const auto& [key, on] : flags_) Ini_PutBoolean(cfg.get(), "Platform", key.c_str(), on);
    for (const auto& [section, items] : cfgSections_) {
      for (const auto& [key, value] : items) {
        Ini_PutString(cfg.get(), section.c_str(), key.c_str(), value.c_str());
      }
    }
    ASSERT_EQ(Ini_WriteToFile(cfg.get(), (dir_ / "cfg.ini").c_str()), 0);
    IniDocumentPtr platform(Ini_New(0));
    Ini_PutString(platform.get(), "Dir", "Dir Path", firmware().c_str());
    Ini_PutString(platform.get(), "Dir", "CheckCFUN", "+CFUN: 1");
    for (const auto& [key, on] : platformFlags_) {
      Ini_PutBoolean(platform.get(), "Dir", key.c_str(), on);
    }
    ASSERT_EQ(Ini_WriteToFile(platform.get(), (dir_ / "Platform/Qca9x07.ini").c_str()), 0);
    station_ = std::make_unique<StationProcess>(dir_, binPath("zendral-headless"));
    ASSERT_TRUE(station_->started());
    if (pressStart) station_->send("start");
  }

  // Ends the station through its window's close and checks that it ends.
  void quitStation() {
    station_->send("quit");
    station_->closeInput();
    EXPECT_TRUE(station_->waitForExit(std::chrono::seconds(60))) << "the station does not end";
  }

  std::string plug(const std::vector<std::string>& faults = {}) {
    json request = {{"cmd", "plug"}, {"platform", "Qca9x07"}, {"faults", faults}};
    const json reply = benchRequest(request);
    EXPECT_TRUE(host::benchReplyOk(reply)) << reply.dump();
    return reply.value("id", "");
  }
  void unplug(const std::string& id) { benchRequest({{"cmd", "unplug"}, {"id", id}}); }
  void replug(const std::string& id) { benchRequest({{"cmd", "replug"}, {"id", id}}); }

  json benchRequest(const json& request) { return bench_->request(request); }

  json moduleState(const std::string& id) {
    for (const json& module : benchRequest({{"cmd", "state"}}).value("modules", json::array())) {
      if (module["id"] == id) return module;
    }
    return {};
  }
  // The COM number of the module's port of `role` ("diag", "at", ...), or 0.
  int comOf(const std::string& id, const std::string& role) {
    for (const json& port : moduleState(id).value("ports", json::array())) {
      if (port["role"] == role) return port["com"];
    }
    return 0;
  }

  // The station reached the end of the road: "Update Success!" and a green lamp.
  bool waitForSuccess() {
    return station_->waitFor([](const json& e) {
      return e["event"] == "status" && e["value"] == 0 && e["lamp"] == "green";
    }) && station_->waitForMessage("Update Success!");
  }
  bool waitForFailure() {
    return station_->waitFor(
        [](const json& e) { return e["event"] == "status" && e["value"].get<int>() < 0; });
  }

  // Every partition the module recorded equals the file it came from, and each listed
  // partition was written.
  void expectPartitionsEqualFiles(const std::string& id, std::map<std::string, fs::path> sources) {
    const json state = moduleState(id);
    std::set<std::string> seen;
    for (const json& record : state["partitions"]) {
      const std::string name = record["name"];
      seen.insert(name);
      auto source = sources.find(name);
      // The partition table a streaming download wrote is always the firmware's own.
      if (source == sources.end() && name == "partition") {
        source = sources.emplace("partition", firmware() / "partition.mbn").first;
      }
      if (source == sources.end()) {
        ADD_FAILURE() << "partition " << name << " is not part of the firmware";
        continue;
      }
      std::string sha;
      uint64_t size = 0;
      ASSERT_TRUE(sim::sha256OfFile(source->second.string(), sha, size)) << source->second;
      EXPECT_EQ(record["sha256"], sha) << name;
      EXPECT_EQ(record["size"], size) << name;
    }
    for (const auto& [name, file] : sources) {
      EXPECT_TRUE(seen.count(name)) << name << " not written";
    }
  }

  // The module's partitions after a download with backup/restore off, and the file each must
  // hold. The bench names a partition as the module does: "0:SBL" streamed in the CP download
  // is "sbl". The station's own boot image streamed to "boot" is replaced by the firmware's in
  // the AP download.
  std::map<std::string, fs::path> defaultPartitions() const {
    const fs::path f = firmware();
    return {{"partition", f / "partition.mbn"},
            {"sbl", f / "sbl1.mbn"},
            {"tz", f / "tz.mbn"},
            {"devcfg", f / "devcfg.mbn"},
            {"rpm", f / "rpm.mbn"},
            {"aboot", f / "appsboot.mbn"},
            {"boot", f / "boot.img"},
            {"system", f / "system.img"},
            {"modem", f / "modem.img"},
            {"recovery", f / "recovery.img"},
            {"recoveryfs", f / "recoveryfs.img"},
            {"userdata", f / "userdata.img"}};
  }

  std::string readText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path dir_;
  std::string socket_;
  std::unique_ptr<test_support::BenchServer> bench_;
  std::unique_ptr<StationProcess> station_;
  std::map<std::string, std::string> cfg_;  // texts of cfg.ini's "Platform" section
  std::map<std::string, bool> flags_;       // its flags
  // Texts of cfg.ini's other sections, by section.
  std::map<std::string, std::map<std::string, std::string>> cfgSections_;
  std::vector<std::string> benchOptions_;      // for `zendral-bench serve`, set before SetUp
  std::map<std::string, bool> platformFlags_;  // flags of Platform/Qca9x07.ini's "Dir"
};

}  // namespace road_test
