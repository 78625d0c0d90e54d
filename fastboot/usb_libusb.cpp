#include "fastboot/usb_libusb.h"

#include <libusb-1.0/libusb.h>

#include <strings.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <set>
#include <vector>

namespace fastboot {
namespace {

// The one libusb context of the process, or null when USB is not available here.
libusb_context* usbContext() {
  static libusb_context* context = [] {
    libusb_context* ctx = nullptr;
    if (libusb_init(&ctx) != 0) return static_cast<libusb_context*>(nullptr);
    libusb_set_option(ctx, LIBUSB_OPTION_LOG_LEVEL, LIBUSB_LOG_LEVEL_NONE);
    return ctx;
  }();
  return context;
}

int errorFromLibusb(int result) {
  switch (result) {
    case LIBUSB_ERROR_TIMEOUT:
      return kUsbErrorTimeout;
    case LIBUSB_ERROR_NO_DEVICE:
      return kUsbErrorInvalidHandle;
    case LIBUSB_ERROR_NOT_FOUND:
      return ENOENT;
    case LIBUSB_ERROR_ACCESS:
      return EACCES;
    case LIBUSB_ERROR_BUSY:
      return EBUSY;
    case LIBUSB_ERROR_PIPE:
      return EPIPE;
    case LIBUSB_ERROR_OVERFLOW:
      return EOVERFLOW;
    case LIBUSB_ERROR_NO_MEM:
      return ENOMEM;
    default:
      return EIO;
  }
}

// Devices (by instance) whose endpoint stalled or overflowed. A failed transfer closes the
// transport, so the halt is cleared when the device is next opened.
std::mutex gHaltedMutex;
std::set<std::string> gHalted;

void markHalted(const std::string& instance) {
  std::lock_guard lock(gHaltedMutex);
  gHalted.insert(instance);
}

bool takeHalted(const std::string& instance) {
  std::lock_guard lock(gHaltedMutex);
  return gHalted.erase(instance) > 0;
}

// "<bus>-<port>.<port>..." for a device.
std::string instanceOf(libusb_device* device) {
  uint8_t ports[8];
  int count = libusb_get_port_numbers(device, ports, sizeof ports);
  std::string instance = std::to_string(libusb_get_bus_number(device)) + "-";
  for (int i = 0; i < count; ++i) {
    if (i) instance += '.';
    instance += std::to_string(ports[i]);
  }
  if (count <= 0) instance += "0";
  return instance;
}

// The fastboot interface of a device: class FF/42/03, exactly two bulk endpoints.
struct FastbootInterface {
  int number = -1;
  int alternateSetting = 0;
  uint16_t maxPacketIn = 64;
  uint8_t endpointIn = 0;
  uint8_t endpointOut = 0;
  UsbDescriptors descriptors;
};

bool findFastbootInterface(libusb_device* device, FastbootInterface& found) {
  libusb_device_descriptor dd;
  if (libusb_get_device_descriptor(device, &dd) != 0) return false;
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(device, &config) != 0 || !config) return false;
  bool ok = false;
  for (int i = 0; i < config->bNumInterfaces && !ok; ++i) {
    const libusb_interface& ifc = config->interface[i];
    for (int a = 0; a < ifc.num_altsetting && !ok; ++a) {
      const libusb_interface_descriptor& id = ifc.altsetting[a];
      if (id.bInterfaceClass != 0xFF || id.bInterfaceSubClass != 0x42 ||
          id.bInterfaceProtocol != 0x03 || id.bNumEndpoints != 2) {
        continue;
      }
      FastbootInterface candidate;
      for (int e = 0; e < 2; ++e) {
        const libusb_endpoint_descriptor& ep = id.endpoint[e];
        if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) continue;
        if (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN) {
          candidate.endpointIn = ep.bEndpointAddress;
          candidate.maxPacketIn = ep.wMaxPacketSize & 0x7FF;
        } else {
          candidate.endpointOut = ep.bEndpointAddress;
        }
      }
      if (!candidate.endpointIn || !candidate.endpointOut) continue;
      candidate.number = id.bInterfaceNumber;
      candidate.alternateSetting = id.bAlternateSetting;
      UsbDescriptors& d = candidate.descriptors;
      d.vendorId = dd.idVendor;
      d.productId = dd.idProduct;
      d.deviceClass = dd.bDeviceClass;
      d.deviceSubclass = dd.bDeviceSubClass;
      d.deviceProtocol = dd.bDeviceProtocol;
      d.interfaceClass = id.bInterfaceClass;
      d.interfaceSubclass = id.bInterfaceSubClass;
      d.interfaceProtocol = id.bInterfaceProtocol;
      d.endpointCount = id.bNumEndpoints;
      found = candidate;
      ok = true;
    }
  }
  libusb_free_config_descriptor(config);
  return ok;
}

