#pragma once
// What the station puts in place at start-up and takes away at shutdown: its DUT slot table
// behind the DutSlots seam, and the device directory the port discovery reads (the virtual
// bench's when ZENDRAL_BENCH names one, else the system's), with the bench's fastboot devices
// beside the USB ones. Either is left alone when the program (or a test) installed its own
// before start-up.

void installStationServices();
void removeStationServices();
