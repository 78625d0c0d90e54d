#pragma once
// A running zendral-bench for one test: the program serves a socket in a fresh temporary
// folder, ZENDRAL_BENCH points at it and ZENDRAL_TIME_SCALE is small, for the bench process and
// for this one (the library and the tools read both).

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/bench_client.h"
#include "host/child_process.h"

inline const bool kBenchEnvironment = [] {
  return ::setenv("ZENDRAL_TIME_SCALE", "0.01", 1) == 0;
}();

// Runs a program to its end; returns its exit status and fills `output`.
inline int runProgram(const std::vector<std::string>& argv, std::string& output) {
  std::string error;
  auto child = host::ChildProcess::start(argv, &error);
  if (!child) {
    output = error;
    return -1;
  }
  char buffer[4096];
  for (;;) {
    const long n = child->read(buffer, sizeof buffer, 60000);
    if (n <= 0) break;
    output.append(buffer, static_cast<size_t>(n));
  }
  return child->wait();
}

inline std::string binPath(const std::string& name) {
  return std::string(ZENDRAL_BIN_DIR) + "/" + name;
}

class BenchFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kBenchEnvironment);
    folder_ = std::filesystem::temp_directory_path() /
              ("zendral_bench_" + std::to_string(::getpid()) + "_" + std::to_string(counter()++));
    std::filesystem::create_directories(folder_);
    socket_ = (folder_ / "bench.sock").string();
    ::setenv("ZENDRAL_BENCH", socket_.c_str(), 1);
    std::string error;
    server_ =
        host::ChildProcess::start({binPath("zendral-bench"), "serve", "--socket", socket_}, &error);
    ASSERT_TRUE(server_) << error;
    ASSERT_TRUE(waitFor([&] {
      nlohmann::json reply;
      std::string why;
      return host::benchRequest(socket_, {{"cmd", "state"}}, reply, why);
    })) << "the bench does not come up";
  }

  void TearDown() override {
    if (server_) {
      nlohmann::json reply;
      std::string error;
      host::benchRequest(socket_, {{"cmd", "quit"}}, reply, error);
      server_->wait();
    }
    std::filesystem::remove_all(folder_);
  }

  // Waits (for a generous while) until `done` holds.
  static bool waitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 3000; ++i) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  nlohmann::json request(const nlohmann::json& body) {
    nlohmann::json reply;
    std::string error;
    EXPECT_TRUE(host::benchRequest(socket_, body, reply, error)) << error;
    return reply;
  }
  std::string plug(const std::string& platform, nlohmann::json faults = nlohmann::json::array()) {
    const nlohmann::json reply =
        request({{"cmd", "plug"}, {"platform", platform}, {"faults", faults}});
    EXPECT_TRUE(host::benchReplyOk(reply)) << reply.dump();
    return reply.value("id", "");
  }
  nlohmann::json moduleState(const std::string& id) {
    const nlohmann::json reply = request({{"cmd", "state"}});
    for (const auto& module : reply.value("modules", nlohmann::json::array())) {
      if (module["id"] == id) return module;
    }
    return {};
  }
  bool waitForMode(const std::string& id, const std::string& mode) {
    return waitFor([&] { return moduleState(id).value("mode", "") == mode; });
  }
  // The recorded partition `name` of module `id`, or null.
  nlohmann::json partition(const std::string& id, const std::string& name) {
    const nlohmann::json state = moduleState(id);
    for (const auto& record : state["partitions"]) {
      if (record["name"] == name) return record;
    }
    return {};
  }

  std::filesystem::path folder_;
  std::string socket_;
  std::unique_ptr<host::ChildProcess> server_;

 private:
  static int& counter() {
    static int value = 0;
    return value;
  }
};
