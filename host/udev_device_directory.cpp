#include "host/udev_device_directory.h"

#include <fcntl.h>
#include <libudev.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>

namespace host {
namespace {

// ---- COM numbers ----

struct TtyFamily {
  const char* prefix;
  int comBase;
  int count;
};

constexpr TtyFamily kTtyFamilies[] = {
    {"ttyUSB", 100, 400},
    {"ttyACM", 500, 400},
    {"ttyS", 1, 99},
};

// ---- Role table ----

constexpr uint16_t kQualcommVendor = 0x05C6;
constexpr int kAnyInterface = -1;
constexpr int kAnyProduct = -1;

struct VendorLabel {
  uint16_t vendorId;
  const char* label;
};

constexpr VendorLabel kVendorLabels[] = {
    {kQualcommVendor, "Qualcomm HS-USB"},
};

// The role words are the ones port discovery classifies by: "Diagnostics" and "QDLoader" make
// a module port, "AT Port" the AT command port, "QDLoader 9008" the emergency download port,
// "QDLoader 9009" and "Diagnostics 900E" the download port; "NMEA", "Modem" and "Serial" ports
// are left alone. The product id is appended to the role ("QDLoader" + " 9008").
struct PortRole {
  uint16_t vendorId;
  int productId;  // kAnyProduct: every product of the vendor not listed before
  int interfaceNumber;
  const char* role;
};

constexpr PortRole kPortRoles[] = {
    // Download modes: one serial interface.
    {kQualcommVendor, 0x9008, kAnyInterface, "QDLoader"},
    {kQualcommVendor, 0x9009, kAnyInterface, "QDLoader"},
    {kQualcommVendor, 0x900E, kAnyInterface, "Diagnostics"},
    // Composite modes of running modules.
    {kQualcommVendor, 0x9091, 0, "Diagnostics"},
    {kQualcommVendor, 0x9091, 1, "NMEA"},
    {kQualcommVendor, 0x9091, 2, "AT Port"},
    {kQualcommVendor, 0x9091, 3, "Modem"},
    {kQualcommVendor, 0x9025, 0, "Diagnostics"},
    {kQualcommVendor, 0x9025, 2, "AT Port"},
    {kQualcommVendor, 0x9025, 3, "NMEA"},
    {kQualcommVendor, 0x9011, 0, "Diagnostics"},
    {kQualcommVendor, 0x9011, 2, "AT Port"},
    {kQualcommVendor, 0x9011, 3, "NMEA"},
    // Other products of the vendor: the diagnostic interface comes first.
    {kQualcommVendor, kAnyProduct, 0, "Diagnostics"},
    {kQualcommVendor, kAnyProduct, kAnyInterface, "Serial"},
};

const char* vendorLabel(uint16_t vendorId) {
  for (const VendorLabel& entry : kVendorLabels) {
    if (entry.vendorId == vendorId) return entry.label;
  }
  return nullptr;
}

const PortRole* findRole(uint16_t vendorId, uint16_t productId, int interfaceNumber) {
  for (const PortRole& entry : kPortRoles) {
    if (entry.vendorId != vendorId) continue;
    if (entry.productId != kAnyProduct && entry.productId != productId) continue;
    if (entry.interfaceNumber != kAnyInterface && entry.interfaceNumber != interfaceNumber) {
      continue;
    }
    return &entry;
  }
  return nullptr;
}

// ---- Reading udev devices ----

// A hexadecimal sysfs attribute ("05c6", "02"); `fallback` when absent or malformed.
long hexAttribute(udev_device* device, const char* name, long fallback) {
  const char* text = device ? udev_device_get_sysattr_value(device, name) : nullptr;
  if (!text || !*text) return fallback;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 16);
  if (end == text || errno != 0 || value < 0 || value > 0xFFFF) return fallback;
  while (*end == '\n' || *end == ' ') ++end;
  return *end == '\0' ? value : fallback;
}

std::string textAttribute(udev_device* device, const char* name) {
  const char* text = udev_device_get_sysattr_value(device, name);
  std::string value = text ? text : "";
  while (!value.empty() && (value.back() == '\n' || value.back() == ' ')) value.pop_back();
  return value;
}

TtyFacts factsOf(udev_device* tty) {
  TtyFacts facts;
  const char* sysname = udev_device_get_sysname(tty);
  facts.sysname = sysname ? sysname : "";
  const char* devnode = udev_device_get_devnode(tty);
  facts.devnode = devnode ? devnode : "/dev/" + facts.sysname;
  facts.uartType = textAttribute(tty, "type");
  // Parents belong to the tty and are released with it.
  udev_device* usbDevice = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
  if (usbDevice) {
    facts.onUsb = true;
    facts.vendorId = static_cast<uint16_t>(hexAttribute(usbDevice, "idVendor", 0));
    facts.productId = static_cast<uint16_t>(hexAttribute(usbDevice, "idProduct", 0));
    const char* portPath = udev_device_get_sysname(usbDevice);
    facts.portPath = portPath ? portPath : "";
    udev_device* usbInterface =
        udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_interface");
    facts.interfaceNumber = static_cast<int>(hexAttribute(usbInterface, "bInterfaceNumber", -1));
  }
  return facts;
}

// The last part of a sysfs path ("/sys/devices/.../ttyUSB0" -> "ttyUSB0").
const char* lastComponent(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash ? slash + 1 : path;
}

constexpr const char* kUsbDeviceType = "usb_device";
constexpr const char* kHubClass = "09";

// Calls `visit` with the sysfs path of every device of `subsystem`. Returns 0, or an errno
// value when the devices cannot be enumerated.
int forEachDevice(udev* context, const char* subsystem,
                  const std::function<void(const char* syspath)>& visit) {
  udev_enumerate* enumerate = udev_enumerate_new(context);
  if (!enumerate) return ENOMEM;
  udev_enumerate_add_match_subsystem(enumerate, subsystem);
  const int scanned = udev_enumerate_scan_devices(enumerate);
  if (scanned >= 0) {
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
      visit(udev_list_entry_get_name(entry));
    }
  }
  udev_enumerate_unref(enumerate);
  return scanned < 0 ? -scanned : 0;
}

