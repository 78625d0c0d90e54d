#pragma once
// The station's local spool: every finished run is written here first, in a small SQLite file
// in the working directory, and taken out once the records' database holds it. Runs stay in
// the order they finished. Used by one thread at a time.

#include <memory>
#include <string>
#include <vector>

#include "records/record_database.h"
#include "records/run_record.h"

namespace records {

inline constexpr const char* kSpoolFileName = "records-spool.db";

class Spool {
 public:
  // Opens (and if need be creates) the spool file. Throws std::runtime_error.
  explicit Spool(const std::string& path);

  // Adds the run after every run already spooled; a run already there stays where it is.
  void append(const RunRecord& record);
  // Every spooled run, oldest first. A row that cannot be read as a run is skipped.
  std::vector<RunRecord> pending();
  void remove(const std::string& uid);

 private:
  RecordDatabase db_;
};

}  // namespace records
