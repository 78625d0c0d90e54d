#include "testbed.h"

#include <umockdev.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace umocktest {
namespace {

namespace fs = std::filesystem;

std::string takeString(gchar* text) {
  std::string value = text ? text : "";
  g_free(text);
  return value;
}

std::string hexOf(const std::vector<uint8_t>& bytes) {
  std::string hex;
  char pair[3];
  for (uint8_t byte : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", byte);
    hex += pair;
  }
  return hex;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A device directory below `top` (itself included), deepest first, with what its removal
// uevent carries: its properties and its subsystem.
struct Departing {
  std::string syspath;
  std::string properties;
  std::string subsystem;
};

std::vector<Departing> departingDevices(const std::string& root, const std::string& top) {
  std::vector<Departing> devices;
  auto visit = [&](const fs::path& dir) {
    if (!fs::exists(dir / "uevent")) return;
    std::error_code ignored;
    const fs::path link = fs::read_symlink(dir / "subsystem", ignored);
    devices.push_back(
        {dir.string().substr(root.size()), readFile(dir / "uevent"), link.filename().string()});
  };
  visit(root + top);
  for (const auto& entry : fs::recursive_directory_iterator(root + top)) {
    if (entry.is_directory() && !entry.is_symlink()) visit(entry.path());
  }
  // Deeper paths are longer; a stable sort keeps siblings in the order they were found.
  std::stable_sort(devices.begin(), devices.end(), [](const Departing& a, const Departing& b) {
    return a.syspath.size() > b.syspath.size();
  });
  return devices;
}

// The sysfs path of a USB device by its port path: "1-2.4" lives below "1-2", "1-3" below the
// root hub "usb1".
std::string usbSyspath(const std::string& portPath) {
  const size_t dot = portPath.rfind('.');
  if (dot == std::string::npos) return "/sys/devices/usb1/" + portPath;
  return usbSyspath(portPath.substr(0, dot)) + "/" + portPath;
}

// The bus, class and number links of removed devices: a device of the same name can come back.
void removeDanglingLinks(const std::string& root) {
  for (const char* top : {"/sys/bus", "/sys/class", "/sys/dev"}) {
    if (!fs::exists(root + top)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root + top)) {
      if (entry.is_symlink() && !fs::exists(entry.path())) fs::remove(entry.path());
    }
  }
}

// The testbed's note of a removed device's node number, kept under the node's name: a device
// with the same node name can come back.
void forgetDeviceNode(const std::string& root, const std::string& properties) {
  std::istringstream lines(properties);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("DEVNAME=", 0) != 0) continue;
    std::string name = line.substr(8);
    if (name.rfind("/dev/", 0) == 0) name = name.substr(5);
    std::replace(name.begin(), name.end(), '/', '_');
    std::error_code ignored;
    fs::remove(root + "/dev/.node/" + name, ignored);
  }
}

}  // namespace

Testbed& Testbed::instance() {
  // Lives until the program exits, as long as the libraries that read it; its folder goes then.
  static Testbed testbed;
  return testbed;
}

Testbed::~Testbed() {
  g_object_unref(testbed_);
}

Testbed::Testbed() {
  testbed_ = umockdev_testbed_new();
  // Asked only now: the answer is whether /sys is the testbed's.
  emulated_ = umockdev_in_mock_environment();
  const std::vector<uint8_t> hub =
      usbDescriptors(0x1D6B, 0x0002, {{0, 0, 0x09, 0, 0, {{0x81, 0x03, 4}}}}, 0);
  rootHub_ = addDevice("usb", "usb1", "",
                       {"busnum", "1", "devnum", "1", "idVendor", "1d6b", "idProduct", "0002",
                        "bDeviceClass", "09", "bConfigurationValue", "1", "speed", "480"},
                       {"DEVTYPE", "usb_device", "DEVNAME", "/dev/bus/usb/001/001", "BUSNUM", "001",
                        "DEVNUM", "001"});
  umockdev_testbed_set_attribute_binary(testbed_, rootHub_.c_str(), "descriptors",
                                        const_cast<uint8_t*>(hub.data()),
                                        static_cast<int>(hub.size()));
  // The usbfs folder a USB library looks for when it starts.
  fs::create_directories(rootDir() + "/dev/bus/usb/001");
  std::ofstream(rootDir() + "/dev/bus/usb/001/001");
}

