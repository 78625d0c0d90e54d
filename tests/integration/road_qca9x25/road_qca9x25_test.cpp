// The road of one Qca9x25 DUT on the virtual bench. No selection path of the station produces
// this platform, so the station runs in this process and the test installs type 1 through the
// platform table once start-up is done, as a line engineer's build would; everything after
// that (Start, the ports, the downloads, the QCN work) is the station's own.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "host/bench_client.h"
#include "host/event_loop.h"
#include "ini/inifile.h"
#include "platform/platform.h"
#include "sim/bench/sha256.h"
#include "station/file_list.h"
#include "support/bench_server.h"
#include "support/program_run.h"
#include "support/temporary_folder.h"
#include "ui/headless/headless_station.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;
using test_support::binPath;

const bool kScaledWaits = [] { return ::setenv("ZENDRAL_TIME_SCALE", "0.01", 1) == 0; }();

// How long a wait for something the road should bring may take: a hang guard, not a measure.
constexpr auto kPatience = std::chrono::seconds(120);

// The headless station on a thread of this process, fed on a pipe, its JSON lines collected.
class InProcessStation {
 public:
  InProcessStation() {
    int in[2], out[2];
    EXPECT_EQ(::pipe(in), 0);
    EXPECT_EQ(::pipe(out), 0);
    input_ = in[1];
    reader_ = std::thread([this, fd = out[0]] { readEvents(fd); });
    station_ = std::thread([this, inFd = in[0], outFd = out[1]] {
      std::FILE* events = ::fdopen(outFd, "w");
      exitCode_ = runHeadlessStation(inFd, events);
      std::fclose(events);
      ::close(inFd);
    });
  }
  ~InProcessStation() { finish(); }

  void send(const std::string& line) {
    const std::string text = line + "\n";
    EXPECT_EQ(::write(input_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }

  bool waitFor(const std::function<bool(const json&)>& match) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] {
      for (const json& event : events_) {
        if (match(event)) return true;
      }
      return false;
    });
  }
  bool waitForMessage(const std::string& text) {
    return waitFor([&](const json& e) { return e["event"] == "message" && e["text"] == text; });
  }

  std::vector<std::string> messages() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const json& e : events_) {
      if (e["event"] == "message") out.push_back(e["text"]);
    }
    return out;
  }

  int finish() {
    if (input_ >= 0) {
      send("quit");
      ::close(input_);
      input_ = -1;
      station_.join();
      reader_.join();
    }
    return exitCode_;
  }

 private:
  void readEvents(int fd) {
    std::FILE* in = ::fdopen(fd, "r");
    char* line = nullptr;
    size_t capacity = 0;
    while (::getline(&line, &capacity, in) > 0) {
      json event = json::parse(line, nullptr, false);
      std::lock_guard lock(mutex_);
      events_.push_back(event);
      changed_.notify_all();
    }
    std::free(line);
    std::fclose(in);
  }

  int input_ = -1;
  int exitCode_ = -1;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<json> events_;
  std::thread station_;
  std::thread reader_;
};

