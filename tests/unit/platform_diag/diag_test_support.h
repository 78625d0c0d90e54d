#pragma once
// Shared pieces of the platform service tests: a surface that records what the DUT row shows,
// a temporary working directory (the DUT logs and QCN files land there), and the small time
// scale every test runs at.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "host/clock.h"
#include "host/operator_surface.h"

namespace diag_test {

// Sets the time scale before the first wait reads it.
inline const bool kTimeScaled = [] {
  ::setenv("ZENDRAL_TIME_SCALE", "0.0005", 1);
  return true;
}();

class RecordingSurface : public host::OperatorSurface {
 public:
  void setDutMessage(int dut, const std::string& text) override {
    std::lock_guard lock(mutex_);
    messages_.push_back(text);
  }
  void setDutProgress(int dut, double percent, const std::string& caption) override {
    std::lock_guard lock(mutex_);
    progress_.push_back(percent);
  }
  void setDutStatus(int dut, int status, host::Rgb, bool, host::Rgb) override {
    std::lock_guard lock(mutex_);
    statuses_.push_back(status);
  }
  void messageBox(const std::string& title, const std::string& text) override {
    std::lock_guard lock(mutex_);
    boxes_.push_back(title + ": " + text);
  }

  void clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
    statuses_.clear();
    progress_.clear();
    boxes_.clear();
  }

  std::vector<std::string> messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  std::vector<int> statuses() const {
    std::lock_guard lock(mutex_);
    return statuses_;
  }
  std::vector<double> progress() const {
    std::lock_guard lock(mutex_);
    return progress_;
  }
  std::vector<std::string> boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
  }
  bool showed(const std::string& text) const {
    const auto all = messages();
    return std::find(all.begin(), all.end(), text) != all.end();
  }
  size_t count(const std::string& text) const {
    const auto all = messages();
    return static_cast<size_t>(std::count(all.begin(), all.end(), text));
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> messages_;
  std::vector<int> statuses_;
  std::vector<double> progress_;
  std::vector<std::string> boxes_;
};

// Runs each test in a fresh temporary working directory with the recording surface installed
// and no stop pending.
class ServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("zendral-diag-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
    std::filesystem::create_directories(dir_);
    previousDir_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    host::installSurface(&surface_);
    host::clearStop();
  }
  void TearDown() override {
    host::clearStop();
    host::installSurface(nullptr);
    std::filesystem::current_path(previousDir_);
    std::filesystem::remove_all(dir_);
  }

  RecordingSurface surface_;
  std::filesystem::path dir_;
  std::filesystem::path previousDir_;
};

}  // namespace diag_test
