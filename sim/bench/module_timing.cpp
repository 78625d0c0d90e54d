#include "sim/bench/module_timing.h"

#include <algorithm>

#include "host/clock.h"

namespace sim {

using namespace timing;

ModuleClock::ModuleClock(TimingMode mode) : mode_(mode), random_(std::random_device{}()) {}

double ModuleClock::spread(double low, double high) {
  return std::uniform_real_distribution<double>(low, high)(random_);
}

uint64_t ModuleClock::after(uint64_t now, double seconds, int64_t floorMs) {
  if (mode_ == TimingMode::kReal) {
    return now + static_cast<uint64_t>(seconds * spread(0.8, 1.2) * 1000);
  }
  const int64_t ms = host::scaledMs(static_cast<int64_t>(seconds * 1000));
  return now + static_cast<uint64_t>(std::max<int64_t>(ms, std::max<int64_t>(floorMs, 0)));
}

uint64_t ModuleClock::between(uint64_t now, double minSeconds, double maxSeconds) {
  const double seconds = spread(minSeconds, maxSeconds);
  if (mode_ == TimingMode::kReal) return now + static_cast<uint64_t>(seconds * 1000);
  return now + static_cast<uint64_t>(
                   std::max<int64_t>(host::scaledMs(static_cast<int64_t>(seconds * 1000)), 0));
}

size_t ModuleClock::pick(size_t count) {
  if (count <= 1) return 0;
  return std::uniform_int_distribution<size_t>(0, count - 1)(random_);
}

uint64_t ModuleClock::vanishAfterSwitch(uint64_t now) {
  if (mode_ == TimingMode::kReal) return between(now, kRealVanishMinSeconds, kRealVanishMaxSeconds);
  return after(now, kDiagRestartDelaySeconds);
}

}  // namespace sim