// libudev objects belong to the thread that made them: every listing makes its own context on
// the calling thread, and the monitor thread makes, uses and frees its own.
class UdevContext {
 public:
  UdevContext() : udev_(udev_new()) {
    if (!udev_) error_ = errno != 0 ? errno : ENODEV;
  }
  ~UdevContext() {
    if (udev_) udev_unref(udev_);
  }
  UdevContext(const UdevContext&) = delete;
  UdevContext& operator=(const UdevContext&) = delete;

  udev* get() const { return udev_; }
  int error() const { return error_; }

 private:
  udev* udev_;
  int error_ = 0;
};

// With a udev daemon running, its events come after the device nodes are ready; without one
// the kernel's own events are the only ones there are.
udev_monitor* newMonitor(udev* context) {
  const char* source = ::access("/run/udev/control", F_OK) == 0 ? "udev" : "kernel";
  udev_monitor* monitor = udev_monitor_new_from_netlink(context, source);
  if (!monitor) return nullptr;
  udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr);
  udev_monitor_filter_add_match_subsystem_devtype(monitor, "usb", kUsbDeviceType);
  if (udev_monitor_enable_receiving(monitor) < 0) {
    udev_monitor_unref(monitor);
    return nullptr;
  }
  return monitor;
}

}  // namespace

int comNumberOfTty(const std::string& sysname) {
  for (const TtyFamily& family : kTtyFamilies) {
    const size_t prefixLength = std::strlen(family.prefix);
    if (sysname.compare(0, prefixLength, family.prefix) != 0) continue;
    const std::string digits = sysname.substr(prefixLength);
    if (digits.empty() || digits.size() > 3) return 0;
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return 0;
    }
    if (digits.size() > 1 && digits[0] == '0') return 0;
    const int index = std::stoi(digits);
    return index < family.count ? family.comBase + index : 0;
  }
  return 0;
}

std::string usbPortRoleName(uint16_t vendorId, uint16_t productId, int interfaceNumber) {
  const char* label = vendorLabel(vendorId);
  const PortRole* role = findRole(vendorId, productId, interfaceNumber);
  if (!label || !role) return {};
  char product[8];
  std::snprintf(product, sizeof product, "%04X", productId);
  return std::string(label) + " " + role->role + " " + product;
}

std::optional<SerialPortInfo> describeTty(const TtyFacts& facts) {
  const int com = comNumberOfTty(facts.sysname);
  if (com == 0) return std::nullopt;
  std::string name;
  if (facts.onUsb) {
    name = usbPortRoleName(facts.vendorId, facts.productId, facts.interfaceNumber);
    if (name.empty()) name = "USB Serial Device";
  } else {
    // The kernel keeps a tty for every possible on-board UART; only those with a UART behind
    // them are ports.
    if (facts.uartType.empty() || facts.uartType == "0") return std::nullopt;
    name = "Communications Port";
  }
  return SerialPortInfo{name + " (COM" + std::to_string(com) + ")", facts.devnode, com,
                        facts.onUsb ? facts.portPath : std::string()};
}

// ---- UdevDeviceDirectory ----

