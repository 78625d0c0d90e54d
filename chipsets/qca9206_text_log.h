#pragma once
// How the Qca9206 CP download follows the library: the text-log callback of the user-partition
// download turns the library's texts into the DUT's messages and progress, and the Sahara text
// callback shows the Sahara connection's texts. Both run on the library's threads and find
// their DUT through handeIndexMap.

#include "chipsets/download_text_log.h"
#include "platform/qlib_api.h"

// The Qca9206 download's own text log (its per-slot progress, image flags and counter).
DownloadTextLog& qca9206TextLog();

// Text-log records: type 8 texts become messages ("Downloading sbl1.mbn ..."); type 1 transfer
// notes ("SEND_ASYNC(4096)") add to the slot's progress, posted every 51st note.
void qca9206TextLogCallBack(void* context, const void* message, HANDLE handle);

// Shows the text as the handle's DUT's message.
void qca9206SaharaTextCallBack(HANDLE handle, const char* text);
