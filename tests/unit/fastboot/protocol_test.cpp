// The request/reply layer against the test device over TCP: status codes, error texts, the
// data phase, and which failures release the transport.

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "fastboot/protocol.h"
#include "fastboot_test_support.h"
#include "host/clock.h"
#include "sim/fastboot_device/tcp_device.h"

namespace {

using Fault = sim::FastbootDeviceModel::Fault;

class ProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    transport_ = usb_open_by_name(device_.path(), match_fastboot);
    ASSERT_NE(transport_, nullptr);
  }
  void TearDown() override { usb_close(transport_); }

  Fault reply(std::string raw) {
    Fault f;
    f.raw = std::move(raw);
    return f;
  }
  bool kicked() const { return transport_->link == nullptr; }
  // The connection still works after a failure that must not release it.
  void expectStillUsable() {
    device_.model().setVariable("ping", "pong");
    char response[kFastbootResponseSize];
    EXPECT_EQ(fb_command_response(transport_, "getvar:ping", response), 0);
    EXPECT_STREQ(response, "pong");
  }

  sim::TcpFastbootDevice device_;
  fb_transport* transport_ = nullptr;
};

TEST_F(ProtocolTest, ACommandOf64BytesIsSentOneOf65IsRefusedLocally) {
  std::string longest = "oem:" + std::string(60, 'a');
  EXPECT_EQ(fb_command(transport_, longest.c_str()), -1);  // the device does not know it
  EXPECT_STREQ(fb_get_error(), "remote: unknown command");
  std::string tooLong = longest + "b";
  EXPECT_EQ(fb_command(transport_, tooLong.c_str()), -1);
  EXPECT_STREQ(fb_get_error(), "command too large");
  EXPECT_FALSE(kicked());
  expectStillUsable();
  EXPECT_EQ(device_.model().commands(), (std::vector<std::string>{longest, "getvar:ping"}));
}

TEST_F(ProtocolTest, FailRepliesGiveRemoteTextsAndKeepTheTransport) {
  device_.model().setFault("erase:a", reply("FAIL"));
  device_.model().setFault("erase:b", reply("FAILbad partition"));
  EXPECT_EQ(fb_command(transport_, "erase:a"), -1);
  EXPECT_STREQ(fb_get_error(), "remote failure");
  EXPECT_EQ(fb_command(transport_, "erase:b"), -1);
  EXPECT_STREQ(fb_get_error(), "remote: bad partition");
  EXPECT_FALSE(kicked());
  expectStillUsable();
  // The text of a failure stays until the next failure.
  EXPECT_STREQ(fb_get_error(), "remote: bad partition");
}

TEST_F(ProtocolTest, OkayTextsFromEmptyToSixtyCharacters) {
  char response[kFastbootResponseSize];
  device_.model().setFault("getvar:none", reply("OKAY"));
  EXPECT_EQ(fb_command_response(transport_, "getvar:none", response), 0);
  EXPECT_STREQ(response, "");
  std::string sixty(60, 'v');
  device_.model().setVariable("long", sixty);
  EXPECT_EQ(fb_command_response(transport_, "getvar:long", response), 0);
  EXPECT_EQ(response, sixty);
}

TEST_F(ProtocolTest, TheResponseIsEmptyAfterAFailure) {
  char response[kFastbootResponseSize];
  std::strcpy(response, "stale");
  EXPECT_EQ(fb_command_response(transport_, "getvar:missing", response), -1);
  EXPECT_STREQ(response, "");
}

TEST_F(ProtocolTest, InfoLinesGoToStandardErrorBeforeTheFinalReply) {
  device_.model().setInfoLines("erase:cache", {"one", "two", "three"});
  ::testing::internal::CaptureStderr();
  int result = fb_command(transport_, "erase:cache");
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(err, "(bootloader) one\n(bootloader) two\n(bootloader) three\n");
}

TEST_F(ProtocolTest, DownloadSendsTheAnnouncedDataAndTheDeviceKeepsIt) {
  std::string data(4096, 'd');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  EXPECT_EQ(fb_download_data(transport_, data.data(), 4096), 0);
  EXPECT_EQ(fb_command(transport_, "flash:boot"), 0);
  auto boot = device_.model().partition("boot");
  ASSERT_TRUE(boot);
  EXPECT_EQ(std::string(boot->begin(), boot->end()), data);
  EXPECT_EQ(device_.model().commands()[0], "download:00001000");
}

