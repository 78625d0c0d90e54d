// The transport rules over a scripted link: piece sizes, time-outs, retries, release of a
// vanished interface, interface matching, and the backend registry.

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#include "fastboot/backends.h"
#include "fastboot/transport.h"
#include "fastboot/usb_libusb.h"
#include "fastboot_test_support.h"
#include "host/clock.h"

namespace {

using fbtest::LinkScript;
using fbtest::ScriptedLink;

fb_transport* openScripted(std::shared_ptr<LinkScript> script) {
  return usb_adopt_link(std::make_unique<ScriptedLink>(script), "scripted");
}

TEST(UsbWrite, CutsIntoPiecesTransferredInSlicesOfASecond) {
  auto script = fbtest::fastbootInterfaceScript();
  fb_transport* t = openScripted(script);
  std::string data(10000, 'x');
  EXPECT_EQ(usb_write(t, data.data(), 10000), 10000);
  ASSERT_EQ(script->transfers.size(), 3u);
  EXPECT_EQ(script->transfers[0].length, 4096u);
  EXPECT_EQ(script->transfers[1].length, 4096u);
  EXPECT_EQ(script->transfers[2].length, 1808u);
  for (const auto& transfer : script->transfers) EXPECT_EQ(transfer.timeoutMs, 1000u);
  usb_close(t);
}

TEST(UsbWrite, APieceIsRetriedInSlicesUntilTheTimeOutOfTheWholeLengthIsSpent) {
  auto script = fbtest::fastbootInterfaceScript();
  const LinkScript::Result timeout{-1, kUsbErrorTimeout};
  script->writes = {timeout, timeout, {4096}};
  fb_transport* t = openScripted(script);
  std::string data(4096, 'x');
  EXPECT_EQ(usb_write(t, data.data(), 4096), 4096);
  EXPECT_EQ(script->transfers.size(), 3u);

  // 100 bytes may take 1,300 ms: one slice of 1,000 and one of 300, then the write fails.
  script->transfers.clear();
  script->writes = {timeout, timeout, timeout};
  EXPECT_EQ(usb_write(t, data.data(), 100), -1);
  EXPECT_EQ(t->error, kUsbErrorTimeout);
  ASSERT_EQ(script->transfers.size(), 2u);
  EXPECT_EQ(script->transfers[0].timeoutMs, 1000u);
  EXPECT_EQ(script->transfers[1].timeoutMs, 300u);
  usb_close(t);
}

TEST(UsbWrite, AStopEndsAWriteTheLoaderNeverTakesAndReleasesTheTransport) {
  auto script = fbtest::fastbootInterfaceScript();
  script->writes = {{-1, kUsbErrorTimeout}, {-1, kUsbErrorTimeout}};
  fb_transport* t = openScripted(script);
  std::string data(4096, 'x');
  host::requestStop();
  long result = usb_write(t, data.data(), 4096);
  host::clearStop();
  EXPECT_EQ(result, -1);
  EXPECT_EQ(t->error, ECANCELED);
  EXPECT_EQ(script->transfers.size(), 1u);
  EXPECT_EQ(t->link, nullptr);
  usb_close(t);
}

TEST(UsbWrite, ContinuesAShortPieceAndFailsOnNothingMoved) {
  auto script = fbtest::fastbootInterfaceScript();
  script->writes = {{1000}, {5000}};
  fb_transport* t = openScripted(script);
  std::string data(5000, 'y');
  EXPECT_EQ(usb_write(t, data.data(), 5000), 5000);
  EXPECT_EQ(script->written, data);

  // A transfer that claims success but moves nothing must not loop for ever.
  script->writes = {{0}};
  EXPECT_EQ(usb_write(t, data.data(), 10), -1);
  EXPECT_EQ(t->error, kUsbErrorTimeout);
  usb_close(t);
}

TEST(UsbWrite, RefusesNothingToWriteAndNullTransport) {
  auto script = fbtest::fastbootInterfaceScript();
  fb_transport* t = openScripted(script);
  EXPECT_EQ(usb_write(t, "x", 0), -1);
  EXPECT_TRUE(script->transfers.empty());
  EXPECT_EQ(usb_write(nullptr, "x", 1), -1);
  EXPECT_EQ(usb_last_error(), kUsbErrorInvalidHandle);
  usb_close(t);
}

TEST(UsbWrite, AVanishedInterfaceIsReleasedAndLaterOperationsFailAtOnce) {
  auto script = fbtest::fastbootInterfaceScript();
  script->writes = {{-1, kUsbErrorInvalidHandle}};
  fb_transport* t = openScripted(script);
  EXPECT_EQ(usb_write(t, "abc", 3), -1);
  EXPECT_TRUE(script->destroyed);
  EXPECT_EQ(t->link, nullptr);
  char buffer[64];
  EXPECT_EQ(usb_read(t, buffer, 64), -1);
  EXPECT_EQ(t->error, kUsbErrorInvalidHandle);
  usb_close(t);
}

TEST(UsbWrite, OtherErrorsFailWithoutReleasing) {
  auto script = fbtest::fastbootInterfaceScript();
  script->writes = {{-1, EPIPE}};
  fb_transport* t = openScripted(script);
  EXPECT_EQ(usb_write(t, "abc", 3), -1);
  EXPECT_EQ(t->error, EPIPE);
  EXPECT_FALSE(script->destroyed);
  usb_close(t);
  EXPECT_TRUE(script->destroyed);
}

TEST(UsbRead, RetriesTimeOutsUntilAPacketArrives) {
  auto script = fbtest::fastbootInterfaceScript();
  script->reads = {{-1, kUsbErrorTimeout}, {-1, kUsbErrorTimeout}, {4, 0, "OKAY"}};
  fb_transport* t = openScripted(script);
  char buffer[64];
  EXPECT_EQ(usb_read(t, buffer, 64), 4);
  ASSERT_EQ(script->transfers.size(), 3u);
  for (const auto& transfer : script->transfers) {
    EXPECT_EQ(transfer.length, 64u);
    EXPECT_EQ(transfer.timeoutMs, 1012u);
  }
  usb_close(t);
}

TEST(UsbRead, AsksForAtMostOnePieceAndReturnsWhatOneTransferBrought) {
  auto script = fbtest::fastbootInterfaceScript();
  script->reads = {{10, 0, std::string(10, 'a')}};
  fb_transport* t = openScripted(script);
  std::vector<char> buffer(10000);
  EXPECT_EQ(usb_read(t, buffer.data(), 10000), 10);
  EXPECT_EQ(script->transfers[0].length, 4096u);
  EXPECT_EQ(script->transfers[0].timeoutMs, 80500u);
  usb_close(t);
}

TEST(UsbRead, VanishedInterfaceIsReleasedOtherErrorsAreNot) {
  auto script = fbtest::fastbootInterfaceScript();
  script->reads = {{-1, EIO}, {-1, kUsbErrorInvalidHandle}};
  fb_transport* t = openScripted(script);
  char buffer[64];
  EXPECT_EQ(usb_read(t, buffer, 64), -1);
  EXPECT_NE(t->link, nullptr);
  EXPECT_EQ(usb_read(t, buffer, 64), -1);
  EXPECT_EQ(t->link, nullptr);
  usb_close(t);
}

TEST(UsbRead, AStopEndsTheWaitForASilentLoader) {
  auto script = fbtest::fastbootInterfaceScript();
  fb_transport* t = openScripted(script);
  host::requestStop();
  char buffer[64];
  EXPECT_EQ(usb_read(t, buffer, 64), -1);
  host::clearStop();
  EXPECT_EQ(t->error, ECANCELED);
  EXPECT_NE(t->link, nullptr);
  usb_close(t);
}

TEST(UsbKickAndClose, ToleratesNullAndKickedTransports) {
  usb_kick(nullptr);
  EXPECT_EQ(usb_last_error(), kUsbErrorInvalidHandle);
  EXPECT_EQ(usb_close(nullptr), 0);
  auto script = fbtest::fastbootInterfaceScript();
  fb_transport* t = openScripted(script);
  usb_kick(t);
  EXPECT_TRUE(script->destroyed);
  EXPECT_TRUE(t->name.empty());
  EXPECT_EQ(usb_write(t, "a", 1), -1);
  EXPECT_EQ(usb_close(t), 0);
}

TEST(UsbTimeout, GrowsWithTheLengthAndSaturates) {
  EXPECT_EQ(usb_timeout_ms(64), 1012u);
  EXPECT_EQ(usb_timeout_ms(4096), 33268u);
  EXPECT_EQ(usb_timeout_ms(1L << 40), UINT_MAX);
}

// --- Matching -------------------------------------------------------------------------------

int gMatcherCalls = 0;
std::string gSeenSerial;
int countingFastbootMatcher(fb_interface_info* info) {
  ++gMatcherCalls;
  gSeenSerial = info->serial_number;
  return match_fastboot(info);
}

int recognize(std::shared_ptr<LinkScript> script) {
  fb_transport* t = openScripted(script);
  int result = recognized_device(t, countingFastbootMatcher);
  usb_close(t);
  return result;
}

TEST(RecognizedDevice, AcceptsKnownVendorsWithTheFastbootInterfaceOnly) {
  auto script = fbtest::fastbootInterfaceScript();
  EXPECT_EQ(recognize(script), 1);
  EXPECT_EQ(gSeenSerial, "SERIAL1");

  script = fbtest::fastbootInterfaceScript();
  script->descriptors.vendorId = 0x1234;
  EXPECT_EQ(recognize(script), 0);

  script = fbtest::fastbootInterfaceScript();
  script->descriptors.interfaceProtocol = 0x01;
  EXPECT_EQ(recognize(script), 0);

  for (uint16_t vendor : {0x0451, 0x05C6, 0x413C}) {
    script = fbtest::fastbootInterfaceScript();
    script->descriptors.vendorId = vendor;
    script->descriptors.productId = 0x9999;  // the product is not looked at
    EXPECT_EQ(recognize(script), 1) << vendor;
  }
}

TEST(RecognizedDevice, RefusesOtherEndpointCountsBeforeAskingTheMatcher) {
  auto script = fbtest::fastbootInterfaceScript();
  script->descriptors.endpointCount = 3;
  gMatcherCalls = 0;
  EXPECT_EQ(recognize(script), 0);
  EXPECT_EQ(gMatcherCalls, 0);

  script = fbtest::fastbootInterfaceScript();
  script->descriptorsReadable = false;
  EXPECT_EQ(recognize(script), 0);
  EXPECT_EQ(gMatcherCalls, 0);
}

TEST(RecognizedDevice, AcceptsADeviceWhoseSerialCannotBeRead) {
  auto script = fbtest::fastbootInterfaceScript();
  script->serialReadable = false;
  EXPECT_EQ(recognize(script), 1);
  EXPECT_EQ(gSeenSerial, "");
}

// --- Registry and opening -------------------------------------------------------------------

class RegistryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    fastboot::unregisterBackend(kBench);
    fastboot::unregisterBackend("fake:");
  }
  static constexpr const char* kBench = "\\\\?\\usb#vid_18d1&pid_d00d#bench-";
};