class LibusbLink : public UsbLink {
 public:
  LibusbLink(libusb_device_handle* handle, FastbootInterface ifc, uint8_t serialIndex,
             std::string instance)
      : handle_(handle), ifc_(ifc), serialIndex_(serialIndex), instance_(std::move(instance)) {}
  ~LibusbLink() override {
    libusb_release_interface(handle_, ifc_.number);
    libusb_close(handle_);
  }

  bool readDescriptors(UsbDescriptors& d) override {
    d = ifc_.descriptors;
    return true;
  }

  bool readSerialNumber(std::string& serial) override {
    return readSerial(handle_, serialIndex_, serial);
  }

  long bulkWrite(const uint8_t* data, size_t length, unsigned timeoutMs, int& error) override {
    return transfer(ifc_.endpointOut, const_cast<uint8_t*>(data), length, timeoutMs, error);
  }

  // Reads a whole packet, however large the device made it, and keeps its first `length`
  // bytes: asking for fewer bytes than the device sends would be an overflow.
  long bulkRead(uint8_t* buffer, size_t length, unsigned timeoutMs, int& error) override {
    const size_t packet = ifc_.maxPacketIn ? ifc_.maxPacketIn : 64;
    std::vector<uint8_t> whole((length + packet - 1) / packet * packet);
    long moved = transfer(ifc_.endpointIn, whole.data(), whole.size(), timeoutMs, error);
    if (moved < 0) return -1;
    size_t kept = std::min(static_cast<size_t>(moved), length);
    std::copy_n(whole.begin(), kept, buffer);
    return static_cast<long>(kept);
  }

  static bool readSerial(libusb_device_handle* handle, uint8_t index, std::string& serial) {
    if (index == 0) return false;
    unsigned char text[256];
    int n = libusb_get_string_descriptor_ascii(handle, index, text, sizeof text);
    if (n < 0) return false;
    serial.assign(reinterpret_cast<char*>(text), static_cast<size_t>(n));
    return true;
  }

 private:
  long transfer(uint8_t endpoint, uint8_t* data, size_t length, unsigned timeoutMs, int& error) {
    int moved = 0;
    int result =
        libusb_bulk_transfer(handle_, endpoint, data, static_cast<int>(length), &moved, timeoutMs);
    // A transfer that timed out after moving some bytes still moved them.
    if (result == 0 || (result == LIBUSB_ERROR_TIMEOUT && moved > 0)) return moved;
    if (result == LIBUSB_ERROR_PIPE || result == LIBUSB_ERROR_OVERFLOW) markHalted(instance_);
    error = errorFromLibusb(result);
    return -1;
  }

  libusb_device_handle* handle_;
  FastbootInterface ifc_;
  uint8_t serialIndex_;
  std::string instance_;
};

std::vector<std::string> enumerateLibusb() {
  std::vector<std::string> paths;
  libusb_context* ctx = usbContext();
  if (!ctx) return paths;
  libusb_device** list = nullptr;
  ssize_t count = libusb_get_device_list(ctx, &list);
  for (ssize_t i = 0; i < count; ++i) {
    FastbootInterface ifc;
    if (!findFastbootInterface(list[i], ifc)) continue;
    paths.push_back(makeUsbInterfacePath(ifc.descriptors.vendorId, ifc.descriptors.productId,
                                         instanceOf(list[i])));
  }
  if (list) libusb_free_device_list(list, 1);
  return paths;
}

// Claims the interface, selects its alternate setting and clears a halt left by the last
// session. A libusb result code.
int prepareInterface(libusb_device_handle* handle, const FastbootInterface& ifc,
                     const std::string& instance) {
  libusb_set_auto_detach_kernel_driver(handle, 1);
  int result = libusb_claim_interface(handle, ifc.number);
  if (result != 0) return result;
  if (ifc.alternateSetting != 0) {
    result = libusb_set_interface_alt_setting(handle, ifc.number, ifc.alternateSetting);
  }
  if (result == 0 && takeHalted(instance)) {
    libusb_clear_halt(handle, ifc.endpointIn);
    libusb_clear_halt(handle, ifc.endpointOut);
  }
  if (result != 0) libusb_release_interface(handle, ifc.number);
  return result;
}

