#pragma once
// The device directory of a Linux machine, read with libudev: serial ports are the system's
// ttys that have a device behind them, USB devices come from the usb subsystem, and a monitor
// thread reports arrivals and removals. It works without a running udev daemon (the lists come
// from sysfs; the monitor then listens to the kernel's own events). When events were lost (a
// flood overflowed the monitor's socket) it reports a removal and an arrival, so that listeners
// look at the system again.
//
// A port on USB carries the physical port of its USB device: the device's kernel name,
// "<bus>-<port path>" ("1-1.4"), the same for every interface and mode of a module on that port.
// USB device paths use the same text as their instance.
//
// Friendly names. A tty on a USB device gets the name of its role, looked up by vendor id,
// product id and interface number: "Qualcomm HS-USB Diagnostics 9091 (COM100)",
// "Qualcomm HS-USB AT Port 9091 (COM102)", "Qualcomm HS-USB QDLoader 9008 (COM100)", ...
// Other USB ttys are "USB Serial Device (COMn)", on-board UARTs "Communications Port (COMn)".
//
// COM numbers follow the tty's kernel name, so a port keeps its number for as long as the
// kernel keeps its name:
//   ttyS<k>   -> COM k+1     (k < 99;  only ttys with a UART behind them)
//   ttyUSB<k> -> COM 100+k   (k < 400)
//   ttyACM<k> -> COM 500+k   (k < 400)
// Other ttys (consoles, ptys, ...) are not serial ports of the directory.

#include <cstdint>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/device_directory.h"

struct udev_device;
struct udev_monitor;

namespace host {

// What the directory knows of one tty, gathered from the system.
struct TtyFacts {
  std::string sysname;  // "ttyUSB0"
  std::string devnode;  // "/dev/ttyUSB0"
  bool onUsb = false;
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  int interfaceNumber = -1;  // -1 when unknown
  std::string uartType;      // the tty's "type" attribute; "0" or empty = no UART behind it
  std::string portPath;      // the USB device's name, "<bus>-<port path>"; empty off USB
};

// The COM number of a tty by the rule above; 0 for ttys that are not serial ports.
int comNumberOfTty(const std::string& sysname);

// The role name of a USB serial interface ("Qualcomm HS-USB Diagnostics 9091"); empty when the
// role table does not know the device.
std::string usbPortRoleName(uint16_t vendorId, uint16_t productId, int interfaceNumber);

// The directory entry of a tty, or nothing when the tty is not a serial port.
std::optional<SerialPortInfo> describeTty(const TtyFacts& facts);

class UdevDeviceDirectory : public DeviceDirectory {
 public:
  // Starts the monitor thread when the system allows it; listing works either way.
  UdevDeviceDirectory();
  ~UdevDeviceDirectory() override;

  int listSerialPorts(std::vector<SerialPortInfo>& ports) override;
  int listUsbInterfaces(std::vector<std::string>& paths) override;

  // True while arrivals and removals are being reported.
  bool monitoring() const { return monitorThread_.joinable(); }

 private:
  void startMonitor();
  void monitorLoop(std::promise<bool>& listening);
  void watchEvents(udev_monitor* monitor);
  void handleEvent(udev_device* device);

  int wakePipe_[2] = {-1, -1};
  std::thread monitorThread_;
};

}  // namespace host
