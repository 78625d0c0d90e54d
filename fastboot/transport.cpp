#include "fastboot/transport.h"

#include <algorithm>
#include <cerrno>
#include <climits>

#include "fastboot/backends.h"
#include "host/clock.h"

namespace {

thread_local int tLastError = 0;

void setError(fb_transport* transport, int error) {
  tLastError = error;
  if (transport) transport->error = error;
}

}  // namespace

int usb_last_error() {
  return tLastError;
}

unsigned usb_timeout_ms(long length) {
  long long ms = 8LL * length + 500;
  if (ms > UINT_MAX) return UINT_MAX;
  return static_cast<unsigned>(ms);
}

fb_transport* usb_adopt_link(std::unique_ptr<fastboot::UsbLink> link, const std::string& name) {
  auto* transport = new fb_transport;
  transport->link = std::move(link);
  transport->name = name;
  return transport;
}

fb_transport* do_usb_open(const std::string& name) {
  auto backend = fastboot::backendFor(name);
  if (!backend || !backend->open) {
    setError(nullptr, ENOENT);
    return nullptr;
  }
  int error = 0;
  std::unique_ptr<fastboot::UsbLink> link = backend->open(name, error);
  if (!link) {
    setError(nullptr, error ? error : ENOENT);
    return nullptr;
  }
  return usb_adopt_link(std::move(link), name);
}

void usb_cleanup_handle(fb_transport* transport) {
  if (!transport) return;
  transport->link.reset();
  transport->name.clear();
}

int recognized_device(fb_transport* transport, fb_matcher matcher) {
  if (!transport || !transport->link || !matcher) return 0;
  fastboot::UsbDescriptors d;
  if (!transport->link->readDescriptors(d)) return 0;
  if (d.endpointCount != 2) return 0;

  fb_interface_info info;
  info.vendor_id = d.vendorId;
  info.product_id = d.productId;
  info.dev_class = d.deviceClass;
  info.dev_subclass = d.deviceSubclass;
  info.dev_protocol = d.deviceProtocol;
  info.ifc_class = d.interfaceClass;
  info.ifc_subclass = d.interfaceSubclass;
  info.ifc_protocol = d.interfaceProtocol;
  info.writable = 1;
  // A device whose serial number cannot be read is still a candidate, with an empty serial.
  std::string serial;
  if (transport->link->readSerialNumber(serial)) {
    serial.copy(info.serial_number, sizeof info.serial_number - 1);
  }
  return matcher(&info) == 0 ? 1 : 0;
}

fb_transport* usb_open_by_name(const std::string& name, fb_matcher matcher) {
  fb_transport* transport = do_usb_open(name);
  if (!transport) return nullptr;
  if (recognized_device(transport, matcher)) return transport;
  usb_close(transport);
  return nullptr;
}

bool usb_read_serial(const std::string& path, std::string& serial) {
  serial.clear();
  auto backend = fastboot::backendFor(path);
  if (!backend || !backend->serialNumber) return false;
  if (backend->serialNumber(path, serial)) return true;
  serial.clear();
  return false;
}

std::string usb_permission_text(const std::string& path) {
  return "no permission to open fastboot device " + path +
         ": install the udev rules (scripts/install-udev-rules)";
}

fb_transport* usb_open(fb_matcher matcher) {
  for (const std::string& path : fastboot::enumerateInterfacePaths()) {
    if (fb_transport* transport = usb_open_by_name(path, matcher)) return transport;
  }
  return nullptr;
}

namespace {

// Writes one piece within `timeoutMs`, as bulk transfers of at most kUsbTransferSliceMs each so
// that a stop of the station ends a loader that never takes the data. Returns the bytes moved
// (at least one) or -1 with the transport's error set.
long writePiece(fb_transport* transport, const uint8_t* data, long length, unsigned timeoutMs) {
  unsigned budget = timeoutMs;
  for (;;) {
    if (!transport->link) {
      setError(transport, kUsbErrorInvalidHandle);
      return -1;
    }
    unsigned slice = std::min(budget, kUsbTransferSliceMs);
    int error = 0;
    long written = transport->link->bulkWrite(data, length, slice, error);
    // A transfer that reports success but moves nothing is the time-out it amounts to.
    if (written == 0) error = kUsbErrorTimeout;
    setError(transport, written > 0 ? 0 : error);
    if (written > 0) return std::min(written, length);
    budget -= slice;
    if (error == kUsbErrorTimeout && budget > 0 && !host::stopRequested()) continue;
    if (error == kUsbErrorTimeout && host::stopRequested()) setError(transport, ECANCELED);
    return -1;
  }
}

}  // namespace

long usb_write(fb_transport* transport, const void* data, long length) {
  if (!transport) {
    setError(nullptr, kUsbErrorInvalidHandle);
    return -1;
  }
  if (length <= 0) return -1;
  const unsigned timeout = usb_timeout_ms(length);
  const auto* bytes = static_cast<const uint8_t*>(data);
  long done = 0;
  while (done < length) {
    long written =
        writePiece(transport, bytes + done, std::min(length - done, kUsbPieceSize), timeout);
    if (written < 0) {
      // A vanished interface, or a write abandoned on stop, leaves the link unusable.
      if (transport->error == kUsbErrorInvalidHandle || transport->error == ECANCELED) {
        usb_cleanup_handle(transport);
      }
      return -1;
    }
    done += written;
  }
  return done;
}

long usb_read(fb_transport* transport, void* buffer, long length) {
  if (!transport) {
    setError(nullptr, kUsbErrorInvalidHandle);
    return -1;
  }
  if (length <= 0) return -1;
  const unsigned timeout = usb_timeout_ms(length);
  const long piece = std::min(length, kUsbPieceSize);
  for (;;) {
    if (!transport->link) {
      setError(transport, kUsbErrorInvalidHandle);
      return -1;
    }
    int error = 0;
    long received = transport->link->bulkRead(static_cast<uint8_t*>(buffer), piece, timeout, error);
    setError(transport, received >= 0 ? 0 : error);
    if (received >= 0) return received;
    if (error == kUsbErrorInvalidHandle) {
      usb_cleanup_handle(transport);
      return -1;
    }
    if (error != kUsbErrorTimeout) return -1;
    // A loader that is busy erasing is waited for, but a stop of the station ends the wait.
    if (host::stopRequested()) {
      setError(transport, ECANCELED);
      return -1;
    }
  }
}

void usb_kick(fb_transport* transport) {
  if (!transport) {
    setError(nullptr, kUsbErrorInvalidHandle);
    return;
  }
  usb_cleanup_handle(transport);
}

int usb_close(fb_transport* transport) {
  if (!transport) return 0;
  usb_cleanup_handle(transport);
  delete transport;
  return 0;
}

int match_fastboot(fb_interface_info* info) {
  static constexpr uint16_t kVendors[] = {0x0451, 0x0502, 0x05C6, 0x0955, 0x0BB4,
                                          0x0FCE, 0x18D1, 0x22B8, 0x413C};
  bool knownVendor = false;
  for (uint16_t vendor : kVendors) knownVendor = knownVendor || info->vendor_id == vendor;
  if (!knownVendor) return -1;
  if (info->ifc_class != 0xFF || info->ifc_subclass != 0x42 || info->ifc_protocol != 0x03) {
    return -1;
  }
  return 0;
}