TEST_F(ProtocolTest, ADataSizeAboveTheOfferIsRefusedAndReleasesTheTransport) {
  Fault f;
  f.dataSize = 0x1001;
  device_.model().setFault("download:00001000", f);
  std::string data(4096, 'd');
  EXPECT_EQ(fb_download_data(transport_, data.data(), 4096), -1);
  EXPECT_STREQ(fb_get_error(), "data size too large");
  EXPECT_TRUE(kicked());
  EXPECT_EQ(device_.model().dataBytesReceived(), 0u);
}

TEST_F(ProtocolTest, ADataSizeBelowTheOfferFailsAsTooSmallAndNothingIsFlashed) {
  for (uint64_t accepted : {0ull, 100ull, 0xFFFull}) {
    SCOPED_TRACE(accepted);
    Fault f;
    f.dataSize = accepted;
    device_.model().setFault("download:00001000", f);
    std::string data(4096, 'd');
    EXPECT_EQ(fb_download_data(transport_, data.data(), 4096), -1);
    EXPECT_STREQ(fb_get_error(), "data size too small");
    EXPECT_TRUE(kicked());
    EXPECT_EQ(device_.model().dataBytesReceived(), 0u);
    usb_close(transport_);
    transport_ = usb_open_by_name(device_.path(), match_fastboot);
    ASSERT_NE(transport_, nullptr);
  }
}

TEST_F(ProtocolTest, AnEmptyDownloadAcceptedWithSizeZeroSucceeds) {
  Fault f;
  f.dataSize = 0;
  device_.model().setFault("download:00000000", f);
  EXPECT_EQ(fb_download_data(transport_, nullptr, 0), 0);
  EXPECT_EQ(device_.model().commands().back(), "download:00000000");
  expectStillUsable();
}

TEST_F(ProtocolTest, AnOverLongReplyIsCutToOnePacketAndItsTailDropped) {
  device_.model().setFault("getvar:a", reply("OKAY" + std::string(70, 'a')));
  device_.model().setVariable("b", "b");
  char response[kFastbootResponseSize];
  EXPECT_EQ(fb_command_response(transport_, "getvar:a", response), 0);
  EXPECT_EQ(std::string(response), std::string(60, 'a'));
  EXPECT_EQ(fb_command_response(transport_, "getvar:b", response), 0);
  EXPECT_STREQ(response, "b");
  EXPECT_FALSE(kicked());
}

TEST_F(ProtocolTest, AnOverLongInfoLinePrintsItsFirstSixtyCharacters) {
  std::string line;
  for (int i = 0; i < 100; ++i) line += static_cast<char>('0' + i % 10);
  device_.model().setInfoLines("erase:cache", {line});
  ::testing::internal::CaptureStderr();
  int result = fb_command(transport_, "erase:cache");
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(err, "(bootloader) " + line.substr(0, 60) + "\n");
  expectStillUsable();
}

TEST_F(ProtocolTest, AFailAfterTheDataFailsTheDownloadWithoutReleasing) {
  Fault f;
  f.failAfterData = "flash write error";
  device_.model().setFault("download:00000020", f);
  std::string data(32, 'd');
  EXPECT_EQ(fb_download_data(transport_, data.data(), 32), -1);
  EXPECT_STREQ(fb_get_error(), "remote: flash write error");
  EXPECT_FALSE(kicked());
}

TEST_F(ProtocolTest, UnexpectedAndUnknownCodesReleaseTheTransport) {
  device_.model().setFault("reboot", reply("DATA00000010"));
  EXPECT_EQ(fb_command(transport_, "reboot"), -1);
  EXPECT_STREQ(fb_get_error(), "unknown status code");
  EXPECT_TRUE(kicked());
  // A released transport fails the next command at once.
  EXPECT_EQ(fb_command(transport_, "getvar:x"), -1);
  EXPECT_STREQ(fb_get_error(), "command write failed (No such device or address)");
}

TEST_F(ProtocolTest, AnUnknownCodeIsRefused) {
  device_.model().setFault("erase:x", reply("WHAT is this"));
  EXPECT_EQ(fb_command(transport_, "erase:x"), -1);
  EXPECT_STREQ(fb_get_error(), "unknown status code");
  EXPECT_TRUE(kicked());
}

