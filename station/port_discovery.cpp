#include "station/port_discovery.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "host/clock.h"
#include "host/event_loop.h"
#include "host/locks.h"
#include "host/report.h"
#include "station/dispatcher.h"
#include "station/port_names.h"
#include "station/slot_access.h"
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

// Stores a classified port in slot 1 and dispatches it. Returns false when the port was
// dispatched but no slot took it as present.
bool dispatchPort(PortRole role, int com, const std::string& name) {
  ThreadData& slot = gThreadData[0];
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
  OnPortArrived(com, kind);
  return bPortPresent(com) != 0;
}

// Hands a fastboot device to a slot: one that waits for it, else an idle one.
void assignFastbootDevice(const std::string& path) {
  std::lock_guard lock(threadDataLock);
  for (const ThreadData& slot : gThreadData) {
    if (path == slot.devicePath) return;  // this device's download is already under way
  }
  ThreadData* chosen = nullptr;
  for (ThreadData& slot : gThreadData) {
    const SlotState state = slotState(slot);
    if (state == DUT_WAIT_AP || state == DUT_TO_FASTBOOT) {
      chosen = &slot;
      break;
    }
  }
  for (ThreadData& slot : gThreadData) {
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

// After a removal: which of slot 1's ports are still there. An idle slot whose module has gone
// shows "Device unplug.". The flags are worked out first and stored once, so a worker polling
// them never sees a port that is still there as gone.
void refreshPresence() {
  std::lock_guard lock(datalock);
  ThreadData& slot = gThreadData[0];
  int present = 0;
  int present9009 = 0;
  int present9008 = 0;
  auto store = [&] {
    storeField(slot.present, present);
    storeField(slot.present9009, present9009);
    storeField(slot.present9008, present9008);
  };
  std::vector<host::SerialPortInfo> ports;
  if (int error = host::deviceDirectory().listSerialPorts(ports)) {
    store();
    printListError("Error!   SetupDiGetClassDevs()   return   %d\n", error);
    return;
  }
  for (const host::SerialPortInfo& port : ports) {
    if (!isDiagnosticPortName(port.friendlyName)) continue;
    const int com = comNumberOfFriendlyName(port.friendlyName);
    if (com == 0) {
      store();  // an unreadable name ends the look without a verdict
      return;
    }
    if (com == slot.diaport || com == slot.ql9008port || com == slot.ql9009port) present = 1;
    if (com == slot.ql9009port) present9009 = 1;
    if (com == slot.ql9008port) present9008 = 1;
  }
  store();
  if (present == 0 && slotState(slot) == DUT_IDLE) {
    updateProgressBar(1, 0.0);
    updateMesage(1, "Device unplug.");
    updateStatus(1, 1);
  }
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
    if (!dispatchPort(role, com, name)) result = 1;
  }
  return result;
}

void ScanFastbootDevices() {
  ScanScope scope;
  std::lock_guard lock(datalock);
  std::vector<std::string> paths;
  if (int error = host::deviceDirectory().listUsbInterfaces(paths)) {
    printListError("SetupDiGetClassDevsEx failed: %d\n", error);
    return;
  }
  for (const std::string& path : paths) {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    if (!usbIdsOfInterfacePath(path, vendorId, productId)) continue;
    if (vendorId != kFastbootVendorId || productId != kFastbootProductId || !pPlatforms) continue;
    if (path.size() >= sizeof gThreadData[0].devicePath) {
      std::fprintf(stderr, "fastboot device path too long, skipped: %s\n", path.c_str());
      continue;
    }
    assignFastbootDevice(path);
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