std::string Testbed::rootDir() const {
  return takeString(umockdev_testbed_get_root_dir(testbed_));
}

std::string Testbed::addDevice(const std::string& subsystem, const std::string& name,
                               const std::string& parent,
                               const std::vector<std::string>& attributes,
                               const std::vector<std::string>& properties) {
  auto toArray = [](const std::vector<std::string>& items) {
    std::vector<gchar*> array;
    for (const std::string& item : items) array.push_back(const_cast<gchar*>(item.c_str()));
    array.push_back(nullptr);
    return array;
  };
  std::vector<gchar*> attributeArray = toArray(attributes);
  std::vector<gchar*> propertyArray = toArray(properties);
  gchar* path = umockdev_testbed_add_devicev(testbed_, subsystem.c_str(), name.c_str(),
                                             parent.empty() ? nullptr : parent.c_str(),
                                             attributeArray.data(), propertyArray.data());
  if (!path) throw std::runtime_error("cannot add device " + name);
  return takeString(path);
}

std::string Testbed::addUsbDevice(const UsbDeviceRecord& usb) {
  const int number = nextDeviceNumber_++;
  char node[32];
  std::snprintf(node, sizeof node, "bus/usb/001/%03d", number);
  const std::string syspath = usbSyspath(usb.portPath);
  // A record, not add_devicev: only a record gives the device its usbfs node.
  std::string record =
      "P: " + syspath.substr(4) + "\nN: " + node + "\nE: DEVNAME=/dev/" + node +
      "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: BUSNUM=001\nE: DEVNUM=" +
      std::string(node + 12) + "\nA: busnum=1\nA: devnum=" + std::to_string(number) +
      "\nA: bDeviceClass=" + usb.deviceClass + "\nA: bConfigurationValue=1\nA: speed=480\n";
  if (!usb.vendorId.empty()) record += "A: idVendor=" + usb.vendorId + "\n";
  if (!usb.productId.empty()) record += "A: idProduct=" + usb.productId + "\n";
  if (!usb.descriptors.empty()) record += "H: descriptors=" + hexOf(usb.descriptors) + "\n";
  GError* error = nullptr;
  if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &error)) {
    const std::string message = error ? error->message : "?";
    g_clear_error(&error);
    throw std::runtime_error("cannot add USB device " + usb.portPath + ": " + message);
  }
  return syspath;
}

std::string Testbed::addHub(const std::string& portPath) {
  UsbDeviceRecord hub;
  hub.portPath = portPath;
  hub.vendorId = "05e3";
  hub.productId = "0610";
  hub.deviceClass = "09";
  hub.descriptors = usbDescriptors(0x05E3, 0x0610, {{0, 0, 0x09, 0, 0, {{0x81, 0x03, 1}}}}, 0);
  return addUsbDevice(hub);
}

std::vector<std::string> Testbed::addSerialPorts(const std::string& usbDevice,
                                                 const std::vector<SerialPortLayout>& ports) {
  const std::string portPath = usbDevice.substr(usbDevice.rfind('/') + 1);
  std::vector<std::string> ttys;
  int index = 0;
  for (const SerialPortLayout& port : ports) {
    std::vector<std::string> attributes = {"bInterfaceClass", "ff", "bAlternateSetting", " 0"};
    if (!port.interfaceNumber.empty()) {
      attributes.insert(attributes.end(), {"bInterfaceNumber", port.interfaceNumber});
    }
    // Interfaces are named by configuration and position; odd numbers keep names unique.
    const std::string interface = addDevice("usb", portPath + ":1." + std::to_string(index++),
                                            usbDevice, attributes, {"DEVTYPE", "usb_interface"});
    std::string parent = interface;
    if (port.tty.rfind("ttyUSB", 0) == 0) {
      // A USB serial converter's port sits between the interface and its tty.
      parent = addDevice("usb-serial", port.tty, interface, {"port_number", "0"}, {});
    }
    std::vector<std::string> properties;
    if (port.withDevName) properties = {"DEVNAME", "/dev/" + port.tty};
    const std::string number = "188:" + std::to_string(nextTtyMinor_++);
    ttys.push_back(addDevice("tty", port.tty, parent, {"dev", number}, properties));
  }
  return ttys;
}

