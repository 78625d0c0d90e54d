// The libusb fastboot backend against an emulated module in fastboot mode: which interfaces it
// finds, commands and a download in pieces through the station's transport and protocol, and
// the failures a real device produces (a time-out, a stall, a device pulled mid-transfer).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "emulated_fastboot_device.h"
#include "fastboot/backends.h"
#include "fastboot/protocol.h"
#include "fastboot/transport.h"
#include "fastboot/usb_libusb.h"
#include "host/clock.h"
#include "testbed.h"

namespace umocktest {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

constexpr char kSerial[] = "ZDL0042";

std::vector<InterfaceLayout> fastbootInterface() {
  return {InterfaceLayout{}};
}

class LibusbFastbootTest : public EmulatedTest {
 protected:
  void TearDown() override {
    // Children were plugged after their hubs: they leave first. Handlers stay attached: a node
    // name is never used twice, and a handler may still be finishing with a closed client.
    for (auto device = plugged_.rbegin(); device != plugged_.rend(); ++device) {
      testbed().remove(*device);
    }
    for (const std::string& path : paths_) waitUntilListed(path, false);
  }

  // Plugs a USB device with these interfaces at `portPath`, answered by `device` when given.
  // Returns its interface path once the backend lists it (when it has a fastboot interface).
  std::string plug(const std::string& portPath, const std::vector<InterfaceLayout>& interfaces,
                   EmulatedFastbootDevice* device = nullptr, uint16_t productId = 0xD00D) {
    UsbDeviceRecord usb;
    usb.portPath = portPath;
    usb.vendorId = "18d1";
    char product[8];
    std::snprintf(product, sizeof product, "%04x", productId);
    usb.productId = product;
    usb.descriptors = usbDescriptors(0x18D1, productId, interfaces);
    const std::string syspath = testbed().addUsbDevice(usb);
    if (device) testbed().attachIoctl(syspath, device->handler());
    plugged_.push_back(syspath);
    const std::string path = fastboot::makeUsbInterfacePath(0x18D1, productId, portPath);
    paths_.push_back(path);
    return path;
  }

  // A device answered by `device`, once the backend lists it.
  std::string plugFastboot(EmulatedFastbootDevice& device,
                           const std::vector<InterfaceLayout>& interfaces = fastbootInterface()) {
    const std::string path = plug("1-3", interfaces, &device);
    waitUntilListed(path, true);
    return path;
  }

  void unplug(const std::string& path) {
    const size_t index = std::find(paths_.begin(), paths_.end(), path) - paths_.begin();
    testbed().remove(plugged_[index]);
    plugged_.erase(plugged_.begin() + index);
    paths_.erase(paths_.begin() + index);
    waitUntilListed(path, false);
  }

  static std::vector<std::string> listed() {
    return fastboot::backendFor(fastboot::kUsbPathPrefix)->enumerate();
  }

