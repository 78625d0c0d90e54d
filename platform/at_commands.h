#pragma once
// The module's AT-command services on the slot's AT port. Every service goes through SetAtCmd,
// which opens the port for one command and closes it again, so no AT port stays open between
// steps. Texts go to the slot's message line and log.

#include <string>

#include "platform/platform.h"

// One AT exchange on request.atport. `command` carries its own line end. Returns 1 when the
// module answered with a reply containing "OK" (within three attempts), else 0. When `reply` is
// given it receives the text of the last reply read (at most 256 bytes).
int SetAtCmd(const DownloadRequest& request, const char* command, std::string* reply = nullptr);

// 0 when "AT+CFUN?" answers with checkCFUNStr in the reply; -1 (and status -1) otherwise.
int CheckCFUN(const DownloadRequest& request);

// Read the IMEI (the 15 characters after "+SIMEI: ") / the MEID (the 14 after "+SMEID: ")
// into `out`. 1 on success, 0 on failure.
int readIMEI(const DownloadRequest& request, std::string& out);
int readMEID(const DownloadRequest& request, std::string& out);

// Reads the IMEI (and the MEID when gProcessMeid is set) into the request, checks their lengths
// and shows them on the slot. 0 on success, -1 on failure.
int ReadImeiAndMeid(DownloadRequest& request);

// Write the request's IMEI (exactly 15 characters) / MEID (exactly 14) to the module. 1 or 0.
int writeIMEI(const DownloadRequest& request);
int writeMEID(const DownloadRequest& request);

// Asks the module to back up its EFS ("AT+CBACKUPEFS2" on Qca9x15 and Qca9x07, "AT+BACKUPEFS"
// elsewhere). 1 when the module accepted, else 0.
int BackupEfs2(const DownloadRequest& request, PlatformType platformType);

// 1 when the module reports its EFS backup done (",2" in the "AT+BACKUPEFS?" reply), else 0.
int CheckEfs2(const DownloadRequest& request);

// Reads the flash id (after ": " on the reply's "Device" line) into `flashId` when given.
// 1 or 0.
int ReadDeviceInfo(const DownloadRequest& request, std::string* flashId);

// Reads the module's "Halvo" revision into sSrcVersionType; 1 when it equals sDstVersionType.
// `out`, when given, is emptied.
int ReadVersionInfo(const DownloadRequest& request, std::string* out);

// Reads the module's AP revision into sSrcVersionType; 1 when it equals sDstVersionType.
int IfNeedUpdateVersion(const DownloadRequest& request);

// Clears NV items 3628 and 3629 through AT commands. 1 or 0.
int WriteNvItem(const DownloadRequest& request);

// Asks whether the module already uses USB product 9011. 1 when the query ran (and `is9011`
// is 1 when the reply names 9011, else 0), 0 when it failed.
int CheckIf9011(const DownloadRequest& request, int& is9011);
