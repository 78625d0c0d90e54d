#pragma once
// The Qca9206 procedure: the seven operations of its platform table.

#include "host/file_table.h"
#include "platform/platform.h"

int autoLoadQca9206FileList2Ui(host::FileTable& table, const char* folder);
int loadQca9206FileList(host::FileTable& table);
int saveQca9206FileList(host::FileTable& table);
int downloadCpQca9206(const DownloadRequest& request);
int downloadApQca9206(const DownloadRequest& request);
int downloadTpQca9206(const DownloadRequest& request);
int downloadCompletedQca9206();
