#include "station/station_services.h"

#include <memory>

#include "host/bench_device_directory.h"
#include "host/device_directory.h"
#include "station/slot_stop.h"

namespace {

std::unique_ptr<host::DeviceDirectory> gOwnDirectory;
bool gOwnSlots = false;

}  // namespace

void installStationServices() {
  // Installing returns what was there; put it back when it was not the stand-in.
  if (DutSlots* installed = installDutSlots(&stationDutSlots())) {
    installDutSlots(installed);
  } else {
    gOwnSlots = true;
  }
  if (host::DeviceDirectory* installed = host::installDeviceDirectory(nullptr)) {
    host::installDeviceDirectory(installed);
  } else {
    gOwnDirectory = host::makeDeviceDirectoryFromEnvironment();
    host::installDeviceDirectory(gOwnDirectory.get());
  }
}

void removeStationServices() {
  if (gOwnDirectory) {
    host::installDeviceDirectory(nullptr);
    gOwnDirectory.reset();
  }
  if (gOwnSlots) {
    installDutSlots(nullptr);
    gOwnSlots = false;
  }
}
