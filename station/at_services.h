#pragma once
// The module AT-command services the station's workers call, reached through one table so that
// tests can stand in for the module. By default the table holds the platform's services.

#include <string>

#include "platform/platform.h"

struct AtServices {
  // One AT exchange; non-zero when the module accepted the command.
  int (*setAtCmd)(const DownloadRequest& request, const char* command, std::string* reply);
  // EFS backup and its check; non-zero on success.
  int (*backupEfs2)(const DownloadRequest& request, PlatformType platformType);
  int (*checkEfs2)(const DownloadRequest& request);
  // Non-zero when the query ran; `is9011` then tells whether the module uses product 9011.
  int (*checkIf9011)(const DownloadRequest& request, int& is9011);
};

// The services in use.
const AtServices& atServices();
// Installs `services` (copied); null restores the platform's. Not for use while workers run.
void installAtServices(const AtServices* services);
// The platform's own services.
AtServices platformAtServices();
