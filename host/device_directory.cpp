#include "host/device_directory.h"

#include <atomic>
#include <cctype>
#include <cstdio>

namespace host {

std::string usbInterfacePath(uint16_t vendorId, uint16_t productId, const std::string& instance) {
  char ids[32];
  std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x", vendorId, productId);
  return std::string("\\\\?\\usb#") + ids + "#" + instance +
         "#{f72fe0d4-cbcb-407d-8814-9ed673d0dd6b}";
}

int comNumberInName(const std::string& friendlyName) {
  const size_t open = friendlyName.rfind("(COM");
  if (open == std::string::npos) return 0;
  long number = 0;
  size_t i = open + 4;
  for (; i < friendlyName.size() && std::isdigit(static_cast<unsigned char>(friendlyName[i]));
       ++i) {
    number = number * 10 + (friendlyName[i] - '0');
    if (number > 9'999'999) return 0;
  }
  if (i == open + 4 || i >= friendlyName.size() || friendlyName[i] != ')') return 0;
  return static_cast<int>(number);
}

std::string instanceOfInterfacePath(const std::string& path) {
  size_t start = 0;
  for (int hash = 0; hash < 2; ++hash) {
    start = path.find('#', start);
    if (start == std::string::npos) return {};
    ++start;
  }
  const size_t end = path.find('#', start);
  return end == std::string::npos ? std::string() : path.substr(start, end - start);
}

// ---- DeviceDirectory ----

int DeviceDirectory::listUsbDevices(std::vector<UsbDeviceInfo>& devices) {
  devices.clear();
  std::vector<std::string> paths;
  if (int error = listUsbInterfaces(paths)) return error;
  for (std::string& path : paths) {
    std::string port = instanceOfInterfacePath(path);
    devices.push_back({std::move(path), std::move(port)});
  }
  return 0;
}

std::string DeviceDirectory::ttyPathOfCom(int com) {
  if (com < 1) return {};
  std::vector<SerialPortInfo> ports;
  if (listSerialPorts(ports) != 0) return {};
  for (const SerialPortInfo& port : ports) {
    if (port.comNumber == com) return port.ttyPath;
  }
  return {};
}

int DeviceDirectory::subscribe(Listener listener) {
  std::lock_guard lock(listenersMutex_);
  const int id = nextListenerId_++;
  listeners_[id] = std::make_shared<Listener>(std::move(listener));
  return id;
}

void DeviceDirectory::unsubscribe(int id) {
  bool insideDelivery;
  {
    std::lock_guard lock(listenersMutex_);
    listeners_.erase(id);
    insideDelivery = deliveringThread_ == std::this_thread::get_id();
  }
  // Waits for a delivery in progress on another thread, which may still be calling it.
  if (!insideDelivery) std::lock_guard wait(deliveryMutex_);
}

void DeviceDirectory::notifyListeners(DeviceChange change) {
  std::map<int, std::shared_ptr<Listener>> snapshot;
  bool nested;
  {
    std::lock_guard lock(listenersMutex_);
    nested = deliveringThread_ == std::this_thread::get_id();
  }
  // A listener that changes the directory from inside a delivery gets its nested
  // notification at once instead of deadlocking on the delivery lock.
  std::unique_lock<std::mutex> delivery;
  if (!nested) delivery = std::unique_lock(deliveryMutex_);
  {
    std::lock_guard lock(listenersMutex_);
    deliveringThread_ = std::this_thread::get_id();
    snapshot = listeners_;
  }
  for (const auto& [id, listener] : snapshot) {
    {
      std::lock_guard lock(listenersMutex_);
      if (!listeners_.count(id)) continue;  // unsubscribed by an earlier listener
    }
    (*listener)(change);
  }
  if (!nested) {
    std::lock_guard lock(listenersMutex_);
    deliveringThread_ = std::thread::id();
  }
}

// ---- ScriptedDeviceDirectory ----

int ScriptedDeviceDirectory::listSerialPorts(std::vector<SerialPortInfo>& ports) {
  std::lock_guard lock(mutex_);
  ports.clear();
  if (listError_ != 0) return listError_;
  ports = ports_;
  return 0;
}

int ScriptedDeviceDirectory::listUsbInterfaces(std::vector<std::string>& paths) {
  std::lock_guard lock(mutex_);
  paths.clear();
  if (listError_ != 0) return listError_;
  for (const UsbDeviceInfo& device : usbDevices_) paths.push_back(device.path);
  return 0;
}

int ScriptedDeviceDirectory::listUsbDevices(std::vector<UsbDeviceInfo>& devices) {
  std::lock_guard lock(mutex_);
  devices.clear();
  if (listError_ != 0) return listError_;
  devices = usbDevices_;
  return 0;
}

void ScriptedDeviceDirectory::addSerialPort(const std::string& friendlyName,
                                            const std::string& ttyPath, int comNumber, bool notify,
                                            const std::string& portPath) {
  {
    std::lock_guard lock(mutex_);
    ports_.push_back({friendlyName, ttyPath,
                      comNumber > 0 ? comNumber : comNumberInName(friendlyName), portPath});
  }
  if (notify) notifyListeners(DeviceChange::Arrival);
}

bool ScriptedDeviceDirectory::removeSerialPort(const std::string& ttyPath, bool notify) {
  bool removed;
  {
    std::lock_guard lock(mutex_);
    removed = std::erase_if(ports_, [&](const SerialPortInfo& p) { return p.ttyPath == ttyPath; });
  }
  if (removed && notify) notifyListeners(DeviceChange::Removal);
  return removed;
}

void ScriptedDeviceDirectory::addUsbInterface(const std::string& path, bool notify,
                                              const std::string& portPath) {
  {
    std::lock_guard lock(mutex_);
    usbDevices_.push_back({path, portPath.empty() ? instanceOfInterfacePath(path) : portPath});
  }
  if (notify) notifyListeners(DeviceChange::Arrival);
}

bool ScriptedDeviceDirectory::removeUsbInterface(const std::string& path, bool notify) {
  bool removed;
  {
    std::lock_guard lock(mutex_);
    removed = std::erase_if(usbDevices_, [&](const UsbDeviceInfo& d) { return d.path == path; });
  }
  if (removed && notify) notifyListeners(DeviceChange::Removal);
  return removed;
}

void ScriptedDeviceDirectory::clear() {
  std::lock_guard lock(mutex_);
  ports_.clear();
  usbDevices_.clear();
}

void ScriptedDeviceDirectory::setListError(int systemError) {
  std::lock_guard lock(mutex_);
  listError_ = systemError;
}

// ---- The installed directory ----

namespace {

class EmptyDirectory : public DeviceDirectory {
 public:
  int listSerialPorts(std::vector<SerialPortInfo>& ports) override {
    ports.clear();
    return 0;
  }
  int listUsbInterfaces(std::vector<std::string>& paths) override {
    paths.clear();
    return 0;
  }
};

EmptyDirectory gEmptyDirectory;
std::atomic<DeviceDirectory*> gDirectory{&gEmptyDirectory};

}  // namespace

DeviceDirectory& deviceDirectory() {
  return *gDirectory.load();
}

DeviceDirectory* installDeviceDirectory(DeviceDirectory* directory) {
  DeviceDirectory* previous = gDirectory.exchange(directory ? directory : &gEmptyDirectory);
  return previous == &gEmptyDirectory ? nullptr : previous;
}

}  // namespace host
