#pragma once
// Start and Stop. Start asks for device notifications and scans once for the module's ports;
// from then on port arrivals drive the DUT slots. Stop ends that and stops every busy slot.

enum class ListenerItem { Start, Stop };

void fnListenerCB(ListenerItem item);
