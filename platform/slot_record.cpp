#include "platform/slot_record.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "host/locks.h"
#include "records/run_events.h"

ThreadData gThreadData[kSlotCount];

namespace {

std::atomic<int> gDutCount{1};

bool isStationDut(int dut) {
  return dut >= 1 && dut <= dutCount();
}

template <size_t N>
void copyText(char (&field)[N], const std::string& text) {
  const size_t length = std::min(text.size(), N - 1);
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}

}  // namespace

int dutCount() {
  return gDutCount.load();
}

void setDutCount(int count) {
  gDutCount = std::clamp(count, 1, kSlotCount);
}

std::span<ThreadData> activeSlots() {
  return std::span<ThreadData>(gThreadData, static_cast<size_t>(dutCount()));
}

void resetSlotRecords() {
  for (ThreadData& slot : gThreadData) {
    std::memset(&slot, 0, sizeof slot);
    slot.state = DUT_IDLE;
  }
}

void SetThreadImei(int dut, const std::string& text) {
  if (!isStationDut(dut)) return;
  records::runEvents().imeiRead(dut, text);
  std::lock_guard lock(datalock);
  copyText(gThreadData[dut - 1].imei, text);
}

void SetThreadMeid(int dut, const std::string& text) {
  if (!isStationDut(dut)) return;
  records::runEvents().meidRead(dut, text);
  std::lock_guard lock(datalock);
  copyText(gThreadData[dut - 1].meid, text);
}

int bPortPresent(int com) {
  if (com <= 0) return 0;  // 0 is "no port", never a present one
  for (const ThreadData& slot : activeSlots()) {
    const bool ours = loadField(slot.diaport) == com || loadField(slot.ql9008port) == com ||
                      loadField(slot.ql9009port) == com;
    if (ours && loadField(slot.present) == 1) return 1;
  }
  return 0;
}
