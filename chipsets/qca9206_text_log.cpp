#include "chipsets/qca9206_text_log.h"

#include <iterator>

#include "chipsets/qca9206_firmware.h"
#include "platform/qca_library.h"

namespace {

uint64_t downloadTotal() {
  return qca9206Firmware().downloadTotal;
}

// The programmer's greeting starts the slot's progress again.
constexpr ProgressMark kMarks[] = {
    {"Sending HELLO to flash programmer", ProgressMark::Restart, nullptr},
};

// The firmware's images may be ".bin" files as well as ".mbn" ones.
constexpr DownloadTextStyle kStyle = {
    slotOfHandle, kMarks, std::size(kMarks), "mbn ...", downloadTotal, true,
};

}  // namespace

DownloadTextLog& qca9206TextLog() {
  static DownloadTextLog log(kStyle);
  return log;
}

void qca9206TextLogCallBack(void*, const void* message, HANDLE handle) {
  qca9206TextLog().onRecord(message, handle);
}

void qca9206SaharaTextCallBack(HANDLE handle, const char* text) {
  showLibraryText(slotOfHandle(handle), text);
}
