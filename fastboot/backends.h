#pragma once
// The registry of transport backends. A backend owns the interface paths that begin with its
// prefix ("tcp:", "\\?\usb#", or a longer prefix such as the bench's); the longest matching
// prefix wins, compared without regard to case as interface paths are. The libusb and TCP
// backends are always present; other programs add theirs with registerBackend.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fastboot/usb_link.h"

namespace fastboot {

struct Backend {
  // Paths starting with this text belong to the backend.
  std::string prefix;
  // The interface paths present now; may be empty. Never fails.
  std::function<std::vector<std::string>()> enumerate;
  // Opens one interface; null with `error` set when it cannot be opened.
  std::function<std::unique_ptr<UsbLink>(const std::string& path, int& error)> open;
  // Reads an interface's serial number without taking the interface from whoever uses it;
  // false when it cannot be read. Optional.
  std::function<bool(const std::string& path, std::string& serial)> serialNumber = {};
};

// Adds a backend, replacing one with the same prefix.
void registerBackend(Backend backend);
// Removes the backend with that prefix (the built-in ones come back on the next lookup only if
// they were not replaced). Used by tests and by programs that tear down their own backend.
void unregisterBackend(const std::string& prefix);

// The backend owning `path`, or null when no prefix matches.
std::shared_ptr<const Backend> backendFor(const std::string& path);
// The interface paths of every backend, backend by backend.
std::vector<std::string> enumerateInterfacePaths();

}  // namespace fastboot
