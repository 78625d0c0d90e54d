// CheckIf9011, the question the post-download step asks a Qca9x07 module: which USB product
// it uses.

#include <gtest/gtest.h>

#include <memory>

#include "chipset_test_support.h"
#include "host/device_directory.h"
#include "platform/at_commands.h"
#include "support/pty_peer.h"

namespace {

class CheckIf9011Test : public chipset_test::ChipsetTest {
 protected:
  void SetUp() override {
    ChipsetTest::SetUp();
    host::installDeviceDirectory(&directory_);
    request_.slot = 1;
    request_.atport = 9;
  }
  void TearDown() override {
    host::installDeviceDirectory(nullptr);
    peer_.reset();
    ChipsetTest::TearDown();
  }
  void plug(const std::string& reply) {
    peer_ = std::make_unique<test_support::PtyPeer>([reply](const std::string& command) {
      return command == "AT+CUSBPIDSWITCH?" ? reply : std::string("\r\nERROR\r\n");
    });
    directory_.addSerialPort("Module AT Port (COM9)", peer_->ttyPath(), 0, false);
  }

  host::ScriptedDeviceDirectory directory_;
  std::unique_ptr<test_support::PtyPeer> peer_;
  DownloadRequest request_{};
};

TEST_F(CheckIf9011Test, ReportsWhetherTheModuleNamesProduct9011) {
  plug("\r\n+CUSBPIDSWITCH: 9011\r\n\r\nOK\r\n");
  int is9011 = -1;
  EXPECT_EQ(CheckIf9011(request_, is9011), 1);
  EXPECT_EQ(is9011, 1);
  EXPECT_TRUE(surface_.showed("Check if 9011 ..."));
  EXPECT_TRUE(surface_.showed("Send AT+CUSBPIDSWITCH? success."));
}

TEST_F(CheckIf9011Test, RefusedQueryFailsAndLeavesTheAnswerAlone) {
  plug("\r\nERROR\r\n");
  int is9011 = -1;
  EXPECT_EQ(CheckIf9011(request_, is9011), 0);
  EXPECT_EQ(is9011, -1);
  EXPECT_TRUE(surface_.showed("Send AT+CUSBPIDSWITCH? failed!"));
}

}  // namespace
