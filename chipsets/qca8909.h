#pragma once
// The Qca8909 procedure: the seven operations of its platform table, its switch of the module
// into emergency download mode over the AT port, and the settings its file list reads from
// Platform/Qca8909.ini. The module is flashed by the outside Sahara and Firehose tools
// (tool_runner.h); the flags that tell its firmware families apart (bHalvoH for a programmer
// that is an .elf file, bSdx55) are shared with the station and the tool runner.

#include "host/file_table.h"
#include "platform/platform.h"

int autoLoadQca8909FileList2Ui(host::FileTable& table, const char* folder);
int loadQca8909FileList(host::FileTable& table);
int saveQca8909FileList(host::FileTable& table);
int downloadCpQca8909(const DownloadRequest& request);
int downloadApQca8909(const DownloadRequest& request);
int downloadTpQca8909(const DownloadRequest& request);
int downloadCompletedQca8909();

// Asks the module on the slot's AT port to restart in emergency download mode ("at+bootedl"),
// up to ten tries. 1 switched, 0 failed, the negative open result when the port cannot be
// opened.
int ATSwitchToEDL(const DownloadRequest& request);

// 1: the QCN backup and restore use the QCN format, 0: XQCN ("UseQcn").
extern int bUseQcnQca8909;

// Puts the settings, flags and kept firmware paths back to their start-up values.
void resetQca8909State();
