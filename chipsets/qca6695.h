#pragma once
// The Qca6695 procedure: the seven operations of its platform table, all of them the procedure
// it shares with the other hex-programmer platform (chipsets/qca6x.h), and its state.

#include "chipsets/qca6x.h"
#include "host/file_table.h"
#include "platform/platform.h"

int autoLoadQca6695FileList2Ui(host::FileTable& table, const char* folder);
int loadQca6695FileList(host::FileTable& table);
int saveQca6695FileList(host::FileTable& table);
int downloadCpQca6695(const DownloadRequest& request);
int downloadApQca6695(const DownloadRequest& request);
int downloadTpQca6695(const DownloadRequest& request);
int downloadCompletedQca6695();

// The firmware, QCN format and download progress the platform keeps between loads.
Qca6xState& qca6695State();
void resetQca6695State();
