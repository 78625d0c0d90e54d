#pragma once
// How long a virtual module takes for what it does by itself: restarts, the moments of its AT
// port after boot, its EFS backup. In test timing every delay is scaled by ZENDRAL_TIME_SCALE
// (fast and exact); in real timing the module keeps its own delays whatever the time scale
// says, with the spread a real module shows, so that a station at time scale 1 meets the
// delays it will meet on the line.

#include <cstddef>
#include <cstdint>
#include <random>

namespace sim {

namespace timing {

// Nominal seconds of a module's own delays.
inline constexpr double kNormalBootSeconds = 5.0;
inline constexpr double kDownloadBootSeconds = 3.0;
inline constexpr double kFastbootBootSeconds = 4.0;
inline constexpr double kEfsBackupSeconds = 2.0;
// A restart asked for on the AT port lets the station read the echo first: the tty vanishes
// only after the station's reply time has passed, however small the time scale.
inline constexpr double kAtRestartDelaySeconds = 1.5;
inline constexpr int64_t kAtRestartDelayFloorMs = 400;
inline constexpr double kDiagRestartDelaySeconds = 0.2;
// In real timing the old port of a module that was told to restart may stay listed a while.
inline constexpr double kRealVanishMinSeconds = 0.3;
inline constexpr double kRealVanishMaxSeconds = 1.2;
// After boot the radio is off for a moment, and the port prints its unsolicited lines.
inline constexpr double kRadioOffSeconds = 1.5;
inline constexpr double kReadyLineMinSeconds = 0.2;
inline constexpr double kReadyLineMaxSeconds = 0.8;
// The pieces of one AT reply follow each other at most this far apart.
inline constexpr double kReplyPieceGapSeconds = 0.15;
// How often the fastboot device is looked at while the loader runs (real milliseconds).
inline constexpr uint64_t kFastbootWatchMs = 2;

}  // namespace timing

enum class TimingMode { kTest, kReal };

class ModuleClock {
 public:
  explicit ModuleClock(TimingMode mode = TimingMode::kTest);

  TimingMode mode() const { return mode_; }

  // The tick (host::tickMs) at which a module delay of nominally `seconds` from `now` ends.
  // Test timing: scaled, never below `floorMs`. Real timing: unscaled, 0.8 to 1.2 times the
  // nominal delay.
  uint64_t after(uint64_t now, double seconds, int64_t floorMs = 0);
  // A delay between `minSeconds` and `maxSeconds`, scaled in test timing.
  uint64_t between(uint64_t now, double minSeconds, double maxSeconds);
  // When the ports of a module told to restart over its diagnostic port go away.
  uint64_t vanishAfterSwitch(uint64_t now);
  // A random number from 0 to `count` - 1 (the module's own whims: where a reply is cut).
  size_t pick(size_t count);

 private:
  double spread(double low, double high);

  TimingMode mode_;
  std::mt19937 random_;
};

}  // namespace sim
