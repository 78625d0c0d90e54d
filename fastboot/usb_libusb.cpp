#include "fastboot/usb_libusb.h"

#include <libusb-1.0/libusb.h>

#include <strings.h>
#include <cerrno>
#include <cstdio>
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
    case LIBUSB_ERROR_NO_MEM:
      return ENOMEM;
    default:
      return EIO;
  }
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
        } else {
          candidate.endpointOut = ep.bEndpointAddress;
        }
      }
      if (!candidate.endpointIn || !candidate.endpointOut) continue;
      candidate.number = id.bInterfaceNumber;
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
  LibusbLink(libusb_device_handle* handle, FastbootInterface ifc, uint8_t serialIndex)
      : handle_(handle), ifc_(ifc), serialIndex_(serialIndex) {}
  ~LibusbLink() override {
    libusb_release_interface(handle_, ifc_.number);
    libusb_close(handle_);
  }

  bool readDescriptors(UsbDescriptors& d) override {
    d = ifc_.descriptors;
    return true;
  }

  bool readSerialNumber(std::string& serial) override {
    if (serialIndex_ == 0) return false;
    unsigned char text[256];
    int n = libusb_get_string_descriptor_ascii(handle_, serialIndex_, text, sizeof text);
    if (n < 0) return false;
    serial.assign(reinterpret_cast<char*>(text), static_cast<size_t>(n));
    return true;
  }

  long bulkWrite(const uint8_t* data, size_t length, unsigned timeoutMs, int& error) override {
    return transfer(ifc_.endpointOut, const_cast<uint8_t*>(data), length, timeoutMs, error);
  }

  long bulkRead(uint8_t* buffer, size_t length, unsigned timeoutMs, int& error) override {
    return transfer(ifc_.endpointIn, buffer, length, timeoutMs, error);
  }

 private:
  long transfer(uint8_t endpoint, uint8_t* data, size_t length, unsigned timeoutMs, int& error) {
    int moved = 0;
    int result =
        libusb_bulk_transfer(handle_, endpoint, data, static_cast<int>(length), &moved, timeoutMs);
    // A transfer that timed out after moving some bytes still moved them.
    if (result == 0 || (result == LIBUSB_ERROR_TIMEOUT && moved > 0)) return moved;
    error = errorFromLibusb(result);
    return -1;
  }

  libusb_device_handle* handle_;
  FastbootInterface ifc_;
  uint8_t serialIndex_;
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

std::unique_ptr<UsbLink> openLibusb(const std::string& path, int& error) {
  uint16_t vendorId = 0, productId = 0;
  std::string instance;
  if (!parseUsbInterfacePath(path, vendorId, productId, instance)) {
    error = EINVAL;
    return nullptr;
  }
  error = ENOENT;
  libusb_context* ctx = usbContext();
  if (!ctx) return nullptr;
  libusb_device** list = nullptr;
  ssize_t count = libusb_get_device_list(ctx, &list);
  std::unique_ptr<UsbLink> link;
  for (ssize_t i = 0; i < count && !link; ++i) {
    FastbootInterface ifc;
    if (instanceOf(list[i]) != instance || !findFastbootInterface(list[i], ifc)) continue;
    if (ifc.descriptors.vendorId != vendorId || ifc.descriptors.productId != productId) continue;
    libusb_device_descriptor dd;
    libusb_get_device_descriptor(list[i], &dd);
    libusb_device_handle* handle = nullptr;
    int result = libusb_open(list[i], &handle);
    if (result == 0) {
      libusb_set_auto_detach_kernel_driver(handle, 1);
      result = libusb_claim_interface(handle, ifc.number);
      if (result != 0) libusb_close(handle);
    }
    if (result != 0) {
      error = errorFromLibusb(result);
      continue;
    }
    link = std::make_unique<LibusbLink>(handle, ifc, dd.iSerialNumber);
  }
  if (list) libusb_free_device_list(list, 1);
  return link;
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
  return backend;
}

}  // namespace fastboot
