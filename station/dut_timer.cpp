#include "station/dut_timer.h"

#include <array>
#include <climits>
#include <cstdlib>
#include <mutex>

#include "host/event_loop.h"
#include "host/operator_surface.h"
#include "host/report.h"

namespace {

struct DutTimer {
  int timerId = 0;
  // Counts the starts, so that a tick of an earlier run of the timer is told apart.
  unsigned run = 0;
  std::string text;
};

std::mutex gTimersMutex;
std::array<DutTimer, kMaxDuts> gTimers;

bool isDut(int dut) {
  return dut >= 1 && dut <= kMaxDuts;
}

// One tick; with the lock held.
void tick(int dut) {
  std::string& text = gTimers[dut - 1].text;
  long long count = std::strtoll(text.c_str(), nullptr, 10);
  if (count < INT_MIN || count >= INT_MAX) count = 0;
  text = std::to_string(count + 1);
  host::surface().setDutTime(dut, text);
}

}  // namespace

void dutTimerTick(int dut, unsigned run) {
  if (!isDut(dut)) return;
  std::lock_guard lock(gTimersMutex);
  const DutTimer& timer = gTimers[dut - 1];
  if (timer.timerId != 0 && timer.run == run) tick(dut);
}

unsigned dutTimerRun(int dut) {
  if (!isDut(dut)) return 0;
  std::lock_guard lock(gTimersMutex);
  return gTimers[dut - 1].run;
}

void timerCB(int dut) {
  if (!isDut(dut)) return;
  // Shown under the lock, so a reset to "0" from a worker is never overtaken by a stale tick.
  std::lock_guard lock(gTimersMutex);
  tick(dut);
}

void startDutTimer(int dut) {
  if (!isDut(dut)) return;
  std::lock_guard lock(gTimersMutex);
  DutTimer& timer = gTimers[dut - 1];
  if (timer.timerId) return;
  const unsigned run = ++timer.run;
  timer.timerId =
      host::uiLoop().startTimer(kDutTimerIntervalMs, [dut, run] { dutTimerTick(dut, run); });
}

void stopDutTimer(int dut) {
  if (!isDut(dut)) return;
  int id;
  {
    std::lock_guard lock(gTimersMutex);
    id = gTimers[dut - 1].timerId;
    gTimers[dut - 1].timerId = 0;
  }
  if (id) host::uiLoop().stopTimer(id);
}

void setDutTimeText(int dut, const std::string& text) {
  if (!isDut(dut)) return;
  std::lock_guard lock(gTimersMutex);
  gTimers[dut - 1].text = text;
  host::surface().setDutTime(dut, text);
}

std::string dutTimeText(int dut) {
  if (!isDut(dut)) return {};
  std::lock_guard lock(gTimersMutex);
  return gTimers[dut - 1].text;
}

void resetDutTimers() {
  for (int dut = 1; dut <= kMaxDuts; ++dut) stopDutTimer(dut);
  std::lock_guard lock(gTimersMutex);
  for (DutTimer& timer : gTimers) timer.text.clear();
}
