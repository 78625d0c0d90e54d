#pragma once
// How the Qca9x07 CP download follows the library: the text-log callback of the streaming
// download turns the library's texts into the DUT's messages and progress, and the Sahara log
// callback shows the Sahara connection's texts. Both run on the library's threads and find
// their DUT through handeIndexMap.

#include "chipsets/download_text_log.h"
#include "platform/qlib_api.h"

// The Qca9x07 download's own text log (its per-slot progress and partition flags).
DownloadTextLog& qca9x07TextLog();

// Text-log records: type 8 texts become messages ("Downloading sbl1.mbn..."); type 1 transfer
// notes ("SEND_ASYNC(4096)") add to the slot's progress, posted every 51st note.
void qca9x07TextLogCallBack(void* context, const void* message, HANDLE handle);

// Shows the text as the handle's DUT's message.
void qca9x07SaharaLogCallBack(HANDLE handle, const char* text);

// ---- The download state the callbacks keep ----

// The progress reached by the latest download of any slot (0 to 1); the AP download goes on
// from it.
double qca9x07CurrentProgress();
// Puts the shared progress back to 0 (the start of a CP download).
void resetQca9x07CurrentProgress();
// Whether the library reported a partition download ("Downloading ...mbn") for slot `dut`
// since clearQca9x07PartitionSeen.
bool qca9x07PartitionSeen(int dut);
void clearQca9x07PartitionSeen(int dut);
// Everything back to its start-up value.
void resetQca9x07DownloadState();
