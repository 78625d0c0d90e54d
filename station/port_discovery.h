#pragma once
// Port discovery: the device notifications that report arrivals and removals, and the two scans
// that hand the module's ports and fastboot devices to the slots. The system's lists come from
// the device directory (host/device_directory.h).

#include "host/device_directory.h"

// Start: subscribes to the device directory's arrivals and removals (once; the subscription
// lasts until shutdown, so an unplug after Stop is still shown). Each change is carried to the
// UI loop and handled there by fnDeviceChangeCB; the directory's thread never waits. Always true.
bool registerDeviceNotifications();
// Shutdown: no more notifications; changes already carried to the UI loop are dropped.
void unregisterDeviceNotifications();

// Classifies the system's serial ports by their friendly names and hands every module port to
// the dispatcher. Returns 1 when a port was handed over that no slot took as present, else 0;
// the fastboot scan follows only on 0. Holds datalock for its whole run.
int ScanComPorts();

// Finds fastboot devices (USB 18D1:D00D) among the USB interfaces and hands a new one to a
// slot, which starts the AP download. Holds datalock for its whole run.
void ScanFastbootDevices();

// The UI thread's handler of one device change. An arrival runs the scans while the station
// listens; a removal recomputes the presence of the slot's ports and shows "Device unplug."
// when an idle slot's module has gone. A change that arrives while a scan on this thread is
// waiting for the operator (a file chooser) is handled right after that scan. Returns 0.
int fnDeviceChangeCB(host::DeviceChange change);
