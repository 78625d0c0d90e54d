#include "host/udev_device_directory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace {

using host::TtyFacts;

TtyFacts usbTty(const std::string& sysname, uint16_t vendor, uint16_t product, int interface) {
  TtyFacts facts;
  facts.sysname = sysname;
  facts.devnode = "/dev/" + sysname;
  facts.onUsb = true;
  facts.vendorId = vendor;
  facts.productId = product;
  facts.interfaceNumber = interface;
  return facts;
}

std::string nameOf(const TtyFacts& facts) {
  auto port = host::describeTty(facts);
  return port ? port->friendlyName : "<not a port>";
}

bool contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// The words port discovery classifies friendly names by.
bool isModulePort(const std::string& name) {
  return contains(name, "Diag") || contains(name, "DIAG") || contains(name, "QDLoader") ||
         contains(name, "AT Port");
}

TEST(UdevComNumbers, FollowTheTtyFamilyAndIndex) {
  EXPECT_EQ(host::comNumberOfTty("ttyS0"), 1);
  EXPECT_EQ(host::comNumberOfTty("ttyS98"), 99);
  EXPECT_EQ(host::comNumberOfTty("ttyUSB0"), 100);
  EXPECT_EQ(host::comNumberOfTty("ttyUSB399"), 499);
  EXPECT_EQ(host::comNumberOfTty("ttyACM3"), 503);
  EXPECT_EQ(host::comNumberOfTty("ttyACM399"), 899);
  for (const char* other :
       {"ttyS99", "ttyUSB400", "ttyACM400", "ttyUSB", "ttyUSB01", "ttyUSBx", "ttyUSB-1",
        "ttyUSB1234", "tty0", "tty", "ptmx", "console", "ttyAMA0", "pts", ""}) {
    EXPECT_EQ(host::comNumberOfTty(other), 0) << other;
  }
}

TEST(UdevFriendlyNames, ModuleRolesGetTheWordsPortDiscoveryClassifiesBy) {
  EXPECT_EQ(nameOf(usbTty("ttyUSB0", 0x05C6, 0x9008, 0)), "Qualcomm HS-USB QDLoader 9008 (COM100)");
  EXPECT_EQ(nameOf(usbTty("ttyUSB1", 0x05C6, 0x9009, 0)), "Qualcomm HS-USB QDLoader 9009 (COM101)");
  EXPECT_EQ(nameOf(usbTty("ttyUSB2", 0x05C6, 0x900E, 0)),
            "Qualcomm HS-USB Diagnostics 900E (COM102)");
  EXPECT_EQ(nameOf(usbTty("ttyUSB3", 0x05C6, 0x9091, 0)),
            "Qualcomm HS-USB Diagnostics 9091 (COM103)");
  EXPECT_EQ(nameOf(usbTty("ttyUSB5", 0x05C6, 0x9091, 2)), "Qualcomm HS-USB AT Port 9091 (COM105)");
  EXPECT_EQ(nameOf(usbTty("ttyUSB7", 0x05C6, 0x9011, 2)), "Qualcomm HS-USB AT Port 9011 (COM107)");
  EXPECT_EQ(nameOf(usbTty("ttyUSB8", 0x05C6, 0x90DB, 0)),
            "Qualcomm HS-USB Diagnostics 90DB (COM108)")
      << "an unlisted product of the vendor has its diagnostic interface first";
}

TEST(UdevFriendlyNames, OnlyDiagnosticDownloadAndAtInterfacesAreModulePorts) {
  for (uint16_t product : {0x9091, 0x9025, 0x9011, 0x90DB}) {
    for (int interface = 0; interface < 6; ++interface) {
      const std::string name = nameOf(usbTty("ttyUSB4", 0x05C6, product, interface));
      const bool diagnostic = contains(name, "Diagnostics");
      const bool at = contains(name, "AT Port");
      EXPECT_EQ(isModulePort(name), diagnostic || at) << name;
      EXPECT_FALSE(diagnostic && at) << name;
      EXPECT_EQ(diagnostic, interface == 0) << name;
      EXPECT_FALSE(contains(name, "QDLoader")) << name;
    }
  }
  EXPECT_EQ(nameOf(usbTty("ttyACM0", 0x1234, 0x5678, 0)), "USB Serial Device (COM500)");
  EXPECT_EQ(nameOf(usbTty("ttyUSB9", 0x18D1, 0xD00D, 1)), "USB Serial Device (COM109)");
}

TEST(UdevFriendlyNames, AUsbPortCarriesItsDevicesPortPath) {
  TtyFacts facts = usbTty("ttyUSB3", 0x05C6, 0x9091, 0);
  facts.portPath = "1-1.4";
  EXPECT_EQ(host::describeTty(facts)->portPath, "1-1.4");
  // A module in another mode is another device on the same port: the path stays.
  facts = usbTty("ttyUSB0", 0x05C6, 0x9008, 0);
  facts.portPath = "1-1.4";
  EXPECT_EQ(host::describeTty(facts)->portPath, "1-1.4");
}

TEST(UdevFriendlyNames, OnBoardUartsNeedAUartAndOtherTtysAreNoPorts) {
  TtyFacts uart;
  uart.sysname = "ttyS0";
  uart.devnode = "/dev/ttyS0";
  uart.uartType = "4";
  auto port = host::describeTty(uart);
  ASSERT_TRUE(port);
  EXPECT_EQ(*port, (host::SerialPortInfo{"Communications Port (COM1)", "/dev/ttyS0", 1}));
  EXPECT_FALSE(isModulePort(port->friendlyName));

  uart.uartType = "0";
  EXPECT_FALSE(host::describeTty(uart)) << "the kernel's placeholder for an absent UART";
  uart.uartType = "";
  EXPECT_FALSE(host::describeTty(uart));
  EXPECT_FALSE(host::describeTty(usbTty("tty5", 0x05C6, 0x9008, 0)));
}

TEST(UdevDeviceDirectory, ListsThisMachinesPortsAndDevicesWithoutError) {
  host::UdevDeviceDirectory directory;
  const int id = directory.subscribe([](host::DeviceChange) {});

  std::vector<host::SerialPortInfo> ports;
  ASSERT_EQ(directory.listSerialPorts(ports), 0);
  for (const host::SerialPortInfo& port : ports) {
    EXPECT_EQ(host::comNumberInName(port.friendlyName), port.comNumber) << port.friendlyName;
    EXPECT_EQ(::access(port.ttyPath.c_str(), F_OK), 0) << port.ttyPath;
    EXPECT_EQ(directory.ttyPathOfCom(port.comNumber), port.ttyPath);
  }
  std::vector<std::string> paths;
  ASSERT_EQ(directory.listUsbInterfaces(paths), 0);
  for (const std::string& path : paths) {
    EXPECT_EQ(path.rfind("\\\\?\\usb#vid_", 0), 0u) << path;
    EXPECT_TRUE(path.ends_with("#{f72fe0d4-cbcb-407d-8814-9ed673d0dd6b}")) << path;
  }
  directory.unsubscribe(id);
}

}  // namespace
