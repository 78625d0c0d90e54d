#include "platform/phone_report.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "diag_test_support.h"
#include "platform/qca_library.h"

namespace {

// What the scripted phone reports.
struct Phone {
  bool connected = true;
  unsigned int qpstStatus = 3;
  unsigned short commandCode = 75;
  unsigned int operatingMode = 1;
  int callState = 0;
  int systemMode = 3;
  unsigned char ftmMode = 1;
  int controlCalls = 0;
};
Phone gPhone;

void installPhone() {
  fn_QLIB_IsPhoneConnected = [](HANDLE) -> unsigned char { return gPhone.connected; };
  fn_QLIB_FlushRxBuffer = [](HANDLE) -> unsigned char { return 1; };
  fn_QLIB_GetQpstPhoneStatus = [](HANDLE, unsigned int* status) -> unsigned char {
    *status = gPhone.qpstStatus;
    return 1;
  };
  fn_QLIB_DIAG_CONTROL_F = [](HANDLE, int) -> unsigned char {
    ++gPhone.controlCalls;
    return 1;
  };
  fn_QLIB_DIAG_VERNO_F = [](HANDLE, char* compileDate, char* compileTime, char* releaseDate,
                            char* releaseTime, char* versionDir, unsigned char* mark,
                            unsigned char* cai, unsigned char* model, unsigned short* firmware,
                            unsigned char* slotCycle, unsigned char* major,
                            unsigned char* minor) -> unsigned char {
    // Texts that fill their buffers completely are cut to fit.
    std::memcpy(compileDate, "Jan 01 2020X", 12);
    std::memcpy(compileTime, "10:00:00X", 9);
    std::strcpy(releaseDate, "Feb 02 2021");
    std::strcpy(releaseTime, "11:11:11");
    std::strcpy(versionDir, "M9607");
    *mark = 1, *cai = 2, *model = 3, *firmware = 400, *slotCycle = 5, *major = 6, *minor = 7;
    return 1;
  };
  fn_QLIB_DIAG_EXT_BUILD_ID_F = [](HANDLE, unsigned int* hw, unsigned int* model, char* sw,
                                   char* id) -> unsigned char {
    *hw = 0xAB, *model = 0x10;
    std::strcpy(sw, "MPSS.JO.2.0");
    std::strcpy(id, "EC25");
    return 1;
  };
  fn_QLIB_FTM_GET_COMMAND_CODE = [](HANDLE, unsigned short* code) -> unsigned char {
    *code = gPhone.commandCode;
    return 1;
  };
  fn_QLIB_GetPhoneOperatingMode = [](HANDLE, unsigned int* mode) -> unsigned char {
    *mode = gPhone.operatingMode;
    return 1;
  };
  fn_QLIB_GetPhoneCallState = [](HANDLE, int* call, int* system) -> unsigned char {
    *call = gPhone.callState;
    *system = gPhone.systemMode;
    return 1;
  };
  fn_QLIB_DIAG_NV_READ_F = [](HANDLE, unsigned short, unsigned char* data, int,
                              unsigned short*) -> unsigned char {
    *data = gPhone.ftmMode;
    return 1;
  };
}

class PhoneReportTest : public diag_test::ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    resetQcaBinding();
    gPhone = Phone{};
    installPhone();
    handeIndexMap[0] = reinterpret_cast<HANDLE>(0x10);
    request_.slot = 1;
  }
  void TearDown() override {
    resetQcaBinding();
    ServiceTest::TearDown();
  }
  DownloadRequest request_{};
};

TEST_F(PhoneReportTest, VersionReportListsEveryLineInOrder) {
  PrintQLibVersion(request_);
  EXPECT_EQ(surface_.messages(),
            (std::vector<std::string>{"Mobile Version report: PASS",
                                      "Compile Date: Jan 01 2020",
                                      "Compile Time: 10:00:00",
                                      "Release Date: Feb 02 2021",
                                      "Release Time: 11:11:11",
                                      "Version Dir: M9607",
                                      "Station Class Mark: 1",
                                      "CAI Rev: 2",
                                      "Mobile Model: 3",
                                      "Firmware Rev: 400",
                                      "Slot Cycle Index: 5",
                                      "Vocoder major version: 6",
                                      "Vocoder minor version: 7",
                                      "Ext MSM HW Version: 0xAB",
                                      "Ext Mobile Model#: 0x10",
                                      "Ext Mobile Mobile SW Rev: MPSS.JO.2.0",
                                      "Ext Model ID: EC25",
                                      "Phone Operating Mode: FTM",
                                      "Phone Call State: CM_CALL_STATE_IDLE",
                                      "Phone System Mode State: SYS_SYS_MODE_GSM",
                                      "FTM Mode: ON",
                                      "QPST Phone Status: SWD_modeDiagnostic"}));
}

TEST_F(PhoneReportTest, PhoneInDownloadModeIsReportedAfterFiveRounds) {
  gPhone.connected = false;
  gPhone.qpstStatus = 0;
  PrintQLibVersion(request_);
  EXPECT_EQ(gPhone.controlCalls, 5);
  EXPECT_TRUE(surface_.messages().empty());

  gPhone.controlCalls = 0;
  gPhone.qpstStatus = 2;
  PrintQLibVersion(request_);
  EXPECT_EQ(gPhone.controlCalls, 1) << "a phone-server status ends the rounds";
  EXPECT_EQ(surface_.messages().front(), "Phone is in download mode.");
  EXPECT_TRUE(surface_.showed("QPST Phone Status: SWD_modeDownload"));
}

TEST_F(PhoneReportTest, ValuesBeyondTheNameTables) {
  gPhone.callState = 5;
  gPhone.systemMode = 9;
  gPhone.qpstStatus = 12;
  gPhone.operatingMode = 7;
  EXPECT_TRUE(ReportPhoneState(request_));
  EXPECT_EQ(
      surface_.messages(),
      (std::vector<std::string>{"Phone Operating Mode: Not in list", "Phone Call State: Invalid",
                                "Phone System Mode State: SYS_SYS_MODE_GPS", "FTM Mode: ON"}));

  gPhone.callState = -1;
  gPhone.systemMode = -3;
  gPhone.commandCode = 75;
  ReportPhoneState(request_);
  EXPECT_EQ(surface_.count("Phone Call State: Invalid"), 2u);
  EXPECT_EQ(surface_.count("Phone System Mode State: SYS_SYS_MODE_GPS"), 2u);
}

TEST_F(PhoneReportTest, ModeAndCallStateOnlyInFactoryTestCommandSet) {
  gPhone.commandCode = 74;
  gPhone.ftmMode = 0;
  ReportPhoneState(request_);
  EXPECT_EQ(surface_.messages(),
            (std::vector<std::string>{"FTM Mode: OFF", "QPST Phone Status: SWD_modeDiagnostic"}));
}

}  // namespace
