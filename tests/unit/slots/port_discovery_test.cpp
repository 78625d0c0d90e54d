// Port discovery over the scripted directory: what each friendly name becomes, names that
// cannot be read, fastboot devices by the ids in their interface paths, removals, and lists
// the system cannot give.

#include "station/port_discovery.h"
#include "slots_fixture.h"
#include "station/port_names.h"
#include "station/station_state.h"

namespace slotstest {
namespace {

using ::testing::ElementsAre;

TEST(PortNames, FriendlyNamesGiveRoleKindAndNumber) {
  struct Case {
    const char* name;
    PortRole role;
    int com;
  };
  const Case cases[] = {
      {"Qualcomm HS-USB Diagnostics 9091 (COM12)", PortRole::Diagnostic, 12},
      {"Qualcomm HS-USB QDLoader 9008 (COM7)", PortRole::Port9008, 7},
      {"Qualcomm HS-USB AT Port 9091 (COM9)", PortRole::AtPort, 9},
      {"Qualcomm HS-USB Diagnostics 900E (COM3)", PortRole::Port9009, 3},
      {"Qualcomm HS-USB QDLoader 9009 (COM1234567)", PortRole::Port9009, 1234567},
      {"Sierra DIAG port (COM5)", PortRole::Diagnostic, 5},
      {"Qualcomm HS-USB NMEA 9091 (COM10)", PortRole::NotModule, 10},
      {"Communications Port (COM1)", PortRole::NotModule, 1},
      {"AT Server Port (COM6)", PortRole::NotModule, 6},  // not a module word
  };
  for (const Case& c : cases) {
    EXPECT_EQ(portRoleOfName(c.name), c.role) << c.name;
    EXPECT_EQ(comNumberOfFriendlyName(c.name), c.com) << c.name;
  }
  EXPECT_EQ(diagnosticKindOfName("Qualcomm HS-USB QDLoader 9010 (COM4)"), 1);
  EXPECT_EQ(diagnosticKindOfName("Qualcomm HS-USB Diagnostics 9091 (COM4)"), 0);
}

TEST(PortNames, UnreadableComNumbersReadAsZero) {
  for (const char* name : {"Diagnostics", "Diagnostics (COM12", "Diagnostics COM)",
                           "Diagnostics (COM0)", "Diagnostics (COM12345678)", "Diagnostics (COMx)",
                           "Diag (x) COM5", "Diagnostics (COM-3)", ""}) {
    EXPECT_EQ(comNumberOfFriendlyName(name), 0) << name;
  }
}

TEST(PortNames, FastbootIdsComeFromTheInterfacePath) {
  uint16_t vendor = 0, product = 0;
  ASSERT_TRUE(usbIdsOfInterfacePath(kFastbootPath, vendor, product));
  EXPECT_EQ(vendor, 0x18D1);
  EXPECT_EQ(product, 0xD00D);
  ASSERT_TRUE(usbIdsOfInterfacePath("\\\\?\\usb#vid_18D1&pid_D00D#bench-1#{x}", vendor, product));
  EXPECT_EQ(product, 0xD00D);
  for (const char* path : {"", "\\\\?\\usb#pid_d00d", "vid_18d1", "vid_18d1&pid_d0",
                           "vid_18g1&pid_d00d", "vid_18d1&pid_d0zd#x"}) {
    EXPECT_FALSE(usbIdsOfInterfacePath(path, vendor, product)) << path;
  }
}

using PortDiscoveryTest = SlotsTest;

TEST_F(PortDiscoveryTest, ScanStoresThePortSetAndDispatchesModulePorts) {
  FakePlatform::cpResults = {-1};
  directory_.addSerialPort("Communications Port (COM1)", "/dev/ttyS0", 0, false);
  directory_.addSerialPort(atName(9), tty(9), 0, false);
  EXPECT_EQ(ScanComPorts(), 0);
  EXPECT_EQ(slot().atport, 9);
  EXPECT_TRUE(FakePlatform::calls().empty()) << "an AT port alone starts nothing";
  arrive("Qualcomm HS-USB QDLoader 9008 (COM7)", tty(7));
  EXPECT_EQ(slot().ql9008port, 7);
  EXPECT_EQ(slot().present9008, 1);
  EXPECT_EQ(slot().present, 1);
  EXPECT_THAT(FakePlatform::operations(), ElementsAre("cp"));
}

TEST_F(PortDiscoveryTest, UnreadableNameEndsTheScanAndTheNextScanMovesOn) {
  directory_.addSerialPort("Qualcomm HS-USB Diagnostics 9091 (COM12345678)", "/dev/a", 0, false);
  directory_.addSerialPort(atName(9), tty(9), 0, false);
  directory_.addSerialPort(diagName(12), tty(12), 0, false);
  EXPECT_EQ(ScanComPorts(), 0);
  EXPECT_EQ(slot().atport, 0) << "ports after the unreadable name are not looked at";
  EXPECT_EQ(slot().diaport, 0);
  directory_.removeSerialPort("/dev/a", false);
  ScanComPorts();
  settle();
  EXPECT_EQ(slot().atport, 9);
  EXPECT_EQ(slot().diaport, 12);
}

TEST_F(PortDiscoveryTest, ListFailuresAreReportedOnStandardErrorAndTouchNoSlot) {
  directory_.addSerialPort(diagName(12), tty(12), 0, false);
  directory_.addUsbInterface(kFastbootPath, false);
  directory_.setListError(13);
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ScanComPorts(), 0);
  ScanFastbootDevices();
  directory_.announce(host::DeviceChange::Removal);
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(errors,
            "Error!   SetupDiGetClassDevs()   return   13\n"
            "SetupDiGetClassDevsEx failed: 13\n"
            "Error!   SetupDiGetClassDevs()   return   13\n");
  EXPECT_EQ(slot().diaport, 0);
  EXPECT_EQ(state(), DUT_IDLE);
  EXPECT_FALSE(surface_.hasMessage("Device unplug."));
}

TEST_F(PortDiscoveryTest, FastbootDeviceOnAnIdleSlotStartsOneApDownload) {
  directory_.addUsbInterface("\\\\?\\usb#vid_05c6&pid_9091#1-1#{x}", false);
  directory_.addUsbInterface("\\\\?\\usb#vid_18d1&pid_4ee0#1-2#{x}", false);
  directory_.addUsbInterface(kFastbootPath, false);
  FakePlatform::hook = [](const std::string&, const DownloadRequest&) {
    ScanFastbootDevices();  // the same device reported again while its download runs
  };
  ScanFastbootDevices();
  settle();
  EXPECT_THAT(FakePlatform::operations(), ElementsAre("ap"));
  EXPECT_STREQ(FakePlatform::calls()[0].request.devicePath, kFastbootPath.c_str());
  EXPECT_EQ(state(), DUT_WAIT_REBOOT);
}

TEST_F(PortDiscoveryTest, FastbootDeviceWithAPathTooLongForTheSlotIsSkipped) {
  const std::string longPath =
      "\\\\?\\usb#vid_18d1&pid_d00d#" + std::string(300, '1') + "#{f72fe0d4}";
  directory_.addUsbInterface(longPath, false);
  ::testing::internal::CaptureStderr();
  ScanFastbootDevices();
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("too long"), std::string::npos);
  EXPECT_TRUE(FakePlatform::calls().empty());
}

