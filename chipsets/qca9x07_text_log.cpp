#include "chipsets/qca9x07_text_log.h"

#include <atomic>
#include <cstring>
#include <string>

#include "chipsets/qca9x07_firmware.h"
#include "host/report.h"
#include "platform/qca_library.h"

namespace {

// Transfer notes counted without posting before the next one posts the progress.
constexpr int kNotesBetweenPosts = 50;

std::atomic<double> gSlotProgress[kHandleMapSize];
std::atomic<bool> gPartitionSeen[kHandleMapSize];
std::atomic<double> gCurrentProgress{0.0};
std::atomic<int> gNoteCount{0};

bool validDut(int dut) {
  return dut >= 1 && dut <= kHandleMapSize;
}

bool contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// The record's text, which starts at byte 8 and ends at its terminator (or the record's end).
std::string recordText(const QLIB_TextLogRecord& record) {
  return std::string(record.text, strnlen(record.text, sizeof record.text));
}

// "Downloading /fw/sbl1.mbn" is shown as "Downloading sbl1.mbn...": the file name up to and
// including its last ".", then "mbn...". A text without a directory shows nothing.
void showDownloading(int dut, const std::string& text) {
  const size_t slash = text.rfind('/');
  if (slash == std::string::npos) return;
  const size_t dot = text.rfind('.');
  std::string name;
  if (dot != std::string::npos && dot > slash) name = text.substr(slash + 1, dot - slash);
  updateMesage(dut, "Downloading " + name + "mbn...");
}

void onText(int dut, const std::string& text) {
  if (contains(text, "Sending HELLO to flash programmer")) {
    gSlotProgress[dut - 1] = 0.0;
    gCurrentProgress = 0.0;
    updateProgressBar(dut, 0.0);
  } else if (contains(text, "address") || contains(text, "Streaming") || contains(text, "start")) {
    return;
  }
  if (contains(text, "Downloading") && contains(text, "mbn")) {
    gPartitionSeen[dut - 1] = true;
    showDownloading(dut, text);
  } else {
    updateMesage(dut, text);
  }
}

// The byte count of "SEND_ASYNC(4096)": at most four digits after the "(".
int sentBytes(const std::string& text) {
  const size_t open = text.find('(');
  int bytes = 0;
  for (size_t i = open + 1; i < text.size() && i <= open + 4; ++i) {
    if (text[i] < '0' || text[i] > '9') break;
    bytes = bytes * 10 + (text[i] - '0');
  }
  return bytes;
}

void onTransferNote(int dut, const std::string& text) {
  if (!contains(text, "SEND_ASYNC") || !contains(text, "(")) return;
  const uint64_t total = qca9x07Firmware().downloadTotal;
  if (total == 0) return;
  const double fraction = static_cast<double>(sentBytes(text)) / static_cast<double>(total);
  const double reached = gSlotProgress[dut - 1].fetch_add(fraction) + fraction;
  gCurrentProgress = reached;
  // The count is shared by every slot: the 51st note since the last post posts again.
  if (gNoteCount.fetch_add(1) >= kNotesBetweenPosts) {
    gNoteCount = 0;
    updateProgressBar(dut, reached);
  }
}

}  // namespace

void qca9x07TextLogCallBack(void*, const void* message, HANDLE handle) {
  const int dut = slotOfHandle(handle);
  if (!validDut(dut) || message == nullptr) return;
  const auto& record = *static_cast<const QLIB_TextLogRecord*>(message);
  if (record.type == QLIB_TEXT_LOG_TYPE_TEXT) {
    onText(dut, recordText(record));
  } else if (record.type == QLIB_TEXT_LOG_TYPE_TRANSFER) {
    onTransferNote(dut, recordText(record));
  }
}

void qca9x07SaharaLogCallBack(HANDLE handle, const char* text) {
  const int dut = slotOfHandle(handle);
  if (!validDut(dut) || text == nullptr) return;
  updateMesage(dut, text);
}

double qca9x07CurrentProgress() {
  return gCurrentProgress;
}

void resetQca9x07CurrentProgress() {
  gCurrentProgress = 0.0;
}

bool qca9x07PartitionSeen(int dut) {
  return validDut(dut) && gPartitionSeen[dut - 1];
}

void clearQca9x07PartitionSeen(int dut) {
  if (validDut(dut)) gPartitionSeen[dut - 1] = false;
}

void resetQca9x07DownloadState() {
  for (auto& progress : gSlotProgress) progress = 0.0;
  for (auto& seen : gPartitionSeen) seen = false;
  gCurrentProgress = 0.0;
  gNoteCount = 0;
}