  // The library learns of arrivals and removals on a thread of its own.
  static void waitUntilListed(const std::string& path, bool listedNow) {
    for (int i = 0; i < 3000; ++i) {
      const std::vector<std::string> paths = listed();
      if ((std::find(paths.begin(), paths.end(), path) != paths.end()) == listedNow) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  std::vector<std::string> plugged_;
  std::vector<std::string> paths_;
};

struct TransportCloser {
  void operator()(fb_transport* transport) const { usb_close(transport); }
};
using Transport = std::unique_ptr<fb_transport, TransportCloser>;

Transport open(const std::string& path) {
  return Transport(usb_open_by_name(path, match_fastboot));
}

std::string getvar(fb_transport* transport, const std::string& name) {
  char response[kFastbootResponseSize] = {};
  if (fb_command_response(transport, ("getvar:" + name).c_str(), response) != 0) {
    return std::string("error: ") + fb_get_error();
  }
  return response;
}

// Waits until the emulated device has taken the host's read: the device acts on the host's
// requests on a thread of the emulation.
void waitForWaitingRead(EmulatedFastbootDevice& device) {
  for (int i = 0; i < 30000 && device.inTransfersWaiting() == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// A status read on a thread of its own, as a worker does it.
class PendingRead {
 public:
  explicit PendingRead(fb_transport* transport)
      : thread_([this, transport] { result_ = usb_read(transport, buffer_, sizeof buffer_); }) {}
  long finish() {
    thread_.join();
    return result_;
  }

 private:
  uint8_t buffer_[64];
  long result_ = 0;
  std::thread thread_;
};

TEST_F(LibusbFastbootTest, OnlyInterfacesOfClassFF4203WithTwoBulkEndpointsAreListed) {
  EmulatedFastbootDevice device(kSerial);
  const std::string plain = plugFastboot(device);
  testbed().addHub("1-2");
  plugged_.push_back("/sys/devices/usb1/1-2");
  paths_.push_back("");
  const std::string behindHub = plug("1-2.4", fastbootInterface());
  InterfaceLayout oneEndpoint;
  oneEndpoint.endpoints = {{0x81}};
  plug("1-4", {oneEndpoint});
  InterfaceLayout interrupts;
  interrupts.endpoints = {{0x81, 0x03}, {0x01, 0x03}};
  plug("1-5", {interrupts});
  InterfaceLayout other;
  other.protocol = 0x01;
  plug("1-6", {other});
  InterfaceLayout composite;
  composite.number = 1;
  composite.endpoints = {{0x82}, {0x02}};
  const std::string second = plug("1-7", {other, composite}, nullptr, 0x4EE0);
  waitUntilListed(second, true);
  waitUntilListed(behindHub, true);
  EXPECT_THAT(listed(), UnorderedElementsAre(plain, behindHub, second));
  EXPECT_EQ(behindHub, "\\\\?\\usb#vid_18d1&pid_d00d#1-2.4#{f72fe0d4-cbcb-407d-8814-9ed673d0dd6b}")
      << "the instance is the port path, as the device directory names it";
}

TEST_F(LibusbFastbootTest, GetvarThenADownloadInPiecesAndItsFlash) {
  EmulatedFastbootDevice device(kSerial);
  device.setVariable("version", "0.5");
  const std::string path = plugFastboot(device);
  Transport transport = open(path);
  ASSERT_TRUE(transport) << usb_last_error();
  EXPECT_EQ(device.claimedInterface(), 0);
  EXPECT_EQ(getvar(transport.get(), "version"), "0.5");

  std::string image(10000, '\0');
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7 + i / 256);
  ASSERT_EQ(fb_download_data(transport.get(), image.data(), image.size()), 0) << fb_get_error();
  ASSERT_EQ(fb_command(transport.get(), "flash:boot"), 0) << fb_get_error();
  EXPECT_THAT(device.dataTransferSizes(), ElementsAre(4096, 4096, 1808));
  EXPECT_EQ(device.partitions()["boot"], image);
  EXPECT_THAT(device.commands(), ElementsAre("getvar:version", "download:00002710", "flash:boot"));
  transport.reset();
  EXPECT_EQ(device.claimedInterface(), -1) << "closing releases the interface";
}

TEST_F(LibusbFastbootTest, AReplyLongerThan64BytesIsReadWholeAndItsStartKept) {
  EmulatedFastbootDevice device(kSerial);
  const std::string value(96, 'v');
  device.setVariable("long", value);
  device.setVariable("version", "0.5");
  Transport transport = open(plugFastboot(device));
  ASSERT_TRUE(transport);
  EXPECT_EQ(getvar(transport.get(), "long"), value.substr(0, 60));
  EXPECT_EQ(getvar(transport.get(), "version"), "0.5") << "nothing of the long reply is left";
}

TEST_F(LibusbFastbootTest, ATimeOutIsError121AndLeavesTheLinkUsable) {
  EmulatedFastbootDevice device(kSerial);
  device.setVariable("version", "0.5");
  device.ignoreCommands("getvar:slow");
  Transport transport = open(plugFastboot(device));
  ASSERT_TRUE(transport);
  const std::string command = "getvar:slow";
  int error = 0;
  ASSERT_EQ(transport->link->bulkWrite(reinterpret_cast<const uint8_t*>(command.data()),
                                       command.size(), 1000, error),
            static_cast<long>(command.size()));
  uint8_t reply[64];
  EXPECT_EQ(transport->link->bulkRead(reply, sizeof reply, 100, error), -1);
  EXPECT_EQ(error, kUsbErrorTimeout);
  EXPECT_EQ(getvar(transport.get(), "version"), "0.5") << "the abandoned read was discarded";

  device.refuseData();
  const std::string data(16, 'd');
  EXPECT_EQ(fb_download_data(transport.get(), data.data(), data.size()), -1);
  EXPECT_EQ(usb_last_error(), kUsbErrorTimeout);
  EXPECT_TRUE(device.partitions().empty());
}

TEST_F(LibusbFastbootTest, ADevicePulledMidDownloadIsError6AndThenGone) {
  EmulatedFastbootDevice device(kSerial);
  device.vanishAfterDataBytes(6000);
  const std::string path = plugFastboot(device);
  Transport transport = open(path);
  ASSERT_TRUE(transport);
  const std::string image(10000, 'i');
  EXPECT_EQ(fb_download_data(transport.get(), image.data(), image.size()), -1);
  EXPECT_EQ(transport->error, kUsbErrorInvalidHandle);
  EXPECT_FALSE(transport->link) << "a vanished interface is released at once";
  EXPECT_THAT(device.dataTransferSizes(), ElementsAre(4096));

  unplug(path);
  EXPECT_FALSE(open(path));
  EXPECT_EQ(usb_last_error(), ENOENT);
  EXPECT_TRUE(device.partitions().empty());
}

TEST_F(LibusbFastbootTest, ADevicePulledWhileTheStationWaitsForAReplyIsError6) {
  EmulatedFastbootDevice device(kSerial);
  Transport transport = open(plugFastboot(device));
  ASSERT_TRUE(transport);
  PendingRead read(transport.get());
  waitForWaitingRead(device);
  device.vanishNow();
  EXPECT_EQ(read.finish(), -1);
  EXPECT_EQ(transport->error, kUsbErrorInvalidHandle);
  EXPECT_FALSE(transport->link);
}

TEST_F(LibusbFastbootTest, AReadFromAQuietLoaderEndsOnStop) {
  EmulatedFastbootDevice device(kSerial);
  Transport transport = open(plugFastboot(device));
  ASSERT_TRUE(transport);
  host::clearStop();
  PendingRead read(transport.get());
  waitForWaitingRead(device);
  host::requestStop();
  const long result = read.finish();
  host::clearStop();
  EXPECT_EQ(result, -1);
  EXPECT_EQ(transport->error, ECANCELED);
}

TEST_F(LibusbFastbootTest, AModuleThatReenumeratesOnTheSamePortIsFoundByTheSamePath) {
  EmulatedFastbootDevice before(kSerial);
  before.setVariable("version", "0.5");
  const std::string path = plugFastboot(before);
  ASSERT_TRUE(open(path));
  unplug(path);
  EmulatedFastbootDevice after(kSerial);
  after.setVariable("version", "0.6");
  EXPECT_EQ(plugFastboot(after), path);
  Transport transport = open(path);
  ASSERT_TRUE(transport) << usb_last_error();
  EXPECT_EQ(getvar(transport.get(), "version"), "0.6");
}

TEST_F(LibusbFastbootTest, AStallIsClearedWhenTheDeviceIsOpenedAgain) {
  EmulatedFastbootDevice device(kSerial);
  device.setVariable("version", "0.5");
  const std::string path = plugFastboot(device);
  Transport transport = open(path);
  ASSERT_TRUE(transport);
  device.stallNextReply();
  EXPECT_NE(getvar(transport.get(), "version"), "0.5");
  EXPECT_EQ(transport->error, EPIPE);
  transport.reset();
  EXPECT_TRUE(device.clearedHalts().empty());

  transport = open(path);
  ASSERT_TRUE(transport);
  EXPECT_THAT(device.clearedHalts(), UnorderedElementsAre(0x81u, 0x01u));
  EXPECT_EQ(getvar(transport.get(), "version"), "0.5");
  transport.reset();
  transport = open(path);
  EXPECT_EQ(device.clearedHalts().size(), 2u) << "a halt is cleared once";
}

TEST_F(LibusbFastbootTest, AFastbootInterfaceOnAnAlternateSettingIsSelected) {
  EmulatedFastbootDevice device(kSerial);
  device.setVariable("version", "0.5");
  InterfaceLayout idle;
  idle.endpoints = {};
  InterfaceLayout active;
  active.alternate = 1;
  Transport transport = open(plugFastboot(device, {idle, active}));
  ASSERT_TRUE(transport) << usb_last_error();
  EXPECT_EQ(device.alternateSetting(), 1);
  EXPECT_EQ(getvar(transport.get(), "version"), "0.5");
}

TEST_F(LibusbFastbootTest, TheSecondInterfaceOfACompositeDeviceIsClaimed) {
  EmulatedFastbootDevice device(kSerial);
  device.setVariable("version", "0.5");
  InterfaceLayout other;
  other.protocol = 0x01;
  other.endpoints = {{0x83}, {0x03}};
  InterfaceLayout fastbootSecond;
  fastbootSecond.number = 1;
  Transport transport = open(plugFastboot(device, {other, fastbootSecond}));
  ASSERT_TRUE(transport) << usb_last_error();
  EXPECT_EQ(device.claimedInterface(), 1);
  EXPECT_EQ(getvar(transport.get(), "version"), "0.5");
}

TEST_F(LibusbFastbootTest, AnInterfaceInUseIsBusyForASecondOpenUntilItIsClosed) {
  EmulatedFastbootDevice device(kSerial);
  device.setVariable("version", "0.5");
  const std::string path = plugFastboot(device);
  Transport first = open(path);
  ASSERT_TRUE(first);
  EXPECT_FALSE(open(path));
  EXPECT_EQ(usb_last_error(), EBUSY) << "the station tells a claimed device from a missing one";
  EXPECT_EQ(getvar(first.get(), "version"), "0.5") << "the failed open took nothing from it";
  first.reset();
  Transport second = open(path);
  ASSERT_TRUE(second) << usb_last_error();
  EXPECT_EQ(getvar(second.get(), "version"), "0.5");
}

TEST_F(LibusbFastbootTest, TheSerialNumberIsReadWithoutClaimingTheInterface) {
  EmulatedFastbootDevice device(kSerial);
  const std::string path = plugFastboot(device);
  std::string serial;
  ASSERT_TRUE(usb_read_serial(path, serial));
  EXPECT_EQ(serial, kSerial);
  EXPECT_TRUE(device.serialReadWhileUnclaimed());
  EXPECT_EQ(device.claimedInterface(), -1);

  Transport transport = open(path);
  ASSERT_TRUE(transport);
  ASSERT_TRUE(usb_read_serial(path, serial)) << "a device in use still tells its serial";
  EXPECT_EQ(serial, kSerial);
  EXPECT_EQ(device.claimedInterface(), 0) << "and stays claimed by its user";
}

}  // namespace
}  // namespace umocktest
