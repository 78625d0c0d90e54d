#pragma once
// How a CP download follows the library's streaming download: the text-log records become the
// DUT's messages and progress. Each platform keeps its own DownloadTextLog (its own per-slot
// progress, partition flags and message counter) with a small description of what differs:
// how the connection's slot is found, the progress marks among the texts, the ending of the
// "Downloading ..." message and the download total.
//
// The callbacks run on the library's threads; every value they touch is atomic.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/qca_library.h"

// What a text containing `text` does to the slot's progress before the usual text handling.
struct ProgressMark {
  enum Kind {
    Restart,  // the slot's progress and the shared current progress go back to 0
    SetTo,    // the slot's progress becomes bytes() / total
    Add,      // the slot's progress grows by bytes() / total
  };
  const char* text;
  Kind kind;
  uint64_t (*bytes)();  // null for Restart
};

struct DownloadTextStyle {
  int (*slotOf)(HANDLE handle);  // the DUT number of a connection, or -1
  const ProgressMark* marks;     // checked in order; the first match counts
  size_t markCount;
  const char* downloadingEnd;  // appended to the file name: "mbn..." or "mbn ..."
  uint64_t (*downloadTotal)();
  // Whether "Downloading" texts of ".bin" images announce a partition too (".mbn" always do).
  bool binImages = false;
};

class DownloadTextLog {
 public:
  explicit DownloadTextLog(const DownloadTextStyle& style) : style_(style) {}

  // One text-log record of the library: type 8 texts become messages and progress marks,
  // type 1 "SEND_ASYNC(n)" notes add n bytes, posted every 51st note.
  void onRecord(const void* message, HANDLE handle);

  // The progress reached by the latest download of any slot (0 to 1).
  double currentProgress() const { return current_; }
  void resetCurrentProgress() { current_ = 0.0; }
  // Whether the library reported a partition download ("Downloading ...mbn") for `dut`.
  bool partitionSeen(int dut) const;
  void clearPartitionSeen(int dut);
  // Everything back to its start-up value.
  void reset();

 private:
  bool applyMark(int dut, const std::string& text);
  void onText(int dut, const std::string& text);
  void onTransferNote(int dut, const std::string& text);
  double fractionOf(uint64_t bytes) const;

  const DownloadTextStyle& style_;
  std::atomic<double> slotProgress_[kHandleMapSize] = {};
  std::atomic<bool> partitionSeen_[kHandleMapSize] = {};
  std::atomic<double> current_{0.0};
  std::atomic<int> noteCount_{0};
};

// Shows a library text as DUT `dut`'s message; texts of unknown connections (-1, 0) are dropped.
void showLibraryText(int dut, const char* text);

// The DUT number of `handle` among all eight handeIndexMap entries, or -1.
int slotOfHandleInAllEntries(HANDLE handle);
