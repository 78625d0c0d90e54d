// Port discovery before the device directory is connected: notifications are accepted and
// every scan finds nothing.

#include "station/port_discovery.h"

bool registerDeviceNotifications() {
  return true;
}

void unregisterDeviceNotifications() {}

int ScanComPorts() {
  return 0;
}

void ScanFastbootDevices() {}
