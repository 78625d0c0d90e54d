#include "chipsets/qca9x07_text_log.h"

#include "chipsets/qca9x07_firmware.h"
#include "platform/qca_library.h"

namespace {

uint64_t downloadTotal() {
  return qca9x07Firmware().downloadTotal;
}

// The programmer's greeting starts the slot's progress again.
constexpr ProgressMark kMarks[] = {
    {"Sending HELLO to flash programmer", ProgressMark::Restart, nullptr},
};

constexpr DownloadTextStyle kStyle = {
    slotOfHandle, kMarks, std::size(kMarks), "mbn...", downloadTotal,
};

}  // namespace

DownloadTextLog& qca9x07TextLog() {
  static DownloadTextLog log(kStyle);
  return log;
}

void qca9x07TextLogCallBack(void*, const void* message, HANDLE handle) {
  qca9x07TextLog().onRecord(message, handle);
}

void qca9x07SaharaLogCallBack(HANDLE handle, const char* text) {
  showLibraryText(slotOfHandle(handle), text);
}

double qca9x07CurrentProgress() {
  return qca9x07TextLog().currentProgress();
}

void resetQca9x07CurrentProgress() {
  qca9x07TextLog().resetCurrentProgress();
}

bool qca9x07PartitionSeen(int dut) {
  return qca9x07TextLog().partitionSeen(dut);
}

void clearQca9x07PartitionSeen(int dut) {
  qca9x07TextLog().clearPartitionSeen(dut);
}

void resetQca9x07DownloadState() {
  qca9x07TextLog().reset();
}
