// The Qca9x07 CP download against a scripted library: the road by port kind, the switch and
// the wait for the download port, Sahara under its lock, the streaming result flags, and the
// connections left behind on every path.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chipsets/qca9x07.h"
#include "chipsets/qca9x07_firmware.h"
#include "chipsets/sahara_lock.h"
#include "cp_download_test_support.h"
#include "host/station_options.h"
#include "platform/qca_library.h"
#include "platform/slot_record.h"

namespace {

using chipset_test::serviceCalls;

class Qca9x07CpDownloadTest : public chipset_test::CpDownloadTest {
 protected:
  void SetUp() override {
    CpDownloadTest::SetUp();
    resetQca9x07State();
    module().streamRecords = streamTexts({"/fw/sbl1.mbn", "/fw/tz.mbn"});

    Qca9x07Firmware& fw = qca9x07Firmware();
    fw.normalProgrammer = "/fw/NPRG9x07.mbn";
    fw.emergencyProgrammer = "/fw/ENPRG9x07.mbn";
    fw.partitionFile = "/fw/partition.mbn";
    fw.downloadTotal = 8192;
    fw.userPartitions.count = 1;
    std::snprintf(fw.userPartitions.entries[0].name, 10, "0:SBL");
  }
};

// ---- The road by port kind ----

TEST_F(Qca9x07CpDownloadTest, DiagnosticPortSwitchesUploadsTheProgrammerAndStreams) {
  ASSERT_EQ(downloadCpQca9x07(request_), 0);
  EXPECT_EQ(module().calls,
            (std::vector<std::string>{
                "SetLibraryMode(0)", "SetTargetType(0)", "Connect(5)", "Switch(3000,0)",
                "Disconnect", "SaharaConnect(5,1,2,5000)", "FlashProgrammer", "StopLogging",
                "SaharaDisconnect", "Connect(5)", "TextLogCallBack", "SetLogFlags(9)",
                "Category(4,1)", "Download(1,1,5000,5000)", "StopLogging", "Disconnect"}));
  EXPECT_EQ(module().programmerPath, "/fw/NPRG9x07.mbn");
  EXPECT_EQ(module().streamProgrammer, "") << "the programmer already runs";
  EXPECT_EQ(module().partitionFile, "/fw/partition.mbn");
  EXPECT_STREQ(module().partitions.entries[0].name, "0:SBL");
  EXPECT_EQ(module().overrideTable, 0);
  EXPECT_EQ(serviceCalls().versionReports, 1);
  EXPECT_EQ(killer_.names(), std::vector<std::string>{"QPSTServer.exe"});
  EXPECT_EQ(bUpdatedCp, 1);
  EXPECT_EQ(bPartionDiff, 0);
  for (const char* text :
       {"QLib verison: 9.9.99 .", "Connecting Sahara Server 1 times....", "Sahara says hello",
        "Version: 2, MSMId: 295137,SN: 77.", "Waiting Sahara_FlashProgrammer...",
        "Waiting switch To Download Mode...", "Downloading sbl1.mbn...", "Downloading tz.mbn...",
        "CP Download Success!"}) {
    EXPECT_TRUE(surface_.showed(text)) << text;
  }
  expectNothingLeftOpen();
}

TEST_F(Qca9x07CpDownloadTest, DownloadPortsSkipTheSwitchAndChooseTheirProgrammer) {
  gBackupRestoreQcn = true;
  struct Case {
    int kind;
    unsigned port;
    const char* programmer;
  };
  for (const Case& c :
       {Case{1, k9008Com, "/fw/ENPRG9x07.mbn"}, Case{2, k9009Com, "/fw/NPRG9x07.mbn"}}) {
    installFakeDownloadLibrary();
    module().streamRecords = streamTexts({"/fw/sbl1.mbn"});
    serviceCalls().qcnCalls.clear();
    request_.portKind = c.kind;
    ASSERT_EQ(downloadCpQca9x07(request_), 0) << c.kind;
    EXPECT_FALSE(module().called("Switch(3000,0)"));
    EXPECT_EQ(module().saharaConnectPorts, std::vector<unsigned>{c.port});
    EXPECT_TRUE(module().called("Connect(" + std::to_string(c.port) + ")"));
    EXPECT_EQ(module().programmerPath, c.programmer);
    EXPECT_EQ(module().overrideTable, 1) << "backup/restore overrides the partition table";
    EXPECT_TRUE(serviceCalls().qcnCalls.empty()) << "only the diagnostic port backs up";
    expectNothingLeftOpen();
  }
}

// ---- QCN backup before the download ----

TEST_F(Qca9x07CpDownloadTest, BackupChecksCfunThenBacksUpInTheConfiguredFormat) {
  gBackupRestoreQcn = true;
  gNotUseQPST = 1;
  ASSERT_EQ(downloadCpQca9x07(request_), 0);
  EXPECT_EQ(serviceCalls().cfunChecks, 1);
  EXPECT_EQ(serviceCalls().qcnCalls, (std::vector<std::pair<int, int>>{{1, 1}}));

  bUseQcnQca9x07 = 1;
  gNotUseQPST = 0;
  serviceCalls().qcnCalls.clear();
  ASSERT_EQ(downloadCpQca9x07(request_), 0);
  EXPECT_EQ(serviceCalls().qcnCalls, (std::vector<std::pair<int, int>>{{0, 0}}));
}

TEST_F(Qca9x07CpDownloadTest, FailedCfunCheckOrBackupEndsBeforeTheLibraryIsUsed) {
  gBackupRestoreQcn = true;
  serviceCalls().checkCfunResult = -1;
  EXPECT_EQ(downloadCpQca9x07(request_), -1);
  EXPECT_TRUE(serviceCalls().qcnCalls.empty());
  EXPECT_TRUE(module().calls.empty());

  serviceCalls().checkCfunResult = 0;
  serviceCalls().backupQcnResult = -1;
  EXPECT_EQ(downloadCpQca9x07(request_), -1);
  EXPECT_TRUE(module().calls.empty());
  EXPECT_TRUE(killer_.names().empty()) << "the phone server is left alone";
}

TEST_F(Qca9x07CpDownloadTest, AnotherSlotsQcnWorkThatNeverEndsIsNotWaitedForForever) {
  gBackupRestoreQcn = true;
  request_.portKind = 2;
  handeIndexQpstMap[3] = reinterpret_cast<HANDLE>(0x55);
  EXPECT_EQ(downloadCpQca9x07(request_), -1);
  EXPECT_TRUE(surface_.showed("QPST work did not finish, Please repower 1 DUT."));
  EXPECT_TRUE(module().calls.empty());
  handeIndexQpstMap[3] = nullptr;
}

// ---- Switch and port wait ----

TEST_F(Qca9x07CpDownloadTest, SaharaMovesToThe9009PortOnceTheSlotReportsIt) {
  module().saharaPorts = {k9009Com};
  module().onSwitch = [] {
    gThreadData[0].ql9009port = k9009Com;
    gThreadData[0].present9009 = 1;
  };
  ASSERT_EQ(downloadCpQca9x07(request_), 0);
  EXPECT_EQ(module().saharaConnectPorts, (std::vector<unsigned>{kDiagCom, k9009Com}));
  EXPECT_TRUE(surface_.showed("Connecting Sahara Server 2 times...."));
  EXPECT_TRUE(module().called("Connect(9)")) << "streaming uses the port Sahara found";
  expectNothingLeftOpen();
}

TEST_F(Qca9x07CpDownloadTest, PortThatNeverComesBackEndsTheWaitWithARepowerMessage) {
  module().onSwitch = [] { gThreadData[0].present = 0; };
  EXPECT_EQ(downloadCpQca9x07(request_), -1);
  EXPECT_TRUE(surface_.showed("Download port not found, Please repower 1 DUT."));
  EXPECT_EQ(surface_.count("Waiting port..."), 90u);
  EXPECT_TRUE(module().saharaConnectPorts.empty());
  expectNothingLeftOpen();
}

TEST_F(Qca9x07CpDownloadTest, StopDuringThePortWaitEndsTheDownloadAtOnce) {
  module().onSwitch = [] {
    gThreadData[0].present = 0;
    host::requestStop();
  };
  EXPECT_EQ(downloadCpQca9x07(request_), -1);
  EXPECT_LE(surface_.count("Waiting port..."), 1u);
  EXPECT_FALSE(surface_.showed("Download port not found, Please repower 1 DUT."));
  EXPECT_TRUE(module().saharaConnectPorts.empty());
  expectNothingLeftOpen();
}

TEST_F(Qca9x07CpDownloadTest, RefusedSwitchClosesItsConnectionOnce) {
  module().switchAccepted = false;
  module().errorText = "no answer to the switch";
  EXPECT_EQ(downloadCpQca9x07(request_), -1);
  EXPECT_TRUE(surface_.showed("Switch download mode failed,please repower No1 DUT."));
  EXPECT_TRUE(surface_.showed("no answer to the switch"));
  EXPECT_EQ(std::count(module().calls.begin(), module().calls.end(), "Disconnect"), 1);
  expectNothingLeftOpen();
}

TEST_F(Qca9x07CpDownloadTest, UnansweredPhoneIsReportedAndTheSwitchStillTried) {
  module().phoneConnected = false;
  ASSERT_EQ(downloadCpQca9x07(request_), 0);
  EXPECT_TRUE(surface_.showed("Phone Connection Status: FAIL,Please wait retry connect No1 DUT."));
  EXPECT_TRUE(module().called("Switch(3000,0)"));
}

TEST_F(Qca9x07CpDownloadTest, DiagnosticPortThatCannotConnectFails) {
  module().deadPorts = {kDiagCom};
  EXPECT_EQ(downloadCpQca9x07(request_), -1);
  EXPECT_TRUE(surface_.showed("Connect server port failed, Please repower No1 DUT."));
  EXPECT_FALSE(module().called("Switch(3000,0)"));
  expectNothingLeftOpen();
}

// ---- Sahara ----

TEST_F(Qca9x07CpDownloadTest, SaharaThatNeverAnswersGivesUpAfterFiveTriesAndFreesTheLock) {
  module().saharaFailures = 5;
  EXPECT_EQ(downloadCpQca9x07(request_), -1);
  EXPECT_EQ(module().saharaConnectPorts.size(), 5u);
  EXPECT_TRUE(surface_.showed("Connecting Sahara Server 5 times...."));
  EXPECT_TRUE(surface_.showed("Connect Sahara Server failed, Please repower No1 DUT."));
  EXPECT_FALSE(module().called("FlashProgrammer"));
  expectNothingLeftOpen();
}

TEST_F(Qca9x07CpDownloadTest, SaharaHandleWithoutVersionIsReleasedAndCountsAsFailure) {
  module().saharaVersion = 0;
  EXPECT_EQ(downloadCpQca9x07(request_), -1);
  EXPECT_EQ(std::count(module().calls.begin(), module().calls.end(), "SaharaDisconnect"), 5);
  EXPECT_FALSE(module().called("FlashProgrammer"));
  expectNothingLeftOpen();
}

TEST_F(Qca9x07CpDownloadTest, RefusedProgrammerShowsTheLibrarysReason) {
  module().programmerAccepted = false;
  module().errorText = "HELLO not received";
  EXPECT_EQ(downloadCpQca9x07(request_), -1);
  EXPECT_TRUE(surface_.showed(
      "Unable to download Flash Programmer using Sahara Protocol, Please repower No1 DUT."));
  EXPECT_TRUE(surface_.showed("HELLO not received"));
  EXPECT_FALSE(module().called("Download(1,1,5000,5000)"));
  expectNothingLeftOpen();
}

TEST_F(Qca9x07CpDownloadTest, SaharaLockHeldByAnotherSlotIsNotWaitedForForever) {
  ASSERT_EQ(takeSaharaLock(0), SaharaLockResult::Taken);
  EXPECT_EQ(downloadCpQca9x07(request_), -1);
  EXPECT_TRUE(surface_.showed("Sahara is busy on another DUT, Please repower 1 DUT."));
  EXPECT_TRUE(module().saharaConnectPorts.empty());
  EXPECT_TRUE(saharaLockHeld()) << "the other slot's lock is not taken from it";
}

// ---- Streaming results ----

TEST_F(Qca9x07CpDownloadTest, StreamingWithoutAnyPartitionAnnouncedIsAPartitionDiff) {
  module().streamRecords = {{QLIB_TEXT_LOG_TYPE_TEXT, "Sending HELLO to flash programmer"},
                            {QLIB_TEXT_LOG_TYPE_TEXT, "Downloading /fw/fastboot.img"}};
  EXPECT_EQ(downloadCpQca9x07(request_), -1);
  EXPECT_TRUE(surface_.showed("CP Download Failed!,Partition diff!"));
  EXPECT_EQ(bPartionDiff, 1);
  EXPECT_EQ(bUpdatedCp, 0);
  expectNothingLeftOpen();
}

TEST_F(Qca9x07CpDownloadTest, StreamingThatFailsAfterAPartitionIsAPlainFailure) {
  module().streamSucceeds = false;
  module().errorText = "Partition 0:TZ not written";
  EXPECT_EQ(downloadCpQca9x07(request_), -1);
  EXPECT_TRUE(surface_.showed("CP Download Failed!"));
  EXPECT_TRUE(surface_.showed("Partition 0:TZ not written"));
  EXPECT_EQ(bPartionDiff, 0);
  expectNothingLeftOpen();
}

TEST_F(Qca9x07CpDownloadTest, StreamingPortThatCannotConnectEndsAtOnce) {
  request_.portKind = 2;
  module().deadPorts = {k9009Com};
  EXPECT_EQ(downloadCpQca9x07(request_), -1);
  EXPECT_TRUE(surface_.showed("Connect server port failed, Please repower No1 DUT."));
  EXPECT_FALSE(module().called("ErrorInfo"));
  expectNothingLeftOpen();
}

TEST_F(Qca9x07CpDownloadTest, FlagsOfAPreviousModuleDoNotOutliveTheNextRunsStart) {
  bPartionDiff = 1;
  bUpdatedCp = 1;
  gBackupRestoreQcn = true;
  serviceCalls().checkCfunResult = -1;
  EXPECT_EQ(downloadCpQca9x07(request_), -1);
  EXPECT_EQ(bPartionDiff, 0);
  EXPECT_EQ(bUpdatedCp, 0);
}

TEST_F(Qca9x07CpDownloadTest, RequestForASlotOutsideTheMapsIsRefused) {
  request_.slot = 0;
  EXPECT_EQ(downloadCpQca9x07(request_), -1);
  request_.slot = 9;
  EXPECT_EQ(downloadCpQca9x07(request_), -1);
  EXPECT_TRUE(module().calls.empty());
}

}  // namespace
