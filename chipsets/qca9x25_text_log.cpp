#include "chipsets/qca9x25_text_log.h"

#include <iterator>

#include "chipsets/qca9x25_firmware.h"
#include "platform/qca_library.h"

namespace {

uint64_t downloadTotal() {
  return qca9x25Firmware().downloadTotal;
}

// The programmer's greeting starts the slot's progress again.
constexpr ProgressMark kMarks[] = {
    {"Sending HELLO to flash programmer", ProgressMark::Restart, nullptr},
};

constexpr DownloadTextStyle kStyle = {
    slotOfHandle, kMarks, std::size(kMarks), "mbn ...", downloadTotal,
};

}  // namespace

DownloadTextLog& qca9x25TextLog() {
  static DownloadTextLog log(kStyle);
  return log;
}

void qca9x25TextLogCallBack(void*, const void* message, HANDLE handle) {
  qca9x25TextLog().onRecord(message, handle);
}

void qca9x25SaharaLogCallBack(HANDLE handle, const char* text) {
  showLibraryText(slotOfHandle(handle), text);
}
