#pragma once
// The Qca9x07 procedure: the seven operations of its platform table.

#include "host/file_table.h"
#include "platform/platform.h"

int autoLoadQca9x07FileList2Ui(host::FileTable& table, const char* folder);
int loadQca9x07FileList(host::FileTable& table);
int saveQca9x07FileList(host::FileTable& table);
int downloadCpQca9x07(const DownloadRequest& request);
int downloadApQca9x07(const DownloadRequest& request);
int downloadTpQca9x07(const DownloadRequest& request);
int downloadCompletedQca9x07();
