#pragma once
// The Qca9x15 procedure: the seven operations of its platform table and the settings its file
// list reads from Platform/Qca9x15.ini. Its module has no Sahara stage: the library's streaming
// download uploads the (hex) flash programmer itself.

#include "host/file_table.h"
#include "platform/platform.h"

int autoLoadQca9x15FileList2Ui(host::FileTable& table, const char* folder);
int loadQca9x15FileList(host::FileTable& table);
int saveQca9x15FileList(host::FileTable& table);
int downloadCpQca9x15(const DownloadRequest& request);
int downloadApQca9x15(const DownloadRequest& request);
int downloadTpQca9x15(const DownloadRequest& request);
int downloadCompletedQca9x15();
// Not part of the platform table; nothing calls it. Returns 0.
int downloadStopQca9x15();

// 1: the QCN backup and restore use the QCN format, 0: XQCN ("UseQcn", separate from the
// other platforms' flags).
extern int bUseQcnQca9x15;

// Puts the settings, kept firmware paths and download state back to their start-up values.
void resetQca9x15State();