TEST_F(RegistryTest, TheLongestPrefixOwnsAPathWhateverItsCase) {
  std::vector<std::string> opened;
  fastboot::registerBackend({kBench, nullptr, [&](const std::string& path, int&) {
                               opened.push_back(path);
                               return std::make_unique<ScriptedLink>(
                                   fbtest::fastbootInterfaceScript());
                             }});
  std::string path = "\\\\?\\USB#VID_18D1&PID_D00D#bench-7#{f72fe0d4-cbcb-407d-8814-9ed673d0dd6b}";
  fb_transport* t = usb_open_by_name(path, match_fastboot);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->name, path);
  EXPECT_EQ(opened, std::vector<std::string>{path});
  usb_close(t);

  // A real USB path still goes to libusb, which finds nothing here.
  EXPECT_EQ(usb_open_by_name(fastboot::makeUsbInterfacePath(0x18d1, 0xd00d, "1-2"), match_fastboot),
            nullptr);
}

TEST_F(RegistryTest, UnknownPathsAndRefusedInterfacesGiveNull) {
  EXPECT_EQ(usb_open_by_name("com7", match_fastboot), nullptr);
  EXPECT_EQ(usb_last_error(), ENOENT);

  auto refused = fbtest::fastbootInterfaceScript();
  refused->descriptors.vendorId = 0x1234;
  fastboot::registerBackend({"fake:", nullptr, [&](const std::string&, int&) {
                               return std::make_unique<ScriptedLink>(refused);
                             }});
  EXPECT_EQ(usb_open_by_name("fake:1", match_fastboot), nullptr);
  EXPECT_TRUE(refused->destroyed);
}

