#pragma once
// Settings of the current platform that the platform services read. Each platform's file-list
// loader fills them from its own INI file, on the UI thread while no worker runs; workers only
// read them.

#include <atomic>
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

// Settings and results of the chipset procedures that the station's workers read after each
// step. They are written by the file-list loaders (UI thread) and by the CP download (worker
// thread), and read on both, so they are atomic.
// Qca9x07: the last CP download failed before the library wrote any partition.
extern std::atomic<int> bPartionDiff;
// Qca9x07: the last CP download succeeded (cleared at the start of each CP download).
extern std::atomic<int> bUpdatedCp;
// Qca9x07 settings "OpenAdb" and "Switch911": the post-download step opens adb / switches the
// module back to USB product 9011.
extern std::atomic<int> bOpenAdb;
extern std::atomic<int> bSwitch911;
// Qca9x15 setting "BackupEFS": back up EFS when the module returns after the AP download.
extern std::atomic<int> gBackupEFS;
// Qca8909: the programmer is an .elf file (the qmbn road).
extern std::atomic<int> bHalvoH;

// The two results of the last CP download as one DUT's worker reads them. With several slots
// at work each DUT keeps its own, so that one module's download never changes what another
// DUT's worker or completion reads; with one slot they are the globals above. The setters write
// both.
int partionDiffOf(int dut);
int updatedCpOf(int dut);
void setPartionDiff(int dut, int value);
void setUpdatedCp(int dut, int value);

// Puts every setting above back to its start-up value (empty texts, zero numbers).
void resetPlatformSettings();
