// The Qca9x07 procedure is not part of this build yet: its operations say so and fail.

#include "chipsets/qca9x07.h"

#include "chipsets/unavailable.h"

namespace {
constexpr char kPlatform[] = "Qca9x07";
}  // namespace

int autoLoadQca9x07FileList2Ui(host::FileTable& table, const char*) {
  return loadQca9x07FileList(table);
}

int loadQca9x07FileList(host::FileTable&) {
  return failUnavailableLoad(kPlatform);
}

int saveQca9x07FileList(host::FileTable&) {
  return failUnavailableSave(kPlatform);
}

int downloadCpQca9x07(const DownloadRequest& request) {
  return failUnavailableStep(kPlatform, "CP download", request);
}

int downloadApQca9x07(const DownloadRequest& request) {
  return failUnavailableStep(kPlatform, "AP download", request);
}

int downloadTpQca9x07(const DownloadRequest& request) {
  return failUnavailableStep(kPlatform, "QCN restore", request);
}

int downloadCompletedQca9x07() {
  return 0;
}