TEST_F(RegistryTest, UsbOpenKeepsTheFirstEnumeratedInterfaceTheMatcherAccepts) {
  auto refused = fbtest::fastbootInterfaceScript();
  refused->descriptors.interfaceClass = 0x08;
  auto accepted = fbtest::fastbootInterfaceScript();
  fastboot::registerBackend({"fake:",
                             [] {
                               return std::vector<std::string>{"fake:a", "fake:b"};
                             },
                             [&](const std::string& path, int&) {
                               return std::make_unique<ScriptedLink>(path == "fake:a" ? refused
                                                                                      : accepted);
                             }});
  fb_transport* t = usb_open(match_fastboot);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->name, "fake:b");
  EXPECT_TRUE(refused->destroyed);
  usb_close(t);
}

TEST_F(RegistryTest, SerialNumbersAreReadWithoutOpeningTheInterface) {
  int opens = 0;
  fastboot::Backend backend{
      "fake:", nullptr, [&](const std::string&, int&) {
        ++opens;
        return std::make_unique<ScriptedLink>(fbtest::fastbootInterfaceScript());
      }};
  backend.serialNumber = [](const std::string& path, std::string& serial) {
    serial = "partial";
    if (path != "fake:known") return false;
    serial = "SN42";
    return true;
  };
  fastboot::registerBackend(backend);
  std::string serial;
  EXPECT_TRUE(usb_read_serial("fake:known", serial));
  EXPECT_EQ(serial, "SN42");
  EXPECT_FALSE(usb_read_serial("fake:other", serial));
  EXPECT_EQ(serial, "");
  EXPECT_FALSE(usb_read_serial("tcp:127.0.0.1:1", serial));  // no way to ask without a session
  EXPECT_EQ(opens, 0);
}

