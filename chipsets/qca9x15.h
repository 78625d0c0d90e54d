#pragma once
// The Qca9x15 procedure: the seven operations of its platform table.

#include "host/file_table.h"
#include "platform/platform.h"

int autoLoadQca9x15FileList2Ui(host::FileTable& table, const char* folder);
int loadQca9x15FileList(host::FileTable& table);
int saveQca9x15FileList(host::FileTable& table);
int downloadCpQca9x15(const DownloadRequest& request);
int downloadApQca9x15(const DownloadRequest& request);
int downloadTpQca9x15(const DownloadRequest& request);
int downloadCompletedQca9x15();
