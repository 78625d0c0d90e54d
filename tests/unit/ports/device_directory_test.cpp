#include "host/device_directory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

namespace {

using host::DeviceChange;
using host::ScriptedDeviceDirectory;
using host::SerialPortInfo;

constexpr const char* kFastbootPath =
    "\\\\?\\usb#vid_18d1&pid_d00d#1-1.4#{f72fe0d4-cbcb-407d-8814-9ed673d0dd6b}";

TEST(DeviceDirectoryNames, ComNumberComesFromTheLastComGroup) {
  EXPECT_EQ(host::comNumberInName("Qualcomm HS-USB Diagnostics 9091 (COM12)"), 12);
  EXPECT_EQ(host::comNumberInName("Port (COM3) renamed (COM4)"), 4);
  EXPECT_EQ(host::comNumberInName("Port (COM9999999)"), 9999999);
  for (const char* bad :
       {"AT Port", "AT Port (COM)", "AT Port (COM12", "(COM1x)", "(COM99999999)", "(COM-3)", ""}) {
    EXPECT_EQ(host::comNumberInName(bad), 0) << bad;
  }
}

TEST(DeviceDirectoryNames, UsbInterfacePathNamesVendorProductAndInstance) {
  EXPECT_EQ(host::usbInterfacePath(0x18D1, 0xD00D, "1-1.4"), kFastbootPath);
  EXPECT_EQ(host::usbInterfacePath(0x5C6, 0x9008, "bench-2"),
            "\\\\?\\usb#vid_05c6&pid_9008#bench-2#{f72fe0d4-cbcb-407d-8814-9ed673d0dd6b}");
}

TEST(ScriptedDeviceDirectory, ListsWhatWasAddedInOrderAndMapsComNumbers) {
  ScriptedDeviceDirectory directory;
  directory.addSerialPort("Qualcomm HS-USB Diagnostics 9091 (COM12)", "/dev/pts/7");
  directory.addSerialPort("Qualcomm HS-USB AT Port 9091 (COM9)", "/dev/pts/8");
  directory.addSerialPort("Odd name without a number", "/dev/pts/9", 30);
  directory.addUsbInterface(kFastbootPath);

  std::vector<SerialPortInfo> ports;
  ASSERT_EQ(directory.listSerialPorts(ports), 0);
  ASSERT_EQ(ports.size(), 3u);
  EXPECT_EQ(ports[0],
            (SerialPortInfo{"Qualcomm HS-USB Diagnostics 9091 (COM12)", "/dev/pts/7", 12}));
  EXPECT_EQ(ports[1].comNumber, 9);
  EXPECT_EQ(directory.ttyPathOfCom(9), "/dev/pts/8");
  EXPECT_EQ(directory.ttyPathOfCom(30), "/dev/pts/9");
  EXPECT_EQ(directory.ttyPathOfCom(13), "");
  EXPECT_EQ(directory.ttyPathOfCom(0), "");

  std::vector<std::string> paths;
  ASSERT_EQ(directory.listUsbInterfaces(paths), 0);
  EXPECT_EQ(paths, std::vector<std::string>{kFastbootPath});
  // A device's port is its path's instance unless given.
  directory.addUsbInterface(host::usbInterfacePath(0x18D1, 0xD00D, "bench-3"), false, "1-3");
  std::vector<host::UsbDeviceInfo> devices;
  ASSERT_EQ(directory.listUsbDevices(devices), 0);
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].portPath, "1-1.4");
  EXPECT_EQ(devices[1].portPath, "1-3");
  EXPECT_EQ(host::instanceOfInterfacePath(kFastbootPath), "1-1.4");
  EXPECT_EQ(host::instanceOfInterfacePath("\\\\?\\usb#vid_18d1&pid_d00d#1-2"), "");

  EXPECT_TRUE(directory.removeSerialPort("/dev/pts/7"));
  EXPECT_FALSE(directory.removeSerialPort("/dev/pts/7"));
  EXPECT_EQ(directory.ttyPathOfCom(12), "");
}

