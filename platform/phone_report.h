#pragma once
// Reports about the phone on a fresh diagnostic connection: its version and build, and the
// state it is in. Both use the slot's handeIndexMap entry and write to the slot's message line
// and log.

#include "platform/platform.h"

// Waits briefly for a phone that does not answer yet, then logs its version and build reports
// and its state. Only the request's slot is used.
void PrintQLibVersion(const DownloadRequest& request);

// Logs the phone's operating mode and call state (in factory test mode), its FTM mode and its
// phone-server status. Returns whether the phone-server status could be read.
bool ReportPhoneState(const DownloadRequest& request);