TEST(LibusbBackend, ListsNoDevicesHereWithoutError) {
  fastboot::Backend backend = fastboot::makeLibusbBackend();
  EXPECT_TRUE(backend.enumerate().empty());
  int error = 0;
  EXPECT_EQ(backend.open(fastboot::makeUsbInterfacePath(0x18d1, 0xd00d, "1-1"), error), nullptr);
  EXPECT_NE(error, 0);
}

TEST(LibusbBackend, InterfacePathsRoundTrip) {
  std::string path = fastboot::makeUsbInterfacePath(0x18d1, 0xd00d, "3-1.4");
  EXPECT_EQ(path, "\\\\?\\usb#vid_18d1&pid_d00d#3-1.4#{f72fe0d4-cbcb-407d-8814-9ed673d0dd6b}");
  uint16_t vid = 0, pid = 0;
  std::string instance;
  ASSERT_TRUE(fastboot::parseUsbInterfacePath(path, vid, pid, instance));
  EXPECT_EQ(vid, 0x18d1);
  EXPECT_EQ(pid, 0xd00d);
  EXPECT_EQ(instance, "3-1.4");
  EXPECT_FALSE(fastboot::parseUsbInterfacePath("\\\\?\\usb#vid_18d1#x", vid, pid, instance));
  EXPECT_FALSE(fastboot::parseUsbInterfacePath("tcp:1.2.3.4:5", vid, pid, instance));
}

}  // namespace
