#pragma once
// The Qca9206 procedure: the seven operations of its platform table and the settings its file
// list reads from Platform/Qca9206.ini. Its modules have NAND flash; the CP download writes the
// partitions that the firmware's partition XML file lists, through the library's user-partition
// download.

#include <string>

#include "host/file_table.h"
#include "platform/platform.h"

int autoLoadQca9206FileList2Ui(host::FileTable& table, const char* folder);
int loadQca9206FileList(host::FileTable& table);
int saveQca9206FileList(host::FileTable& table);
int downloadCpQca9206(const DownloadRequest& request);
int downloadApQca9206(const DownloadRequest& request);
int downloadTpQca9206(const DownloadRequest& request);
int downloadCompletedQca9206();

// ---- Settings read by loadQca9206FileList (section "Dir") ----

// The flash identifications that mean a 512 MB flash ("Flash512").
extern std::string sFlash512;
// The name of the marker file whose presence in the firmware folder marks firmware built for
// 1 GB flash ("FirmwareTypeDef").
extern std::string sFirmFileTypeDef;
// The partition XML file looked for first ("PartionName").
extern std::string sPartionName;
// 1: the QCN backup and restore use the QCN format, 0: XQCN ("UseQcn").
extern int bUseQcnQca9206;

// Puts the settings, the kept firmware and the download state back to their start-up values.
void resetQca9206State();
