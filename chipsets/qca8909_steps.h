#pragma once
// The steps of the Qca8909 CP download that bring the module into emergency download mode and
// read its EFS on the qmbn road; qca8909_cp_download.cpp puts them in order.

#include "chipsets/cp_run.h"

// On the run's open diagnostic connection: asks the module to restart in emergency download
// mode (up to five tries, 0.5 s apart), closes the connection and lets the module restart.
// "SwitchToEDL failed, ..." when it refused. False on a refusal or a stop.
bool switchToEdlThroughLibrary(CpRun& run);

// Switches through the AT port: waits for the slot's AT port (up to five times 2 s), then
// ATSwitchToEDL. False (after saying why) when it did not switch, or on a stop.
bool switchToEdlThroughAtPort(CpRun& run);

// Waits up to ten times 2 s for the slot's QDLoader 9008 port; a port still unknown is only
// logged (the Sahara step then fails on its own). False only on a stop.
bool waitForEmergencyPort(CpRun& run);

// The qmbn road: flashes the backup firmware, reads the module's EFS into "backup.qmbn" in the
// firmware folder while the backup firmware runs, and switches the module back to emergency
// download mode. 0, or the failed step's negative result.
int backUpQmbn(CpRun& run);

// Loads the programmer and flashes the backup firmware of the qmbn road (qca8909_cp_download.cpp).
// 0, or the failed tool run's negative result.
int flashBackupFirmware(const CpRun& run);
