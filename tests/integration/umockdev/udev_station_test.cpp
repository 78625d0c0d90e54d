// The station's port discovery and dispatcher on the libudev device directory of an emulated
// machine: a module's run through its modes as uevents report them (normal ports, the switch to
// emergency download, the fastboot device, the return), an unplug, and devices and uevents
// that must start nothing.

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "change_counter.h"
#include "host/udev_device_directory.h"
#include "platform/platform_settings.h"
#include "station/port_discovery.h"
#include "station/station_state.h"
#include "testbed.h"
#include "unit/slots/slots_fixture.h"

namespace umocktest {
namespace {

using slotstest::FakePlatform;
using ::testing::Each;
using ::testing::ElementsAre;

class UdevStationTest : public slotstest::SlotsTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Testbed::instance().emulated())
        << "run this program with the device emulation preloaded (run_emulated.sh)";
    SlotsTest::SetUp();
    // The station listens to the machine's directory instead of the scripted one.
    unregisterDeviceNotifications();
    udev_ = std::make_unique<host::UdevDeviceDirectory>();
    host::installDeviceDirectory(udev_.get());
    registerDeviceNotifications();
    // Subscribed after the station: a change is counted once the station has handled it.
    changes_.emplace(*udev_);
  }

  void TearDown() override {
    changes_.reset();
    SlotsTest::TearDown();
    udev_.reset();
    for (const auto& [device, events] : present_) Testbed::instance().remove(device);
  }

  // Plugs a USB device with serial interfaces at `portPath` and waits until the station has
  // handled every arrival it caused. Returns the device's sysfs path.
  std::string plug(const std::string& portPath, const std::string& vendorId,
                   const std::string& productId, const std::vector<SerialPortLayout>& ports = {}) {
    UsbDeviceRecord usb;
    usb.portPath = portPath;
    usb.vendorId = vendorId;
    usb.productId = productId;
    int told = 1;  // the device, and each tty that is a serial port
    for (const SerialPortLayout& port : ports) told += host::comNumberOfTty(port.tty) != 0;
    // Counted before the uevents go out: a worker they start may plug and unplug meanwhile.
    arrivals_ += told;
    const std::string device = Testbed::instance().addUsbDevice(usb);
    Testbed::instance().addSerialPorts(device, ports);
    {
      std::lock_guard lock(presentMutex_);
      present_[device] = told;
    }
    changes_->waitFor(arrivals_, removals_);
    return device;
  }
  std::string plugModule(const std::string& productId, const std::vector<SerialPortLayout>& ports) {
    return plug("1-3", "05c6", productId, ports);
  }

  void unplug(const std::string& device) {
    {
      std::lock_guard lock(presentMutex_);
      removals_ += present_[device];
      present_.erase(device);
    }
    Testbed::instance().remove(device);
    changes_->waitFor(arrivals_, removals_);
  }

  // Sends uevents of a present device and waits until the station has handled them.
  void announce(const std::string& device, int arrivals) {
    arrivals_ += arrivals;
    for (int i = 0; i < arrivals; ++i) Testbed::instance().uevent(device, "add");
    changes_->waitFor(arrivals_, removals_);
  }

  // Waits until the station has handled every uevent sent so far that reached it. The
  // emulation drops a uevent when the monitor's socket is full (a kernel reports the loss
  // instead, and the directory has the station look again), so a count of arrivals may never
  // be reached under load. The monitor reads its socket in order: a removal uevent of a device
  // that is no module, sent again until one is seen, comes after all of them.
  void fence(const std::string& device) {
    const int removals = changes_->removals();
    for (int attempt = 0; attempt < 120; ++attempt) {
      Testbed::instance().uevent(device, "remove");
      if (changes_->waitFor(0, removals + 1, std::chrono::seconds(1))) return;
    }
    FAIL() << "the directory's monitor reports no more uevents";
  }

  // A module in its normal mode: diagnostic, NMEA and AT interfaces.
  std::string plugNormalModule() {
    return plugModule("9091", {{"ttyUSB0", "00"}, {"ttyUSB1", "01"}, {"ttyUSB2", "02"}});
  }

  std::unique_ptr<host::UdevDeviceDirectory> udev_;
  std::optional<ChangeCounter> changes_;
  std::mutex presentMutex_;
  std::map<std::string, int> present_;  // device -> arrivals and removals it is told with
  std::atomic<int> arrivals_ = 0;
  std::atomic<int> removals_ = 0;
};

