#pragma once
// One open fastboot connection and the operations on it: opening by path or by enumeration,
// deciding whether an interface is a fastboot interface, reads and writes in the station's
// piece sizes and time-outs, and releasing. The bytes travel through a backend's UsbLink
// (fastboot/backends.h), so the same rules hold for USB hardware, TCP devices and the bench.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fastboot/usb_link.h"

// Largest piece of one bulk transfer, for reads and writes.
inline constexpr long kUsbPieceSize = 4096;
// Longest single transfer of a write: a piece's time-out is spent in slices of this length, so
// a stop of the station ends the write within about a second.
inline constexpr unsigned kUsbTransferSliceMs = 1000;

// An open connection. A released (kicked) transport has no link and no name; every read or
// write on it fails at once. Only its owner frees it, with usb_close.
struct fb_transport {
  std::unique_ptr<fastboot::UsbLink> link;
  std::string name;
  // The error number the last failing operation left behind (see usb_link.h).
  int error = 0;
};

// The error number of the last failing transport operation on this thread, also for operations
// that had no transport to store it in (a failed open, a null transport).
int usb_last_error();

// Time-out of one transfer asked for `length` bytes: 8 ms per byte plus 500 ms.
unsigned usb_timeout_ms(long length);

// Opens the interface with this path through the backend that owns it; null on failure, with
// the error in usb_last_error().
fb_transport* do_usb_open(const std::string& name);
// Releases the link and the name; the transport itself stays. Null is ignored.
void usb_cleanup_handle(fb_transport* transport);
// 1 when the interface has exactly two endpoints and the matcher accepts it, else 0.
int recognized_device(fb_transport* transport, fb_matcher matcher);
// Reads the serial number of the interface at `path` without claiming it, so a device in use is
// not disturbed. False (and an empty serial) when it cannot be read.
bool usb_read_serial(const std::string& path, std::string& serial);
// What the operator reads when the interface at `path` cannot be opened for lack of permission.
std::string usb_permission_text(const std::string& path);
// The first enumerated interface that the matcher accepts, or null.
fb_transport* usb_open(fb_matcher matcher);
// The interface with this path when the matcher accepts it, else null.
fb_transport* usb_open_by_name(const std::string& name, fb_matcher matcher);

// Writes all of `data` in pieces of at most 4,096 bytes, each within the time-out of the whole
// length, spent in transfers of at most a second. A stop of the station ends the write and
// releases the transport. Returns `length` or -1.
long usb_write(fb_transport* transport, const void* data, long length);
// One transfer of at most min(length, 4,096) bytes; time-outs are retried until data arrives,
// the interface vanishes, or the station is stopped. Returns the bytes received or -1.
long usb_read(fb_transport* transport, void* buffer, long length);
// Releases the handles without freeing the transport, so later reads and writes fail fast.
void usb_kick(fb_transport* transport);
// Releases the handles and frees the transport. Null is ignored. Returns 0.
int usb_close(fb_transport* transport);

// Accepts fastboot interfaces: a known boot-loader vendor and interface class FF/42/03.
int match_fastboot(fb_interface_info* info);

// Wraps an already opened link in a transport; for backends and tests that build links
// themselves.
fb_transport* usb_adopt_link(std::unique_ptr<fastboot::UsbLink> link, const std::string& name);
