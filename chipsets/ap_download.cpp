#include "chipsets/ap_download.h"

#include "chipsets/chipset_services.h"
#include "host/report.h"
#include "host/station_options.h"
#include "platform/text_format.h"

int runApDownload(const DownloadRequest& request, uint64_t total, double startProgress,
                  const char* waitingText) {
  const int result =
      chipsetServices().flashAll(request.slot, request.devicePath, total, startProgress);
  if (result == 0 && gBackupRestoreQcn) {
    updateMesage(request.slot, waitingText);
  } else {
    updateMesage(request.slot, formatText("AP Download %s.", result == 0 ? "Success" : "Failed"));
  }
  return result;
}
