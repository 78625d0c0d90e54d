#pragma once
// Backup and restore of a module's calibration (its NV items) as a QCN or XQCN file named after
// the IMEI, over the diagnostic library in either library mode. The chipset procedures back up
// first thing in their CP download and restore in their TP step.

#include "platform/platform.h"
#include "platform/qcn_file.h"
#include "platform/qlib_api.h"

// `op` is a QcnOperation; `qphonems` 1 lets the library drive the port itself, 0 goes through
// the phone server. Backups read the IMEI first (and show it on the slot); restores use the
// request's IMEI. 0 on success (also when a plausible backup already exists), -1 on failure.
int backupQcn(const DownloadRequest& request, int op, int qphonems);

// Sets the module's NV_FTM_MODE to `on` (1 factory test mode, 0 normal) over the slot's QCN
// connection and resets the module, then waits for its diagnostic port and reads the item
// back. 0 once the port is back; -1 when it did not return within the time limit (or a stop
// was requested): the module needs repowering.
int Set_NV_FTM_Mode(const DownloadRequest& request, int on);

// Library callbacks of the QCN connection. They run on the library's threads and only report.
// Transfer progress (phone-server mode); returns 1.
unsigned char generalDownloadEventCallBack(const void* event);
// Text messages of the module go to the log of the handle's DUT.
void asyncMessageCallBack(void* context, const void* message, HANDLE handle);
