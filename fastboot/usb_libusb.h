#pragma once
// Fastboot interfaces on real USB hardware through libusb-1.0. Interfaces of class FF/42/03
// with exactly two bulk endpoints are listed with paths of the form
//   \\?\usb#vid_18d1&pid_d00d#<bus>-<port path>#{f72fe0d4-cbcb-407d-8814-9ed673d0dd6b}
// where the port path is the chain of hub ports joined by dots ("1-2.4"). Opening a path
// claims that interface (on its alternate setting) and clears an endpoint halt that the last
// session left; reading the serial number only opens the device. A machine without USB (no
// usbfs) lists nothing and opens nothing.

#include <cstdint>
#include <string>

#include "fastboot/backends.h"

namespace fastboot {

inline constexpr char kUsbPathPrefix[] = "\\\\?\\usb#";
inline constexpr char kUsbInterfaceClassGuid[] = "{f72fe0d4-cbcb-407d-8814-9ed673d0dd6b}";

std::string makeUsbInterfacePath(uint16_t vendorId, uint16_t productId,
                                 const std::string& instance);

// Splits a path of the form above. False when it is not one.
bool parseUsbInterfacePath(const std::string& path, uint16_t& vendorId, uint16_t& productId,
                           std::string& instance);

Backend makeLibusbBackend();

}  // namespace fastboot
