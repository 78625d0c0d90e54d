#pragma once
// The Qca8909 procedure: the seven operations of its platform table.

#include "host/file_table.h"
#include "platform/platform.h"

int autoLoadQca8909FileList2Ui(host::FileTable& table, const char* folder);
int loadQca8909FileList(host::FileTable& table);
int saveQca8909FileList(host::FileTable& table);
int downloadCpQca8909(const DownloadRequest& request);
int downloadApQca8909(const DownloadRequest& request);
int downloadTpQca8909(const DownloadRequest& request);
int downloadCompletedQca8909();