TEST_F(UdevStationTest, AModuleRunsThroughItsModesAsTheKernelReportsThem) {
  struct Seen {
    int port9008 = 0;
    int present9008 = 0;
  } during;
  std::string module;
  FakePlatform::hook = [&](const std::string& operation, const DownloadRequest&) {
    if (operation != "cp") return;
    // The switch: the module leaves and returns on the same USB port in emergency download.
    unplug(module);
    module = plugModule("9008", {{"ttyUSB0", "00"}});
    during = {slot().ql9008port, slot().present9008};
    // The download is written; the module reboots towards its fastboot mode.
    unplug(module);
    bUpdatedCp = 1;
  };
  // Plugged before the station listens; Start finds it with the next arrival.
  listening = 0;
  module = plugNormalModule();
  listening = 1;
  announce(module, 1);
  settle();
  ASSERT_THAT(FakePlatform::operations(), ElementsAre("cp"));
  EXPECT_EQ(FakePlatform::calls()[0].request.diaport, 100);
  EXPECT_EQ(slot().atport, 102);
  EXPECT_EQ(during.port9008, 100) << "the 9008 port was seen during the switch";
  EXPECT_EQ(during.present9008, 1);
  EXPECT_EQ(slot().present9008, 0) << "and gone when the module left it";
  EXPECT_EQ(state(), DUT_WAIT_AP);

  FakePlatform::hook = nullptr;
  const std::string fastboot = plug("1-3", "18d1", "d00d");
  settle();
  ASSERT_THAT(FakePlatform::operations(), ElementsAre("cp", "ap"));
  EXPECT_STREQ(FakePlatform::calls()[1].request.devicePath,
               "\\\\?\\usb#vid_18d1&pid_d00d#1-3#{f72fe0d4-cbcb-407d-8814-9ed673d0dd6b}");
  EXPECT_EQ(state(), DUT_WAIT_REBOOT);
  unplug(fastboot);  // the module reboots with its new firmware
  EXPECT_FALSE(surface_.hasMessage("Device unplug.")) << "a module between modes is no unplug";

  module = plugNormalModule();
  settle();
  EXPECT_EQ(state(), DUT_IDLE);
  EXPECT_TRUE(surface_.hasMessage("Update Success!"));
  EXPECT_EQ(surface_.statuses().back(), 0);
  EXPECT_EQ(FakePlatform::operations().size(), 2u) << "the return starts no new run";

  surface_.clear();
  unplug(module);
  ASSERT_FALSE(surface_.messages().empty());
  EXPECT_THAT(surface_.messages(), Each(std::string("Device unplug.")));
  EXPECT_THAT(surface_.statuses(), Each(1));
}

TEST_F(UdevStationTest, UnknownDevicesAndOddInterfacesStartNothing) {
  plug("1-3", "1234", "5678", {{"ttyACM0", "00"}});
  plug("1-4", "", "", {{"ttyUSB0", "00"}});
  plug("1-5", "05c6", "9091", {{"ttyUSB1", ""}, {"ttyUSB2", "zz"}, {"ttyUSB3", "1f"}});
  plug("1-6", "18d1", "4ee0");
  plug("1-7", "05c6", "9091", {{"ttyUSB400", "00"}});
  settle();
  EXPECT_TRUE(FakePlatform::calls().empty());
  EXPECT_EQ(slot().diaport, 0);
  EXPECT_EQ(slot().atport, 0);
  EXPECT_EQ(state(), DUT_IDLE);
}

TEST_F(UdevStationTest, AFloodOfArrivalsForAPresentModuleStartsOneRun) {
  FakePlatform::cpResults = {-1};
  const std::string module = plugModule("9091", {{"ttyUSB0", "00"}, {"ttyUSB2", "02"}});
  settle();
  ASSERT_THAT(FakePlatform::operations(), ElementsAre("cp"));
  const std::string fenceDevice = plug("1-9", "1234", "5678");
  const std::string diagnostic = module + "/1-3:1.0/ttyUSB0/ttyUSB0";
  const int before = changes_->arrivals();
  for (int burst = 0; burst < 20; ++burst) {
    for (int i = 0; i < 10; ++i) Testbed::instance().uevent(diagnostic, "add");
    Testbed::instance().uevent(diagnostic, "change");
    ASSERT_NO_FATAL_FAILURE(fence(fenceDevice));
  }
  settle();
  EXPECT_GT(changes_->arrivals(), before) << "the flood reached the station";
  EXPECT_THAT(FakePlatform::operations(), ElementsAre("cp"));
  EXPECT_EQ(state(), DUT_IDLE);
  EXPECT_EQ(slot().present, 1);
}

}  // namespace
}  // namespace umocktest
