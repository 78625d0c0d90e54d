#pragma once
// Shared pieces of the platform service tests: a surface that records what the DUT row shows,
// a temporary working directory (the DUT logs and QCN files land there), the small time scale
// every test runs at, and the ground of the tests that load the diagnostic library.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "host/clock.h"
#include "host/operator_surface.h"
#include "host/process_killer.h"
#include "host/station_options.h"
#include "platform/platform.h"
#include "platform/platform_settings.h"
#include "platform/qca_library.h"
#include "platform/slot_record.h"
#include "support/recording_surface.h"
#include "support/temporary_folder.h"

namespace diag_test {

// Sets the time scale before the first wait reads it.
inline const bool kTimeScaled = [] {
  ::setenv("ZENDRAL_TIME_SCALE", "0.0005", 1);
  return true;
}();

using RecordingSurface = test_support::RecordingSurface;

// Runs each test in a fresh temporary working directory with the recording surface installed
// and no stop pending.
class ServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    workingFolder_.emplace("zendral-diag");
    dir_ = workingFolder_->path();
    host::installSurface(&surface_);
    host::clearStop();
  }
  void TearDown() override {
    host::clearStop();
    host::installSurface(nullptr);
    workingFolder_.reset();
  }

  RecordingSurface surface_;
  std::filesystem::path dir_;

 private:
  std::optional<test_support::WorkingFolder> workingFolder_;
};

// Slot records, platform settings and station options as at start-up, except that the MEID is
// not read (the tests that read it turn it on).
inline void resetServiceSettings() {
  resetSlotRecords();
  resetPlatformSettings();
  resetStationOptions();
  gProcessMeid = false;
}

// A platform table whose operations are all empty: enough for the tests that need a current
// platform only for the library build it names.
inline const PlatformOps* procedurelessRows(PlatformType) {
  static const PlatformOps row{};
  return &row;
}

// For the tests that load the diagnostic library: the procedureless table, a process killer
// that only records, and the binding undone after each test.
class LibraryTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    host::installProcessKiller(&killer_);
    installPlatformRows(procedurelessRows);
  }
  void TearDown() override {
    resetQcaBinding();
    platform_dispose();
    installPlatformRows(nullptr);
    host::installProcessKiller(nullptr);
    ServiceTest::TearDown();
  }

  host::RecordingProcessKiller killer_;
};

}  // namespace diag_test
