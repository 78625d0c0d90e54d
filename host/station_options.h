#pragma once
// The operator's station options, read from cfg.ini at start-up and changed by the option boxes
// on the UI thread. Every layer reads them (workers, procedures, flash sequences), so they live
// at the bottom; they are atomic because workers read them while the UI thread may write.

#include <atomic>

// Back up the module's QCN before the download and restore it afterwards ("BacupRestorQcn").
extern std::atomic<bool> gBackupRestoreQcn;
// Download only the AP images, switching the module to fastboot first ("OnlyAP").
extern std::atomic<bool> gOnlyAp;
// Only restore a QCN file the operator chooses ("OnlyQcn").
extern std::atomic<bool> gOnlyQcn;
// Read the MEID along with the IMEI ("ProcessMeid").
extern std::atomic<bool> gProcessMeid;
// Read from cfg.ini; nothing depends on it ("ProcessIMEI").
extern std::atomic<bool> gProcessIMEI;
// Write NV items during the Qca9x15 CP download ("WriteNvItem").
extern std::atomic<bool> gWriteNv;

// Puts every option back to its default (as with an empty cfg.ini).
void resetStationOptions();
