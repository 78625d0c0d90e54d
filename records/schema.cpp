#include "records/schema.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <string>
#include <vector>

#include "records/run_record.h"
#include "records/sql_text.h"

namespace records {
namespace {

struct Step {
  int version;
  std::vector<std::string> (*statements)(Dialect dialect);
};

// Version 1: the runs and the images each run used.
std::vector<std::string> runTables(Dialect dialect) {
  const std::string id = dialect == Dialect::Sqlite ? "id INTEGER PRIMARY KEY AUTOINCREMENT"
                                                    : "id BIGSERIAL PRIMARY KEY";
  return {
      "CREATE TABLE IF NOT EXISTS runs (" + id +
          ", uid TEXT NOT NULL UNIQUE, station TEXT NOT NULL, dut INTEGER NOT NULL,"
          " imei TEXT NOT NULL, meid TEXT NOT NULL, platform TEXT NOT NULL,"
          " firmware_folder TEXT NOT NULL, backup_qcn INTEGER NOT NULL,"
          " only_ap INTEGER NOT NULL, only_qcn INTEGER NOT NULL, start_time TEXT NOT NULL,"
          " end_time TEXT NOT NULL, cp_ms BIGINT, ap_ms BIGINT, tp_ms BIGINT, efs_ms BIGINT,"
          " result TEXT NOT NULL, status INTEGER NOT NULL, message TEXT NOT NULL,"
          " failed_stage TEXT NOT NULL, failure_message TEXT NOT NULL, qcn_file TEXT NOT NULL,"
          " qcn_sha256 TEXT NOT NULL, dut_log TEXT NOT NULL)",
      "CREATE TABLE IF NOT EXISTS run_images (run_uid TEXT NOT NULL, position INTEGER NOT NULL,"
      " label TEXT NOT NULL, path TEXT NOT NULL, size BIGINT NOT NULL, sha256 TEXT NOT NULL,"
      " PRIMARY KEY (run_uid, position))",
  };
}

// Version 2: the searches a line makes, by module and by time.
std::vector<std::string> searchIndexes(Dialect) {
  return {"CREATE INDEX IF NOT EXISTS runs_imei ON runs (imei)",
          "CREATE INDEX IF NOT EXISTS runs_start_time ON runs (start_time)"};
}

const Step kSteps[] = {{1, runTables}, {2, searchIndexes}};
static_assert(sizeof kSteps / sizeof kSteps[0] == kSchemaVersion);

bool hasTable(ITobrin& db, const std::string& name) {
  std::vector<std::string> tables;
  db.ListTables(tables);
  return std::any_of(tables.begin(), tables.end(), [&](std::string table) {
    std::transform(table.begin(), table.end(), table.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return table == name;
  });
}

void noteVersion(ITobrin& db, int version) {
  const std::string number = sqlNumber(version);
  db.ExecuteStatement("INSERT INTO schema_version (version, applied_at) SELECT " + number + ", " +
                      sqlText(utcTimeText()) +
                      " WHERE NOT EXISTS (SELECT 1 FROM schema_version WHERE version = " + number +
                      ")");
}

}  // namespace

Dialect detectDialect(ITobrin& db) {
  // Only SQLite knows this function; PostgreSQL refuses the statement.
  try {
    std::vector<std::vector<std::string>> rows;
    db.Query("SELECT sqlite_version()", rows);
    return Dialect::Sqlite;
  } catch (const std::runtime_error&) {
    return Dialect::Postgres;
  }
}

int schemaVersion(ITobrin& db) {
  if (!hasTable(db, "schema_version")) return 0;
  std::vector<std::vector<std::string>> rows;
  db.Query("SELECT MAX(version) FROM schema_version", rows);
  if (rows.empty() || rows[0].empty() || rows[0][0].empty()) return 0;
  return std::stoi(rows[0][0]);
}

int migrateSchema(ITobrin& db, Dialect dialect) {
  db.ExecuteStatement(
      "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER PRIMARY KEY,"
      " applied_at TEXT NOT NULL)");
  int version = schemaVersion(db);
  for (const Step& step : kSteps) {
    if (step.version <= version) continue;
    for (const std::string& statement : step.statements(dialect)) db.ExecuteStatement(statement);
    noteVersion(db, step.version);
    version = step.version;
  }
  return version;
}

}  // namespace records
