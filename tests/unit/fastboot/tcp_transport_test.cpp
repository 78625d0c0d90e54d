// The TCP transport: paths, the handshake, message framing across reads and writes, and a
// device that goes away.

#include <gtest/gtest.h>

#include "fastboot/protocol.h"
#include "fastboot/tcp_framing.h"
#include "fastboot/usb_tcp.h"
#include "fastboot_test_support.h"
#include "sim/fastboot_device/tcp_device.h"

namespace {

TEST(TcpPath, SplitsHostAndPort) {
  std::string host, port;
  ASSERT_TRUE(fastboot::parseTcpPath("tcp:192.168.0.7:5554", host, port));
  EXPECT_EQ(host, "192.168.0.7");
  EXPECT_EQ(port, "5554");
  ASSERT_TRUE(fastboot::parseTcpPath("TCP:[::1]:5554", host, port));
  EXPECT_EQ(host, "::1");
  for (const char* bad : {"tcp:", "tcp:host", "tcp::5554", "tcp:host:", "tcp:host:0",
                          "tcp:host:65536", "tcp:host:55x4", "udp:host:5554"}) {
    EXPECT_FALSE(fastboot::parseTcpPath(bad, host, port)) << bad;
  }
}

TEST(TcpFraming, LengthsAreEightBytesBigEndian) {
  uint8_t header[8];
  fastboot::tcp::encodeLength(0x0102030405060708ull, header);
  EXPECT_EQ(header[0], 1);
  EXPECT_EQ(header[7], 8);
  EXPECT_EQ(fastboot::tcp::decodeLength(header), 0x0102030405060708ull);
}

TEST(TcpHandshake, AcceptsVersionOneAndLaterOnly) {
  for (const char* hello : {"FB01", "FB02", "FB99"}) {
    sim::TcpFastbootDevice device(hello);
    fb_transport* t = usb_open_by_name(device.path(), match_fastboot);
    EXPECT_NE(t, nullptr) << hello;
    usb_close(t);
  }
  for (const char* hello : {"FB00", "XX01", "FB1x"}) {
    sim::TcpFastbootDevice device(hello);
    EXPECT_EQ(usb_open_by_name(device.path(), match_fastboot), nullptr) << hello;
  }
}

TEST(TcpHandshake, NothingListeningFailsTheOpen) {
  EXPECT_EQ(usb_open_by_name("tcp:127.0.0.1:1", match_fastboot), nullptr);
  EXPECT_NE(usb_last_error(), 0);
}

TEST(TcpTransport, LooksLikeAFastbootInterfaceNamedByItsAddress) {
  sim::TcpFastbootDevice device;
  fb_transport* t = do_usb_open(device.path());
  ASSERT_NE(t, nullptr);
  fastboot::UsbDescriptors d;
  ASSERT_TRUE(t->link->readDescriptors(d));
  EXPECT_EQ(d.vendorId, 0x18D1);
  EXPECT_EQ(d.endpointCount, 2);
  std::string serial;
  ASSERT_TRUE(t->link->readSerialNumber(serial));
  EXPECT_EQ(serial, "127.0.0.1:" + std::to_string(device.port()));
  usb_close(t);
}

TEST(TcpTransport, AReadReturnsTheHeadOfOneMessageAndDropsItsTail) {
  sim::TcpFastbootDevice device;
  device.model().setVariable("long", std::string(60, 'L'));
  device.model().setVariable("short", "s");
  fb_transport* t = usb_open_by_name(device.path(), match_fastboot);
  ASSERT_NE(t, nullptr);
  ASSERT_EQ(usb_write(t, "getvar:long", 11), 11);
  char buffer[64];
  EXPECT_EQ(usb_read(t, buffer, 10), 10);
  EXPECT_EQ(std::string(buffer, 10), "OKAYLLLLLL");
  // The next read is the next message, not the rest of this one.
  ASSERT_EQ(usb_write(t, "getvar:short", 12), 12);
  EXPECT_EQ(usb_read(t, buffer, 64), 5);
  EXPECT_EQ(std::string(buffer, 5), "OKAYs");
  usb_close(t);
}

TEST(TcpTransport, EachWritePieceIsOneMessage) {
  sim::TcpFastbootDevice device;
  fb_transport* t = usb_open_by_name(device.path(), match_fastboot);
  ASSERT_NE(t, nullptr);
  std::string data(10000, 'w');
  EXPECT_EQ(fb_download_data(t, data.data(), 10000), 0);
  EXPECT_EQ(device.model().dataMessageSizes(), (std::vector<size_t>{4096, 4096, 1808}));
  usb_close(t);
}

TEST(TcpTransport, AClosedConnectionIsAVanishedDevice) {
  sim::TcpFastbootDevice device;
  fb_transport* t = usb_open_by_name(device.path(), match_fastboot);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(fb_command(t, "reboot"), 0);  // the device drops the connection after OKAY
  char buffer[64];
  EXPECT_EQ(usb_read(t, buffer, 64), -1);
  EXPECT_EQ(t->error, kUsbErrorInvalidHandle);
  EXPECT_EQ(t->link, nullptr);
  usb_close(t);
}

}  // namespace
