#include "host/bench_device_directory.h"

#include <cerrno>
#include <chrono>

#include "host/udev_device_directory.h"

namespace host {
namespace {

// The error a listing reports when the bench cannot be asked (as the system would report a
// device list it cannot read).
constexpr int kBenchUnreachable = ECONNREFUSED;

bool askBench(const std::string& socketPath, nlohmann::json& reply) {
  std::string error;
  return benchRequest(socketPath, {{"cmd", "ports"}}, reply, error) && benchReplyOk(reply);
}

}  // namespace

BenchDeviceDirectory::BenchDeviceDirectory(std::string socketPath)
    : socketPath_(std::move(socketPath)) {
  follower_ = std::thread([this] { follow(); });
}

BenchDeviceDirectory::~BenchDeviceDirectory() {
  {
    std::lock_guard lock(stopMutex_);
    stopping_ = true;
  }
  stopChanged_.notify_all();
  subscription_.close();
  follower_.join();
}

int BenchDeviceDirectory::listSerialPorts(std::vector<SerialPortInfo>& ports) {
  ports.clear();
  nlohmann::json reply;
  if (!askBench(socketPath_, reply)) return kBenchUnreachable;
  for (const auto& port : reply.value("ports", nlohmann::json::array())) {
    if (!port.is_object()) continue;
    SerialPortInfo info;
    info.friendlyName = port.value("name", "");
    info.ttyPath = port.value("tty", "");
    info.comNumber = port.value("com", 0);
    if (info.comNumber <= 0) info.comNumber = comNumberInName(info.friendlyName);
    info.portPath = port.value("port", "");
    ports.push_back(std::move(info));
  }
  return 0;
}

int BenchDeviceDirectory::listUsbInterfaces(std::vector<std::string>& paths) {
  paths.clear();
  nlohmann::json reply;
  if (!askBench(socketPath_, reply)) return kBenchUnreachable;
  for (const auto& path : reply.value("usb", nlohmann::json::array())) {
    if (path.is_string()) paths.push_back(path.get<std::string>());
  }
  return 0;
}

int BenchDeviceDirectory::listUsbDevices(std::vector<UsbDeviceInfo>& devices) {
  devices.clear();
  nlohmann::json reply;
  if (!askBench(socketPath_, reply)) return kBenchUnreachable;
  for (const auto& device : reply.value("usbDevices", nlohmann::json::array())) {
    if (!device.is_object() || !device.value("path", nlohmann::json()).is_string()) continue;
    devices.push_back({device.value("path", ""), device.value("port", "")});
  }
  return 0;
}

void BenchDeviceDirectory::follow() {
  while (!stopping_) {
    std::string error;
    if (!subscription_.open(socketPath_, error)) {
      // Not there (yet): look again in a second, unless the directory goes away first.
      std::unique_lock lock(stopMutex_);
      stopChanged_.wait_for(lock, std::chrono::seconds(1), [this] { return stopping_.load(); });
      continue;
    }
    notifyListeners(DeviceChange::Arrival);
    for (;;) {
      nlohmann::json event;
      const int got = subscription_.next(event, 1000);
      if (got < 0) {
        // The bench went away, and every port with it.
        if (!stopping_) notifyListeners(DeviceChange::Removal);
        break;
      }
      if (stopping_) return;
      if (got == 0 || !event.is_object()) continue;
      const std::string kind = event.value("event", "");
      if (kind == "arrival") notifyListeners(DeviceChange::Arrival);
      if (kind == "removal") notifyListeners(DeviceChange::Removal);
    }
  }
}

std::unique_ptr<DeviceDirectory> makeDeviceDirectoryFromEnvironment() {
  const std::string bench = benchSocketPath();
  if (!bench.empty()) return std::make_unique<BenchDeviceDirectory>(bench);
  return std::make_unique<UdevDeviceDirectory>();
}

}  // namespace host
