// The headless station with its slot, seen from outside: operator actions go in on its input,
// the JSON lines of its surface come out, and modules arrive through the device directory,
// either the scripted one or the virtual bench's, which the station chooses at start-up when
// ZENDRAL_BENCH is set. The platform table is a fake that records each download step.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/bench_client.h"
#include "host/device_directory.h"
#include "platform/platform.h"
#include "platform/platform_settings.h"
#include "station/at_services.h"
#include "station/station_state.h"
#include "support/bench_server.h"
#include "support/temporary_folder.h"
#include "ui/headless/headless_station.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

const bool kScaledWaits = [] { return ::setenv("ZENDRAL_TIME_SCALE", "0.01", 1) == 0; }();

// ---- The fake platform ----

std::mutex gCallsMutex;
std::vector<std::pair<std::string, DownloadRequest>> gCalls;
std::function<void(const std::string&)> gHook;

int record(const char* step, const DownloadRequest& request) {
  {
    std::lock_guard lock(gCallsMutex);
    gCalls.emplace_back(step, request);
  }
  if (gHook) gHook(step);
  return 0;
}
int fakeCp(const DownloadRequest& r) {
  return record("cp", r);
}
int fakeAp(const DownloadRequest& r) {
  return record("ap", r);
}
int fakeTp(const DownloadRequest& r) {
  return record("tp", r);
}
int fakeLoad(host::FileTable& table) {
  table.clear();
  table.appendRow("Firmware Path", "/fw/R07");
  return 0;
}
int fakeAutoLoad(host::FileTable& table, const char*) {
  return fakeLoad(table);
}
int fakeSave(host::FileTable&) {
  return 0;
}
int fakeCompleted() {
  return 0;
}
PlatformOps gRow{0, fakeAutoLoad, fakeLoad, fakeSave, fakeCp, fakeAp, fakeTp, fakeCompleted};
const PlatformOps* fakeRows(PlatformType) {
  return &gRow;
}

std::vector<std::pair<std::string, DownloadRequest>> calls() {
  std::lock_guard lock(gCallsMutex);
  return gCalls;
}

// ---- The station on its own thread ----

class HeadlessRun {
 public:
  HeadlessRun() {
    int in[2], out[2];
    EXPECT_EQ(::pipe(in), 0);
    EXPECT_EQ(::pipe(out), 0);
    input_ = in[1];
    reader_ = std::thread([this, fd = out[0]] { readEvents(fd); });
    station_ = std::thread([this, inFd = in[0], outFd = out[1]] {
      std::FILE* out = ::fdopen(outFd, "w");
      exitCode_ = runHeadlessStation(inFd, out);
      std::fclose(out);
      ::close(inFd);
    });
  }
  ~HeadlessRun() { finish(); }

