// The Qca8909 CP download against a scripted library and stand-in tool runs: the road by port
// kind and firmware family, the switch through the library and its refusal, the checks before
// the switch with backup/restore on, the qmbn road, and the tool results that end the run.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chipsets/qca8909.h"
#include "chipsets/qca8909_firmware.h"
#include "chipsets/tool_runner.h"
#include "cp_download_test_support.h"
#include "fake_edl_library.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "platform/slot_record.h"

namespace {

using chipset_test::serviceCalls;

// What the CP download asked of the tools.
struct ToolCalls {
  std::vector<std::string> runs;  // "sahara PROGRAMMER" / "firehose RAW PATCH"
  int saharaResult = 0;
  int firehoseResult = 0;
  int versionResult = 1;
};
ToolCalls gTools;

int fakeLoadProgrammer(const DownloadRequest&, const std::string& programmer) {
  gTools.runs.push_back("sahara " + programmer);
  return gTools.saharaResult;
}
int fakeSendFirmware(const DownloadRequest&, const std::string& raw, const std::string& patch) {
  gTools.runs.push_back("firehose " + raw + " " + patch);
  return gTools.firehoseResult;
}
int fakeVersionCheck(const DownloadRequest&) {
  gTools.runs.push_back("version");
  return gTools.versionResult;
}

class Qca8909CpDownloadTest : public chipset_test::CpDownloadTest {
 protected:
  void SetUp() override {
    CpDownloadTest::SetUp();
    resetQca8909State();
    installFakeEdlLibrary();
    gTools = ToolCalls{};
    chipsetServices().loadProgrammer = fakeLoadProgrammer;
    chipsetServices().sendFirmware = fakeSendFirmware;
    chipsetServices().ifNeedUpdateVersion = fakeVersionCheck;
    useFirmware("prog_emmc_firehose_8909_ddr.mbn");
    // A switch brings the module up on its emergency port.
    fakeEdlModule().onSwitch = [] {
      gThreadData[0].ql9008port = k9008Com;
      gThreadData[0].present9008 = 1;
    };
  }

  static void useFirmware(const std::string& programmer) {
    Qca8909Firmware& fw = qca8909Firmware();
    fw.folder = "/fw";
    fw.programmer = "/fw/" + programmer;
    fw.rawprogram = "/fw/rawprogram0.xml";
    fw.patch = "/fw/patch0.xml";
    fw.backupRawprogram = "/fw/backup/rawprogram0-V1.xml";
    fw.backupPatch = "/fw/backup/patch0.xml";
  }

  // The module waits on its emergency port already.
  void startInEmergencyDownload() {
    request_.portKind = 1;
    gThreadData[0].ql9008port = k9008Com;
    gThreadData[0].present9008 = 1;
  }

  const std::vector<std::string>& toolRuns() const { return gTools.runs; }
  std::vector<std::string> edlCalls() const {
    std::vector<std::string> out;
    for (const std::string& call : module().calls) {
      if (call.rfind("Connect", 0) == 0 || call == "SwitchToEDL" || call == "Disconnect" ||
          call == "DownloadCEFS" || call == "DisconnectAll" || call == "TerminateQPSTServer" ||
          call.rfind("SetLibraryMode", 0) == 0) {
        out.push_back(call);
      }
    }
    return out;
  }

