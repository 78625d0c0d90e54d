#include "host/clock.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

namespace host {
namespace {

std::mutex gStopMutex;
std::condition_variable gStopChanged;
bool gStop = false;

double readTimeScale() {
  const char* text = std::getenv("ZENDRAL_TIME_SCALE");
  if (!text || !*text) return 1.0;
  char* end = nullptr;
  double value = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(value >= 0.0) || value > 1e6) return 1.0;
  return value;
}

}  // namespace

double timeScale() {
  static const double scale = readTimeScale();
  return scale;
}

double scaledSeconds(double seconds) { return seconds * timeScale(); }

int64_t scaledMs(int64_t ms) { return static_cast<int64_t>(static_cast<double>(ms) * timeScale()); }

uint64_t tickMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool sleepMs(int64_t ms) {
  std::unique_lock lock(gStopMutex);
  if (ms <= 0) return !gStop;
  return !gStopChanged.wait_for(lock, std::chrono::milliseconds(ms), [] { return gStop; });
}

bool Delay(double seconds) {
  return sleepMs(static_cast<int64_t>(scaledSeconds(seconds) * 1000.0));
}

void requestStop() {
  {
    std::lock_guard lock(gStopMutex);
    gStop = true;
  }
  gStopChanged.notify_all();
}

void clearStop() {
  std::lock_guard lock(gStopMutex);
  gStop = false;
}

bool stopRequested() {
  std::lock_guard lock(gStopMutex);
  return gStop;
}

}  // namespace host
