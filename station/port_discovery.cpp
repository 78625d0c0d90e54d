#include "station/port_discovery.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "host/clock.h"
#include "host/event_loop.h"
#include "host/locks.h"
#include "host/report.h"
#include "station/dispatcher.h"
#include "station/port_names.h"
#include "station/slot_access.h"
#include "station/slot_binding.h"
#include "station/station_state.h"
#include "station/worker_scheduling.h"
#include "station/workers.h"

namespace {

// The directory subscription, from the first Start until shutdown: removals are handled whether
// or not the station listens (arrivals only while it does). Changes carry the generation they
// were reported under, so that those still queued on the UI loop at shutdown are dropped.
std::mutex gSubscriptionMutex;
host::DeviceDirectory* gSubscribedDirectory = nullptr;
int gSubscriptionId = 0;
std::atomic<unsigned> gGeneration{0};
std::atomic<bool> gSubscribed{false};

// Scans running on this thread. A scan may wait for the operator (the QCN file chooser) while it
// holds datalock; a window system keeps delivering events meanwhile, so a change handled then
// would take datalock a second time. Such changes wait until the scan is over.
thread_local int tScanDepth = 0;
thread_local std::vector<host::DeviceChange> tDeferredChanges;

class ScanScope {
 public:
  ScanScope() { ++tScanDepth; }
  ~ScanScope() {
    if (--tScanDepth > 0 || tDeferredChanges.empty()) return;
    std::vector<host::DeviceChange> changes;
    changes.swap(tDeferredChanges);
    for (host::DeviceChange change : changes) {
      host::uiLoop().post([change] { fnDeviceChangeCB(change); });
    }
  }
  ScanScope(const ScanScope&) = delete;
  ScanScope& operator=(const ScanScope&) = delete;
};

void printListError(const char* format, int error) {
  // Standard output may be the headless station's event stream: errors go to standard error.
  std::fprintf(stderr, format, error);
}

// Whether slot `index` is idle with no worker queued or running.
bool slotAtRest(int index) {
  ThreadData& slot = gThreadData[index];
  return slotState(slot) == DUT_IDLE && !slotWorkerRunning(slot);
}

// Slot `index` no longer follows a module: it gives its port up (a pinned slot keeps its path)
// and forgets the module's ports, so the next module there starts afresh.
void forgetModule(int index) {
  releaseSlot(index);
  ThreadData& slot = gThreadData[index];
  for (int32_t* port : {&slot.diaport, &slot.atport, &slot.ql9008port, &slot.ql9009port}) {
    storeField(*port, 0);
  }
}

// When no slot is free: the slots at rest whose module was pulled out during its run are
// given up.
void reclaimVacatedSlots() {
  for (int index = 0; index < dutCount(); ++index) {
    if (!slotPortPath(index).empty() && !slotOccupied(index) && slotAtRest(index)) {
      forgetModule(index);
    }
  }
}

// The slot a module port or device on `portPath` belongs to: with one slot always DUT 1's,
// with several the slot that follows the path (bound now when it is new); -1 for none.
int slotOfPortPath(const std::string& portPath) {
  if (dutCount() == 1) return 0;
  int index = slotForPortPath(portPath);
  if (index < 0 && !portPath.empty()) {
    reclaimVacatedSlots();
    index = slotForPortPath(portPath);
  }
  if (index >= 0) setSlotOccupied(index, true);
  return index;
}

// Whether a port on `portPath` counts for slot `index`: with one slot every port does.
bool countsForSlot(int index, const std::string& portPath) {
  return dutCount() == 1 || (!portPath.empty() && portPath == slotPortPath(index));
}

// Stores a classified port in slot `index` and dispatches it. Returns false when the port was
// dispatched but no slot took it as present.
bool dispatchPort(int index, PortRole role, int com, const std::string& name) {
  ThreadData& slot = gThreadData[index];
  int kind;
  switch (role) {
    case PortRole::AtPort:
      storeField(slot.atport, com);
      return true;
    case PortRole::Port9009:
      storeField(slot.ql9009port, com);
      storeField(slot.present9009, 1);
      kind = kPort9009;
      break;
    case PortRole::Port9008:
      storeField(slot.ql9008port, com);
      storeField(slot.present9008, 1);
      kind = kPort9008;
      break;
    default:
      storeField(slot.diaport, com);
      kind = diagnosticKindOfName(name);
      break;
  }
  OnPortArrivedInSlot(index, com, kind);
  return bPortPresent(com) != 0;
}

// Hands a fastboot device to one of `slots`: one that waits for it, else an idle one.
void assignFastbootDevice(const std::string& path, std::span<ThreadData> slots) {
  std::lock_guard lock(threadDataLock);
  for (const ThreadData& slot : activeSlots()) {
    if (path == slot.devicePath) return;  // this device's download is already under way
  }
  ThreadData* chosen = nullptr;
  for (ThreadData& slot : slots) {
    const SlotState state = slotState(slot);
    if (state == DUT_WAIT_AP || state == DUT_TO_FASTBOOT) {
      chosen = &slot;
      break;
    }
  }
  for (ThreadData& slot : slots) {
    if (!chosen && slotState(slot) == DUT_IDLE) chosen = &slot;
  }
  if (!chosen) return;
  setSlotState(*chosen, DUT_AP_DOWNLOAD);
  std::snprintf(chosen->devicePath, sizeof chosen->devicePath, "%s", path.c_str());
  storeField(chosen->slot, slotIndex(*chosen) + 1);
  if (!scheduleWorker(*chosen, ApDLThreadFunction)) {
    chosen->devicePath[0] = '\0';
    setSlotState(*chosen, DUT_IDLE);
  }
}

// With several slots, after a removal: a slot whose module has left its port now, while the
// slot is at rest, shows "Device unplug." and gives the port up. A module pulled out during
// its run leaves its slot to report the run's failure, still bound to the port.
void followUnplugs(const std::vector<host::SerialPortInfo>& ports) {
  std::vector<host::UsbDeviceInfo> devices;
  if (host::deviceDirectory().listUsbDevices(devices) != 0) return;
  for (int index = 0; index < dutCount(); ++index) {
    const std::string path = slotPortPath(index);
    if (path.empty()) continue;
    const bool occupied =
        std::any_of(ports.begin(), ports.end(), [&](auto& p) { return p.portPath == path; }) ||
        std::any_of(devices.begin(), devices.end(), [&](auto& d) { return d.portPath == path; });
    const bool wasOccupied = setSlotOccupied(index, occupied);
    if (occupied || !wasOccupied || !slotAtRest(index)) continue;
    const int dut = index + 1;
    updateProgressBar(dut, 0.0);
    updateMesage(dut, "Device unplug.");
    updateStatus(dut, 1);
    forgetModule(index);
  }
}

// The presence flags of slot `index` from the present ports. `complete` is false when an
// unreadable name ended the look early (the flags then hold what was seen before it).
struct Presence {
  int present = 0;
  int present9009 = 0;
  int present9008 = 0;
};

Presence presenceOf(int index, const std::vector<host::SerialPortInfo>& ports, bool& complete) {
  const ThreadData& slot = gThreadData[index];
  Presence flags;
  complete = false;
  for (const host::SerialPortInfo& port : ports) {
    if (!isDiagnosticPortName(port.friendlyName)) continue;
    const int com = comNumberOfFriendlyName(port.friendlyName);
    if (com == 0) return flags;  // an unreadable name ends the look without a verdict
    if (!countsForSlot(index, port.portPath)) continue;
    if (com == slot.diaport || com == slot.ql9008port || com == slot.ql9009port) {
      flags.present = 1;
    }
    if (com == slot.ql9009port) flags.present9009 = 1;
    if (com == slot.ql9008port) flags.present9008 = 1;
  }
  complete = true;
  return flags;
}

void storePresence(ThreadData& slot, const Presence& flags) {
  storeField(slot.present, flags.present);
  storeField(slot.present9009, flags.present9009);
  storeField(slot.present9008, flags.present9008);
}

// After a removal: which of each slot's ports are still there. An idle slot whose module has
// gone shows "Device unplug.". The flags are worked out first and stored once, so a worker
// polling them never sees a port that is still there as gone.
void refreshPresence() {
  std::lock_guard lock(datalock);
  std::vector<host::SerialPortInfo> ports;
  if (int error = host::deviceDirectory().listSerialPorts(ports)) {
    for (ThreadData& slot : activeSlots()) storePresence(slot, {});
    printListError("Error!   SetupDiGetClassDevs()   return   %d\n", error);
    return;
  }
  for (int index = 0; index < dutCount(); ++index) {
    ThreadData& slot = gThreadData[index];
    bool complete;
    const Presence flags = presenceOf(index, ports, complete);
    storePresence(slot, flags);
    if (!complete || dutCount() > 1) continue;
    if (flags.present == 0 && slotState(slot) == DUT_IDLE) {
      updateProgressBar(1, 0.0);
      updateMesage(1, "Device unplug.");
      updateStatus(1, 1);
    }
  }
  if (dutCount() > 1) followUnplugs(ports);
}

}  // namespace

