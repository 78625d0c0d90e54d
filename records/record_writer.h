#pragma once
// The background writer of the records. A finished run is first written to the local spool on
// the writer's spool thread (the caller waits only for that), then delivered to the records'
// database on its delivery thread, oldest first, and taken out of the spool once delivered.
// While the database cannot be reached the runs wait in the spool; the first run that waits
// gets one line in its DUT's log. Runs left in the spool by an earlier station (closed, killed)
// are delivered first.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "records/run_tracker.h"

namespace records {

struct WriterSettings {
  std::string connection;  // the records' database (ODBC connection string)
  std::string spoolPath;
  // One line for the DUT's log (a delivery problem the operator should know of).
  std::function<void(int dut, const std::string& line)> note;
  std::chrono::milliseconds retry{2000};          // the first wait after a failed delivery
  std::chrono::milliseconds longestRetry{10000};  // waits double up to this
  std::chrono::milliseconds closeWait{5000};      // how long close waits for a delivery under way
};

class RecordWriter : public RecordSink {
 public:
  explicit RecordWriter(WriterSettings settings);
  ~RecordWriter() override;
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  // Waits until the run is in the spool (or the spool refused it), then returns; delivery
  // follows in the background.
  void store(RunRecord record, std::shared_ptr<const FirmwareImages> firmware) override;

  // Writes every run handed over so far to the spool, then ends both threads. A delivery under
  // way is waited for up to `closeWait`; what it did not deliver stays in the spool.
  void close();

  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
  std::thread spooler_;
  std::thread deliverer_;
};

}  // namespace records
