// The Qca9x15 CP download against a scripted library: the road by port kind (the switch on
// the same COM number, the no-op on 9008), the NV writes and the QCN backup before it, the
// streaming download that uploads the hex programmer, and what every end leaves behind.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cp_download_test_support.h"
#include "chipsets/qca9x15.h"
#include "chipsets/qca9x15_firmware.h"
#include "chipsets/qca9x15_text_log.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "platform/qca_library.h"
#include "platform/slot_record.h"

namespace {

using chipset_test::serviceCalls;

class Qca9x15CpDownloadTest : public chipset_test::CpDownloadTest {
 protected:
  void SetUp() override {
    CpDownloadTest::SetUp();
    resetQca9x15State();
    module().streamRecords = streamTexts({"/fw/sbl1.mbn", "/fw/dsp1.mbn"});

    Qca9x15Firmware& fw = qca9x15Firmware();
    fw.normalProgrammer = "/fw/NPRG9x15.hex";
    fw.emergencyProgrammer = "/fw/ENPRG9x15.hex";
    fw.partitionFile = "/fw/partition.mbn";
    fw.downloadTotal = 8192;
    fw.userPartitions.count = 1;
    std::snprintf(fw.userPartitions.entries[0].name, 10, "0:SBL1");
  }
};

// ---- The road by port kind ----

TEST_F(Qca9x15CpDownloadTest, DiagnosticPortSwitchesOnTheSameComAndStreamsWithTheProgrammer) {
  ASSERT_EQ(downloadCpQca9x15(request_), 0);
  EXPECT_EQ(module().calls,
            (std::vector<std::string>{"SetLibraryMode(0)", "SetTargetType(0)", "Connect(5)",
                                      "ProgrammerTextCallBack", "SetLogFlags(65535)",
                                      "Category(4,1)", "Switch(3000,0)", "Disconnect", "Connect(5)",
                                      "TextLogCallBack", "SetLogFlags(9)", "Category(4,1)",
                                      "Download(1,1,5000,3000)", "StopLogging", "Disconnect"}));
  EXPECT_EQ(module().streamProgrammer, "/fw/NPRG9x15.hex") << "the library uploads it";
  EXPECT_EQ(module().partitionFile, "/fw/partition.mbn");
  EXPECT_STREQ(module().partitions.entries[0].name, "0:SBL1");
  EXPECT_TRUE(module().saharaConnectPorts.empty()) << "no Sahara stage";
  EXPECT_EQ(killer_.names(), std::vector<std::string>{"QPSTServer.exe"});
  for (const char* text : {"Waiting switch To Download Mode...", "Downloading sbl1.mbn ...",
                           "Downloading dsp1.mbn ...", "CP Download Success!"}) {
    EXPECT_TRUE(surface_.showed(text)) << text;
  }
  EXPECT_FALSE(surface_.showed("QLib verison: 9.9.99 .")) << "no library lines on this platform";
  expectNothingLeftOpen();
}

TEST_F(Qca9x15CpDownloadTest, DownloadPortsSkipTheSwitchAndChooseTheirProgrammer) {
  struct Case {
    int kind;
    int port;
    const char* programmer;
    bool nop;
  };
  for (const Case& c : {Case{1, k9008Com, "/fw/ENPRG9x15.hex", true},
                        Case{2, k9009Com, "/fw/NPRG9x15.hex", false}}) {
    installFakeDownloadLibrary();
    module().streamRecords = streamTexts({"/fw/sbl1.mbn"});
    request_.portKind = c.kind;
    ASSERT_EQ(downloadCpQca9x15(request_), 0) << c.kind;
    EXPECT_FALSE(module().called("Switch(3000,0)"));
    EXPECT_EQ(module().called("Nop(1000)"), c.nop) << c.kind;
    EXPECT_TRUE(module().called("Connect(" + std::to_string(c.port) + ")"));
    EXPECT_EQ(module().streamProgrammer, c.programmer);
    expectNothingLeftOpen();
  }
}

TEST_F(Qca9x15CpDownloadTest, EmergencyPortThatDoesNotAnswerTheNoOpIsAFailure) {
  request_.portKind = 1;
  module().nopAnswered = false;
  EXPECT_EQ(downloadCpQca9x15(request_), -1);
  EXPECT_FALSE(module().called("Download(1,1,5000,3000)"));
  EXPECT_TRUE(surface_.showed("Download port not answering, Please repower 1 DUT."));
  expectNothingLeftOpen();
}

// ---- Before the download ----

TEST_F(Qca9x15CpDownloadTest, NvWritesComeFirstAndTheirFailureEndsBeforeTheLibrary) {
  gWriteNv = true;
  ASSERT_EQ(downloadCpQca9x15(request_), 0);
  EXPECT_EQ(serviceCalls().nvWrites, 1);

  installFakeDownloadLibrary();
  serviceCalls().writeNvResult = 0;
  gBackupRestoreQcn = true;
  EXPECT_EQ(downloadCpQca9x15(request_), -1);
  EXPECT_TRUE(surface_.showed("Write NvItem failed, Please repower 1 DUT."));
  EXPECT_TRUE(module().calls.empty());
  EXPECT_EQ(serviceCalls().cfunChecks, 0);
}

TEST_F(Qca9x15CpDownloadTest, BackupUsesTheFormatAndModeOfTheSettingsAndPassesItsFailureOn) {
  gBackupRestoreQcn = true;
  bUseQcnQca9x15 = 1;
  gNotUseQPST = 1;
  ASSERT_EQ(downloadCpQca9x15(request_), 0);
  EXPECT_EQ(serviceCalls().qcnCalls, (std::vector<std::pair<int, int>>{{0, 1}}));
  EXPECT_EQ(module().overrideTable, 1);

  installFakeDownloadLibrary();
  serviceCalls().backupQcnResult = -7;
  EXPECT_EQ(downloadCpQca9x15(request_), -7);
  EXPECT_TRUE(module().calls.empty());
  expectNothingLeftOpen();
}

// ---- Failures ----

TEST_F(Qca9x15CpDownloadTest, ConnectIsTriedThreeTimes) {
  module().deadPorts = {kDiagCom};
  EXPECT_EQ(downloadCpQca9x15(request_), -1);
  EXPECT_EQ(std::count(module().calls.begin(), module().calls.end(), "Connect(5)"), 3);
  EXPECT_TRUE(surface_.showed("ConnectServer failed, Please repower 1 DUT."));
  expectNothingLeftOpen();
}

TEST_F(Qca9x15CpDownloadTest, RefusedSwitchClosesItsConnection) {
  module().switchAccepted = false;
  EXPECT_EQ(downloadCpQca9x15(request_), -1);
  EXPECT_TRUE(surface_.showed("SwitchToDownloadMode failed, Please repower 1 DUT."));
  EXPECT_EQ(std::count(module().calls.begin(), module().calls.end(), "Disconnect"), 1);
  expectNothingLeftOpen();
}

TEST_F(Qca9x15CpDownloadTest, ComThatNeverComesBackEndsTheWaitWithARepowerMessage) {
  module().onSwitch = [] { gThreadData[0].present = 0; };
  EXPECT_EQ(downloadCpQca9x15(request_), -1);
  EXPECT_TRUE(surface_.showed("Download port not found, Please repower 1 DUT."));
  EXPECT_FALSE(module().called("Download(1,1,5000,3000)"));
  expectNothingLeftOpen();
}

TEST_F(Qca9x15CpDownloadTest, StreamingFailuresReportTheLibrarysReasonAndLeaveTheFlagsAlone) {
  bPartionDiff = 0;
  module().streamRecords = streamTexts({});
  EXPECT_EQ(downloadCpQca9x15(request_), -1);
  EXPECT_TRUE(surface_.showed("CP Download Failed!,Partition diff!"));
  EXPECT_EQ(bPartionDiff, 0) << "only the Qca9x07 download sets it";

  installFakeDownloadLibrary();
  module().streamRecords = streamTexts({"/fw/sbl1.mbn"});
  module().streamSucceeds = false;
  module().errorText = "Target not responding";
  EXPECT_EQ(downloadCpQca9x15(request_), -1);
  EXPECT_TRUE(surface_.showed("CP Download Failed!"));
  EXPECT_TRUE(surface_.showed("Target not responding"));
  expectNothingLeftOpen();
}

// ---- The callbacks ----

TEST_F(Qca9x15CpDownloadTest, ProgressMarksMoveByTheProgrammerAndPartitionSizes) {
  Qca9x15Firmware& fw = qca9x15Firmware();
  fw.downloadTotal = 1000;
  fw.programmerSize = 100;
  fw.partitionSize = 50;
  const HANDLE handle = reinterpret_cast<HANDLE>(0x77);
  handeIndexMap[0] = handle;
  auto text = [&](const char* t) {
    QLIB_TextLogRecord record{};
    record.type = QLIB_TEXT_LOG_TYPE_TEXT;
    std::snprintf(record.text, sizeof record.text, "%s", t);
    qca9x15TextLogCallBack(nullptr, &record, handle);
  };
  text("Switching Mobile to DOWNLOAD mode");
  text("Loading Flash Programmer File /fw/NPRG9x15.hex");
  text("Sending HELLO to flash programmer");
  text("Opening partition at address 0x0");
  const std::vector<double> progress = surface_.progress();
  ASSERT_EQ(progress.size(), 3u);
  EXPECT_NEAR(progress[0], 0.0, 1e-9);
  EXPECT_NEAR(progress[1], 10.0, 1e-9);
  EXPECT_NEAR(progress[2], 15.0, 1e-9);
  EXPECT_TRUE(surface_.showed("Sending HELLO to flash programmer"));
  EXPECT_FALSE(surface_.showed("Opening partition at address 0x0"));

  qca9x15ProgrammerTextCallBack(handle, "Switching Mobile to DOWNLOAD mode");
  qca9x15ProgrammerTextCallBack(reinterpret_cast<HANDLE>(0x78), "of another connection");
  EXPECT_EQ(surface_.count("Switching Mobile to DOWNLOAD mode"), 2u);
  EXPECT_FALSE(surface_.showed("of another connection"));
  handeIndexMap[0] = nullptr;
}

}  // namespace
