// The Qca9x15 procedure is not part of this build yet: its operations say so and fail.

#include "chipsets/qca9x15.h"

#include "chipsets/unavailable.h"

namespace {
constexpr char kPlatform[] = "Qca9x15";
}  // namespace

int autoLoadQca9x15FileList2Ui(host::FileTable& table, const char*) {
  return loadQca9x15FileList(table);
}

int loadQca9x15FileList(host::FileTable&) {
  return failUnavailableLoad(kPlatform);
}

int saveQca9x15FileList(host::FileTable&) {
  return failUnavailableSave(kPlatform);
}

int downloadCpQca9x15(const DownloadRequest& request) {
  return failUnavailableStep(kPlatform, "CP download", request);
}

int downloadApQca9x15(const DownloadRequest& request) {
  return failUnavailableStep(kPlatform, "AP download", request);
}

int downloadTpQca9x15(const DownloadRequest& request) {
  return failUnavailableStep(kPlatform, "QCN restore", request);
}

int downloadCompletedQca9x15() {
  return 0;
}
