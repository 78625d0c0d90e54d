#pragma once
// The Qca9x25 procedure: the seven operations of its platform table.

#include "host/file_table.h"
#include "platform/platform.h"

int autoLoadQca9x25FileList2Ui(host::FileTable& table, const char* folder);
int loadQca9x25FileList(host::FileTable& table);
int saveQca9x25FileList(host::FileTable& table);
int downloadCpQca9x25(const DownloadRequest& request);
int downloadApQca9x25(const DownloadRequest& request);
int downloadTpQca9x25(const DownloadRequest& request);
int downloadCompletedQca9x25();
