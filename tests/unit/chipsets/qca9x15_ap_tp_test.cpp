// The Qca9x15 AP and TP steps: the AP text with backup on, and the restore that runs at once
// for a QCN-only run as well as with backup/restore.

#include <gtest/gtest.h>

#include "chipset_test_support.h"
#include "chipsets/qca9x15.h"
#include "chipsets/qca9x15_firmware.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"

namespace {

using chipset_test::serviceCalls;

class Qca9x15StepTest : public chipset_test::ChipsetTest {
 protected:
  void SetUp() override {
    ChipsetTest::SetUp();
    resetQca9x15State();
    resetPlatformSettings();
    resetStationOptions();
    request_.slot = 1;
  }
  DownloadRequest request_{};
};

TEST_F(Qca9x15StepTest, ApDownloadRunsOverItsOwnTotalAndSaysWhatFollows) {
  qca9x15Firmware().downloadTotal = 777;
  EXPECT_EQ(downloadApQca9x15(request_), 0);
  ASSERT_EQ(serviceCalls().flashes.size(), 1u);
  EXPECT_EQ(serviceCalls().flashes[0].total, 777u);
  EXPECT_TRUE(surface_.showed("AP Download Success."));
  gBackupRestoreQcn = true;
  EXPECT_EQ(downloadApQca9x15(request_), 0);
  EXPECT_TRUE(surface_.showed("AP Download Success,Wait reboot..."));
  serviceCalls().flashAllResult = -1;
  EXPECT_EQ(downloadApQca9x15(request_), -1);
  EXPECT_TRUE(surface_.showed("AP Download Failed."));
}

TEST_F(Qca9x15StepTest, RestoreRunsForQcnOnlyOrBackupOnTheDiagnosticPortOnly) {
  EXPECT_EQ(downloadTpQca9x15(request_), 0);
  EXPECT_TRUE(serviceCalls().qcnCalls.empty()) << "nothing to restore";
  EXPECT_TRUE(surface_.showed("Enter downloadTpQca9x15..."));

  gOnlyQcn = true;
  serviceCalls().backupQcnResult = -3;
  EXPECT_EQ(downloadTpQca9x15(request_), -3);
  bUseQcnQca9x15 = 1;
  gNotUseQPST = 1;
  gOnlyQcn = false;
  gBackupRestoreQcn = true;
  EXPECT_EQ(downloadTpQca9x15(request_), -3);
  EXPECT_EQ(serviceCalls().qcnCalls, (std::vector<std::pair<int, int>>{{3, 0}, {2, 1}}));

  request_.portKind = 2;
  EXPECT_EQ(downloadTpQca9x15(request_), 0);
  EXPECT_EQ(serviceCalls().qcnCalls.size(), 2u);
  EXPECT_EQ(downloadCompletedQca9x15(), 0);
  EXPECT_EQ(downloadStopQca9x15(), 0);
}

}  // namespace
