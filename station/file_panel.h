#pragma once
// Platform selection and the firmware file panel: the platform menu, the panel's close
// control, clicks on its firmware table, and finding the platform of a firmware folder.
// All of it runs on the UI thread while the station is idle.

#include <string>

#include "host/operator_surface.h"
#include "platform/platform.h"

// The title and pattern of the folder browser and of the file choosers.
inline constexpr char kFirmwarePathTitle[] = "Firmware Path:";

// The operator chose `item` in the platform menu.
void fnSelectPlatformCB(host::Control item);

// The file panel's close control: hides the panel, saves and reloads the file list.
int FilePanelQuit();

// The operator clicked (and released) cell (`row`, `column`) of the firmware table, both
// counted from 1. Returns 0, or -1 when no platform table could be made for a chosen folder.
int TableCB(int row, int column);

// The folder browser's notification. On its initialisation message it selects the current
// firmware folder (row 1 of the table) into `selection` and returns 1; otherwise 0.
inline constexpr int kBrowserInitialised = 1;
int BrowseNotify(int message, std::string& selection);

// The platform whose programmer file the folder holds; checks that platform's menu item.
PlatformType AutoGetCurPlatform(const std::string& folder);
