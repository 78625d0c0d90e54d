#include "chipsets/ap_download.h"

#include <mutex>
#include <shared_mutex>

#include "chipsets/chipset_services.h"
#include "fastboot/action_queue.h"
#include "fastboot/executor.h"
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

bool emptyApQueue() {
  std::unique_lock<std::shared_mutex> queueUse(fastboot::queueUseLock(), std::try_to_lock);
  if (!queueUse.owns_lock()) {
    MessagePopup("Error", "An AP download is running; load the firmware after it has finished.");
    return false;
  }
  queue_action_clear();
  return true;
}

int runQueuedApDownload(const DownloadRequest& request, uint64_t total, double startProgress,
                        const char* waitingText) {
  bool empty = false;
  {
    std::shared_lock queueUse(fastboot::queueUseLock());
    empty = fb_queue_head() == nullptr;
  }
  if (empty) {
    updateMesage(request.slot, "AP Download Failed.");
    return -1;
  }
  return runApDownload(request, total, startProgress, waitingText);
}
