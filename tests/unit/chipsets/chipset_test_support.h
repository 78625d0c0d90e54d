#pragma once
// Shared pieces of the chipset procedure tests: the fake outside services, a working folder
// of their own (DUT logs, Platform/*.ini, firmware folders), the recording surface and the
// recording process killer, and the small time scale every test runs at.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "chipsets/chipset_services.h"
#include "host/clock.h"
#include "host/operator_surface.h"
#include "host/process_killer.h"
#include "support/recording_surface.h"
#include "support/temporary_folder.h"

namespace chipset_test {

// Sets the time scale before the first wait reads it.
inline const bool kTimeScaled = [] {
  ::setenv("ZENDRAL_TIME_SCALE", "0.0005", 1);
  return true;
}();

// What the fake outside services were asked, and what they answer.
struct ServiceCalls {
  int loadLibraryResult = 0;
  int checkCfunResult = 0;
  int backupQcnResult = 0;
  int flashAllResult = 0;
  int writeNvResult = 1;
  int nvWrites = 0;
  std::vector<int> loadedFlags;
  int cfunChecks = 0;
  std::vector<std::pair<int, int>> qcnCalls;  // (op, qphonems)
  int versionReports = 0;
  struct Flash {
    int dut;
    std::string path;
    uint64_t total;
    double start;
  };
  std::vector<Flash> flashes;
  std::string flashId;  // what the module's flash identification reads
  int deviceInfoReads = 0;
};
ServiceCalls& serviceCalls();
// Resets the calls and puts fakes in place of every outside service.
void installFakeServices();

// Writes a file of `size` bytes (creating its folder).
inline void writeFile(const std::filesystem::path& path, size_t size) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << std::string(size, 'x');
}

// Each test runs in a fresh working folder with the recording surface, the recording process
// killer and the fake services, and no stop pending.
class ChipsetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::make_unique<test_support::WorkingFolder>("zendral-chipsets");
    dir_ = folder_->path();
    host::installSurface(&surface_);
    host::installProcessKiller(&killer_);
    host::clearStop();
    installFakeServices();
  }
  void TearDown() override {
    host::clearStop();
    resetChipsetServices();
    host::installProcessKiller(nullptr);
    host::installSurface(nullptr);
    folder_.reset();
  }

  test_support::RecordingSurface surface_;
  host::RecordingProcessKiller killer_;
  std::unique_ptr<test_support::WorkingFolder> folder_;
  std::filesystem::path dir_;
};

}  // namespace chipset_test
