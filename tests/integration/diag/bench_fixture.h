#pragma once
// A virtual bench for the platform service tests: `zendral-bench serve` in a temporary folder,
// the bench's device directory installed, one module plugged, its ports found by their friendly
// names, and the slot's presence flag kept current the way port discovery keeps it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/bench_client.h"
#include "host/bench_device_directory.h"
#include "host/clock.h"
#include "host/device_directory.h"
#include "host/operator_surface.h"
#include "host/process_killer.h"
#include "platform/slot_record.h"
#include "support/bench_server.h"
#include "unit/platform_diag/diag_test_support.h"

namespace diag_bench {

// The bench, the simulated library and this program share the environment.
inline const bool kEnvironment = [] {
  ::setenv("ZENDRAL_TIME_SCALE", "0.01", 1);
  return true;
}();

class BenchTest : public diag_test::ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    socket_ = (dir_ / "bench.sock").string();
    ::setenv("ZENDRAL_BENCH", socket_.c_str(), 1);
    bench_ = std::make_unique<test_support::BenchServer>(ZENDRAL_BENCH_PATH, socket_);
    ASSERT_TRUE(bench_->ready()) << bench_->error();
    host::installProcessKiller(&killer_);
    directory_ = std::make_unique<host::BenchDeviceDirectory>(socket_);
    host::installDeviceDirectory(directory_.get());
    resetSlotRecords();
  }

  void TearDown() override {
    if (directory_) {
      if (listener_) directory_->unsubscribe(listener_);
      host::installDeviceDirectory(nullptr);
      directory_.reset();
    }
    host::installProcessKiller(nullptr);
    bench_.reset();
    ::unsetenv("ZENDRAL_BENCH");
    ServiceTest::TearDown();
  }

  nlohmann::json request(const nlohmann::json& body) { return bench_->request(body); }

  // Plugs a module and waits until its diagnostic and AT ports are listed; fills diaport and
  // atport of slot 1 and follows the diagnostic port's presence.
  void plugModule(const std::string& platform, const std::string& imei,
                  std::vector<std::string> faults = {}) {
    nlohmann::json body = {{"cmd", "plug"}, {"platform", platform}, {"imei", imei}};
    body["faults"] = faults;
    const nlohmann::json reply = request(body);
    ASSERT_TRUE(host::benchReplyOk(reply)) << reply.dump();
    moduleId_ = reply.value("id", "");
    for (int tries = 0; tries < 500 && (diaport_ == 0 || atport_ == 0); ++tries) {
      findPorts();
      if (diaport_ == 0 || atport_ == 0) host::sleepMs(10);
    }
    ASSERT_NE(diaport_, 0) << "no diagnostic port";
    ASSERT_NE(atport_, 0) << "no AT port";
    gThreadData[0].diaport = diaport_;
    gThreadData[0].atport = atport_;
    updatePresence();
    listener_ = directory_->subscribe([this](host::DeviceChange) { updatePresence(); });
  }

  // The module's state as `zendral-bench state` shows it.
  nlohmann::json moduleState() {
    const nlohmann::json reply = request({{"cmd", "state"}});
    for (const auto& module : reply.value("modules", nlohmann::json::array())) {
      if (module.value("id", "") == moduleId_) return module;
    }
    ADD_FAILURE() << "module " << moduleId_ << " not in " << reply.dump();
    return {};
  }

  host::RecordingProcessKiller killer_;
  std::string socket_;
  std::string moduleId_;
  int diaport_ = 0;
  int atport_ = 0;

 private:
  void findPorts() {
    std::vector<host::SerialPortInfo> ports;
    directory_->listSerialPorts(ports);
    for (const auto& port : ports) {
      if (port.friendlyName.find("AT Port") != std::string::npos) {
        atport_ = port.comNumber;
      } else if (port.friendlyName.find("Diagnostics") != std::string::npos) {
        diaport_ = port.comNumber;
      }
    }
  }

  void updatePresence() {
    std::vector<host::SerialPortInfo> ports;
    directory_->listSerialPorts(ports);
    int present = 0;
    for (const auto& port : ports) {
      if (port.comNumber == diaport_) present = 1;
    }
    storeField(gThreadData[0].present, present);
  }

  std::unique_ptr<test_support::BenchServer> bench_;
  std::unique_ptr<host::BenchDeviceDirectory> directory_;
  int listener_ = 0;
};

}  // namespace diag_bench
