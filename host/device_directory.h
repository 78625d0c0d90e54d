#pragma once
// The device directory: which serial ports and USB devices the system has now, and a
// notification when one arrives or leaves. Serial ports carry a friendly name that ends in
// "(COMn)"; USB devices are named by interface paths of the form
//   \\?\usb#vid_18d1&pid_d00d#<instance>#{f72fe0d4-cbcb-407d-8814-9ed673d0dd6b}
// The station reaches the directory through deviceDirectory(); tests install a scripted one.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace host {

struct SerialPortInfo {
  std::string friendlyName;  // "Qualcomm HS-USB Diagnostics 9091 (COM12)"
  std::string ttyPath;       // "/dev/ttyUSB0"
  int comNumber = 0;         // the n of "(COMn)"; 0 when the name has none
  // The physical USB port of the device the port belongs to, "<bus>-<port path>" ("1-1.4");
  // empty for a port that is not on USB. It stays the same through every re-enumeration of a
  // module, whatever COM number and mode it comes back with.
  std::string portPath = {};
  bool operator==(const SerialPortInfo&) const = default;
};

// A USB device: its interface path and the physical port it is plugged into (as above).
struct UsbDeviceInfo {
  std::string path;
  std::string portPath;
  bool operator==(const UsbDeviceInfo&) const = default;
};

enum class DeviceChange { Arrival, Removal };

// The interface path of a USB device: vendor and product in lower-case hexadecimal, and the
// backend's instance text (for a real device "<bus>-<port path>", e.g. "1-1.4").
std::string usbInterfacePath(uint16_t vendorId, uint16_t productId, const std::string& instance);

// The n of the last "(COMn)" in a friendly name, 0 when there is none or it is out of range.
int comNumberInName(const std::string& friendlyName);

// The instance text of an interface path (between its second and third "#"); empty when the
// path does not have that form.
std::string instanceOfInterfacePath(const std::string& path);

class DeviceDirectory {
 public:
  // Called with each arrival or removal, on the backend's own thread (the udev monitor thread,
  // or whichever thread changed a scripted directory); the station carries it to its UI thread.
  using Listener = std::function<void(DeviceChange)>;

  DeviceDirectory() = default;
  virtual ~DeviceDirectory() = default;
  DeviceDirectory(const DeviceDirectory&) = delete;
  DeviceDirectory& operator=(const DeviceDirectory&) = delete;

  // Fills `ports` with the present serial ports in enumeration order. Returns 0, or a positive
  // system error code when the list cannot be read (then `ports` is empty).
  virtual int listSerialPorts(std::vector<SerialPortInfo>& ports) = 0;
  // Fills `paths` with the interface paths of the present USB devices. Same result as above.
  virtual int listUsbInterfaces(std::vector<std::string>& paths) = 0;
  // The same devices with the port each is plugged into. By default the port is the path's
  // instance text, which is "<bus>-<port path>" for a real device.
  virtual int listUsbDevices(std::vector<UsbDeviceInfo>& devices);
  // The tty of a COM number; empty when no present port has it.
  virtual std::string ttyPathOfCom(int com);

  // Registers a listener; returns its id (> 0). After unsubscribe returns, the listener is no
  // longer called and no call of it is still running (unless unsubscribe is called from inside
  // the listener itself, which is allowed). A listener should only hand the change on (post it
  // to a thread) and never wait for a thread that might be unsubscribing.
  int subscribe(Listener listener);
  void unsubscribe(int id);

 protected:
  // Calls every listener with `change`; deliveries are serialised.
  void notifyListeners(DeviceChange change);

 private:
  std::mutex listenersMutex_;
  std::map<int, std::shared_ptr<Listener>> listeners_;
  int nextListenerId_ = 1;
  std::mutex deliveryMutex_;  // held for the duration of one delivery
  std::thread::id deliveringThread_;
};

// A directory whose contents tests set: adding or removing a port or a USB device notifies the
// listeners (unless `notify` is false), and listing can be made to fail.
class ScriptedDeviceDirectory : public DeviceDirectory {
 public:
  int listSerialPorts(std::vector<SerialPortInfo>& ports) override;
  int listUsbInterfaces(std::vector<std::string>& paths) override;
  int listUsbDevices(std::vector<UsbDeviceInfo>& devices) override;

  // The COM number comes from the name's "(COMn)" unless given (> 0).
  void addSerialPort(const std::string& friendlyName, const std::string& ttyPath, int comNumber = 0,
                     bool notify = true, const std::string& portPath = "");
  // Removes every port with this tty path; returns whether one was there.
  bool removeSerialPort(const std::string& ttyPath, bool notify = true);
  // The port path defaults to the path's instance text.
  void addUsbInterface(const std::string& path, bool notify = true,
                       const std::string& portPath = "");
  bool removeUsbInterface(const std::string& path, bool notify = true);
  // Removes everything without notifying.
  void clear();
  // While non-zero, both listings fail with this error code.
  void setListError(int systemError);
  // Sends a notification without changing anything.
  void announce(DeviceChange change) { notifyListeners(change); }

 private:
  std::mutex mutex_;
  std::vector<SerialPortInfo> ports_;
  std::vector<UsbDeviceInfo> usbDevices_;
  int listError_ = 0;
};

// The directory every layer uses. Until one is installed, an empty directory stands in (no
// ports, no devices, no notifications), so libraries and tools run without hardware.
DeviceDirectory& deviceDirectory();
// Installs `directory` (not owned; null restores the empty one). Returns the previous one
// (null when it was the empty one).
DeviceDirectory* installDeviceDirectory(DeviceDirectory* directory);

}  // namespace host
