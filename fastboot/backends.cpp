#include "fastboot/backends.h"

#include <algorithm>
#include <cctype>
#include <mutex>

#include "fastboot/usb_libusb.h"
#include "fastboot/usb_tcp.h"

namespace fastboot {
namespace {

std::mutex gRegistryMutex;

std::vector<std::shared_ptr<const Backend>>& registry() {
  // The built-in backends join on first use, so a program that only registers its own still
  // finds real hardware and network devices.
  static std::vector<std::shared_ptr<const Backend>> backends = {
      std::make_shared<const Backend>(makeLibusbBackend()),
      std::make_shared<const Backend>(makeTcpBackend()),
  };
  return backends;
}

bool startsWithNoCase(const std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size()) return false;
  return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  });
}

bool samePrefix(const std::string& a, const std::string& b) {
  return a.size() == b.size() && startsWithNoCase(a, b);
}

}  // namespace

void registerBackend(Backend backend) {
  std::lock_guard lock(gRegistryMutex);
  auto& backends = registry();
  std::erase_if(backends, [&](const auto& b) { return samePrefix(b->prefix, backend.prefix); });
  backends.push_back(std::make_shared<const Backend>(std::move(backend)));
}

void unregisterBackend(const std::string& prefix) {
  std::lock_guard lock(gRegistryMutex);
  std::erase_if(registry(), [&](const auto& b) { return samePrefix(b->prefix, prefix); });
}

std::shared_ptr<const Backend> backendFor(const std::string& path) {
  std::lock_guard lock(gRegistryMutex);
  std::shared_ptr<const Backend> best;
  for (const auto& backend : registry()) {
    if (!startsWithNoCase(path, backend->prefix)) continue;
    if (!best || backend->prefix.size() > best->prefix.size()) best = backend;
  }
  return best;
}

std::vector<std::string> enumerateInterfacePaths() {
  std::vector<std::shared_ptr<const Backend>> backends;
  {
    std::lock_guard lock(gRegistryMutex);
    backends = registry();
  }
  // Enumerate outside the lock: a backend may take a while to list real hardware.
  std::vector<std::string> paths;
  for (const auto& backend : backends) {
    if (!backend->enumerate) continue;
    for (std::string& path : backend->enumerate()) paths.push_back(std::move(path));
  }
  return paths;
}

}  // namespace fastboot
