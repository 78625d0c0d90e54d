#include "records/spool.h"

#include <cstdio>

#include "records/sql_text.h"

namespace records {

Spool::Spool(const std::string& path) : db_(sqliteConnection(path)) {
  db_.tobrin().ExecuteStatement(
      "CREATE TABLE IF NOT EXISTS spool (seq INTEGER PRIMARY KEY AUTOINCREMENT,"
      " uid TEXT NOT NULL UNIQUE, record TEXT NOT NULL)");
}

void Spool::append(const RunRecord& record) {
  const std::string uid = sqlText(record.uid);
  db_.tobrin().ExecuteStatement("INSERT INTO spool (uid, record) SELECT " + uid + ", " +
                                sqlText(toJson(record)) +
                                " WHERE NOT EXISTS (SELECT 1 FROM spool WHERE uid = " + uid + ")");
}

std::vector<RunRecord> Spool::pending() {
  std::vector<std::vector<std::string>> rows;
  db_.tobrin().Query("SELECT record FROM spool ORDER BY seq", rows);
  std::vector<RunRecord> records;
  for (const auto& row : rows) {
    try {
      records.push_back(runRecordFromJson(row[0]));
    } catch (const std::runtime_error& error) {
      std::fprintf(stderr, "records: a spooled run cannot be read and stays spooled: %s\n",
                   error.what());
    }
  }
  return records;
}

void Spool::remove(const std::string& uid) {
  db_.tobrin().ExecuteStatement("DELETE FROM spool WHERE uid = " + sqlText(uid));
}

}  // namespace records
