#pragma once
// The short workers the dispatcher schedules besides the three download workers, each with
// the slot record as argument. Each returns 0 or the result described with it, -1 when refused.

#include "platform/slot_record.h"

// AP-only mode: switches a module that shows its diagnostic and AT ports into its bootloader
// with "at+bootldr\r", so that its fastboot device arrives for the AP download. Ten attempts;
// the slot ends waiting for the fastboot device. The negative open result when the AT port
// cannot be opened.
int ToFastbootThreadFunction(ThreadData* slot);

// The module returned after a download in DUT_BACKUP_EFS: EFS backup (Qca9x15, Qca9206) or the
// post-download USB switch (Qca9x07).
int ToWriteImeiMeidThreadFunction(ThreadData* slot);

// The module returned in DUT_CHECK_EFS: checks the EFS backup (Qca9206).
int ToCheckEfsThreadFunction(ThreadData* slot);