std::string Testbed::addOnBoardTty(const std::string& tty, const std::string& uartType) {
  std::vector<std::string> attributes = {"dev", "4:" + std::to_string(nextTtyMinor_++)};
  if (!uartType.empty()) attributes.insert(attributes.end(), {"type", uartType});
  return addDevice("tty", tty, "", attributes, {"DEVNAME", "/dev/" + tty});
}

void Testbed::remove(const std::string& syspath) {
  const std::string root = rootDir();
  const std::vector<Departing> devices = departingDevices(root, syspath);
  umockdev_testbed_remove_device(testbed_, syspath.c_str());
  // The testbed reads a uevent's properties from the device's folder: each departing device
  // gets back a bare folder (no class or bus link, so no listing finds it) for its removal.
  for (const Departing& device : devices) {
    fs::create_directories(root + device.syspath);
    std::ofstream(root + device.syspath + "/uevent") << device.properties;
    fs::create_directory_symlink(root + "/sys/bus/" + device.subsystem,
                                 root + device.syspath + "/subsystem");
    uevent(device.syspath, "remove");
  }
  fs::remove_all(root + syspath);
  removeDanglingLinks(root);
  for (const Departing& device : devices) forgetDeviceNode(root, device.properties);
}

void Testbed::uevent(const std::string& syspath, const std::string& action) {
  umockdev_testbed_uevent(testbed_, syspath.c_str(), action.c_str());
}

std::string Testbed::usbNode(const std::string& syspath) const {
  const std::string name =
      takeString(umockdev_testbed_get_property(testbed_, syspath.c_str(), "DEVNAME"));
  if (name.empty() || name.rfind("/dev/", 0) == 0) return name;
  return "/dev/" + name;
}

void Testbed::attachIoctl(const std::string& syspath, UMockdevIoctlBase* handler) {
  GError* error = nullptr;
  const std::string node = usbNode(syspath);
  if (!umockdev_testbed_attach_ioctl(testbed_, node.c_str(), handler, &error)) {
    const std::string message = error ? error->message : "?";
    g_clear_error(&error);
    throw std::runtime_error("cannot attach to " + node + ": " + message);
  }
}

std::vector<uint8_t> usbDescriptors(uint16_t vendorId, uint16_t productId,
                                    const std::vector<InterfaceLayout>& interfaces,
                                    uint8_t serialIndex) {
  auto low = [](uint16_t value) { return static_cast<uint8_t>(value & 0xFF); };
  auto high = [](uint16_t value) { return static_cast<uint8_t>(value >> 8); };
  std::vector<uint8_t> d = {18,
                            1,
                            0x00,
                            0x02,
                            0,
                            0,
                            0,
                            64,
                            low(vendorId),
                            high(vendorId),
                            low(productId),
                            high(productId),
                            0x00,
                            0x01,
                            1,
                            2,
                            serialIndex,
                            1};
  std::vector<uint8_t> body;
  uint8_t interfaceCount = 0;
  for (const InterfaceLayout& ifc : interfaces) {
    if (ifc.alternate == 0) ++interfaceCount;
    body.insert(body.end(),
                {9, 4, ifc.number, ifc.alternate, static_cast<uint8_t>(ifc.endpoints.size()),
                 ifc.klass, ifc.subclass, ifc.protocol, 0});
    for (const EndpointLayout& ep : ifc.endpoints) {
      body.insert(body.end(),
                  {7, 5, ep.address, ep.attributes, low(ep.maxPacket), high(ep.maxPacket), 0});
    }
  }
  const uint16_t total = static_cast<uint16_t>(9 + body.size());
  d.insert(d.end(), {9, 2, low(total), high(total), interfaceCount, 1, 0, 0x80, 250});
  d.insert(d.end(), body.begin(), body.end());
  return d;
}

void EmulatedTest::SetUp() {
  ASSERT_TRUE(Testbed::instance().emulated())
      << "run this program with the device emulation preloaded (run_emulated.sh)";
}

}  // namespace umocktest
