#pragma once
// Port discovery as Start drives it: the device notifications that report arrivals and
// removals, and the two scans that hand the module's ports and fastboot devices to the slots.

// Start: asks for device arrival and removal notifications. False when the system refuses;
// the station then stays idle.
bool registerDeviceNotifications();
// Stop: no more notifications.
void unregisterDeviceNotifications();

// Classifies the system's serial ports and hands every module port to the slots. Returns 1
// when a port was handed over that no slot took as present, else 0; the fastboot scan follows
// only on 0.
int ScanComPorts();

// Finds fastboot devices among the USB interfaces and hands a new one to a slot.
void ScanFastbootDevices();
