// The Qca9206 CP download against a scripted library: the road by port kind, the refusal of
// 1 GB firmware on 512 MB flash, Sahara's waits and the station-wide lock, the user-partition
// download in either layout with its texts and progress, and the AP and TP steps.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chipsets/qca9206.h"
#include "chipsets/qca9206_firmware.h"
#include "chipsets/qca9206_text_log.h"
#include "chipsets/sahara_lock.h"
#include "cp_download_test_support.h"
#include "fastboot/action_queue.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "platform/qca_library.h"
#include "platform/slot_record.h"

namespace {

using chipset_test::serviceCalls;

class Qca9206CpDownloadTest : public chipset_test::CpDownloadTest {
 protected:
  void SetUp() override {
    CpDownloadTest::SetUp();
    resetQca9206State();
    module().streamRecords = streamTexts({"/fw/sbl1.mbn", "/fw/NON-HLOS.bin"});

    Qca9206Firmware& fw = qca9206Firmware();
    fw.normalProgrammer = "/fw/NPRG9x06.mbn";
    fw.emergencyProgrammer = "/fw/ENPRG9x06.mbn";
    fw.partitionFile = "/fw/partition.mbn";
    fw.downloadTotal = 8192;
    fw.shortList.count = 1;
    std::snprintf(fw.shortList.entries[0].name, 10, "0:SBL");
    fw.longList.count = 1;
    std::snprintf(fw.longList.entries[0].name, 129, "0:recovery");
  }
};

// ---- The road by port kind ----

TEST_F(Qca9206CpDownloadTest, DiagnosticPortChecksTheFlashSwitchesUploadsAndDownloads) {
  ASSERT_EQ(downloadCpQca9206(request_), 0);
  EXPECT_EQ(module().calls,
            (std::vector<std::string>{
                "SetLibraryMode(0)", "SetTargetType(0)", "Connect(5)", "Switch(3000,0)",
                "Disconnect", "SaharaConnect(5,1,2,500)", "FlashProgrammer", "StopLogging",
                "SaharaDisconnect", "Connect(5)", "TextLogCallBack", "SetLogFlags(9)",
                "Category(4,1)", "Download(1,1,5000,5000)", "StopLogging", "Disconnect"}));
  EXPECT_EQ(serviceCalls().deviceInfoReads, 1);
  EXPECT_EQ(serviceCalls().versionReports, 1);
  EXPECT_EQ(module().programmerPath, "/fw/NPRG9x06.mbn");
  EXPECT_EQ(module().streamProgrammer, "");
  EXPECT_EQ(module().partitionFile, "/fw/partition.mbn");
  EXPECT_EQ(module().partitionList, &qca9206Firmware().shortList);
  EXPECT_EQ(module().overrideTable, 0);
  EXPECT_EQ(killer_.names(), std::vector<std::string>{"QPSTServer.exe"});
  for (const char* text :
       {"QLib verison: 9.9.99 .", "Waiting switch To Download Mode...",
        "Connecting Sahara Server 1 times....", "Version: 2, MSMId: 295137,SN: 77.",
        "Sahara says hello", "Downloading sbl1.mbn ...", "Downloading NON-HLOS.mbn ...",
        "Download Success!"}) {
    EXPECT_TRUE(surface_.showed(text)) << text;
  }
  EXPECT_EQ(surface_.progress().back(), 100.0) << "a success fills the bar";
  expectNothingLeftOpen();
}

TEST_F(Qca9206CpDownloadTest, DownloadPortsSkipTheFlashCheckAndTheSwitch) {
  struct Case {
    int kind;
    unsigned port;
    const char* programmer;
  };
  for (const Case& c :
       {Case{1, k9008Com, "/fw/ENPRG9x06.mbn"}, Case{2, k9009Com, "/fw/NPRG9x06.mbn"}}) {
    installFakeDownloadLibrary();
    module().streamRecords = streamTexts({"/fw/sbl1.mbn"});
    request_.portKind = c.kind;
    ASSERT_EQ(downloadCpQca9206(request_), 0) << c.kind;
    EXPECT_FALSE(module().called("Switch(3000,0)"));
    EXPECT_EQ(module().saharaConnectPorts, std::vector<unsigned>{c.port});
    EXPECT_EQ(module().programmerPath, c.programmer);
    expectNothingLeftOpen();
  }
  EXPECT_EQ(serviceCalls().deviceInfoReads, 0);
}

TEST_F(Qca9206CpDownloadTest, TheLongLayoutHandsTheLongList) {
  qca9206Firmware().longLayout = true;
  ASSERT_EQ(downloadCpQca9206(request_), 0);
  EXPECT_EQ(module().partitionList, &qca9206Firmware().longList);
}

// ---- 1 GB firmware on 512 MB flash ----

TEST_F(Qca9206CpDownloadTest, OneGigabyteFirmwareIsRefusedOnAFiveHundredTwelveMegabyteModule) {
  qca9206Firmware().firmware1G = true;
  sFlash512 = "512";
  serviceCalls().flashId = "512";
  EXPECT_EQ(downloadCpQca9206(request_), -1);
  EXPECT_TRUE(surface_.showed(
      "You can't download 1G firmware to 512 Flash!, Please check No1 DUT firmware version."));
  EXPECT_FALSE(module().called("Connect(5)")) << "nothing reaches the module";
  EXPECT_TRUE(module().saharaConnectPorts.empty());
  expectNothingLeftOpen();
}

TEST_F(Qca9206CpDownloadTest, TheFlashCheckNeedsTheMarkerTheSettingAndAMatchingId) {
  struct Case {
    bool marker;
    const char* flash512;
    const char* flashId;
  };
  for (const Case& c : {Case{false, "512", "512"}, Case{true, "", "512"}, Case{true, "512", ""},
                        Case{true, "512", "1024"}}) {
    installFakeDownloadLibrary();
    module().streamRecords = streamTexts({"/fw/sbl1.mbn"});
    qca9206Firmware().firmware1G = c.marker;
    sFlash512 = c.flash512;
    serviceCalls().flashId = c.flashId;
    EXPECT_EQ(downloadCpQca9206(request_), 0) << c.marker << c.flash512 << c.flashId;
  }
}

// ---- Sahara ----

TEST_F(Qca9206CpDownloadTest, SaharaStaysOnItsPortAndWaitsForTheStationWideLock) {
  module().saharaPorts = {kDiagCom};
  module().saharaFailures = 1;
  module().onSwitch = [] {
    gThreadData[0].ql9009port = k9009Com;
    gThreadData[0].present9009 = 1;
  };
  ASSERT_EQ(downloadCpQca9206(request_), 0);
  EXPECT_EQ(module().saharaConnectPorts, (std::vector<unsigned>{kDiagCom, kDiagCom}));

  installFakeDownloadLibrary();
  ASSERT_EQ(takeSaharaLock(0), SaharaLockResult::Taken);
  EXPECT_EQ(downloadCpQca9206(request_), -1);
  EXPECT_TRUE(surface_.showed("Sahara is busy on another DUT, Please repower 1 DUT."));
  EXPECT_TRUE(module().saharaConnectPorts.empty());
}

TEST_F(Qca9206CpDownloadTest, SaharaThatNeverAnswersOrARefusedProgrammerFails) {
  module().saharaFailures = 5;
  EXPECT_EQ(downloadCpQca9206(request_), -1);
  EXPECT_TRUE(surface_.showed("Connect Sahara Server failed, Please repower No1 DUT."));
  expectNothingLeftOpen();

  installFakeDownloadLibrary();
  module().programmerAccepted = false;
  module().errorText = "HELLO not received";
  EXPECT_EQ(downloadCpQca9206(request_), -1);
  EXPECT_TRUE(surface_.showed(
      "Unable to download Flash Programmer using Sahara Protocol, Please repower No1 DUT."));
  EXPECT_TRUE(surface_.showed("HELLO not received"));
  expectNothingLeftOpen();
}

// ---- The user-partition download ----

TEST_F(Qca9206CpDownloadTest, ADownloadThatNeverSentAnImageIsAPartitionDiff) {
  module().streamRecords = {{QLIB_TEXT_LOG_TYPE_TEXT, "Sending HELLO to flash programmer"},
                            {QLIB_TEXT_LOG_TYPE_TEXT, "Downloading /fw/boot.img"}};
  EXPECT_EQ(downloadCpQca9206(request_), -1);
  EXPECT_TRUE(surface_.showed("Download Failed!,Partition diff!"));
  EXPECT_FALSE(surface_.showed("Download Success!"));
  expectNothingLeftOpen();
}

TEST_F(Qca9206CpDownloadTest, ADownloadThatFailsAfterAnImageIsAPlainFailure) {
  module().streamSucceeds = false;
  module().errorText = "Partition 0:modem not written";
  EXPECT_EQ(downloadCpQca9206(request_), -1);
  EXPECT_TRUE(surface_.showed("Download Failed!"));
  EXPECT_TRUE(surface_.showed("Partition 0:modem not written"));
  expectNothingLeftOpen();
}

TEST_F(Qca9206CpDownloadTest, ProgressAdvancesWithTheBytesSentAgainstTheWholeTable) {
  // 51 notes of 4096 bytes each: the 51st posts a quarter of the table.
  qca9206Firmware().downloadTotal = 4 * 51 * 4096;
  module().streamRecords = streamTexts({"/fw/sbl1.mbn"}, 51);
  ASSERT_EQ(downloadCpQca9206(request_), 0);
  const std::vector<double> progress = surface_.progress();
  ASSERT_GE(progress.size(), 3u);
  EXPECT_NEAR(progress[progress.size() - 2], 25.0, 1e-9);
  EXPECT_EQ(progress.back(), 100.0);
  EXPECT_NEAR(qca9206TextLog().currentProgress(), 0.25, 1e-12);
}

// ---- Backup before the download ----

TEST_F(Qca9206CpDownloadTest, BackupRunsOnTheDiagnosticPortAndItsFailureIsReturned) {
  gBackupRestoreQcn = true;
  gNotUseQPST = 1;
  ASSERT_EQ(downloadCpQca9206(request_), 0);
  EXPECT_EQ(serviceCalls().qcnCalls, (std::vector<std::pair<int, int>>{{1, 1}}));
  EXPECT_EQ(module().overrideTable, 1);

  serviceCalls().checkCfunResult = -1;
  installFakeDownloadLibrary();
  EXPECT_EQ(downloadCpQca9206(request_), -1);
  EXPECT_TRUE(module().calls.empty());
}

// ---- AP and TP ----

TEST_F(Qca9206CpDownloadTest, ApRunsTheQueueFromTheDownloadsProgress) {
  std::snprintf(request_.devicePath, sizeof request_.devicePath, "%s", "usb-path");
  fb_queue_reboot();
  ASSERT_EQ(downloadApQca9206(request_), 0);
  ASSERT_EQ(serviceCalls().flashes.size(), 1u);
  EXPECT_EQ(serviceCalls().flashes[0].path, "usb-path");
  EXPECT_EQ(serviceCalls().flashes[0].total, 8192u);
  EXPECT_TRUE(surface_.showed("AP Download Success."));
  serviceCalls().flashAllResult = -1;
  EXPECT_EQ(downloadApQca9206(request_), -1);
  EXPECT_TRUE(surface_.showed("AP Download Failed."));
  queue_action_clear();
}

TEST_F(Qca9206CpDownloadTest, AnEmptyFastbootQueueIsNoApDownload) {
  queue_action_clear();
  EXPECT_EQ(downloadApQca9206(request_), -1);
  EXPECT_TRUE(serviceCalls().flashes.empty()) << "no device is opened for nothing";
  EXPECT_TRUE(surface_.showed("AP Download Failed."));
}

TEST_F(Qca9206CpDownloadTest, TpRestoresOnlyOnTheDiagnosticPortWithBackupOrQcnOnly) {
  EXPECT_EQ(downloadTpQca9206(request_), 0);
  EXPECT_TRUE(surface_.showed("Enter downloadTpQca9206..."));
  EXPECT_TRUE(serviceCalls().qcnCalls.empty());

  gOnlyQcn = true;
  bUseQcnQca9206 = 1;
  serviceCalls().backupQcnResult = -1;
  EXPECT_EQ(downloadTpQca9206(request_), -1);
  EXPECT_EQ(serviceCalls().qcnCalls, (std::vector<std::pair<int, int>>{{2, 0}}));

  request_.portKind = 2;
  EXPECT_EQ(downloadTpQca9206(request_), 0);
  EXPECT_EQ(serviceCalls().qcnCalls.size(), 1u);
}

}  // namespace
