#pragma once
// The records' database through the Tobrin library: opened from an ODBC connection string,
// its schema brought up to date, runs delivered into it and searched.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "records/record_filter.h"
#include "records/run_record.h"
#include "records/schema.h"
#include "zendral/tobrin.h"

namespace records {

struct StoredRun {
  int64_t id = 0;  // the database's number for the run, in the order runs arrived
  RunRecord record;
};

class RecordDatabase {
 public:
  // Connects; an SQLite file the string names is created when it is missing. Throws
  // std::runtime_error when the database cannot be reached.
  explicit RecordDatabase(const std::string& connection);
  ~RecordDatabase();
  RecordDatabase(const RecordDatabase&) = delete;
  RecordDatabase& operator=(const RecordDatabase&) = delete;

  Dialect dialect() const { return dialect_; }
  // Brings the schema up to date; returns its version.
  int migrate() { return migrateSchema(*db_, dialect_); }

  // Stores the run and its images. Delivering the same run again (after a delivery whose
  // answer was lost) stores nothing twice. Throws std::runtime_error.
  void deliver(const RunRecord& record);

  // The runs the filter takes, in the order they arrived; images only when asked for.
  std::vector<StoredRun> find(const RecordFilter& filter, bool withImages = false);
  std::optional<StoredRun> findById(int64_t id);
  // How many runs carry this uid (0 or 1).
  int countUid(const std::string& uid);

  ITobrin& tobrin() { return *db_; }

 private:
  std::vector<ImageDigest> imagesOf(const std::string& uid);

  ITobrin* db_ = nullptr;
  Dialect dialect_ = Dialect::Sqlite;
};

// The SQLite file an ODBC connection string for the SQLite driver names, or "".
std::string sqliteFileOf(const std::string& connection);

// The connection string of the SQLite file at `path`.
std::string sqliteConnection(const std::string& path);

}  // namespace records