TEST_F(ProtocolTest, AShortReplyIsMalformed) {
  device_.model().setFault("erase:x", reply("OKA"));
  EXPECT_EQ(fb_command(transport_, "erase:x"), -1);
  EXPECT_STREQ(fb_get_error(), "status malformed (3 bytes)");
  EXPECT_TRUE(kicked());
}

TEST_F(ProtocolTest, AVanishingDeviceFailsTheReadAndReleases) {
  Fault f;
  f.disconnect = true;
  device_.model().setFault("erase:x", f);
  EXPECT_EQ(fb_command(transport_, "erase:x"), -1);
  EXPECT_STREQ(fb_get_error(), "status read failed (No such device or address)");
  EXPECT_TRUE(kicked());
}

TEST_F(ProtocolTest, ADevicePulledHalfwayThroughTheDataFailsTheDownloadAndKeepsHalf) {
  device_.model().setPullDuringFirstDownload(50);
  std::string data(1 << 20, 'd');
  EXPECT_EQ(fb_download_data(transport_, data.data(), static_cast<unsigned>(data.size())), -1);
  EXPECT_TRUE(kicked());
  EXPECT_EQ(device_.model().dataBytesReceived(), data.size() / 2);
  EXPECT_TRUE(device_.model().partitions().empty());
}

TEST_F(ProtocolTest, ASilentDeviceIsWaitedForUntilTheStationStops) {
  Fault f;
  f.silent = true;
  device_.model().setFault("erase:slow", f);
  std::thread stopper([&] {
    device_.model().waitForCommands(1);
    host::requestStop();
  });
  EXPECT_EQ(fb_command(transport_, "erase:slow"), -1);
  stopper.join();
  host::clearStop();
  EXPECT_STREQ(fb_get_error(), "status read failed (Operation canceled)");
}

TEST_F(ProtocolTest, TheDownloadCommandCarriesEightLowerCaseHexDigits) {
  device_.model().setMaxDownloadSize(0x1000);
  static const char kByte = 0;  // never sent: the device refuses the size
  EXPECT_EQ(fb_download_data(transport_, &kByte, 0x12345678), -1);
  EXPECT_STREQ(fb_get_error(), "remote: data too large");
  ASSERT_EQ(device_.model().commands().size(), 1u);
  EXPECT_EQ(device_.model().commands()[0], "download:12345678");
  EXPECT_EQ(device_.model().commands()[0].size(), 17u);
}

// Replies the test device cannot be talked into, over a scripted link.
TEST(ProtocolScripted, TheDataSizeIsReadUpToTheFirstNonHexCharacter) {
  auto script = fbtest::fastbootInterfaceScript();
  script->reads = {{8, 0, "DATA10zz"}, {4, 0, "OKAY"}};
  fb_transport* t = usb_adopt_link(std::make_unique<fbtest::ScriptedLink>(script), "s");
  std::string data(16, 'd');
  EXPECT_EQ(fastboot::_command_send(t, "download:00000010", data.data(), 16, nullptr), 16);
  EXPECT_EQ(script->written, "download:00000010" + std::string(16, 'd'));
  usb_close(t);
}

TEST(ProtocolScripted, AShortDataWriteFailsAndReleases) {
  auto script = fbtest::fastbootInterfaceScript();
  script->reads = {{12, 0, "DATA00000010"}};
  script->writes = {{17}, {-1, EIO}};
  fb_transport* t = usb_adopt_link(std::make_unique<fbtest::ScriptedLink>(script), "s");
  std::string data(16, 'd');
  EXPECT_EQ(fb_download_data(t, data.data(), 16), -1);
  EXPECT_STREQ(fb_get_error(), "data transfer failure (Input/output error)");
  EXPECT_EQ(t->link, nullptr);
  usb_close(t);
}

TEST(ProtocolScripted, ACommandWrittenOnlyInPartFailsAndReleases) {
  auto script = fbtest::fastbootInterfaceScript();
  script->writes = {{-1, EPIPE}};
  fb_transport* t = usb_adopt_link(std::make_unique<fbtest::ScriptedLink>(script), "s");
  EXPECT_EQ(fb_command(t, "reboot"), -1);
  EXPECT_STREQ(fb_get_error(), "command write failed (Broken pipe)");
  EXPECT_EQ(t->link, nullptr);
  usb_close(t);
}

}  // namespace
