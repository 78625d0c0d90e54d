#pragma once
// The bench backend of the fastboot transport: the fastboot devices of the virtual bench's
// modules, named by interface paths "\\?\usb#vid_18d1&pid_d00d#bench-<id>#{...}" and reached
// over the TCP fastboot device that the bench runs for each of them.

#include <string>

namespace fastboot {

inline constexpr char kBenchPathPrefix[] = "\\\\?\\usb#vid_18d1&pid_d00d#bench-";

// Registers the backend for the bench at `socketPath`.
void registerBenchBackend(const std::string& socketPath);
// Registers it when ZENDRAL_BENCH is set; returns whether it did.
bool registerBenchBackendFromEnvironment();

}  // namespace fastboot