UdevDeviceDirectory::UdevDeviceDirectory() {
  startMonitor();
}

UdevDeviceDirectory::~UdevDeviceDirectory() {
  if (monitorThread_.joinable()) {
    const char stop = 's';
    ssize_t ignored = ::write(wakePipe_[1], &stop, 1);
    (void)ignored;
    monitorThread_.join();
  }
  for (int& fd : wakePipe_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

int UdevDeviceDirectory::listSerialPorts(std::vector<SerialPortInfo>& ports) {
  ports.clear();
  UdevContext context;
  if (!context.get()) return context.error();
  const int error = forEachDevice(context.get(), "tty", [&](const char* syspath) {
    if (comNumberOfTty(lastComponent(syspath)) == 0) return;
    udev_device* tty = udev_device_new_from_syspath(context.get(), syspath);
    if (!tty) return;  // gone since the scan
    if (std::optional<SerialPortInfo> port = describeTty(factsOf(tty))) ports.push_back(*port);
    udev_device_unref(tty);
  });
  if (error != 0) return error;
  std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
    return a.comNumber < b.comNumber;
  });
  return 0;
}

int UdevDeviceDirectory::listUsbInterfaces(std::vector<std::string>& paths) {
  paths.clear();
  UdevContext context;
  if (!context.get()) return context.error();
  return forEachDevice(context.get(), "usb", [&](const char* syspath) {
    udev_device* device = udev_device_new_from_syspath(context.get(), syspath);
    if (!device) return;
    const char* type = udev_device_get_devtype(device);
    const long vendor = hexAttribute(device, "idVendor", -1);
    const long product = hexAttribute(device, "idProduct", -1);
    const bool isDevice = type && std::strcmp(type, kUsbDeviceType) == 0;
    if (isDevice && vendor >= 0 && product >= 0 &&
        textAttribute(device, "bDeviceClass") != kHubClass) {
      paths.push_back(usbInterfacePath(static_cast<uint16_t>(vendor),
                                       static_cast<uint16_t>(product),
                                       udev_device_get_sysname(device)));
    }
    udev_device_unref(device);
  });
}

// The monitor is listening before the constructor returns, so no change after it is missed.
void UdevDeviceDirectory::startMonitor() {
  if (::pipe2(wakePipe_, O_CLOEXEC) != 0) return;
  std::promise<bool> listening;
  std::future<bool> started = listening.get_future();
  monitorThread_ = std::thread([this, &listening] { monitorLoop(listening); });
  if (!started.get()) monitorThread_.join();
}

void UdevDeviceDirectory::monitorLoop(std::promise<bool>& listening) {
  UdevContext context;
  udev_monitor* monitor = context.get() ? newMonitor(context.get()) : nullptr;
  listening.set_value(monitor != nullptr);
  if (!monitor) return;
  watchEvents(monitor);
  udev_monitor_unref(monitor);
}

void UdevDeviceDirectory::watchEvents(udev_monitor* monitor) {
  pollfd watched[2] = {{udev_monitor_get_fd(monitor), POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
  for (;;) {
    if (::poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[1].revents) return;  // the directory is being destroyed
    if (watched[0].revents & POLLNVAL) return;
    if (!(watched[0].revents & (POLLIN | POLLERR))) continue;
    // A read takes the socket's error away. An error means events were lost (a flood of them
    // overflowed the socket): whatever left or arrived meanwhile is found by a fresh look.
    if (udev_device* device = udev_monitor_receive_device(monitor)) {
      handleEvent(device);
      udev_device_unref(device);
    } else if (watched[0].revents & POLLERR) {
      notifyListeners(DeviceChange::Removal);
      notifyListeners(DeviceChange::Arrival);
    }
  }
}

void UdevDeviceDirectory::handleEvent(udev_device* device) {
  const char* action = udev_device_get_action(device);
  const char* subsystem = udev_device_get_subsystem(device);
  const char* sysname = udev_device_get_sysname(device);
  if (!action || !subsystem || !sysname) return;
  DeviceChange change;
  if (std::strcmp(action, "add") == 0) {
    change = DeviceChange::Arrival;
  } else if (std::strcmp(action, "remove") == 0) {
    change = DeviceChange::Removal;
  } else {
    return;
  }
  if (std::strcmp(subsystem, "tty") == 0) {
    if (comNumberOfTty(sysname) == 0) return;
  } else {
    const char* type = udev_device_get_devtype(device);
    if (std::strcmp(subsystem, "usb") != 0 || !type || std::strcmp(type, kUsbDeviceType) != 0) {
      return;
    }
  }
  notifyListeners(change);
}

}  // namespace host
