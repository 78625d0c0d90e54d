// The Qca8909 platform: its AP and TP steps, its settings and the firmware paths the file list
// keeps. The file list, the CP download and the switch to emergency download have files of
// their own.

#include "chipsets/qca8909.h"

#include "chipsets/ap_download.h"
#include "chipsets/chipset_services.h"
#include "chipsets/qca8909_firmware.h"
#include "chipsets/tool_runner.h"
#include "host/clock.h"
#include "host/report.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "platform/qcn_backup.h"

namespace {

// The size the AP download's progress is measured against.
constexpr uint64_t kApDownloadSize = 0x21C00000;

}  // namespace

int bUseQcnQca8909 = 0;

Qca8909Firmware& qca8909Firmware() {
  static Qca8909Firmware firmware;
  return firmware;
}

void resetQca8909State() {
  bUseQcnQca8909 = 0;
  bHalvoH = 0;
  bSdx55 = 0;
  sDstVersionType.clear();
  qca8909Firmware() = Qca8909Firmware{};
}

int autoLoadQca8909FileList2Ui(host::FileTable& table, const char*) {
  return loadQca8909FileList(table);
}

int downloadApQca8909(const DownloadRequest& request) {
  return runApDownload(request, kApDownloadSize, 0.0, "Waiting recovery xqcn...");
}

int downloadTpQca8909(const DownloadRequest& request) {
  updateMesage(request.slot, "Enter downloadTpQca8909...");
  if (request.portKind != 0 || !gBackupRestoreQcn) return 0;
  if (!host::Delay(request.slot + 2.0)) return -1;
  const int op = bUseQcnQca8909 ? kRestoreQcn : kRestoreXqcn;
  return chipsetServices().backupQcn(request, op, gNotUseQPST != 0 ? 1 : 0);
}

int downloadCompletedQca8909() {
  return 0;
}
