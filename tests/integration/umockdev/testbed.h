#pragma once
// One emulated machine for a whole test program: a sandbox /sys and /dev that libudev and
// libusb read as the real ones (the program runs with the emulation library preloaded), with a
// USB root hub on bus 1. Tests add modules to it and take them away; every arrival and removal
// reaches listeners as a real uevent.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;

namespace umocktest {

// What a USB device shows in sysfs. An empty `vendorId`/`productId` text leaves the attribute
// out (a device the kernel could not read).
struct UsbDeviceRecord {
  std::string portPath;  // "1-3", "1-2.4": the device's sysfs name
  std::string vendorId = "05c6";
  std::string productId = "9091";
  std::string deviceClass = "00";
  std::vector<uint8_t> descriptors;  // the binary "descriptors" attribute; none when empty
};

// A serial interface of a USB device: the tty the kernel names for it.
struct SerialPortLayout {
  std::string tty;  // "ttyUSB0", "ttyACM1"
  // The interface's "bInterfaceNumber" attribute as the kernel writes it ("00", "02"); empty
  // leaves it out.
  std::string interfaceNumber = "00";
  bool withDevName = true;  // the tty's DEVNAME property
};

class Testbed {
 public:
  // The program's testbed, made on first use (before any library reads /sys or /dev).
  static Testbed& instance();
  ~Testbed();
  Testbed(const Testbed&) = delete;
  Testbed& operator=(const Testbed&) = delete;

  // True when the emulation library is preloaded and sees this testbed.
  bool emulated() const { return emulated_; }
  UMockdevTestbed* raw() const { return testbed_; }
  // The real folder that stands in for / ("/tmp/umockdev.XXXXXX").
  std::string rootDir() const;

  // Every device added is announced with an "add" uevent once it is in place.
  //
  // Adds a USB device below the root hub (or below the hub that its port path names) with its
  // usbfs node. Returns its sysfs path.
  std::string addUsbDevice(const UsbDeviceRecord& usb);
  // Adds a hub (class 09) at `portPath`: the hubs a port path runs through.
  std::string addHub(const std::string& portPath);
  // Adds serial interfaces to a USB device, each with its tty; returns the ttys' sysfs paths.
  std::vector<std::string> addSerialPorts(const std::string& usbDevice,
                                          const std::vector<SerialPortLayout>& ports);
  // An on-board serial port: ttyS<k> with the UART `type` attribute ("4"; empty: none).
  std::string addOnBoardTty(const std::string& tty, const std::string& uartType);

  // Takes a device and everything below it away, then announces the removals children first,
  // as the kernel does: listeners that look at the system on a removal no longer see it.
  void remove(const std::string& syspath);
  // Sends one uevent of a present device.
  void uevent(const std::string& syspath, const std::string& action);

  // The usbfs node of a USB device ("/dev/bus/usb/001/004"); empty when it has none.
  std::string usbNode(const std::string& syspath) const;
  // Lets `handler` answer the ioctls on a USB device's node.
  void attachIoctl(const std::string& syspath, UMockdevIoctlBase* handler);

 private:
  Testbed();
  std::string addDevice(const std::string& subsystem, const std::string& name,
                        const std::string& parent, const std::vector<std::string>& attributes,
                        const std::vector<std::string>& properties);

  UMockdevTestbed* testbed_ = nullptr;
  bool emulated_ = false;
  std::string rootHub_;
  int nextDeviceNumber_ = 2;
  int nextTtyMinor_ = 64;
};

// The base of every test here. It fails, never skips, when the program runs without the
// emulation: the test would otherwise look at this machine's own devices.
class EmulatedTest : public ::testing::Test {
 protected:
  void SetUp() override;
  Testbed& testbed() { return Testbed::instance(); }
};

// A device descriptor and one configuration with the given interfaces, as the kernel's
// "descriptors" attribute holds them.
struct EndpointLayout {
  uint8_t address;            // 0x81 = IN 1
  uint8_t attributes = 0x02;  // bulk
  uint16_t maxPacket = 512;
};
struct InterfaceLayout {
  uint8_t number = 0;
  uint8_t alternate = 0;
  uint8_t klass = 0xFF;
  uint8_t subclass = 0x42;
  uint8_t protocol = 0x03;
  std::vector<EndpointLayout> endpoints = {{0x81}, {0x01}};
};
std::vector<uint8_t> usbDescriptors(uint16_t vendorId, uint16_t productId,
                                    const std::vector<InterfaceLayout>& interfaces,
                                    uint8_t serialIndex = 3);

}  // namespace umocktest