bool registerDeviceNotifications() {
  std::lock_guard lock(gSubscriptionMutex);
  if (gSubscribedDirectory) return true;
  const unsigned generation = ++gGeneration;
  gSubscribedDirectory = &host::deviceDirectory();
  gSubscriptionId = gSubscribedDirectory->subscribe([generation](host::DeviceChange change) {
    host::uiLoop().post([generation, change] {
      if (gSubscribed && gGeneration == generation) fnDeviceChangeCB(change);
    });
  });
  gSubscribed = true;
  return true;
}

void unregisterDeviceNotifications() {
  host::DeviceDirectory* directory;
  int id;
  {
    std::lock_guard lock(gSubscriptionMutex);
    directory = gSubscribedDirectory;
    id = gSubscriptionId;
    gSubscribedDirectory = nullptr;
    gSubscriptionId = 0;
    gSubscribed = false;
  }
  if (directory) directory->unsubscribe(id);
}

int ScanComPorts() {
  ScanScope scope;
  std::lock_guard lock(datalock);
  std::vector<host::SerialPortInfo> ports;
  if (int error = host::deviceDirectory().listSerialPorts(ports)) {
    printListError("Error!   SetupDiGetClassDevs()   return   %d\n", error);
    return 0;
  }
  int result = 0;
  for (const host::SerialPortInfo& port : ports) {
    const std::string& name = port.friendlyName;
    if (name.empty()) continue;
    const PortRole role = portRoleOfName(name);
    if (role == PortRole::NotModule) continue;
    const int com = comNumberOfFriendlyName(name);
    if (com == 0) break;  // ports listed after an unreadable name wait for the next scan
    const int index = slotOfPortPath(port.portPath);
    if (index < 0) continue;  // no slot is free for this module
    if (!dispatchPort(index, role, com, name)) result = 1;
  }
  return result;
}