// Calls `use` with the device at `path` and its fastboot interface; false when there is none.
template <typename Use>
bool withDevice(const std::string& path, Use use) {
  uint16_t vendorId = 0, productId = 0;
  std::string instance;
  libusb_context* ctx = usbContext();
  if (!ctx || !parseUsbInterfacePath(path, vendorId, productId, instance)) return false;
  libusb_device** list = nullptr;
  ssize_t count = libusb_get_device_list(ctx, &list);
  bool found = false;
  for (ssize_t i = 0; i < count && !found; ++i) {
    FastbootInterface ifc;
    if (instanceOf(list[i]) != instance || !findFastbootInterface(list[i], ifc)) continue;
    if (ifc.descriptors.vendorId != vendorId || ifc.descriptors.productId != productId) continue;
    found = true;
    use(list[i], ifc, instance);
  }
  if (list) libusb_free_device_list(list, 1);
  return found;
}

std::unique_ptr<UsbLink> openLibusb(const std::string& path, int& error) {
  uint16_t vendorId = 0, productId = 0;
  std::string instance;
  if (!parseUsbInterfacePath(path, vendorId, productId, instance)) {
    error = EINVAL;
    return nullptr;
  }
  error = ENOENT;
  std::unique_ptr<UsbLink> link;
  withDevice(path,
             [&](libusb_device* device, const FastbootInterface& ifc, const std::string& instance) {
               libusb_device_descriptor dd;
               libusb_get_device_descriptor(device, &dd);
               libusb_device_handle* handle = nullptr;
               int result = libusb_open(device, &handle);
               if (result == 0) {
                 result = prepareInterface(handle, ifc, instance);
                 if (result != 0) libusb_close(handle);
               }
               if (result != 0) {
                 error = errorFromLibusb(result);
                 return;
               }
               link = std::make_unique<LibusbLink>(handle, ifc, dd.iSerialNumber, instance);
             });
  return link;
}

// The serial number through an open handle only: the interface is not claimed, so a device in
// use by a download is not disturbed.
bool serialOfLibusb(const std::string& path, std::string& serial) {
  bool ok = false;
  withDevice(path, [&](libusb_device* device, const FastbootInterface&, const std::string&) {
    libusb_device_descriptor dd;
    libusb_device_handle* handle = nullptr;
    if (libusb_get_device_descriptor(device, &dd) != 0 || libusb_open(device, &handle) != 0) {
      return;
    }
    ok = LibusbLink::readSerial(handle, dd.iSerialNumber, serial);
    libusb_close(handle);
  });
  return ok;
}

}  // namespace

std::string makeUsbInterfacePath(uint16_t vendorId, uint16_t productId,
                                 const std::string& instance) {
  char ids[32];
  std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x", vendorId, productId);
  return std::string(kUsbPathPrefix) + ids + "#" + instance + "#" + kUsbInterfaceClassGuid;
}

bool parseUsbInterfacePath(const std::string& path, uint16_t& vendorId, uint16_t& productId,
                           std::string& instance) {
  const size_t prefixLength = sizeof kUsbPathPrefix - 1;
  if (path.size() <= prefixLength || strncasecmp(path.c_str(), kUsbPathPrefix, prefixLength)) {
    return false;
  }
  std::string rest = path.substr(prefixLength);
  size_t first = rest.find('#');
  size_t second = first == std::string::npos ? first : rest.find('#', first + 1);
  if (second == std::string::npos) return false;
  unsigned vid = 0, pid = 0;
  char tail = 0;
  std::string ids = rest.substr(0, first);
  if (std::sscanf(ids.c_str(), "%*1[vV]%*1[iI]%*1[dD]_%4x&%*1[pP]%*1[iI]%*1[dD]_%4x%c", &vid, &pid,
                  &tail) != 2) {
    return false;
  }
  vendorId = static_cast<uint16_t>(vid);
  productId = static_cast<uint16_t>(pid);
  instance = rest.substr(first + 1, second - first - 1);
  return !instance.empty();
}

Backend makeLibusbBackend() {
  Backend backend;
  backend.prefix = kUsbPathPrefix;
  backend.enumerate = enumerateLibusb;
  backend.open = openLibusb;
  backend.serialNumber = serialOfLibusb;
  return backend;
}

}  // namespace fastboot
