#pragma once
// The Sahara and Firehose tool runner: loading the flash programmer into a module that waits
// in emergency download mode with QSaharaServer.exe, and sending the firmware's rawprogram and
// patch files with fh_loader.exe. Both tools run on the slot's QDLoader 9008 port; their
// command lines and everything they print go to the DUT's log, their progress to its row.

#include <atomic>
#include <string>

#include "platform/platform.h"

// 1 while the current firmware is an sdx55 firmware: its Firehose run may take longer. Set by
// the procedure that loads such firmware.
extern std::atomic<int> bSdx55;

// Loads `programmer` into the module. 0 when the tool reports the transfer done, -1 otherwise
// (a missing file says "%s not exist!.", a run past its limit "download %s timeout!,...";
// a refused transfer says nothing of its own: the tool's output is in the log).
int SaharaFirehoseProgramer(const DownloadRequest& request, const std::string& programmer);

// Sends the rawprogram and patch files (images searched in the patch file's folder). 0 when
// the tool reports everything finished, -1 otherwise; the final message is shown either way.
// With backup/restore on the module restarts at the end.
int fhDownloadXmlPackage(const DownloadRequest& request, const std::string& rawprogram,
                         const std::string& patch);

// Ends a Firehose tool left over by an earlier station (it would hold the module's port), as
// the line's hidden "taskkill" did; the command line is written to standard error.
void endLeftoverFirehoseTools();
