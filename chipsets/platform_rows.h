#pragma once
// The rows of the platform operation table, one per platform type, filled from the chipset
// procedures. The station installs them with installPlatformRows(chipsetPlatformRow).

#include "platform/platform.h"

const PlatformOps* chipsetPlatformRow(PlatformType type);
