#pragma once
// Running the action queue over one DUT's transport, with the DUT's log messages and progress
// bar, and flash_all, the AP download entry point of the chipset procedures.

#include <cstdint>
#include <shared_mutex>
#include <string>

#include "fastboot/transport.h"

// Time flash_all waits for the DUT's fastboot device to appear (scaled).
inline constexpr double kFlashAllOpenLimitSeconds = 180.0;

// Runs every step of the queue. `total` is the byte count progress is measured against,
// `start` the fraction reached before. Returns 0 when every step succeeded, the non-zero
// result of the first failing step, or -1 when the queue held nothing to send.
int fb_execute_queue(int dut, fb_transport* transport, uint64_t total, double start);

// Opens the fastboot device at `path` (retrying every millisecond for up to three minutes, or
// until the station is stopped), runs the queue over it and closes it. A firmware cannot be
// loaded from the moment it starts waiting until it returns.
int flash_all(int dut, const std::string& path, uint64_t total, double start);

namespace fastboot {

// Held shared by every run of the queue. A firmware load takes it exclusively and is refused
// while a run holds it, so the queue and its images never change under a running download.
std::shared_mutex& queueUseLock();

}  // namespace fastboot
