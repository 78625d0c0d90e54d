#pragma once
// The three download workers of a DUT slot. Each runs on the pool thread with its slot record,
// calls one platform operation with a DownloadRequest built from the slot, reads the result by
// platform type and leaves the slot in the state that the module's next port arrival
// continues. Each returns the operation's result, or -1 when refused (a slot that is not one of
// the station's) or ended by a stop before the operation ran.

#include "platform/slot_record.h"

// CP: the modem images.
int DLThreadFunction(ThreadData* slot);
// TP: the QCN restore after the download.
int TpDLThreadFunction(ThreadData* slot);
// AP: the application images over fastboot.
int ApDLThreadFunction(ThreadData* slot);
