#pragma once
// A running zendral-bench for one test: the program serves a socket in a fresh temporary
// folder, ZENDRAL_BENCH points at it and ZENDRAL_TIME_SCALE is small, for the bench process and
// for this one (the library and the tools read both).

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/bench_client.h"
#include "support/bench_server.h"
#include "support/program_run.h"
#include "support/temporary_folder.h"

inline const bool kBenchEnvironment = [] {
  return ::setenv("ZENDRAL_TIME_SCALE", "0.01", 1) == 0;
}();

using test_support::binPath;

// Runs a program to its end; returns its exit status and adds what it printed (output and
// errors) to `output`.
inline int runProgram(const std::vector<std::string>& argv, std::string& output) {
  const test_support::ProgramRun run = test_support::runProgram(argv, {.mergeErrors = true});
  output += run.out + run.err;
  return run.status;
}

class BenchFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kBenchEnvironment);
    temporary_.emplace("zendral_bench");
    folder_ = temporary_->path();
    socket_ = (folder_ / "bench.sock").string();
    ::setenv("ZENDRAL_BENCH", socket_.c_str(), 1);
    server_ = std::make_unique<test_support::BenchServer>(binPath("zendral-bench"), socket_);
    ASSERT_TRUE(server_->ready()) << server_->error();
  }

  void TearDown() override {
    server_.reset();
    temporary_.reset();
  }

  // Waits (for a generous while) until `done` holds.
  static bool waitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 3000; ++i) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  nlohmann::json request(const nlohmann::json& body) { return server_->request(body); }
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

 private:
  std::optional<test_support::TemporaryFolder> temporary_;
  std::unique_ptr<test_support::BenchServer> server_;
};