void ScanFastbootDevices() {
  ScanScope scope;
  std::lock_guard lock(datalock);
  std::vector<host::UsbDeviceInfo> devices;
  if (int error = host::deviceDirectory().listUsbDevices(devices)) {
    printListError("SetupDiGetClassDevsEx failed: %d\n", error);
    return;
  }
  for (const host::UsbDeviceInfo& device : devices) {
    const std::string& path = device.path;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    if (!usbIdsOfInterfacePath(path, vendorId, productId)) continue;
    if (vendorId != kFastbootVendorId || productId != kFastbootProductId || !pPlatforms) continue;
    if (path.size() >= sizeof gThreadData[0].devicePath) {
      std::fprintf(stderr, "fastboot device path too long, skipped: %s\n", path.c_str());
      continue;
    }
    if (dutCount() == 1) {
      assignFastbootDevice(path, activeSlots());
    } else if (const int index = slotOfPortPath(device.portPath); index >= 0) {
      // A fastboot device belongs to the slot whose port it appears on.
      assignFastbootDevice(path, activeSlots().subspan(static_cast<size_t>(index), 1));
    }
  }
}

int fnDeviceChangeCB(host::DeviceChange change) {
  if (tScanDepth > 0) {
    tDeferredChanges.push_back(change);
    return 0;
  }
  if (change == host::DeviceChange::Removal) {
    refreshPresence();
  } else if (listening == 1 && !host::stopRequested()) {
    if (ScanComPorts() == 0) ScanFastbootDevices();
  }
  return 0;
}
