#pragma once
// The DownloadRequest a worker hands to a platform operation, built from its slot on the
// worker's stack (zero-filled first), and the few slot facts every worker needs.

#include "platform/platform.h"
#include "platform/slot_record.h"

// Every field: ports, DUT number, port kind, IMEI, MEID (at most 15 characters) and the
// fastboot device path. For the TP worker and the auxiliary tasks.
DownloadRequest fullRequest(ThreadData& slot);
// Every field except the fastboot device path. For the CP worker.
DownloadRequest cpRequest(ThreadData& slot);
// Only the DUT number and the fastboot device path. For the AP worker.
DownloadRequest apRequest(ThreadData& slot);

// Clears the slot's fastboot device path.
void clearDevicePath(ThreadData& slot);

// The DUT number a worker of `slot` reports for, or 0 when the worker must refuse: the slot's
// DUT number is not one of the station's slots.
int workerDut(ThreadData& slot);

// The current platform table's type, or -1 when there is none.
PlatformType currentPlatformType();