TEST(ScriptedDeviceDirectory, AFailingListingIsReportedAndEmpty) {
  ScriptedDeviceDirectory directory;
  directory.addSerialPort("X Diagnostics (COM3)", "/dev/pts/1");
  directory.addUsbInterface(kFastbootPath);
  directory.setListError(13);
  std::vector<SerialPortInfo> ports{{"stale", "stale", 1}};
  std::vector<std::string> paths{"stale"};
  EXPECT_EQ(directory.listSerialPorts(ports), 13);
  EXPECT_TRUE(ports.empty());
  EXPECT_EQ(directory.listUsbInterfaces(paths), 13);
  EXPECT_TRUE(paths.empty());
  EXPECT_EQ(directory.ttyPathOfCom(3), "");
  directory.setListError(0);
  EXPECT_EQ(directory.ttyPathOfCom(3), "/dev/pts/1");
}

TEST(ScriptedDeviceDirectory, NotifiesEverySubscriberOfArrivalsAndRemovals) {
  ScriptedDeviceDirectory directory;
  std::vector<DeviceChange> first, second;
  const int firstId = directory.subscribe([&](DeviceChange c) { first.push_back(c); });
  directory.subscribe([&](DeviceChange c) { second.push_back(c); });

  directory.addSerialPort("A Diagnostics (COM3)", "/dev/pts/1");
  directory.addUsbInterface(kFastbootPath);
  directory.removeUsbInterface(kFastbootPath);
  directory.removeSerialPort("/dev/pts/1");
  directory.removeSerialPort("/dev/pts/1");  // not there: no notification
  directory.addSerialPort("Quiet (COM4)", "/dev/pts/2", 0, /*notify=*/false);
  const std::vector<DeviceChange> expected{DeviceChange::Arrival, DeviceChange::Arrival,
                                           DeviceChange::Removal, DeviceChange::Removal};
  EXPECT_EQ(first, expected);
  EXPECT_EQ(second, expected);

  directory.unsubscribe(firstId);
  directory.announce(DeviceChange::Arrival);
  EXPECT_EQ(first.size(), 4u);
  EXPECT_EQ(second.size(), 5u);
}

TEST(ScriptedDeviceDirectory, ListenersMayUnsubscribeAndChangeTheDirectoryFromInside) {
  ScriptedDeviceDirectory directory;
  int calls = 0;
  int id = 0;
  id = directory.subscribe([&](DeviceChange) {
    ++calls;
    directory.unsubscribe(id);
  });
  std::vector<DeviceChange> seen;
  directory.subscribe([&](DeviceChange c) {
    seen.push_back(c);
    // A listener that reacts by changing the directory gets the nested change at once.
    if (c == DeviceChange::Arrival && seen.size() == 1) directory.removeSerialPort("/dev/pts/1");
  });
  directory.addSerialPort("A (COM3)", "/dev/pts/1");
  directory.announce(DeviceChange::Arrival);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(seen, (std::vector<DeviceChange>{DeviceChange::Arrival, DeviceChange::Removal,
                                             DeviceChange::Arrival}));
}

TEST(ScriptedDeviceDirectory, UnsubscribeWaitsForADeliveryInProgressOnAnotherThread) {
  ScriptedDeviceDirectory directory;
  std::promise<void> entered, release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> finished{false};
  const int id = directory.subscribe([&](DeviceChange) {
    entered.set_value();
    released.wait();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    finished = true;
  });
  std::thread deliverer([&] { directory.announce(DeviceChange::Arrival); });
  entered.get_future().wait();
  auto unsubscribing = std::async(std::launch::async, [&] {
    directory.unsubscribe(id);
    return finished.load();
  });
  release.set_value();
  EXPECT_TRUE(unsubscribing.get()) << "unsubscribe returned while the listener still ran";
  deliverer.join();
}

TEST(InstalledDeviceDirectory, DefaultsToAnEmptyDirectoryAndCanBeReplaced) {
  std::vector<SerialPortInfo> ports{{"stale", "stale", 1}};
  ASSERT_EQ(host::deviceDirectory().listSerialPorts(ports), 0);
  EXPECT_TRUE(ports.empty());

  ScriptedDeviceDirectory directory;
  directory.addSerialPort("B (COM5)", "/dev/pts/5");
  EXPECT_EQ(host::installDeviceDirectory(&directory), nullptr);
  EXPECT_EQ(host::deviceDirectory().ttyPathOfCom(5), "/dev/pts/5");
  EXPECT_EQ(host::installDeviceDirectory(nullptr), &directory);
  EXPECT_EQ(host::deviceDirectory().ttyPathOfCom(5), "");
}

}  // namespace
