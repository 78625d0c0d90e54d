#include "chipsets/qca9x15_text_log.h"

#include <iterator>

#include "chipsets/qca9x15_firmware.h"

namespace {

uint64_t downloadTotal() {
  return qca9x15Firmware().downloadTotal;
}
uint64_t programmerSize() {
  return qca9x15Firmware().programmerSize;
}
uint64_t partitionSize() {
  return qca9x15Firmware().partitionSize;
}

// The library uploads the programmer itself: the switch starts the progress again, the
// programmer's load and the partition file's hand-over count as their sizes.
constexpr ProgressMark kMarks[] = {
    {"Switching Mobile to DOWNLOAD mode", ProgressMark::Restart, nullptr},
    {"Loading Flash Programmer File", ProgressMark::SetTo, programmerSize},
    {"Sending HELLO to flash programmer", ProgressMark::Add, partitionSize},
};

constexpr DownloadTextStyle kStyle = {
    slotOfHandleInAllEntries, kMarks, std::size(kMarks), "mbn ...", downloadTotal,
};

}  // namespace

DownloadTextLog& qca9x15TextLog() {
  static DownloadTextLog log(kStyle);
  return log;
}

void qca9x15TextLogCallBack(void*, const void* message, HANDLE handle) {
  qca9x15TextLog().onRecord(message, handle);
}

void qca9x15ProgrammerTextCallBack(HANDLE handle, const char* text) {
  showLibraryText(slotOfHandleInAllEntries(handle), text);
}
