#pragma once
// The Qca6270 procedure: the seven operations of its platform table.

#include "host/file_table.h"
#include "platform/platform.h"

int autoLoadQca6270FileList2Ui(host::FileTable& table, const char* folder);
int loadQca6270FileList(host::FileTable& table);
int saveQca6270FileList(host::FileTable& table);
int downloadCpQca6270(const DownloadRequest& request);
int downloadApQca6270(const DownloadRequest& request);
int downloadTpQca6270(const DownloadRequest& request);
int downloadCompletedQca6270();
