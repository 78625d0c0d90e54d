// The Qca6270/Qca6695 AP and TP steps. The file list and the CP download have files of their
// own; each platform's file holds its description.

#include "chipsets/qca6x.h"

#include "chipsets/ap_download.h"
#include "chipsets/chipset_services.h"
#include "host/report.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "platform/qcn_backup.h"

void resetQca6xState(Qca6xState& state) {
  state.firmware = Qca6xFirmware{};
  state.useQcn = 0;
  state.textLog.reset();
}

// These modules have no fastboot images: the file list leaves the queue empty, so an AP
// download fails at once.
int downloadApQca6x(const Qca6xPlatform& platform, const DownloadRequest& request) {
  const Qca6xState& state = platform.state();
  return runQueuedApDownload(request, state.firmware.downloadTotal, state.textLog.currentProgress(),
                             "Waiting recovery xqcn...");
}

int downloadTpQca6x(const Qca6xPlatform& platform, const DownloadRequest& request) {
  updateMesage(request.slot, platform.tpText);
  if (request.portKind != 0 || !gBackupRestoreQcn) return 0;
  const int op = platform.state().useQcn ? kRestoreQcn : kRestoreXqcn;
  return chipsetServices().backupQcn(request, op, gNotUseQPST != 0 ? 1 : 0);
}
