#include "host/clock.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <set>

namespace host {
namespace {

std::mutex gStopMutex;
std::condition_variable gStopChanged;
bool gStop = false;
std::set<int> gStoppedSlots;  // under gStopMutex
thread_local int tWorkingForSlot = -1;

// Under gStopMutex: whether a wait of the calling thread has to end.
bool stopSeenLocked() {
  return gStop || (tWorkingForSlot >= 0 && gStoppedSlots.count(tWorkingForSlot) != 0);
}

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

double scaledSeconds(double seconds) {
  return seconds * timeScale();
}

int64_t scaledMs(int64_t ms) {
  return static_cast<int64_t>(static_cast<double>(ms) * timeScale());
}

uint64_t tickMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool sleepMs(int64_t ms) {
  std::unique_lock lock(gStopMutex);
  if (ms <= 0) return !stopSeenLocked();
  return !gStopChanged.wait_for(lock, std::chrono::milliseconds(ms), stopSeenLocked);
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
  gStoppedSlots.clear();
}

bool stopRequested() {
  std::lock_guard lock(gStopMutex);
  return stopSeenLocked();
}

void requestSlotStop(int slot) {
  {
    std::lock_guard lock(gStopMutex);
    gStoppedSlots.insert(slot);
  }
  gStopChanged.notify_all();
}

void clearSlotStop(int slot) {
  std::lock_guard lock(gStopMutex);
  gStoppedSlots.erase(slot);
}

bool slotStopRequested(int slot) {
  std::lock_guard lock(gStopMutex);
  return gStop || gStoppedSlots.count(slot) != 0;
}

SlotStopScope::SlotStopScope(int slot) : previous_(tWorkingForSlot) {
  tWorkingForSlot = slot;
}

SlotStopScope::~SlotStopScope() {
  tWorkingForSlot = previous_;
}

}  // namespace host
