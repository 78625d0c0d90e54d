#include "platform/at_commands.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstring>
#include <map>
#include <memory>

#include "diag_test_support.h"
#include "host/device_directory.h"
#include "host/serial_port.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "platform/slot_record.h"
#include "support/pty_peer.h"

namespace {

using test_support::PtyPeer;

constexpr int kAtCom = 9;

class AtServiceTest : public diag_test::ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    diag_test::resetServiceSettings();
    host::installDeviceDirectory(&directory_);
    request_ = DownloadRequest{};
    request_.slot = 1;
    request_.atport = kAtCom;
  }
  void TearDown() override {
    host::installDeviceDirectory(nullptr);
    peer_.reset();
    ServiceTest::TearDown();
  }

  // A module whose AT port answers each command from `replies` ("ERROR" for any other).
  void plugModule(std::map<std::string, std::string> replies) {
    peer_ = std::make_unique<PtyPeer>([replies](const std::string& command) -> std::string {
      auto it = replies.find(command);
      return it == replies.end() ? "\r\nERROR\r\n" : it->second;
    });
    attach();
  }
  void plugSilentModule() {
    peer_ = std::make_unique<PtyPeer>([](const std::string&) { return std::string(); });
    attach();
  }
  void plugFloodingModule() {
    peer_ = std::make_unique<PtyPeer>(PtyPeer::Behaviour::Flood);
    attach();
  }
  void attach() {
    directory_.clear();
    directory_.addSerialPort("Module AT Port (COM9)", peer_->ttyPath(), 0, false);
  }

  host::ScriptedDeviceDirectory directory_;
  std::unique_ptr<PtyPeer> peer_;
  DownloadRequest request_{};
};

// The exchange itself: texts, attempts, the port closed afterwards, bounded replies.

TEST_F(AtServiceTest, ExchangeLogsEachStepAndClosesThePort) {
  plugModule({{"AT+CFUN?", "\r\n+CFUN: 1\r\n\r\nOK\r\n"}});
  std::string reply;
  EXPECT_EQ(SetAtCmd(request_, "AT+CFUN?\r", &reply), 1);
  EXPECT_EQ(reply, "\r\n+CFUN: 1\r\n\r\nOK\r\n");
  EXPECT_EQ(
      surface_.messages(),
      (std::vector<std::string>{"AT COM9 open success.", "Send:AT+CFUN?\r!",
                                "recv: \r\n+CFUN: 1\r\n\r\nOK\r\n", "send AT+CFUN?\r success."}));
  EXPECT_EQ(peer_->commands(), std::vector<std::string>{"AT+CFUN?"});
  char byte;
  EXPECT_EQ(ComRd(kAtCom, &byte, 1), host::kComNotOpen) << "the AT port stays closed between steps";
}

TEST_F(AtServiceTest, SilentModuleIsAskedThreeTimesThenFails) {
  plugSilentModule();
  std::string reply = "stale";
  EXPECT_EQ(SetAtCmd(request_, "AT+CFUN?\r", &reply), 0);
  EXPECT_EQ(reply, "");
  EXPECT_EQ(peer_->commands().size(), 3u);
  EXPECT_EQ(surface_.count("Send:AT+CFUN?\r!"), 3u);
  EXPECT_FALSE(surface_.showed("send AT+CFUN?\r success."));
}

TEST_F(AtServiceTest, FloodedReplyIsCutAt256BytesAndStaysText) {
  plugFloodingModule();
  std::string reply;
  EXPECT_EQ(SetAtCmd(request_, "AT+CGMR\r\n", &reply), 0);
  EXPECT_EQ(reply.size(), 256u);
  EXPECT_EQ(reply.find_first_not_of('x'), std::string::npos);
}

TEST_F(AtServiceTest, PortThatCannotOpenNamesPortAndDutInUtf8) {
  // No tty is known for COM 9.
  EXPECT_EQ(SetAtCmd(request_, "AT+CFUN?\r"), 0);
  EXPECT_EQ(surface_.messages(),
            std::vector<std::string>{"AT COM9 open failed, Please repower 1 \xe5\x8f\xb7"
                                     "DUT."});
}

TEST_F(AtServiceTest, StopEndsTheExchangeBeforeAnythingIsSent) {
  plugSilentModule();
  host::requestStop();
  EXPECT_EQ(SetAtCmd(request_, "AT+CFUN?\r"), 0);
  EXPECT_TRUE(peer_->commands().empty());
}

// CFUN check.

TEST_F(AtServiceTest, CfunCheckWithoutAtPortFailsAtOnce) {
  request_.atport = 0;
  EXPECT_EQ(CheckCFUN(request_), -1);
  EXPECT_EQ(surface_.messages(),
            (std::vector<std::string>{"Check if AT+CFUN is 1", "AT COM port not found."}));
  EXPECT_EQ(surface_.statuses(), std::vector<int>{-1});
}

TEST_F(AtServiceTest, CfunCheckNeedsTheConfiguredText) {
  checkCFUNStr = "+CFUN: 1";
  plugModule({{"AT+CFUN?", "\r\n+CFUN: 0\r\nOK\r\n"}});
  EXPECT_EQ(CheckCFUN(request_), -1);
  EXPECT_TRUE(surface_.showed("+CFUN: is not 1"));
  EXPECT_EQ(surface_.statuses(), std::vector<int>{-1});

  plugModule({{"AT+CFUN?", "\r\n+CFUN: 1\r\nOK\r\n"}});
  EXPECT_EQ(CheckCFUN(request_), 0);
}

