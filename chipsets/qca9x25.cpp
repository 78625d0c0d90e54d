// The Qca9x25 procedure is not part of this build yet: its operations say so and fail.

#include "chipsets/qca9x25.h"

#include "chipsets/unavailable.h"

namespace {
constexpr char kPlatform[] = "Qca9x25";
}  // namespace

int autoLoadQca9x25FileList2Ui(host::FileTable& table, const char*) {
  return loadQca9x25FileList(table);
}

int loadQca9x25FileList(host::FileTable&) {
  return failUnavailableLoad(kPlatform);
}

int saveQca9x25FileList(host::FileTable&) {
  return failUnavailableSave(kPlatform);
}

int downloadCpQca9x25(const DownloadRequest& request) {
  return failUnavailableStep(kPlatform, "CP download", request);
}

int downloadApQca9x25(const DownloadRequest& request) {
  return failUnavailableStep(kPlatform, "AP download", request);
}

int downloadTpQca9x25(const DownloadRequest& request) {
  return failUnavailableStep(kPlatform, "QCN restore", request);
}

int downloadCompletedQca9x25() {
  return 0;
}
