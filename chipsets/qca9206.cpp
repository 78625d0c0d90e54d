// The Qca9206 procedure is not part of this build yet: its operations say so and fail.

#include "chipsets/qca9206.h"

#include "chipsets/unavailable.h"

namespace {
constexpr char kPlatform[] = "Qca9206";
}  // namespace

int autoLoadQca9206FileList2Ui(host::FileTable& table, const char*) {
  return loadQca9206FileList(table);
}

int loadQca9206FileList(host::FileTable&) {
  return failUnavailableLoad(kPlatform);
}

int saveQca9206FileList(host::FileTable&) {
  return failUnavailableSave(kPlatform);
}

int downloadCpQca9206(const DownloadRequest& request) {
  return failUnavailableStep(kPlatform, "CP download", request);
}

int downloadApQca9206(const DownloadRequest& request) {
  return failUnavailableStep(kPlatform, "AP download", request);
}

int downloadTpQca9206(const DownloadRequest& request) {
  return failUnavailableStep(kPlatform, "QCN restore", request);
}

int downloadCompletedQca9206() {
  return 0;
}
