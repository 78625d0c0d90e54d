#pragma once
// The Qca6270 procedure: the seven operations of its platform table, all of them the procedure
// it shares with the other hex-programmer platform (chipsets/qca6x.h), and its state.

#include "chipsets/qca6x.h"
#include "host/file_table.h"
#include "platform/platform.h"

int autoLoadQca6270FileList2Ui(host::FileTable& table, const char* folder);
int loadQca6270FileList(host::FileTable& table);
int saveQca6270FileList(host::FileTable& table);
int downloadCpQca6270(const DownloadRequest& request);
int downloadApQca6270(const DownloadRequest& request);
int downloadTpQca6270(const DownloadRequest& request);
int downloadCompletedQca6270();

// The firmware, QCN format and download progress the platform keeps between loads.
Qca6xState& qca6270State();
void resetQca6270State();
