// The Qca8909 procedure is not part of this build yet: its operations say so and fail.

#include "chipsets/qca8909.h"

#include "chipsets/unavailable.h"

namespace {
constexpr char kPlatform[] = "Qca8909";
}  // namespace

int autoLoadQca8909FileList2Ui(host::FileTable& table, const char*) {
  return loadQca8909FileList(table);
}

int loadQca8909FileList(host::FileTable&) {
  return failUnavailableLoad(kPlatform);
}

int saveQca8909FileList(host::FileTable&) {
  return failUnavailableSave(kPlatform);
}

int downloadCpQca8909(const DownloadRequest& request) {
  return failUnavailableStep(kPlatform, "CP download", request);
}

int downloadApQca8909(const DownloadRequest& request) {
  return failUnavailableStep(kPlatform, "AP download", request);
}

int downloadTpQca8909(const DownloadRequest& request) {
  return failUnavailableStep(kPlatform, "QCN restore", request);
}

int downloadCompletedQca8909() {
  return 0;
}
