#pragma once
// How long a virtual module takes for its restarts, in seconds before ZENDRAL_TIME_SCALE.

#include <cstdint>

namespace sim::timing {

inline constexpr double kNormalBootSeconds = 5.0;
inline constexpr double kDownloadBootSeconds = 3.0;
inline constexpr double kFastbootBootSeconds = 4.0;
inline constexpr double kEfsBackupSeconds = 2.0;
// A restart asked for on the AT port lets the station read the echo first: the tty vanishes
// only after the station's reply time has passed, however small the time scale.
inline constexpr double kAtRestartDelaySeconds = 1.5;
inline constexpr int64_t kAtRestartDelayFloorMs = 400;
inline constexpr double kDiagRestartDelaySeconds = 0.2;
// How often the fastboot device is looked at while the loader runs (real milliseconds).
inline constexpr uint64_t kFastbootWatchMs = 2;

}  // namespace sim::timing
