#pragma once
// The device directory of the virtual bench: the serial ports and USB fastboot devices of the
// bench's modules, read over its control socket, with arrivals and removals from its event
// feed. The ports are ptys, so the serial functions open them like any tty.
//
// makeDeviceDirectoryFromEnvironment() is where the station chooses: the bench's directory when
// ZENDRAL_BENCH names a bench socket, the system's (libudev) otherwise.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "host/bench_client.h"
#include "host/device_directory.h"

namespace host {

class BenchDeviceDirectory : public DeviceDirectory {
 public:
  // Starts following the bench's events at once; a bench that is not there yet is looked for
  // again every second, and each (re)connection is reported as an arrival.
  explicit BenchDeviceDirectory(std::string socketPath);
  ~BenchDeviceDirectory() override;

  int listSerialPorts(std::vector<SerialPortInfo>& ports) override;
  int listUsbInterfaces(std::vector<std::string>& paths) override;
  // The bench names each module's hub port; its fastboot paths carry the module's id instead.
  int listUsbDevices(std::vector<UsbDeviceInfo>& devices) override;

  const std::string& socketPath() const { return socketPath_; }

 private:
  void follow();

  std::string socketPath_;
  std::atomic<bool> stopping_{false};
  std::mutex stopMutex_;
  std::condition_variable stopChanged_;
  BenchSubscription subscription_;
  std::thread follower_;
};

// The bench's directory when ZENDRAL_BENCH is set, else the system's.
std::unique_ptr<DeviceDirectory> makeDeviceDirectoryFromEnvironment();

}  // namespace host
