// The Qca9x25 CP download against a scripted library: the road by port kind (Sahara mode and
// programmer), the backup always in QPHONEMS mode, the single Sahara try, and the failures
// that would otherwise pass for a download: no Sahara connection, no streaming connection and
// an incomplete firmware.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "chipsets/qca9x25.h"
#include "chipsets/qca9x25_firmware.h"
#include "chipsets/sahara_lock.h"
#include "cp_download_test_support.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "platform/qca_library.h"

namespace {

using chipset_test::serviceCalls;

class Qca9x25CpDownloadTest : public chipset_test::CpDownloadTest {
 protected:
  void SetUp() override {
    CpDownloadTest::SetUp();
    resetQca9x25State();
    module().streamRecords = streamTexts({"/fw/sbl1.mbn", "/fw/mba.mbn"});

    Qca9x25Firmware& fw = qca9x25Firmware();
    fw.normalProgrammer = "/fw/NPRG9x25.mbn";
    fw.emergencyProgrammer = "/fw/ENPRG9x25.mbn";
    fw.partitionFile = "/fw/partition.mbn";
    fw.downloadTotal = 8192;
    fw.userPartitions.count = 1;
    std::snprintf(fw.userPartitions.entries[0].name, 10, "0:SBL");
  }
};

TEST_F(Qca9x25CpDownloadTest, DiagnosticPortSwitchesThenOneSaharaTryAndStreaming) {
  ASSERT_EQ(downloadCpQca9x25(request_), 0);
  EXPECT_EQ(module().calls,
            (std::vector<std::string>{
                "SetLibraryMode(0)", "SetTargetType(0)", "Connect(5)", "Switch(3000,0)",
                "Disconnect", "SaharaConnect(5,1,2,200)", "FlashProgrammer", "StopLogging",
                "SaharaDisconnect", "Connect(5)", "TextLogCallBack", "SetLogFlags(9)",
                "Category(4,1)", "Download(1,1,5000,3000)", "StopLogging", "Disconnect"}));
  EXPECT_EQ(module().programmerPath, "/fw/NPRG9x25.mbn");
  EXPECT_EQ(module().streamProgrammer, "");
  EXPECT_TRUE(killer_.names().empty()) << "the phone server is left running";
  EXPECT_FALSE(saharaLockHeld());
  for (const char* text : {"Sahara says hello", "Downloading sbl1.mbn ...",
                           "Downloading mba.mbn ...", "CP Download Success!"}) {
    EXPECT_TRUE(surface_.showed(text)) << text;
  }
  expectNothingLeftOpen();
}

TEST_F(Qca9x25CpDownloadTest, DownloadPortsChooseTheirSaharaModeAndProgrammer) {
  struct Case {
    int kind;
    int port;
    unsigned mode;
    const char* programmer;
  };
  for (const Case& c :
       {Case{1, k9008Com, 0, "/fw/ENPRG9x25.mbn"}, Case{2, k9009Com, 2, "/fw/NPRG9x25.mbn"}}) {
    installFakeDownloadLibrary();
    module().streamRecords = streamTexts({"/fw/sbl1.mbn"});
    request_.portKind = c.kind;
    ASSERT_EQ(downloadCpQca9x25(request_), 0) << c.kind;
    EXPECT_FALSE(module().called("Switch(3000,0)"));
    EXPECT_TRUE(module().called("SaharaConnect(" + std::to_string(c.port) + ",1," +
                                std::to_string(c.mode) + ",200)"));
    EXPECT_EQ(module().programmerPath, c.programmer);
    expectNothingLeftOpen();
  }
}

TEST_F(Qca9x25CpDownloadTest, BackupDrivesThePortItselfWithoutTheCfunCheck) {
  gBackupRestoreQcn = true;
  gNotUseQPST = 0;
  bUseQcnQca9x25 = 1;
  ASSERT_EQ(downloadCpQca9x25(request_), 0);
  EXPECT_EQ(serviceCalls().qcnCalls, (std::vector<std::pair<int, int>>{{0, 1}}));
  EXPECT_EQ(serviceCalls().cfunChecks, 0);
  EXPECT_EQ(module().overrideTable, 1);

  installFakeDownloadLibrary();
  serviceCalls().backupQcnResult = -4;
  EXPECT_EQ(downloadCpQca9x25(request_), -4);
  EXPECT_TRUE(module().calls.empty());
}

TEST_F(Qca9x25CpDownloadTest, OtherSlotsQcnWorkIsWaitedForWithinItsBound) {
  gBackupRestoreQcn = true;
  request_.portKind = 2;
  handeIndexQpstMap[3] = reinterpret_cast<HANDLE>(0x55);
  EXPECT_EQ(downloadCpQca9x25(request_), -1);
  EXPECT_TRUE(surface_.showed("QPST work did not finish, Please repower 1 DUT."));
  EXPECT_TRUE(module().calls.empty());
  handeIndexQpstMap[3] = nullptr;
}

// ---- Failures that must not pass for a download ----

TEST_F(Qca9x25CpDownloadTest, SaharaThatDoesNotAnswerIsAFailureAfterOneTry) {
  module().saharaFailures = 1;
  EXPECT_EQ(downloadCpQca9x25(request_), -1);
  EXPECT_EQ(module().saharaConnectPorts.size(), 1u);
  EXPECT_TRUE(surface_.showed("Connect Sahara Server failed, Please repower 1 DUT."));
  EXPECT_FALSE(module().called("Download(1,1,5000,3000)"));
  expectNothingLeftOpen();
}

TEST_F(Qca9x25CpDownloadTest, RefusedProgrammerEndsWithItsOwnResultAndTheLibrarysReason) {
  module().programmerAccepted = false;
  module().errorText = "image transfer failed";
  EXPECT_EQ(downloadCpQca9x25(request_), -12);
  EXPECT_TRUE(surface_.showed("image transfer failed"));
  EXPECT_FALSE(module().called("Download(1,1,5000,3000)"));
  expectNothingLeftOpen();
}

TEST_F(Qca9x25CpDownloadTest, StreamingConnectionThatDoesNotOpenIsAFailure) {
  request_.portKind = 2;
  module().deadPorts = {k9009Com};
  EXPECT_EQ(downloadCpQca9x25(request_), -1);
  EXPECT_TRUE(surface_.showed("ConnectServer failed, Please repower 1 DUT."));
  EXPECT_FALSE(module().called("Download(1,1,5000,3000)"));
  expectNothingLeftOpen();
}

TEST_F(Qca9x25CpDownloadTest, StreamingWithoutPartitionTextsDependsOnTheLibraryAlone) {
  module().streamRecords = streamTexts({});
  EXPECT_EQ(downloadCpQca9x25(request_), 0) << "no partition-diff case on this platform";
  installFakeDownloadLibrary();
  module().streamSucceeds = false;
  EXPECT_EQ(downloadCpQca9x25(request_), -1);
  EXPECT_TRUE(surface_.showed("CP Download Failed!"));
  EXPECT_FALSE(surface_.showed("CP Download Failed!,Partition diff!"));
  expectNothingLeftOpen();
}

TEST_F(Qca9x25CpDownloadTest, IncompleteFirmwareRefusesToStartAndNamesTheMissingFile) {
  qca9x25Firmware().missing = {"/fw/mba.mbn", "/fw/sdi.mbn"};
  EXPECT_EQ(downloadCpQca9x25(request_), -1);
  EXPECT_TRUE(surface_.showed("can't find /fw/mba.mbn file."));
  EXPECT_TRUE(module().calls.empty());
}

TEST_F(Qca9x25CpDownloadTest, RefusedSwitchClosesItsConnection) {
  module().switchAccepted = false;
  EXPECT_EQ(downloadCpQca9x25(request_), -1);
  EXPECT_TRUE(surface_.showed("SwitchToDownloadMode failed, Please repower 1 DUT."));
  EXPECT_EQ(std::count(module().calls.begin(), module().calls.end(), "Disconnect"), 1);
  expectNothingLeftOpen();
}

}  // namespace
