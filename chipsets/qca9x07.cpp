// The Qca9x07 platform: its AP and TP steps, its settings and result flags, and the state the
// file list keeps for the downloads. The file list and the CP download have files of their own.

#include "chipsets/qca9x07.h"

#include "chipsets/ap_download.h"
#include "chipsets/chipset_services.h"
#include "chipsets/qca9x07_firmware.h"
#include "chipsets/qca9x07_text_log.h"
#include "host/clock.h"
#include "host/report.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "platform/qcn_backup.h"
#include "platform/text_format.h"

int iDLDelayTime = 0;
int bUseQcnQca9x07 = 0;

Qca9x07Firmware& qca9x07Firmware() {
  static Qca9x07Firmware firmware;
  return firmware;
}

void resetQca9x07State() {
  iDLDelayTime = 0;
  bUseQcnQca9x07 = 0;
  bOpenAdb = 0;
  bSwitch911 = 0;
  bUpdatedCp = 0;
  bPartionDiff = 0;
  qca9x07Firmware() = Qca9x07Firmware{};
  resetQca9x07DownloadState();
}

int downloadApQca9x07(const DownloadRequest& request) {
  return runApDownload(request, qca9x07Firmware().downloadTotal, qca9x07CurrentProgress(),
                       "Waiting recovery xqcn...");
}

int downloadTpQca9x07(const DownloadRequest& request) {
  updateMesage(request.slot, "Enter downloadTpQca9x07...");
  if (request.portKind != 0 || !gBackupRestoreQcn) return 0;
  if (!host::Delay(request.slot + 2.0)) return -1;
  const int op = bUseQcnQca9x07 ? kRestoreQcn : kRestoreXqcn;
  return chipsetServices().backupQcn(request, op, gNotUseQPST != 0 ? 1 : 0);
}

int downloadCompletedQca9x07() {
  return 0;
}
