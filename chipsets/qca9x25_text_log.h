#pragma once
// How the Qca9x25 CP download follows the library: its own text log (per-slot progress and
// partition flags; the programmer's greeting starts the progress again) and the Sahara log
// callback. Both find their DUT through handeIndexMap.

#include "chipsets/download_text_log.h"
#include "platform/qlib_api.h"

DownloadTextLog& qca9x25TextLog();

void qca9x25TextLogCallBack(void* context, const void* message, HANDLE handle);
// Shows the Sahara connection's text as the handle's DUT's message.
void qca9x25SaharaLogCallBack(HANDLE handle, const char* text);
