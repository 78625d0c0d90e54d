// The Qca6270 procedure is not part of this build yet: its operations say so and fail.

#include "chipsets/qca6270.h"

#include "chipsets/unavailable.h"

namespace {
constexpr char kPlatform[] = "Qca6270";
}  // namespace

int autoLoadQca6270FileList2Ui(host::FileTable& table, const char*) {
  return loadQca6270FileList(table);
}

int loadQca6270FileList(host::FileTable&) {
  return failUnavailableLoad(kPlatform);
}

int saveQca6270FileList(host::FileTable&) {
  return failUnavailableSave(kPlatform);
}

int downloadCpQca6270(const DownloadRequest& request) {
  return failUnavailableStep(kPlatform, "CP download", request);
}

int downloadApQca6270(const DownloadRequest& request) {
  return failUnavailableStep(kPlatform, "AP download", request);
}

int downloadTpQca6270(const DownloadRequest& request) {
  return failUnavailableStep(kPlatform, "QCN restore", request);
}

int downloadCompletedQca6270() {
  return 0;
}