class Qca9x25RoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kScaledWaits);
    folder_.emplace("zendral-road-9x25");
    dir_ = folder_->path();
    const std::string socket = (dir_ / "bench.sock").string();
    ::setenv("ZENDRAL_BENCH", socket.c_str(), 1);
    bench_.emplace(binPath("zendral-bench"), socket);
    ASSERT_TRUE(bench_->ready()) << bench_->error();
    const test_support::ProgramRun made =
        test_support::runProgram({binPath("zendral-bench"), "make-firmware", "--platform",
                                  "Qca9x25", firmware().string(), "--size-scale", "0.01"});
    ASSERT_EQ(made.status, 0) << made.out << made.err;
  }
  void TearDown() override {
    station_.reset();
    bench_.reset();
    ::unsetenv("ZENDRAL_BENCH");
    folder_.reset();
  }

  fs::path firmware() const { return dir_ / "firmware"; }

  // cfg.ini names a platform that selects Qca9x15, as every name does but the real ones of
  // the other platforms; Platform/Qca9x25.ini points at the firmware.
  void startStation(bool backup) {
    IniDocumentPtr cfg(Ini_New(0));
    Ini_PutString(cfg.get(), "Platform", "current", "Qca_9x25");
    Ini_PutBoolean(cfg.get(), "Platform", "BacupRestorQcn", backup);
    ASSERT_EQ(Ini_WriteToFile(cfg.get(), "cfg.ini"), 0);
    IniDocumentPtr ini(Ini_New(0));
    Ini_PutString(ini.get(), "Dir", "Dir Path", firmware().c_str());
    Ini_PutString(ini.get(), "Dir", "CheckCFUN", "+CFUN: 1");
    fs::create_directories("Platform");
    ASSERT_EQ(Ini_WriteToFile(ini.get(), "Platform/Qca9x25.ini"), 0);

    station_.emplace();
    ASSERT_TRUE(station_->waitFor([](const json& e) { return e["event"] == "title"; }));
    host::uiLoop().post([] {
      platform_dispose();
      if (platfrom_create_instance(kQca9x25)) enableStartForLoad(loadFileList());
      refreshFolderText();
    });
    ASSERT_TRUE(station_->waitFor([](const json& e) {
      return e["event"] == "control" && e["name"] == "start" && e["dimmed"] == false;
    }));
    station_->send("start");
  }

  std::string plug() {
    const json reply = bench_->request({{"cmd", "plug"}, {"platform", "Qca9x25"}});
    EXPECT_TRUE(host::benchReplyOk(reply)) << reply.dump();
    return reply.value("id", "");
  }
  json moduleState(const std::string& id) {
    for (const json& module : bench_->request({{"cmd", "state"}}).value("modules", json::array())) {
      if (module["id"] == id) return module;
    }
    return {};
  }

  bool waitForSuccess() {
    return station_->waitFor([](const json& e) {
      return e["event"] == "status" && e["value"] == 0 && e["lamp"] == "green";
    }) && station_->waitForMessage("Update Success!");
  }

  // Every partition the module recorded (the streamed partition table too) equals its file,
  // and every file was written.
  void expectPartitionsEqualFiles(const std::string& id) {
    const fs::path f = firmware();
    const std::map<std::string, fs::path> sources = {{"partition", f / "partition.mbn"},
                                                     {"sbl", f / "sbl1.mbn"},
                                                     {"sdi", f / "sdi.mbn"},
                                                     {"tz", f / "tz.mbn"},
                                                     {"mba", f / "mba.mbn"},
                                                     {"rpm", f / "rpm.mbn"},
                                                     {"qdsp", f / "qdsp6sw.mbn"},
                                                     {"adsp", f / "dsp2.mbn"},
                                                     {"appsbl", f / "appsboot.mbn"},
                                                     {"boot", f / "boot.img"},
                                                     {"system", f / "system.img"},
                                                     {"userdata", f / "userdata.img"},
                                                     {"recovery", f / "recovery.img"},
                                                     {"recoveryfs", f / "recoveryfs.img"}};
    const json state = moduleState(id);
    size_t seen = 0;
    for (const json& record : state["partitions"]) {
      const auto source = sources.find(record["name"]);
      ASSERT_NE(source, sources.end()) << record["name"];
      std::string sha;
      uint64_t size = 0;
      ASSERT_TRUE(sim::sha256OfFile(source->second.string(), sha, size));
      EXPECT_EQ(record["sha256"], sha) << record["name"];
      ++seen;
    }
    EXPECT_EQ(seen, sources.size());
  }

  fs::path dir_;
  std::optional<test_support::WorkingFolder> folder_;
  std::optional<test_support::BenchServer> bench_;
  std::optional<InProcessStation> station_;
};

TEST_F(Qca9x25RoadTest, DefaultRoadThroughThePlatformTableEndsGreen) {
  const std::string id = plug();
  startStation(false);
  ASSERT_TRUE(waitForSuccess()) << json(station_->messages()).dump(1);
  expectPartitionsEqualFiles(id);
  for (const char* text :
       {"Downloading sbl1.mbn ...", "CP Download Success!", "AP Download Success."}) {
    EXPECT_TRUE(station_->waitForMessage(text)) << text;
  }
  EXPECT_EQ(station_->finish(), 0);
}

TEST_F(Qca9x25RoadTest, BackupRoadRestoresTheCalibration) {
  const std::string id = plug();
  const json before = moduleState(id);
  startStation(true);
  ASSERT_TRUE(waitForSuccess()) << json(station_->messages()).dump(1);
  EXPECT_TRUE(fs::is_regular_file(firmware() / (before["imei"].get<std::string>() + ".xqcn")));
  EXPECT_EQ(moduleState(id)["nvSha256"], before["nvSha256"]);
  EXPECT_TRUE(station_->waitForMessage("Waiting recovery xqcn..."));
  EXPECT_EQ(station_->finish(), 0);
}

}  // namespace