// IMEI and MEID.

TEST_F(AtServiceTest, BareOkToImeiQueryIsAFailedRead) {
  plugModule({{"AT+SIMEI?", "OK"}});
  std::string imei;
  EXPECT_EQ(readIMEI(request_, imei), 0);
  EXPECT_TRUE(surface_.showed("send AT+SIMEI?\r success.")) << "the exchange itself succeeded";
  EXPECT_TRUE(surface_.showed("Read IMEI failed"));
}

TEST_F(AtServiceTest, ImeiAndMeidAreReadIntoRequestAndSlot) {
  gProcessMeid = true;
  plugModule({{"AT+SIMEI?", "\r\n+SIMEI: 861234567890123\r\n\r\nOK\r\n"},
              {"AT+SMEID?", "\r\n+SMEID: A1000012345678\r\n\r\nOK\r\n"}});
  EXPECT_EQ(ReadImeiAndMeid(request_), 0);
  EXPECT_STREQ(request_.imei, "861234567890123");
  EXPECT_STREQ(request_.meid, "A1000012345678");
  EXPECT_STREQ(gThreadData[0].imei, "861234567890123");
  EXPECT_STREQ(gThreadData[0].meid, "A1000012345678");
}

TEST_F(AtServiceTest, FourteenDigitImeiWithCarriageReturnPassesTheLengthCheck) {
  plugModule({{"AT+SIMEI?", "\r\n+SIMEI: 86123456789012\r\nOK\r\n"}});
  EXPECT_EQ(ReadImeiAndMeid(request_), 0);
  EXPECT_STREQ(request_.imei, "86123456789012\r");
  EXPECT_STREQ(gThreadData[0].imei, "86123456789012\r");
}

TEST_F(AtServiceTest, ShortImeiOrMeidIsRefused) {
  plugModule({{"AT+SIMEI?", "+SIMEI: 8612\r\nOK"}});
  EXPECT_EQ(ReadImeiAndMeid(request_), -1);
  EXPECT_TRUE(surface_.showed("imei length is not 15, Please repower 1 DUT."));
  EXPECT_STREQ(gThreadData[0].imei, "") << "a wrong IMEI is never shown on the slot";

  gProcessMeid = true;
  plugModule({{"AT+SIMEI?", "+SIMEI: 861234567890123\r\nOK"}, {"AT+SMEID?", "+SMEID: A1\r\nOK"}});
  EXPECT_EQ(ReadImeiAndMeid(request_), -1);
  EXPECT_TRUE(surface_.showed("meid length is not 14, Please repower 1 DUT."));
  EXPECT_STREQ(gThreadData[0].meid, "");
}

// Module information and versions.

TEST_F(AtServiceTest, FlashIdComesFromTheDeviceLine) {
  plugModule({{"AT+CDEVICE?", "\r\nDevice Flash: 98BC\r\nOK\r\n"}});
  std::string flashId = "old";
  EXPECT_EQ(ReadDeviceInfo(request_, &flashId), 1);
  EXPECT_EQ(flashId, "98BC");
  EXPECT_TRUE(surface_.showed("Device Flash: 98BC"));
  EXPECT_TRUE(surface_.showed("FlashId:98BC"));

  plugModule({{"AT+CDEVICE?", "\r\nDevice 98BC\r\nOK\r\n"}});
  EXPECT_EQ(ReadDeviceInfo(request_, &flashId), 0);
  EXPECT_EQ(flashId, "");
}

struct CommaCase {
  const char* reported;
  const char* compared;
};
void PrintTo(const CommaCase& revision, std::ostream* out) {
  *out << revision.reported;
}

class ApRevisionTest : public AtServiceTest, public ::testing::WithParamInterface<CommaCase> {};

TEST_P(ApRevisionTest, FirstCommaAfterTheFirstCharacterBecomesUnderscore) {
  sDstVersionType = GetParam().compared;
  plugModule({{"AT+ORVANEATI", std::string("\r\nAPRev:") + GetParam().reported + "\r\nOK\r\n"}});
  EXPECT_EQ(IfNeedUpdateVersion(request_), 1);
  EXPECT_EQ(sSrcVersionType, GetParam().compared);
}

INSTANTIATE_TEST_SUITE_P(Revisions, ApRevisionTest,
                         ::testing::Values(CommaCase{"V1,2", "V1_2"}, CommaCase{"V1,2,3", "V1_2,3"},
                                           CommaCase{"V123", "V123"}, CommaCase{",V1,2", ",V1_2"}),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

TEST_F(AtServiceTest, DifferentApRevisionIsReported) {
  sDstVersionType = "V2";
  plugModule({{"AT+ORVANEATI", "APRev:V1\r\nOK"}});
  EXPECT_EQ(IfNeedUpdateVersion(request_), 0);
  EXPECT_TRUE(surface_.showed("Module version V1 can't use backup version V2 ."));

  plugModule({{"AT+ORVANEATI", "OK"}});
  EXPECT_EQ(IfNeedUpdateVersion(request_), 0);
  EXPECT_TRUE(surface_.showed("Can't find APRev:"));
}

}  // namespace
