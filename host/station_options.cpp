#include "host/station_options.h"

std::atomic<bool> gBackupRestoreQcn{false};
std::atomic<bool> gOnlyAp{false};
std::atomic<bool> gOnlyQcn{false};
std::atomic<bool> gProcessMeid{true};
std::atomic<bool> gProcessIMEI{true};
std::atomic<bool> gWriteNv{true};

void resetStationOptions() {
  gBackupRestoreQcn = false;
  gOnlyAp = false;
  gOnlyQcn = false;
  gProcessMeid = true;
  gProcessIMEI = true;
  gWriteNv = true;
}
