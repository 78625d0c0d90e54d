#pragma once
// The Qca6695 procedure: the seven operations of its platform table.

#include "host/file_table.h"
#include "platform/platform.h"

int autoLoadQca6695FileList2Ui(host::FileTable& table, const char* folder);
int loadQca6695FileList(host::FileTable& table);
int saveQca6695FileList(host::FileTable& table);
int downloadCpQca6695(const DownloadRequest& request);
int downloadApQca6695(const DownloadRequest& request);
int downloadTpQca6695(const DownloadRequest& request);
int downloadCompletedQca6695();
