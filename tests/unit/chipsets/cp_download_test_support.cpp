#include "cp_download_test_support.h"

#include "chipsets/sahara_lock.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "platform/qca_library.h"
#include "platform/slot_record.h"

namespace chipset_test {

void CpDownloadTest::SetUp() {
  ChipsetTest::SetUp();
  resetPlatformSettings();
  resetStationOptions();
  resetSlotRecords();
  resetQcaBinding();
  releaseSaharaLock();
  installFakeDownloadLibrary();
  gThreadData[0].diaport = kDiagCom;
  gThreadData[0].present = 1;
  request_.slot = 1;
  request_.diaport = kDiagCom;
  request_.atport = kAtCom;
  request_.ql9008port = k9008Com;
  request_.ql9009port = k9009Com;
}

void CpDownloadTest::TearDown() {
  resetQcaBinding();
  releaseSaharaLock();
  ChipsetTest::TearDown();
}

void CpDownloadTest::expectNothingLeftOpen() const {
  EXPECT_TRUE(module().openDiag.empty());
  EXPECT_TRUE(module().openSahara.empty());
  EXPECT_EQ(handeIndexMap[0].load(), nullptr);
  EXPECT_FALSE(saharaLockHeld());
}

}  // namespace chipset_test
