// The libudev device directory on an emulated machine: the names and COM numbers of a module's
// serial interfaces, USB devices by port path, arrivals and removals through uevents, and
// devices the role table does not know or the kernel described only in part.

#include <dirent.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "change_counter.h"
#include "host/udev_device_directory.h"
#include "testbed.h"

namespace umocktest {
namespace {

using host::SerialPortInfo;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class UdevDirectoryTest : public EmulatedTest {
 protected:
  void SetUp() override {
    EmulatedTest::SetUp();
    if (HasFatalFailure()) return;
    directory_ = std::make_unique<host::UdevDeviceDirectory>();
  }
  void TearDown() override {
    directory_.reset();
    for (auto device = added_.rbegin(); device != added_.rend(); ++device)
      testbed().remove(*device);
  }

  // A USB device with serial interfaces; removed again after the test.
  std::string plugModule(const std::string& portPath, const std::string& productId,
                         const std::vector<SerialPortLayout>& ports,
                         const std::string& vendorId = "05c6") {
    UsbDeviceRecord usb;
    usb.portPath = portPath;
    usb.vendorId = vendorId;
    usb.productId = productId;
    const std::string device = testbed().addUsbDevice(usb);
    testbed().addSerialPorts(device, ports);
    added_.push_back(device);
    return device;
  }

  std::vector<SerialPortInfo> ports() {
    std::vector<SerialPortInfo> list;
    EXPECT_EQ(directory_->listSerialPorts(list), 0);
    return list;
  }
  std::vector<std::string> usbPaths() {
    std::vector<std::string> list;
    EXPECT_EQ(directory_->listUsbInterfaces(list), 0);
    return list;
  }

  std::unique_ptr<host::UdevDeviceDirectory> directory_;
  std::vector<std::string> added_;
};

std::string usbPath(const std::string& ids, const std::string& instance) {
  return "\\\\?\\usb#" + ids + "#" + instance + "#{f72fe0d4-cbcb-407d-8814-9ed673d0dd6b}";
}

TEST_F(UdevDirectoryTest, ModuleInterfacesGetTheirRoleNamesAndComNumbers) {
  plugModule("1-3", "9091",
             {{"ttyUSB0", "00"}, {"ttyUSB1", "01"}, {"ttyUSB2", "02"}, {"ttyUSB3", "03"}});
  plugModule("1-4", "9025", {{"ttyACM0", "00"}, {"ttyACM1", "02"}});
  plugModule("1-5", "9011", {{"ttyUSB4", "00"}, {"ttyUSB5", "02"}});
  plugModule("1-6", "9008", {{"ttyUSB6", "00"}});
  plugModule("1-7", "9009", {{"ttyUSB7", "00"}});
  plugModule("1-8", "900e", {{"ttyACM7", "00"}});
  added_.push_back(testbed().addOnBoardTty("ttyS0", "4"));
  added_.push_back(testbed().addOnBoardTty("ttyS1", "0"));  // no UART behind it

  EXPECT_THAT(
      ports(),
      ElementsAre(
          SerialPortInfo{"Communications Port (COM1)", "/dev/ttyS0", 1},
          SerialPortInfo{"Qualcomm HS-USB Diagnostics 9091 (COM100)", "/dev/ttyUSB0", 100, "1-3"},
          SerialPortInfo{"Qualcomm HS-USB NMEA 9091 (COM101)", "/dev/ttyUSB1", 101, "1-3"},
          SerialPortInfo{"Qualcomm HS-USB AT Port 9091 (COM102)", "/dev/ttyUSB2", 102, "1-3"},
          SerialPortInfo{"Qualcomm HS-USB Modem 9091 (COM103)", "/dev/ttyUSB3", 103, "1-3"},
          SerialPortInfo{"Qualcomm HS-USB Diagnostics 9011 (COM104)", "/dev/ttyUSB4", 104, "1-5"},
          SerialPortInfo{"Qualcomm HS-USB AT Port 9011 (COM105)", "/dev/ttyUSB5", 105, "1-5"},
          SerialPortInfo{"Qualcomm HS-USB QDLoader 9008 (COM106)", "/dev/ttyUSB6", 106, "1-6"},
          SerialPortInfo{"Qualcomm HS-USB QDLoader 9009 (COM107)", "/dev/ttyUSB7", 107, "1-7"},
          SerialPortInfo{"Qualcomm HS-USB Diagnostics 9025 (COM500)", "/dev/ttyACM0", 500, "1-4"},
          SerialPortInfo{"Qualcomm HS-USB AT Port 9025 (COM501)", "/dev/ttyACM1", 501, "1-4"},
          SerialPortInfo{"Qualcomm HS-USB Diagnostics 900E (COM507)", "/dev/ttyACM7", 507, "1-8"}));
  EXPECT_EQ(directory_->ttyPathOfCom(102), "/dev/ttyUSB2");
  EXPECT_EQ(directory_->ttyPathOfCom(2), "") << "ttyS1 has no UART";
}

TEST_F(UdevDirectoryTest, UsbDevicesAreNamedByTheirPortPathAndHubsAreLeftOut) {
  const std::string hub = testbed().addHub("1-2");
  added_.push_back(hub);
  UsbDeviceRecord fastboot;
  fastboot.portPath = "1-2.4";
  fastboot.vendorId = "18d1";
  fastboot.productId = "d00d";
  testbed().addUsbDevice(fastboot);
  plugModule("1-3", "9091", {{"ttyUSB0", "00"}});
  plugModule("1-2.3", "9008", {{"ttyUSB1", "00"}});
  EXPECT_THAT(usbPaths(), ::testing::UnorderedElementsAre(usbPath("vid_18d1&pid_d00d", "1-2.4"),
                                                          usbPath("vid_05c6&pid_9091", "1-3"),
                                                          usbPath("vid_05c6&pid_9008", "1-2.3")));
  std::vector<host::UsbDeviceInfo> devices;
  ASSERT_EQ(directory_->listUsbDevices(devices), 0);
  EXPECT_THAT(devices, ::testing::UnorderedElementsAre(
                           host::UsbDeviceInfo{usbPath("vid_18d1&pid_d00d", "1-2.4"), "1-2.4"},
                           host::UsbDeviceInfo{usbPath("vid_05c6&pid_9091", "1-3"), "1-3"},
                           host::UsbDeviceInfo{usbPath("vid_05c6&pid_9008", "1-2.3"), "1-2.3"}));
  EXPECT_THAT(
      ports(),
      ElementsAre(
          SerialPortInfo{"Qualcomm HS-USB Diagnostics 9091 (COM100)", "/dev/ttyUSB0", 100, "1-3"},
          SerialPortInfo{"Qualcomm HS-USB QDLoader 9008 (COM101)", "/dev/ttyUSB1", 101, "1-2.3"}))
      << "a port's USB port path is its device's, through the hub";
}

TEST_F(UdevDirectoryTest, ArrivalsAndRemovalsArriveAsUevents) {
  ASSERT_TRUE(directory_->monitoring());
  ChangeCounter changes(*directory_);
  const std::string module =
      plugModule("1-3", "9091", {{"ttyUSB0", "00"}, {"ttyUSB1", "01"}, {"ttyUSB2", "02"}});
  // The USB device and its three ttys; the interfaces and the converter ports are not told.
  changes.waitFor(4, 0);
  EXPECT_EQ(changes.arrivals(), 4);
  EXPECT_EQ(ports().size(), 3u);

  testbed().uevent(module, "change");
  testbed().uevent(module + "/1-3:1.0/ttyUSB0/ttyUSB0", "bind");
  testbed().remove(module);
  added_.clear();
  changes.waitFor(4, 4);
  EXPECT_EQ(changes.arrivals(), 4) << "change and bind are no arrivals";
  EXPECT_EQ(changes.removals(), 4);
  EXPECT_THAT(ports(), IsEmpty()) << "a removal is told once the port is gone";
  EXPECT_THAT(usbPaths(), IsEmpty());
}

TEST_F(UdevDirectoryTest, UnknownVendorsAndMissingOrOddAttributesGiveNoModulePort) {
  plugModule("1-3", "5678", {{"ttyACM0", "00"}}, "1234");
  plugModule("1-4", "", {{"ttyUSB0", "00"}}, "");  // ids the kernel could not read
  plugModule("1-5", "9091", {{"ttyUSB1", ""}, {"ttyUSB2", "zz"}, {"ttyUSB3", "1f"}});
  plugModule("1-6", "9091", {{"ttyUSB400", "00"}, {"ttyUSB01", "00"}, {"ttyACM9", "00", false}});
  added_.push_back(testbed().addOnBoardTty("ttyS2", ""));

  EXPECT_THAT(
      ports(),
      ElementsAre(
          SerialPortInfo{"USB Serial Device (COM100)", "/dev/ttyUSB0", 100, "1-4"},
          SerialPortInfo{"Qualcomm HS-USB Serial 9091 (COM101)", "/dev/ttyUSB1", 101, "1-5"},
          SerialPortInfo{"Qualcomm HS-USB Serial 9091 (COM102)", "/dev/ttyUSB2", 102, "1-5"},
          SerialPortInfo{"Qualcomm HS-USB Serial 9091 (COM103)", "/dev/ttyUSB3", 103, "1-5"},
          SerialPortInfo{"USB Serial Device (COM500)", "/dev/ttyACM0", 500, "1-3"},
          SerialPortInfo{"Qualcomm HS-USB Diagnostics 9091 (COM509)", "/dev/ttyACM9", 509, "1-6"}))
      << "a tty without a device name keeps the kernel's; out-of-range names are no ports";
  EXPECT_THAT(usbPaths(), ::testing::UnorderedElementsAre(usbPath("vid_1234&pid_5678", "1-3"),
                                                          usbPath("vid_05c6&pid_9091", "1-5"),
                                                          usbPath("vid_05c6&pid_9091", "1-6")))
      << "a device without ids has no interface path";
}

TEST_F(UdevDirectoryTest, AFloodOfUeventsIsAllToldAndTheMonitorLivesOn) {
  ChangeCounter changes(*directory_);
  const std::string module = plugModule("1-3", "9091", {{"ttyUSB0", "00"}, {"ttyUSB2", "02"}});
  const std::string tty = module + "/1-3:1.0/ttyUSB0/ttyUSB0";
  changes.waitFor(3, 0);
  // The emulation cannot lose events as a full netlink socket does (its sender gives up on a
  // full socket instead), so the flood comes in bursts the socket holds.
  constexpr int kBursts = 20;
  constexpr int kRounds = 25;
  for (int burst = 1; burst <= kBursts; ++burst) {
    for (int i = 0; i < kRounds; ++i) {
      testbed().uevent(tty, "add");
      testbed().uevent(module + "/1-3:1.0", "add");
      testbed().uevent(tty, i % 2 ? "change" : "no-such-action");
      testbed().uevent(module, "remove");
    }
    changes.waitFor(3 + burst * kRounds, burst * kRounds);
  }
  EXPECT_EQ(changes.arrivals(), 3 + kBursts * kRounds);
  EXPECT_EQ(changes.removals(), kBursts * kRounds);
  EXPECT_EQ(ports().size(), 2u);

  testbed().remove(module);
  added_.clear();
  changes.waitFor(0, kBursts * kRounds + 3);
  EXPECT_EQ(changes.removals(), kBursts * kRounds + 3);
  EXPECT_THAT(ports(), IsEmpty());
}

// The descriptor of the directory's uevent socket: the one socket of this process that the
// emulation bound in its folder ("event<n>"); -1 when there is none.
int monitorSocket(sockaddr_un& address) {
  const std::string prefix = Testbed::instance().rootDir() + "/event";
  int found = -1;
  DIR* fds = ::opendir("/proc/self/fd");
  while (dirent* entry = fds ? ::readdir(fds) : nullptr) {
    const int fd = std::atoi(entry->d_name);
    sockaddr_un bound{};
    socklen_t length = sizeof bound;
    if (entry->d_name[0] == '.' || fd == ::dirfd(fds)) continue;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0) continue;
    if (bound.sun_family != AF_UNIX ||
        std::strncmp(bound.sun_path, prefix.c_str(), prefix.size())) {
      continue;
    }
    found = fd;
    address = bound;
  }
  if (fds) ::closedir(fds);
  return found;
}

TEST_F(UdevDirectoryTest, LostUeventsAreToldAsAChangeEachWayAndTheMonitorLivesOn) {
  sockaddr_un monitorAddress{};
  const int monitor = monitorSocket(monitorAddress);
  ASSERT_GE(monitor, 0);
  ChangeCounter changes(*directory_);
  // A netlink socket that overflowed reports an error on its next read, and the events it lost
  // are gone. A datagram socket paired with the monitor's reports one the same way when its
  // partner drops the pairing with data unread.
  const int partner = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un partnerAddress{};
  partnerAddress.sun_family = AF_UNIX;
  const std::string partnerPath = testbed().rootDir() + "/lost-uevents";
  std::strncpy(partnerAddress.sun_path, partnerPath.c_str(), sizeof partnerAddress.sun_path - 1);
  auto* partnerName = reinterpret_cast<sockaddr*>(&partnerAddress);
  ASSERT_EQ(::bind(partner, partnerName, sizeof partnerAddress), 0);
  ASSERT_EQ(::connect(monitor, partnerName, sizeof partnerAddress), 0);
  ASSERT_EQ(::connect(partner, reinterpret_cast<sockaddr*>(&monitorAddress), sizeof monitorAddress),
            0);
  ASSERT_EQ(::send(monitor, "x", 1, 0), 1);
  sockaddr unpaired{};
  unpaired.sa_family = AF_UNSPEC;
  ASSERT_EQ(::connect(partner, &unpaired, sizeof unpaired), 0);

  changes.waitFor(1, 1);
  EXPECT_EQ(changes.arrivals(), 1) << "an arrival may have been lost: the station looks again";
  EXPECT_EQ(changes.removals(), 1) << "a removal may have been lost: presence is looked at again";

  // Unpaired again, the monitor's socket takes the emulation's uevents as before.
  ASSERT_EQ(::connect(monitor, &unpaired, sizeof unpaired), 0);
  ::close(partner);
  ::unlink(partnerPath.c_str());
  plugModule("1-3", "9091", {{"ttyUSB0", "00"}});
  changes.waitFor(3, 1);
  EXPECT_EQ(changes.arrivals(), 3);
}

}  // namespace
}  // namespace umocktest
