// The Qca9x25 platform: its AP and TP steps, its settings and the state the file list keeps
// for the downloads. The file list and the CP download have files of their own.

#include "chipsets/qca9x25.h"

#include "chipsets/ap_download.h"
#include "chipsets/chipset_services.h"
#include "chipsets/qca9x25_firmware.h"
#include "chipsets/qca9x25_text_log.h"
#include "host/station_options.h"
#include "platform/qcn_backup.h"

int bUseQcnQca9x25 = 0;

Qca9x25Firmware& qca9x25Firmware() {
  static Qca9x25Firmware firmware;
  return firmware;
}

void resetQca9x25State() {
  bUseQcnQca9x25 = 0;
  qca9x25Firmware() = Qca9x25Firmware{};
  qca9x25TextLog().reset();
}

int downloadApQca9x25(const DownloadRequest& request) {
  return runApDownload(request, qca9x25Firmware().downloadTotal, qca9x25TextLog().currentProgress(),
                       "Waiting recovery xqcn...");
}

// The restore always drives the port itself (QPHONEMS mode).
int downloadTpQca9x25(const DownloadRequest& request) {
  if (request.portKind != 0 || !gBackupRestoreQcn) return 0;
  const int op = bUseQcnQca9x25 ? kRestoreQcn : kRestoreXqcn;
  return chipsetServices().backupQcn(request, op, 1);
}

int downloadCompletedQca9x25() {
  return 0;
}