  void send(const std::string& line) {
    const std::string text = line + "\n";
    EXPECT_EQ(::write(input_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }

  // Waits until an event matches; false when none came within a minute (a hang guard only).
  bool waitFor(const std::function<bool(const json&)>& match) {
    for (int i = 0; i < 12000; ++i) {
      {
        std::lock_guard lock(mutex_);
        for (const json& event : events_) {
          if (match(event)) return true;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  // Waits until `done` holds for all the events so far; false after a minute (a hang guard).
  bool waitForEvents(const std::function<bool(const std::vector<json>&)>& done) {
    for (int i = 0; i < 12000; ++i) {
      if (done(events())) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  bool waitForMessage(const std::string& text) {
    return waitFor([&](const json& e) { return e["event"] == "message" && e["text"] == text; });
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

  std::vector<json> events() {
    std::lock_guard lock(mutex_);
    return events_;
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
    }
    std::free(line);
    std::fclose(in);
  }

  int input_ = -1;
  int exitCode_ = -1;
  std::mutex mutex_;
  std::vector<json> events_;
  std::thread station_;
  std::thread reader_;
};

class HeadlessSlotsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kScaledWaits);
    folder_.emplace("zendral-slots-it");
    dir_ = folder_->path();
    previousRows_ = installPlatformRows(fakeRows);
    gCalls.clear();
    gHook = nullptr;
  }
  void TearDown() override {
    gHook = nullptr;
    installPlatformRows(previousRows_);
    folder_.reset();
  }
  void writeCfg(const std::string& text) { std::ofstream(dir_ / "cfg.ini") << text; }

  fs::path dir_;

 private:
  std::optional<test_support::WorkingFolder> folder_;
  PlatformRowSource previousRows_ = nullptr;
};

// Waits until every worker queued so far has run: the pool runs its work in order.
void waitForQueuedWorkers() {
  const int marker = gThreadPool->schedule([] { return 0; });
  ASSERT_GT(marker, 0);
  gThreadPool->waitUntilFinished(marker);
}

const std::string kFastbootPath =
    "\\\\?\\usb#vid_18d1&pid_d00d#1-1.4#{f72fe0d4-cbcb-407d-8814-9ed673d0dd6b}";

// The module enumerates as a fastboot device at the end of its CP download and leaves that mode
// with the AP download's reboot.
void followTheModuleThroughFastboot(host::ScriptedDeviceDirectory& directory) {
  gHook = [&directory](const std::string& step) {
    if (step == "cp") {
      bUpdatedCp = 1;
      directory.addUsbInterface(kFastbootPath);
    }
    if (step == "ap") directory.removeUsbInterface(kFastbootPath);
  };
}

TEST_F(HeadlessSlotsTest, PortArrivalsThroughTheScriptedDirectoryRunTheSlotToItsEnd) {
  host::ScriptedDeviceDirectory directory;
  host::installDeviceDirectory(&directory);
  writeCfg("[Platform]\ncurrent = Qca_9x07\n");
  followTheModuleThroughFastboot(directory);
  const std::string diag = "Qualcomm HS-USB Diagnostics 9091 (COM12)";
  {
    HeadlessRun station;
    station.send("start");
    ASSERT_TRUE(station.waitFor([](const json& e) {
      return e["event"] == "control" && e["name"] == "stop" && e["dimmed"] == false;
    }));
    directory.addSerialPort(diag, "/dev/x-12");
    directory.addSerialPort("Qualcomm HS-USB AT Port 9091 (COM13)", "/dev/x-13");
    ASSERT_TRUE(station.waitForMessage("waiting for dut,long time please repower dut..."));
    ASSERT_TRUE(station.waitFor([](const json& e) {
      return e["event"] == "status" && e["value"] == 1 && e["lamp"] == "blue";
    }));
    // The AP download has run once the device left fastboot; then the module reboots.
    for (int i = 0; i < 12000 && calls().size() < 2; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    waitForQueuedWorkers();  // the AP worker has chosen the slot's next state
    directory.removeSerialPort("/dev/x-12");
    directory.addSerialPort(diag, "/dev/x-12");
    ASSERT_TRUE(station.waitForMessage("Update Success!"));
    ASSERT_TRUE(station.waitFor([](const json& e) {
      return e["event"] == "status" && e["value"] == 0 && e["lamp"] == "green";
    }));
    directory.removeSerialPort("/dev/x-12");
    ASSERT_TRUE(station.waitForMessage("Device unplug."));
    EXPECT_EQ(station.finish(), 0);
    const auto events = station.events();
    EXPECT_NE(std::find(events.begin(), events.end(),
                        json{{"event", "ports"}, {"dut", 1}, {"items", {"COM12"}}}),
              events.end());
  }
  host::installDeviceDirectory(nullptr);
  const auto steps = calls();
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_EQ(steps[0].first, "cp");
  EXPECT_EQ(steps[0].second.diaport, 12);
  EXPECT_EQ(steps[0].second.atport, 13);
  EXPECT_EQ(steps[1].first, "ap");
  EXPECT_EQ(std::string(steps[1].second.devicePath), kFastbootPath);
}

// How many events match.
size_t countOf(const std::vector<json>& events, const std::function<bool(const json&)>& match) {
  return static_cast<size_t>(std::count_if(events.begin(), events.end(), match));
}

bool isUnplug(const json& e) {
  return e["event"] == "message" && e["text"] == "Device unplug.";
}

bool isListening(const json& e) {
  return e["event"] == "control" && e["name"] == "stop" && e["dimmed"] == false;
}

bool isStopped(const json& e) {
  return e["event"] == "control" && e["name"] == "start" && e["dimmed"] == false;
}

// Lines of a DUT log that end in `text`.
size_t logLinesEndingIn(const fs::path& log, const std::string& text) {
  std::ifstream in(log);
  size_t count = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.size() > text.size() && line.ends_with(": " + text)) ++count;
  }
  return count;
}

TEST_F(HeadlessSlotsTest, AnUnplugAfterStopIsShownAndLoggedWithOrWithoutARunBefore) {
  host::ScriptedDeviceDirectory directory;
  host::installDeviceDirectory(&directory);
  writeCfg("[Platform]\ncurrent = Qca_9x07\n");
  const std::string diag = "Qualcomm HS-USB Diagnostics 9091 (COM12)";
  {
    HeadlessRun station;
    // No run: Start, Stop; the module arrives (not acted on) and is unplugged.
    auto stopAndWait = [&] {
      const size_t before = countOf(station.events(), isStopped);
      station.send("stop");
      return station.waitForEvents(
          [&](const std::vector<json>& events) { return countOf(events, isStopped) > before; });
    };
    station.send("start");
    ASSERT_TRUE(station.waitFor(isListening));
    ASSERT_TRUE(stopAndWait());
    directory.addSerialPort(diag, "/dev/x-12");
    directory.removeSerialPort("/dev/x-12");
    ASSERT_TRUE(station.waitFor(isUnplug));
    EXPECT_TRUE(calls().empty()) << "an arrival while not listening starts nothing";

    // A run, then Stop, then the unplug.
    station.send("start");
    directory.addSerialPort(diag, "/dev/x-12");
    for (int i = 0; i < 12000 && calls().empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(calls().size(), 1u);
    ASSERT_TRUE(stopAndWait());
    directory.removeSerialPort("/dev/x-12");
    // The status of the unplug follows its message as an event of its own: the value of the
    // latest status after the last "Device unplug.", or null while there is none yet.
    auto statusAfterLastUnplug = [](const std::vector<json>& events) {
      const auto last = std::find_if(events.rbegin(), events.rend(), isUnplug);
      const auto status =
          std::find_if(events.rbegin(), last, [](const json& e) { return e["event"] == "status"; });
      return status == last ? json() : (*status)["value"];
    };
    ASSERT_TRUE(station.waitForEvents([&](const std::vector<json>& events) {
      return countOf(events, isUnplug) >= 2 && !statusAfterLastUnplug(events).is_null();
    })) << "the status follows the message";
    EXPECT_EQ(statusAfterLastUnplug(station.events()), 1);
    EXPECT_EQ(station.finish(), 0);
  }
  host::installDeviceDirectory(nullptr);
  EXPECT_EQ(logLinesEndingIn(dir_ / "Dut1.log", "Device unplug."), 2u);
}

// The module's diagnostic port comes back while the post-download step (Qca9x07 with adb
// opening on) is still at work: that arrival must not queue a CP download behind the step
// that then reports "Update Success!".
std::function<void()> gAtCommandHook;
int hookedSetAtCmd(const DownloadRequest&, const char*, std::string*) {
  if (gAtCommandHook) gAtCommandHook();
  return 1;
}
int fakeBackupEfs2(const DownloadRequest&, PlatformType) {
  return 1;
}
int fakeCheckEfs2(const DownloadRequest&) {
  return 1;
}
int fakeCheckIf9011(const DownloadRequest&, int& is9011) {
  is9011 = 1;
  return 1;
}

TEST_F(HeadlessSlotsTest, AModuleReturningDuringThePostDownloadStepGetsNoCpDownload) {
  host::ScriptedDeviceDirectory directory;
  host::installDeviceDirectory(&directory);
  const AtServices fakeAt{hookedSetAtCmd, fakeBackupEfs2, fakeCheckEfs2, fakeCheckIf9011};
  installAtServices(&fakeAt);
  writeCfg("[Platform]\ncurrent = Qca_9x07\n");
  followTheModuleThroughFastboot(directory);
  const std::string diag = "Qualcomm HS-USB Diagnostics 9091 (COM12)";
  auto isPorts = [](const json& e) { return e["event"] == "ports"; };
  {
    HeadlessRun station;
    gAtCommandHook = [&] {
      // The module re-enumerates; wait until the station has dispatched its return.
      const size_t before = countOf(station.events(), isPorts);
      directory.removeSerialPort("/dev/x-12");
      directory.addSerialPort(diag, "/dev/x-12");
      station.waitForEvents(
          [&](const std::vector<json>& events) { return countOf(events, isPorts) > before; });
    };
    station.send("start");
    ASSERT_TRUE(station.waitFor(isListening));
    bOpenAdb = 1;
    bSwitch911 = 0;
    directory.addSerialPort(diag, "/dev/x-12");
    directory.addSerialPort("Qualcomm HS-USB AT Port 9091 (COM13)", "/dev/x-13");
    for (int i = 0; i < 12000 && calls().size() < 2; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    waitForQueuedWorkers();
    // The module reboots after the AP download: the post-download step starts.
    directory.removeSerialPort("/dev/x-12");
    directory.addSerialPort(diag, "/dev/x-12");
    ASSERT_TRUE(station.waitForMessage("Update Success!"));
    waitForQueuedWorkers();  // a CP download queued during the step would have run by now
    EXPECT_EQ(station.finish(), 0);
  }
  gAtCommandHook = nullptr;
  bOpenAdb = 0;
  installAtServices(nullptr);
  host::installDeviceDirectory(nullptr);
  const auto steps = calls();
  ASSERT_EQ(steps.size(), 2u) << "no CP download after the step: " << steps.back().first;
  EXPECT_EQ(steps[0].first, "cp");
  EXPECT_EQ(steps[1].first, "ap");
}

TEST_F(HeadlessSlotsTest, ApOnlyRunSwitchesABenchModuleToFastbootAndDownloadsToIt) {
  test_support::BenchServer bench(std::string(ZENDRAL_BIN_DIR) + "/zendral-bench",
                                  (dir_ / "bench.sock").string());
  ASSERT_TRUE(bench.ready()) << bench.error();
  ::setenv("ZENDRAL_BENCH", bench.socket().c_str(), 1);
  writeCfg("[Platform]\ncurrent = Qca_9x07\nOnlyAP = True\n");
  const json plugged = bench.request({{"cmd", "plug"}, {"platform", "Qca9x07"}});
  ASSERT_TRUE(host::benchReplyOk(plugged)) << plugged.dump();
  {
    HeadlessRun station;
    station.send("start");
    ASSERT_TRUE(station.waitForMessage("Enter ToFastbootThreadFunction."));
    ASSERT_TRUE(station.waitForMessage("Send: at+bootldr\r"));
    // The module leaves for its bootloader: its fastboot device starts the AP download.
    for (int i = 0; i < 12000 && calls().empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(station.finish(), 0);
  }
  ::unsetenv("ZENDRAL_BENCH");
  const auto steps = calls();
  ASSERT_EQ(steps.size(), 1u) << "only the AP download runs in AP-only mode";
  EXPECT_EQ(steps[0].first, "ap");
  const std::string path = steps[0].second.devicePath;
  EXPECT_NE(path.find("vid_18d1&pid_d00d#bench-"), std::string::npos) << path;
}

}  // namespace
