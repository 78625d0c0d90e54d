#include "chipsets/download_text_log.h"

#include <cstring>

#include "host/report.h"

namespace {

// Transfer notes counted without posting before the next one posts the progress.
constexpr int kNotesBetweenPosts = 50;

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

// "Downloading /fw/sbl1.mbn" is shown as "Downloading sbl1." + `end`: the file name up to and
// including its last ".". A text without a directory shows nothing.
void showDownloading(int dut, const std::string& text, const char* end) {
  const size_t slash = text.rfind('/');
  if (slash == std::string::npos) return;
  const size_t dot = text.rfind('.');
  std::string name;
  if (dot != std::string::npos && dot > slash) name = text.substr(slash + 1, dot - slash);
  updateMesage(dut, "Downloading " + name + end);
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

}  // namespace

void DownloadTextLog::onRecord(const void* message, HANDLE handle) {
  const int dut = style_.slotOf(handle);
  if (!validDut(dut) || message == nullptr) return;
  const auto& record = *static_cast<const QLIB_TextLogRecord*>(message);
  if (record.type == QLIB_TEXT_LOG_TYPE_TEXT) {
    onText(dut, recordText(record));
  } else if (record.type == QLIB_TEXT_LOG_TYPE_TRANSFER) {
    onTransferNote(dut, recordText(record));
  }
}

double DownloadTextLog::fractionOf(uint64_t bytes) const {
  const uint64_t total = style_.downloadTotal();
  return total == 0 ? 0.0 : static_cast<double>(bytes) / static_cast<double>(total);
}

// A progress mark posts the slot's new progress. True when the text was one.
bool DownloadTextLog::applyMark(int dut, const std::string& text) {
  for (size_t i = 0; i < style_.markCount; ++i) {
    const ProgressMark& mark = style_.marks[i];
    if (!contains(text, mark.text)) continue;
    double reached = 0.0;
    switch (mark.kind) {
      case ProgressMark::Restart:
        current_ = 0.0;
        break;
      case ProgressMark::SetTo:
        reached = fractionOf(mark.bytes());
        break;
      case ProgressMark::Add:
        reached = slotProgress_[dut - 1] + fractionOf(mark.bytes());
        break;
    }
    slotProgress_[dut - 1] = reached;
    updateProgressBar(dut, reached);
    return true;
  }
  return false;
}

void DownloadTextLog::onText(int dut, const std::string& text) {
  if (!applyMark(dut, text) &&
      (contains(text, "address") || contains(text, "Streaming") || contains(text, "start"))) {
    return;
  }
  const bool image = contains(text, "mbn") || (style_.binImages && contains(text, "bin"));
  if (contains(text, "Downloading") && image) {
    partitionSeen_[dut - 1] = true;
    showDownloading(dut, text, style_.downloadingEnd);
  } else {
    updateMesage(dut, text);
  }
}

void DownloadTextLog::onTransferNote(int dut, const std::string& text) {
  if (!contains(text, "SEND_ASYNC") || !contains(text, "(")) return;
  if (style_.downloadTotal() == 0) return;
  const double fraction = fractionOf(static_cast<uint64_t>(sentBytes(text)));
  const double reached = slotProgress_[dut - 1].fetch_add(fraction) + fraction;
  current_ = reached;
  // The count is shared by every slot: the 51st note since the last post posts again.
  if (noteCount_.fetch_add(1) >= kNotesBetweenPosts) {
    noteCount_ = 0;
    updateProgressBar(dut, reached);
  }
}

bool DownloadTextLog::partitionSeen(int dut) const {
  return validDut(dut) && partitionSeen_[dut - 1];
}

void DownloadTextLog::clearPartitionSeen(int dut) {
  if (validDut(dut)) partitionSeen_[dut - 1] = false;
}

void DownloadTextLog::reset() {
  for (auto& progress : slotProgress_) progress = 0.0;
  for (auto& seen : partitionSeen_) seen = false;
  current_ = 0.0;
  noteCount_ = 0;
}

int slotOfHandleInAllEntries(HANDLE handle) {
  if (!handle) return -1;
  for (int index = 0; index < kHandleMapSize; ++index) {
    if (handeIndexMap[index].load() == handle) return index + 1;
  }
  return -1;
}

void showLibraryText(int dut, const char* text) {
  if (validDut(dut) && text != nullptr) updateMesage(dut, text);
}
