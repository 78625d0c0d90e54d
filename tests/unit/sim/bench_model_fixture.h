#pragma once
// A bench without its socket, for tests of the module model: modules, their modes and ports,
// and the requests of the library and the tools, at a small time scale.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "sim/bench/bench.h"
#include "sim/bench/firmware_maker.h"

namespace sim {

// Opens a module's tty as the station does (raw, not blocking); -1 on failure.
inline int openRawTty(const std::string& tty) {
  const int fd = ::open(tty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return -1;
  termios raw{};
  ::tcgetattr(fd, &raw);
  ::cfmakeraw(&raw);
  ::tcsetattr(fd, TCSANOW, &raw);
  return fd;
}

// Every restart of a module is scaled by this (read once, before the first restart).
const bool kSmallTimeScale = [] { return ::setenv("ZENDRAL_TIME_SCALE", "0.001", 1) == 0; }();

using nlohmann::json;

class BenchModel : public ::testing::Test {
 protected:
  BenchModel() : bench([this](const json& event) { events.push_back(event); }) {}
  ~BenchModel() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  // A file of a synthetic firmware of `platform` (made once per test).
  std::string firmwareFile(const std::string& platform, const std::string& name) {
    const std::filesystem::path dir = folder_ / platform;
    if (!std::filesystem::exists(dir)) {
      std::vector<std::string> written;
      std::string error;
      FirmwareOptions options;
      options.platform = platform;
      options.folder = dir.string();
      options.sizeScale = 0.01;
      EXPECT_TRUE(makeFirmware(options, written, error)) << error;
    }
    return (dir / name).string();
  }

  std::string plug(const std::string& platform, json faults = json::array()) {
    json reply = bench.handle({{"cmd", "plug"}, {"platform", platform}, {"faults", faults}});
    EXPECT_TRUE(reply["ok"]) << reply.dump();
    return reply.value("id", "");
  }
  json ask(const std::string& cmd, int com, json fields = json::object()) {
    fields["cmd"] = cmd;
    fields["com"] = com;
    return bench.handle(fields);
  }
  std::string mode(const std::string& id) { return modeText(bench.moduleById(id)->mode()); }
  // Runs the bench until `done` holds; false when it does not within a generous while.
  bool runUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 5000; ++i) {
      bench.run();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  std::vector<std::string> portNames() {
    std::vector<std::string> names;
    const json reply = bench.handle({{"cmd", "ports"}});
    for (const auto& port : reply["ports"]) names.push_back(port["name"]);
    return names;
  }

  std::vector<json> events;
  Bench bench;

 private:
  std::filesystem::path folder_ = std::filesystem::temp_directory_path() /
                                  ("zendral_bench_model_" + std::to_string(::getpid()));
};

}  // namespace sim
