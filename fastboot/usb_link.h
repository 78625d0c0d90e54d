#pragma once
// What a USB interface library provides for one opened fastboot interface: its descriptors,
// its serial number and synchronous transfers over its two bulk endpoints. The transport
// (fastboot/transport.h) builds the station's piece sizes, time-outs and retries on top of it;
// each backend (libusb, TCP, the bench) implements it once.

#include <cstddef>
#include <cstdint>
#include <string>

// Error numbers a link reports, in the numbering of the interface library the station was
// written against: a transfer that timed out, and an interface that is gone.
inline constexpr int kUsbErrorTimeout = 121;
inline constexpr int kUsbErrorInvalidHandle = 6;

// Filled for each candidate interface and handed to a matcher.
struct fb_interface_info {
  uint16_t vendor_id = 0;
  uint16_t product_id = 0;
  uint8_t dev_class = 0;
  uint8_t dev_subclass = 0;
  uint8_t dev_protocol = 0;
  uint8_t ifc_class = 0;
  uint8_t ifc_subclass = 0;
  uint8_t ifc_protocol = 0;
  uint8_t writable = 0;
  char serial_number[256] = {};
};

// Returns 0 to accept the interface, anything else to refuse it.
using fb_matcher = int (*)(fb_interface_info* info);

namespace fastboot {

// The descriptor fields a link reports; the transport copies them into fb_interface_info.
struct UsbDescriptors {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint8_t deviceClass = 0;
  uint8_t deviceSubclass = 0;
  uint8_t deviceProtocol = 0;
  uint8_t interfaceClass = 0;
  uint8_t interfaceSubclass = 0;
  uint8_t interfaceProtocol = 0;
  uint8_t endpointCount = 0;
};

// The descriptors of a module in fastboot mode: USB 18D1:D00D, an interface of class
// FF/42/03 with its two bulk endpoints. Links that stand in for such a module report these.
inline UsbDescriptors moduleFastbootDescriptors() {
  UsbDescriptors d;
  d.vendorId = 0x18D1;
  d.productId = 0xD00D;
  d.interfaceClass = 0xFF;
  d.interfaceSubclass = 0x42;
  d.interfaceProtocol = 0x03;
  d.endpointCount = 2;
  return d;
}

class UsbLink {
 public:
  virtual ~UsbLink() = default;

  // The device and interface descriptors; false when either cannot be read.
  virtual bool readDescriptors(UsbDescriptors& descriptors) = 0;
  // The device's serial number as text; false when it cannot be read.
  virtual bool readSerialNumber(std::string& serial) = 0;

  // One bulk transfer of at most `length` bytes within `timeoutMs`. Returns the bytes moved,
  // or -1 with `error` set (kUsbErrorTimeout, kUsbErrorInvalidHandle or an errno value).
  virtual long bulkWrite(const uint8_t* data, size_t length, unsigned timeoutMs, int& error) = 0;
  virtual long bulkRead(uint8_t* buffer, size_t length, unsigned timeoutMs, int& error) = 0;
};

}  // namespace fastboot
