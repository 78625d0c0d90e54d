#pragma once
// The Qca9x07 procedure: the seven operations of its platform table and the settings its file
// list reads from Platform/Qca9x07.ini. The settings and result flags that the station's
// workers read ("OpenAdb", "Switch911", bUpdatedCp, bPartionDiff) are platform settings
// (platform/platform_settings.h); this procedure writes them.

#include "host/file_table.h"
#include "platform/platform.h"
#include "platform/platform_settings.h"

int autoLoadQca9x07FileList2Ui(host::FileTable& table, const char* folder);
int loadQca9x07FileList(host::FileTable& table);
int saveQca9x07FileList(host::FileTable& table);
int downloadCpQca9x07(const DownloadRequest& request);
int downloadApQca9x07(const DownloadRequest& request);
int downloadTpQca9x07(const DownloadRequest& request);
int downloadCompletedQca9x07();

// ---- Settings read by loadQca9x07FileList (section "Dir") ----

// Seconds the CP download waits after the switch to download mode ("DLDelayTime").
extern int iDLDelayTime;
// 1: the QCN backup and restore use the QCN format, 0: XQCN ("UseQcn").
extern int bUseQcnQca9x07;

// Puts the settings, result flags, kept firmware paths and download state back to their
// start-up values.
void resetQca9x07State();