  const std::vector<std::string> kMainFlash = {"sahara /fw/prog_emmc_firehose_8909_ddr.mbn",
                                               "firehose /fw/rawprogram0.xml /fw/patch0.xml"};
};

// ---- The road by port kind ----

TEST_F(Qca8909CpDownloadTest, FromTheEmergencyPortTheToolsRunAtOnce) {
  startInEmergencyDownload();
  EXPECT_EQ(downloadCpQca8909(request_), 0);
  EXPECT_EQ(toolRuns(), kMainFlash);
  EXPECT_EQ(edlCalls(), (std::vector<std::string>{"SetLibraryMode(0)"})) << "no switch";
  EXPECT_EQ(killer_.names(), (std::vector<std::string>{"QPSTServer.exe", "fh_loader.exe"}));
  EXPECT_TRUE(surface_.showed("Waiting SaharaFirehoseProgramer..."));
  expectNothingLeftOpen();
}

TEST_F(Qca8909CpDownloadTest, The9009PortIsRefused) {
  request_.portKind = 2;
  EXPECT_EQ(downloadCpQca8909(request_), -1);
  EXPECT_TRUE(surface_.showed(
      "Not support QDloader9009, need QDloader9008 to continue, Please repower 1 DUT."));
  EXPECT_TRUE(toolRuns().empty());
  expectNothingLeftOpen();
}

TEST_F(Qca8909CpDownloadTest, Sdx55SwitchesThroughTheLibraryUntilTheModuleAccepts) {
  useFirmware("prog_firehose_sdx55.mbn");
  fakeEdlModule().switchRefusals = 2;
  EXPECT_EQ(downloadCpQca8909(request_), 0);
  EXPECT_EQ(bSdx55, 1);
  EXPECT_EQ(edlCalls(), (std::vector<std::string>{"SetLibraryMode(0)", "Connect(5)", "SwitchToEDL",
                                                  "SwitchToEDL", "SwitchToEDL", "Disconnect"}));
  EXPECT_EQ(toolRuns().size(), 2u);
  EXPECT_NE(test_support::readFile(dir_ / "Dut1.log").find("Platform:HalvoK-sdx55"),
            std::string::npos);
  expectNothingLeftOpen();
}

TEST_F(Qca8909CpDownloadTest, ARefusedSwitchEndsTheRunAndClosesTheConnection) {
  useFirmware("prog_nand_firehose_9205.elf");
  fakeEdlModule().switchRefusals = 5;
  EXPECT_EQ(downloadCpQca8909(request_), -1);
  EXPECT_TRUE(surface_.showed("SwitchToEDL failed, Please repower 1 DUT."));
  EXPECT_EQ(std::count(module().calls.begin(), module().calls.end(), "SwitchToEDL"), 5);
  EXPECT_TRUE(toolRuns().empty());
  expectNothingLeftOpen();
}

TEST_F(Qca8909CpDownloadTest, WithoutAnAtPortTheAtSwitchGivesUp) {
  request_.atport = 0;
  EXPECT_EQ(downloadCpQca8909(request_), -1);
  EXPECT_EQ(surface_.count("Waiting AT Port..."), 5u);
  EXPECT_TRUE(surface_.showed("No AT port,SwitchToEDL failed, Please repower 1 DUT."));
  EXPECT_TRUE(toolRuns().empty());
}

TEST_F(Qca8909CpDownloadTest, AMissingEmergencyPortIsOnlyLogged) {
  useFirmware("prog_firehose_sdx55.mbn");
  fakeEdlModule().onSwitch = nullptr;
  EXPECT_EQ(downloadCpQca8909(request_), 0);
  EXPECT_EQ(surface_.count("Waiting Qloader9008 Port..."), 10u);
  EXPECT_TRUE(surface_.showed("Not find QDloader9008 or ql9008Port=0, Please repower 1 DUT."));
  EXPECT_EQ(toolRuns().size(), 2u) << "the Sahara step decides";
}

// ---- Before the switch, with backup/restore on ----

TEST_F(Qca8909CpDownloadTest, BackupOnSavesTheQcnFirst) {
  gBackupRestoreQcn = true;
  gNotUseQPST = 1;
  useFirmware("prog_firehose_sdx55.mbn");
  EXPECT_EQ(downloadCpQca8909(request_), 0);
  EXPECT_EQ(serviceCalls().cfunChecks, 1);
  EXPECT_EQ(serviceCalls().qcnCalls, (std::vector<std::pair<int, int>>{{1, 1}}));

  serviceCalls().backupQcnResult = -7;
  EXPECT_EQ(downloadCpQca8909(request_), -7);
  serviceCalls().checkCfunResult = -1;
  EXPECT_EQ(downloadCpQca8909(request_), -1);
  EXPECT_EQ(serviceCalls().qcnCalls.size(), 2u);
  expectNothingLeftOpen();
}

TEST_F(Qca8909CpDownloadTest, TheQmbnRoadChecksTheModulesVersionFirst) {
  gBackupRestoreQcn = true;
  useFirmware("prog_nand_firehose_9205.elf");
  gTools.versionResult = 0;
  EXPECT_EQ(downloadCpQca8909(request_), -1);
  EXPECT_EQ(toolRuns(), (std::vector<std::string>{"version"}));
  EXPECT_TRUE(serviceCalls().qcnCalls.empty()) << "no QCN backup on the qmbn road";
  EXPECT_FALSE(module().called("Connect(5)"));
}

// ---- The qmbn road ----

TEST_F(Qca8909CpDownloadTest, TheQmbnRoadFlashesTheBackupReadsTheEfsAndSwitchesBack) {
  gBackupRestoreQcn = true;
  useFirmware("prog_nand_firehose_9205.elf");
  startInEmergencyDownload();
  EXPECT_EQ(downloadCpQca8909(request_), 0);
  EXPECT_EQ(toolRuns(), (std::vector<std::string>{
                            "sahara /fw/prog_nand_firehose_9205.elf",
                            "firehose /fw/backup/rawprogram0-V1.xml /fw/backup/patch0.xml",
                            "sahara /fw/prog_nand_firehose_9205.elf",
                            "firehose /fw/rawprogram0.xml /fw/patch0.xml"}));
  EXPECT_EQ(edlCalls(),
            (std::vector<std::string>{"SetLibraryMode(0)", "SetLibraryMode(1)",
                                      "ConnectWithWait(5,15000)", "DownloadCEFS", "Disconnect",
                                      "DisconnectAll", "TerminateQPSTServer", "SetLibraryMode(0)",
                                      "ConnectWithWait(5,15000)", "SwitchToEDL", "Disconnect"}));
  EXPECT_EQ(fakeEdlModule().efsPath, "/fw/backup.qmbn");
  EXPECT_TRUE(surface_.showed("backup qmbn success."));
  expectNothingLeftOpen();
}

TEST_F(Qca8909CpDownloadTest, AFailedEfsReadEndsTheQmbnRoad) {
  gBackupRestoreQcn = true;
  useFirmware("prog_nand_firehose_9205.elf");
  startInEmergencyDownload();
  fakeEdlModule().efsSaved = false;
  EXPECT_EQ(downloadCpQca8909(request_), -1);
  EXPECT_TRUE(surface_.showed("backup qmbn file failed, Please repower 1 DUT."));
  EXPECT_EQ(toolRuns().size(), 2u) << "only the backup firmware was flashed";
  expectNothingLeftOpen();
}

TEST_F(Qca8909CpDownloadTest, AModuleThatDoesNotAnswerOnItsDiagnosticPortIsClosed) {
  gBackupRestoreQcn = true;
  useFirmware("prog_nand_firehose_9205.elf");
  startInEmergencyDownload();
  module().phoneConnected = false;
  EXPECT_EQ(downloadCpQca8909(request_), -1);
  EXPECT_TRUE(surface_.showed("fn_QLIB_IsPhoneConnected failed, Please repower 1 DUT."));
  expectNothingLeftOpen();
}

// ---- The tools decide ----

TEST_F(Qca8909CpDownloadTest, AFailedToolRunEndsTheDownload) {
  startInEmergencyDownload();
  gTools.saharaResult = -1;
  EXPECT_EQ(downloadCpQca8909(request_), -1);
  EXPECT_EQ(toolRuns().size(), 1u) << "no Firehose run without the programmer";
  expectNothingLeftOpen();

  gTools = ToolCalls{};
  gTools.firehoseResult = -1;
  EXPECT_EQ(downloadCpQca8909(request_), -1);
  EXPECT_EQ(toolRuns(), kMainFlash);
  expectNothingLeftOpen();
}

}  // namespace
