// The Qca9x07 AP and TP steps: what they hand to the fastboot download and the QCN restore,
// and what they tell the operator.

#include <gtest/gtest.h>

#include "chipset_test_support.h"
#include "chipsets/qca9x07.h"
#include "chipsets/qca9x07_firmware.h"
#include "host/station_options.h"

namespace {

using chipset_test::serviceCalls;

class Qca9x07StepTest : public chipset_test::ChipsetTest {
 protected:
  void SetUp() override {
    ChipsetTest::SetUp();
    resetQca9x07State();
    resetPlatformSettings();
    resetStationOptions();
    request_.slot = 1;
    std::snprintf(request_.devicePath, sizeof request_.devicePath, "%s", "\\\\?\\usb#vid_18d1");
  }
  DownloadRequest request_{};
};

TEST_F(Qca9x07StepTest, ApDownloadRunsTheQueueOverTheWholeFirmwareAndReports) {
  qca9x07Firmware().downloadTotal = 12345;
  EXPECT_EQ(downloadApQca9x07(request_), 0);
  ASSERT_EQ(serviceCalls().flashes.size(), 1u);
  EXPECT_EQ(serviceCalls().flashes[0].dut, 1);
  EXPECT_EQ(serviceCalls().flashes[0].path, "\\\\?\\usb#vid_18d1");
  EXPECT_EQ(serviceCalls().flashes[0].total, 12345u);
  EXPECT_TRUE(surface_.showed("AP Download Success."));

  serviceCalls().flashAllResult = -1;
  EXPECT_EQ(downloadApQca9x07(request_), -1);
  EXPECT_TRUE(surface_.showed("AP Download Failed."));
}

TEST_F(Qca9x07StepTest, ApDownloadWithBackupWaitsForTheRestore) {
  gBackupRestoreQcn = true;
  EXPECT_EQ(downloadApQca9x07(request_), 0);
  EXPECT_EQ(surface_.messages(), std::vector<std::string>{"Waiting recovery xqcn..."});
  serviceCalls().flashAllResult = 121;
  EXPECT_EQ(downloadApQca9x07(request_), 121);
  EXPECT_TRUE(surface_.showed("AP Download Failed."));
}

TEST_F(Qca9x07StepTest, TpStepRestoresOnlyWithBackupOnTheDiagnosticPort) {
  EXPECT_EQ(downloadTpQca9x07(request_), 0);
  gBackupRestoreQcn = true;
  request_.portKind = 2;
  EXPECT_EQ(downloadTpQca9x07(request_), 0);
  EXPECT_TRUE(serviceCalls().qcnCalls.empty());
  EXPECT_EQ(surface_.count("Enter downloadTpQca9x07..."), 2u);

  request_.portKind = 0;
  gNotUseQPST = 1;
  serviceCalls().backupQcnResult = -1;
  EXPECT_EQ(downloadTpQca9x07(request_), -1);
  bUseQcnQca9x07 = 1;
  gNotUseQPST = 0;
  serviceCalls().backupQcnResult = 0;
  EXPECT_EQ(downloadTpQca9x07(request_), 0);
  EXPECT_EQ(serviceCalls().qcnCalls, (std::vector<std::pair<int, int>>{{3, 1}, {2, 0}}));
}

TEST_F(Qca9x07StepTest, StopBeforeTheRestoreEndsTheStep) {
  gBackupRestoreQcn = true;
  host::requestStop();
  EXPECT_EQ(downloadTpQca9x07(request_), -1);
  EXPECT_TRUE(serviceCalls().qcnCalls.empty());
  EXPECT_EQ(downloadCompletedQca9x07(), 0);
}

}  // namespace
