// The Qca6695 procedure is not part of this build yet: its operations say so and fail.

#include "chipsets/qca6695.h"

#include "chipsets/unavailable.h"

namespace {
constexpr char kPlatform[] = "Qca6695";
}  // namespace

int autoLoadQca6695FileList2Ui(host::FileTable& table, const char*) {
  return loadQca6695FileList(table);
}

int loadQca6695FileList(host::FileTable&) {
  return failUnavailableLoad(kPlatform);
}

int saveQca6695FileList(host::FileTable&) {
  return failUnavailableSave(kPlatform);
}

int downloadCpQca6695(const DownloadRequest& request) {
  return failUnavailableStep(kPlatform, "CP download", request);
}

int downloadApQca6695(const DownloadRequest& request) {
  return failUnavailableStep(kPlatform, "AP download", request);
}

int downloadTpQca6695(const DownloadRequest& request) {
  return failUnavailableStep(kPlatform, "QCN restore", request);
}

int downloadCompletedQca6695() {
  return 0;
}
