#pragma once
// Settings of the current platform that the platform services read. Each platform's file-list
// loader fills them from its own INI file, on the UI thread while no worker runs; workers only
// read them.

#include <string>

// The folder the QCN/XQCN backups are written to and read from (the firmware folder).
extern std::string qcnFilePath;
// Plausible backup size in KiB: low x 1024 <= size in bytes <= high x 1024.
extern int qcnFileLowLimit;
extern int qcnFileHighLimit;
// Text that a good "AT+CFUN?" reply must contain (at most 259 characters).
extern std::string checkCFUNStr;
// Non-zero: QCN work drives the port itself (QPHONEMS mode) instead of going through the
// vendor server (QPST mode).
extern int gNotUseQPST;

// The firmware revision read from the module by the version checks (at most 259 characters),
// and the backup firmware version that the Qca8909 procedure takes from its firmware files.
extern std::string sSrcVersionType;
extern std::string sDstVersionType;

// Puts every setting above back to its start-up value (empty texts, zero numbers).
void resetPlatformSettings();
