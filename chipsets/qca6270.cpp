// The Qca6270 platform: its description for the shared procedure and its state. Its module
// goes into download mode on the download reset alone, and a failed phone check logs the
// module's version.

#include "chipsets/qca6270.h"

namespace {

uint64_t downloadTotal() {
  return qca6270State().firmware.downloadTotal;
}

constexpr DownloadTextStyle kTextStyle = qca6xTextStyle(downloadTotal);

void textLogCallBack(void*, const void* message, HANDLE handle) {
  qca6270State().textLog.onRecord(message, handle);
}

const Qca6xPlatform kDescription = {
    "6270",         "Platform/Qca6270.ini",
    "NPRG6270.hex", "ENPRG6270.hex",
    "amss.mbn",     "Enter downloadTpQca6270...",
    false,  // switchAfterNop
    false,  // reportLibraryError
    qca6270State,   textLogCallBack,
};

}  // namespace

Qca6xState& qca6270State() {
  static Qca6xState state(kTextStyle);
  return state;
}

void resetQca6270State() {
  resetQca6xState(qca6270State());
}

int autoLoadQca6270FileList2Ui(host::FileTable& table, const char*) {
  return loadQca6270FileList(table);
}

int loadQca6270FileList(host::FileTable& table) {
  return loadQca6xFileList(kDescription, table);
}

int saveQca6270FileList(host::FileTable& table) {
  return saveQca6xFileList(kDescription, table);
}

int downloadCpQca6270(const DownloadRequest& request) {
  return downloadCpQca6x(kDescription, request);
}

int downloadApQca6270(const DownloadRequest& request) {
  return downloadApQca6x(kDescription, request);
}

int downloadTpQca6270(const DownloadRequest& request) {
  return downloadTpQca6x(kDescription, request);
}

int downloadCompletedQca6270() {
  return 0;
}
