#pragma once
// The Qca9x25 procedure: the seven operations of its platform table and the settings its file
// list reads from Platform/Qca9x25.ini. No selection path of the station produces this
// platform; its table row is complete all the same.

#include "host/file_table.h"
#include "platform/platform.h"

int autoLoadQca9x25FileList2Ui(host::FileTable& table, const char* folder);
int loadQca9x25FileList(host::FileTable& table);
int saveQca9x25FileList(host::FileTable& table);
int downloadCpQca9x25(const DownloadRequest& request);
int downloadApQca9x25(const DownloadRequest& request);
int downloadTpQca9x25(const DownloadRequest& request);
int downloadCompletedQca9x25();

// 1: the QCN backup and restore use the QCN format, 0: XQCN ("UseQcn", separate from the
// other platforms' flags).
extern int bUseQcnQca9x25;

// Puts the settings, kept firmware paths and download state back to their start-up values.
void resetQca9x25State();
