#include "station/station_services.h"

#include <memory>

#include "fastboot/backends.h"
#include "fastboot/bench_transport.h"
#include "host/bench_device_directory.h"
#include "host/device_directory.h"
#include "station/slot_stop.h"

namespace {

std::unique_ptr<host::DeviceDirectory> gOwnDirectory;
bool gOwnSlots = false;
bool gOwnBenchBackend = false;

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
  // The bench's modules show their fastboot devices through the bench too.
  if (!gOwnBenchBackend) gOwnBenchBackend = fastboot::registerBenchBackendFromEnvironment();
}

void removeStationServices() {
  if (gOwnBenchBackend) {
    fastboot::unregisterBackend(fastboot::kBenchPathPrefix);
    gOwnBenchBackend = false;
  }
  if (gOwnDirectory) {
    host::installDeviceDirectory(nullptr);
    gOwnDirectory.reset();
  }
  if (gOwnSlots) {
    installDutSlots(nullptr);
    gOwnSlots = false;
  }
}
