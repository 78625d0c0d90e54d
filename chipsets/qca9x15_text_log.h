#pragma once
// How the Qca9x15 CP download follows the library: the text-log callback of the streaming
// download (its own progress and partition flags; the programmer's load and greeting move the
// progress on by the programmer's and the partition file's sizes) and the programmer text
// callback of the switch. Both find their DUT among all eight handeIndexMap entries.

#include "chipsets/download_text_log.h"
#include "platform/qlib_api.h"

DownloadTextLog& qca9x15TextLog();

void qca9x15TextLogCallBack(void* context, const void* message, HANDLE handle);
// Shows the programmer's text as the handle's DUT's message.
void qca9x15ProgrammerTextCallBack(HANDLE handle, const char* text);
