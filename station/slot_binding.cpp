#include "station/slot_binding.h"

#include <array>
#include <mutex>

#include "platform/slot_record.h"

namespace {

struct Binding {
  std::string portPath;   // the path followed now; empty when free
  bool pinned = false;    // the path comes from cfg.ini and is never given up
  bool occupied = false;  // a module is on the port
};

std::mutex gBindingsMutex;
std::array<Binding, kSlotCount> gBindings;
int gBindingCount = 0;

}  // namespace

void configureSlotBindings(int count, const std::vector<std::string>& pinned) {
  std::lock_guard lock(gBindingsMutex);
  gBindings = {};
  gBindingCount = count < 0 ? 0 : (count > kSlotCount ? kSlotCount : count);
  for (int i = 0; i < gBindingCount && i < static_cast<int>(pinned.size()); ++i) {
    if (pinned[i].empty()) continue;
    bool taken = false;
    for (int j = 0; j < i; ++j) taken = taken || gBindings[j].portPath == pinned[i];
    if (!taken) gBindings[i] = {pinned[i], true, false};
  }
}

int slotForPortPath(const std::string& portPath) {
  if (portPath.empty()) return -1;
  std::lock_guard lock(gBindingsMutex);
  for (int i = 0; i < gBindingCount; ++i) {
    if (gBindings[i].portPath == portPath) return i;
  }
  for (int i = 0; i < gBindingCount; ++i) {
    if (!gBindings[i].portPath.empty()) continue;
    gBindings[i].portPath = portPath;
    return i;
  }
  return -1;
}

std::string slotPortPath(int index) {
  std::lock_guard lock(gBindingsMutex);
  return index >= 0 && index < gBindingCount ? gBindings[index].portPath : std::string();
}

bool slotOccupied(int index) {
  std::lock_guard lock(gBindingsMutex);
  return index >= 0 && index < gBindingCount && gBindings[index].occupied;
}

bool setSlotOccupied(int index, bool occupied) {
  std::lock_guard lock(gBindingsMutex);
  if (index < 0 || index >= gBindingCount) return false;
  const bool before = gBindings[index].occupied;
  gBindings[index].occupied = occupied;
  return before;
}

void releaseSlot(int index) {
  std::lock_guard lock(gBindingsMutex);
  if (index < 0 || index >= gBindingCount) return;
  gBindings[index].occupied = false;
  if (!gBindings[index].pinned) gBindings[index].portPath.clear();
}

void resetSlotBindings() {
  configureSlotBindings(0, {});
}
