// The Qca6695 platform: its description for the shared procedure and its state. Its module is
// also asked to switch to download mode after the no-op or reset, and its failures show the
// library's last error text.

#include "chipsets/qca6695.h"

namespace {

uint64_t downloadTotal() {
  return qca6695State().firmware.downloadTotal;
}

constexpr DownloadTextStyle kTextStyle = qca6xTextStyle(downloadTotal);

void textLogCallBack(void*, const void* message, HANDLE handle) {
  qca6695State().textLog.onRecord(message, handle);
}

const Qca6xPlatform kDescription = {
    "6695",         "Platform/Qca6695.ini",
    "NPRG6695.hex", "ENPRG6695.hex",
    "dsp.mbn",      "Enter downloadTpQca6695...",
    true,  // switchAfterNop
    true,  // reportLibraryError
    qca6695State,   textLogCallBack,
};

}  // namespace

Qca6xState& qca6695State() {
  static Qca6xState state(kTextStyle);
  return state;
}

void resetQca6695State() {
  resetQca6xState(qca6695State());
}

int autoLoadQca6695FileList2Ui(host::FileTable& table, const char*) {
  return loadQca6695FileList(table);
}

int loadQca6695FileList(host::FileTable& table) {
  return loadQca6xFileList(kDescription, table);
}

int saveQca6695FileList(host::FileTable& table) {
  return saveQca6xFileList(kDescription, table);
}

int downloadCpQca6695(const DownloadRequest& request) {
  return downloadCpQca6x(kDescription, request);
}

int downloadApQca6695(const DownloadRequest& request) {
  return downloadApQca6x(kDescription, request);
}

int downloadTpQca6695(const DownloadRequest& request) {
  return downloadTpQca6x(kDescription, request);
}

int downloadCompletedQca6695() {
  return 0;
}