TEST_F(PortDiscoveryTest, RemovingTheAtPortAloneNeverShowsUnplug) {
  FakePlatform::cpResults = {-1};
  plug(diagName(12), tty(12));
  plug(atName(13), tty(13));
  surface_.clear();
  unplug(tty(13));
  EXPECT_FALSE(surface_.hasMessage("Device unplug."));
  EXPECT_EQ(slot().present, 1);
  unplug(tty(12));
  EXPECT_THAT(surface_.events(), ElementsAre("progress 0", "message Device unplug.", "status 1"));
}

TEST_F(PortDiscoveryTest, PresenceFollowsEachPortOfTheSet) {
  FakePlatform::cpResults = {-1, -1};
  plug("Qualcomm HS-USB QDLoader 9009 (COM8)", tty(8));
  plug(diagName(12), tty(12));
  unplug(tty(12));
  EXPECT_EQ(slot().present, 1);
  EXPECT_EQ(slot().present9009, 1);
  EXPECT_EQ(slot().present9008, 0);
}

TEST_F(PortDiscoveryTest, ArrivalsAreIgnoredWhileNotListening) {
  listening = 0;
  plug(diagName(12), tty(12));
  EXPECT_EQ(slot().diaport, 0);
  EXPECT_TRUE(FakePlatform::calls().empty());
}

}  // namespace
}  // namespace slotstest
