#include "platform/slot_record.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "host/locks.h"
#include "records/run_events.h"

ThreadData gThreadData[kSlotCount];

namespace {

template <size_t N>
void copyText(char (&field)[N], const std::string& text) {
  const size_t length = std::min(text.size(), N - 1);
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}

}  // namespace

void resetSlotRecords() {
  for (ThreadData& slot : gThreadData) {
    std::memset(&slot, 0, sizeof slot);
    slot.state = DUT_IDLE;
  }
}

void SetThreadImei(int dut, const std::string& text) {
  if (dut != 1) return;
  records::runEvents().imeiRead(dut, text);
  std::lock_guard lock(datalock);
  copyText(gThreadData[0].imei, text);
}

void SetThreadMeid(int dut, const std::string& text) {
  if (dut != 1) return;
  records::runEvents().meidRead(dut, text);
  std::lock_guard lock(datalock);
  copyText(gThreadData[0].meid, text);
}

int bPortPresent(int com) {
  if (com <= 0) return 0;  // 0 is "no port", never a present one
  for (const ThreadData& slot : gThreadData) {
    const bool ours = loadField(slot.diaport) == com || loadField(slot.ql9008port) == com ||
                      loadField(slot.ql9009port) == com;
    if (ours && loadField(slot.present) == 1) return 1;
  }
  return 0;
}
