// The Qca6270 and Qca6695 CP downloads against a scripted library: the road by port kind, the
// first connection that brings the module into download mode (and is closed before the
// second), the multi-image upload's arguments, the differences of the two platforms, and what
// every end leaves behind.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "chipsets/qca6270.h"
#include "chipsets/qca6695.h"
#include "cp_download_test_support.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "platform/qca_library.h"
#include "platform/slot_record.h"

namespace {

using chipset_test::serviceCalls;

struct Platform {
  const char* name;
  int (*downloadCp)(const DownloadRequest&);
  Qca6xState& (*state)();
  void (*reset)();
  const char* modem;
  bool is6695;
};
const Platform k6270 = {"Qca6270",         downloadCpQca6270, qca6270State,
                        resetQca6270State, "amss.mbn",        false};
const Platform k6695 = {"Qca6695",         downloadCpQca6695, qca6695State,
                        resetQca6695State, "dsp.mbn",         true};

class Qca6xCpDownloadTest : public chipset_test::CpDownloadTest,
                            public ::testing::WithParamInterface<Platform> {
 protected:
  void SetUp() override {
    CpDownloadTest::SetUp();
    GetParam().reset();
    module().streamRecords = streamTexts({"/fw/dbl.mbn", "/fw/osbl.mbn"});
    module().nopAnswered = false;  // a module in normal mode

    Qca6xFirmware& fw = GetParam().state().firmware;
    fw.folder = "/fw";
    const char* names[] = {"NPRG.hex", "ENPRG.hex", "partition.mbn", "dbl.mbn",
                           "fsbl.mbn", "osbl.mbn",  GetParam().modem};
    for (int i = 0; i < kQca6xRowCount - 1; ++i) fw.files[i] = std::string("/fw/") + names[i];
    fw.downloadTotal = 8192;
  }

  int download() { return GetParam().downloadCp(request_); }
};

// ---- The road by port kind ----

TEST_P(Qca6xCpDownloadTest, DiagnosticPortResetsTheModuleAndUploadsOnASecondConnection) {
  ASSERT_EQ(download(), 0);
  std::vector<std::string> expected = {"SetLibraryMode(0)", "SetTargetType(0)", "Connect(5)",
                                       "Nop(1000)", "Reset(3000)"};
  if (GetParam().is6695) expected.push_back("Switch(3000,0)");
  for (const char* call :
       {"Disconnect", "Connect(5)", "TextLogCallBack", "SetLogFlags(9)", "Category(4,1)",
        "Upload(0,0,1,0,5000,5000)", "StopLogging", "Disconnect"}) {
    expected.push_back(call);
  }
  EXPECT_EQ(module().calls, expected);
  EXPECT_EQ(module().streamProgrammer, "/fw/NPRG.hex");
  EXPECT_EQ(module().uploadImages,
            (std::vector<std::string>{"/fw/partition.mbn", "/fw/dbl.mbn", "/fw/fsbl.mbn",
                                      "/fw/osbl.mbn", std::string("/fw/") + GetParam().modem,
                                      "(null)", "(null)", "(null)", "(null)", "(null)"}));
  EXPECT_EQ(module().uploadTexts, std::vector<std::string>(6, ""));
  EXPECT_EQ(serviceCalls().versionReports, 1);
  EXPECT_EQ(killer_.names(), std::vector<std::string>{"QPSTServer.exe"});
  for (const char* text : {"QLib verison: 9.9.99 .", "Sending HELLO to flash programmer",
                           "Downloading dbl.mbn ...", "Download Success!"}) {
    EXPECT_TRUE(surface_.showed(text)) << text;
  }
  EXPECT_EQ(surface_.showed("Waiting switch To Download Mode..."), GetParam().is6695);
  ASSERT_FALSE(surface_.progress().empty());
  EXPECT_DOUBLE_EQ(surface_.progress().back(), 100.0);
  EXPECT_TRUE(surface_.boxes().empty());
  expectNothingLeftOpen();
}

TEST_P(Qca6xCpDownloadTest, ModuleAlreadyInDownloadModeIsNotReset) {
  module().nopAnswered = true;
  ASSERT_EQ(download(), 0);
  EXPECT_FALSE(module().called("Reset(3000)"));
  EXPECT_EQ(module().called("Switch(3000,0)"), GetParam().is6695);
}

TEST_P(Qca6xCpDownloadTest, DownloadPortsSendNothingBeforeTheUploadAndChooseTheirProgrammer) {
  struct Case {
    int kind;
    int port;
    const char* programmer;
  };
  for (const Case& c : {Case{1, k9008Com, "/fw/ENPRG.hex"}, Case{2, k9009Com, "/fw/NPRG.hex"}}) {
    installFakeDownloadLibrary();
    request_.portKind = c.kind;
    gBackupRestoreQcn = true;  // no backup away from the diagnostic port
    ASSERT_EQ(download(), 0) << c.kind;
    EXPECT_EQ(module().calls.at(2), "Connect(" + std::to_string(c.port) + ")");
    EXPECT_TRUE(module().called("Upload(0,1,1,0,5000,5000)")) << "the backup flag overrides";
    for (const char* call : {"Nop(1000)", "Reset(3000)", "Switch(3000,0)"}) {
      EXPECT_FALSE(module().called(call)) << call;
    }
    EXPECT_EQ(module().streamProgrammer, c.programmer);
    EXPECT_EQ(serviceCalls().versionReports, 0);
    expectNothingLeftOpen();
  }
  EXPECT_TRUE(serviceCalls().qcnCalls.empty());
}

// ---- The differences ----

TEST_P(Qca6xCpDownloadTest, RefusedSwitchIsReportedAndTheUploadGoesOn) {
  module().switchAccepted = false;
  ASSERT_EQ(download(), 0);
  const bool reported =
      surface_.showed("Switch to doload mode failed,will continue 1 DUT upgrade.");
  EXPECT_EQ(reported, GetParam().is6695);
}

TEST_P(Qca6xCpDownloadTest, NoSwitchWhenTheModuleTakesNeitherNoOpNorReset) {
  module().resetAccepted = false;
  ASSERT_EQ(download(), 0) << "the upload decides";
  EXPECT_FALSE(module().called("Switch(3000,0)"));
}

TEST_P(Qca6xCpDownloadTest, FailedFirstConnectionShowsTheBoxAndEndsBeforeTheUpload) {
  module().deadPorts = {kDiagCom};
  module().errorText = "No phone on the port";
  EXPECT_EQ(download(), -1);
  ASSERT_EQ(surface_.boxes().size(), 1u);
  EXPECT_EQ(surface_.boxes()[0], "error: 服务器连接端口失败, 请将 1 号DUT重新放入并开机");
  EXPECT_EQ(surface_.showed("No phone on the port"), GetParam().is6695);
  EXPECT_EQ(std::count(module().calls.begin(), module().calls.end(), "Connect(5)"), 1);
  expectNothingLeftOpen();
}

TEST_P(Qca6xCpDownloadTest, PhoneThatDoesNotAnswerEndsWithTheVersionOrTheLibrarysError) {
  module().phoneConnected = false;
  module().errorText = "Phone not responding";
  EXPECT_EQ(download(), -1);
  EXPECT_TRUE(surface_.showed("Phone Connection Status: FAIL,Please repower No1 DUT."));
  EXPECT_EQ(serviceCalls().versionReports, GetParam().is6695 ? 0 : 1);
  EXPECT_EQ(surface_.showed("Phone not responding"), GetParam().is6695);
  EXPECT_FALSE(module().called("Nop(1000)"));
  EXPECT_FALSE(module().called("StopLogging")) << "the first connection is only closed";
  EXPECT_EQ(module().calls.back(), "Disconnect");
  expectNothingLeftOpen();
}

TEST_P(Qca6xCpDownloadTest, FailedUploadShowsItsErrorCode) {
  module().streamSucceeds = false;
  module().uploadErrorCode = 11;
  module().errorText = "Image rejected";
  EXPECT_EQ(download(), -1);
  EXPECT_TRUE(surface_.showed("Download Failed! ErrorCode:11"));
  EXPECT_FALSE(surface_.showed("Download Success!"));
  EXPECT_EQ(surface_.showed("Image rejected"), GetParam().is6695);
  EXPECT_EQ(module().calls.back(), "Disconnect");
  expectNothingLeftOpen();
}

// ---- Failures the description leaves open ----

TEST_P(Qca6xCpDownloadTest, SecondConnectionThatFailsIsAFailureNotAnUploadOnNoHandle) {
  // The module's port has gone by the time of the connection.
  request_.portKind = 2;
  module().deadPorts = {k9009Com};
  EXPECT_EQ(download(), -1);
  EXPECT_TRUE(surface_.showed("Connect server port failed, Please repower No1 DUT."));
  EXPECT_FALSE(module().called("Upload(0,0,1,0,5000,5000)"));
  expectNothingLeftOpen();
}

TEST_P(Qca6xCpDownloadTest, PortThatNeverComesBackEndsTheWaitWithARepowerMessage) {
  gThreadData[0].present = 0;
  EXPECT_EQ(download(), -1);
  EXPECT_TRUE(surface_.showed("Download port not found, Please repower 1 DUT."));
  EXPECT_EQ(std::count(module().calls.begin(), module().calls.end(), "Connect(5)"), 1);
  expectNothingLeftOpen();
}

TEST_P(Qca6xCpDownloadTest, BackupComesFirstInTheFormatOfTheSettingAndPassesItsFailureOn) {
  gBackupRestoreQcn = true;
  GetParam().state().useQcn = 1;
  gNotUseQPST = 1;
  ASSERT_EQ(download(), 0);
  EXPECT_EQ(serviceCalls().qcnCalls, (std::vector<std::pair<int, int>>{{0, 1}}));

  installFakeDownloadLibrary();
  GetParam().state().useQcn = 0;
  serviceCalls().backupQcnResult = -7;
  EXPECT_EQ(download(), -7);
  EXPECT_EQ(serviceCalls().qcnCalls.back(), (std::pair<int, int>{1, 1}));
  EXPECT_TRUE(module().calls.empty());
}

TEST_P(Qca6xCpDownloadTest, StopEndsTheRunAndClosesTheFirstConnection) {
  if (!GetParam().is6695) GTEST_SKIP() << "only Qca6695 switches";
  module().onSwitch = [] { host::requestStop(); };
  EXPECT_EQ(download(), -1);
  EXPECT_FALSE(module().called("Upload(0,0,1,0,5000,5000)"));
  expectNothingLeftOpen();
}

INSTANTIATE_TEST_SUITE_P(HexProgrammerPlatforms, Qca6xCpDownloadTest,
                         ::testing::Values(k6270, k6695),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
