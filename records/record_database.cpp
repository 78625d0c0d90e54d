#include "records/record_database.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <stdexcept>

#include "records/run_fields.h"
#include "records/sql_text.h"

namespace records {
namespace {

// The runs table's columns after the id, in the order of the record's fields.
std::string runColumns() {
  const RunRecord empty;
  std::string columns;
  forEachField(empty, [&](const char* name, const auto&) {
    columns += (columns.empty() ? "" : ", ") + std::string(name);
  });
  return columns;
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A row of "id, " + runColumns().
RunRecord recordOfRow(const std::vector<std::string>& row) {
  RunRecord r;
  size_t column = 1;  // after the id
  forEachField(r, [&](const char*, auto& field) { readFieldText(row.at(column++), field); });
  return r;
}

std::string sqlValue(const std::string& text) {
  return sqlText(text);
}
std::string sqlValue(int number) {
  return sqlNumber(number);
}
std::string sqlValue(bool flag) {
  return flag ? "1" : "0";
}
std::string sqlValue(const std::optional<int64_t>& number) {
  return sqlNumber(number);
}

std::string runValues(const RunRecord& r) {
  std::string values;
  forEachField(r, [&](const char*, const auto& field) {
    values += (values.empty() ? "" : ", ") + sqlValue(field);
  });
  return values;
}

}  // namespace

std::string sqliteFileOf(const std::string& connection) {
  std::string driver, database;
  size_t at = 0;
  while (at <= connection.size()) {
    const size_t end = std::min(connection.find(';', at), connection.size());
    const std::string pair = connection.substr(at, end - at);
    const size_t equals = pair.find('=');
    if (equals != std::string::npos) {
      const std::string key = lower(trimmed(pair.substr(0, equals)));
      const std::string value = trimmed(pair.substr(equals + 1));
      if (key == "driver") driver = lower(value);
      if (key == "database") database = value;
    }
    at = end + 1;
  }
  if (driver.find("sqlite") == std::string::npos || database.rfind("file:", 0) == 0) return "";
  return database;
}

std::string sqliteConnection(const std::string& path) {
  return "Driver=SQLite3;Database=" + path;
}

RecordDatabase::RecordDatabase(const std::string& connection) {
  if (!CreateObject(CLSID_Tobrin, IID_ITobrin, reinterpret_cast<void**>(&db_)) || !db_) {
    throw std::runtime_error("the database library gave no object");
  }
  try {
    const std::string file = sqliteFileOf(connection);
    std::error_code ignored;
    if (!file.empty() && !std::filesystem::exists(file, ignored)) {
      db_->SetFilePath(file);
      // Another process may have made it meanwhile; either way it exists now.
      try {
        db_->CreateDatabase();
      } catch (const std::runtime_error&) {
        if (!std::filesystem::exists(file, ignored)) throw;
      }
    }
    db_->Open(connection);
    dialect_ = detectDialect(*db_);
    // A server that takes a statement and never answers must not hold the writer forever.
    if (dialect_ == Dialect::Postgres) db_->ExecuteStatement("SET statement_timeout = 30000");
    // The station only appends to its file and looks up single runs: a small page cache keeps
    // a long shift's memory flat as the file grows (the default grows to 2 MiB a connection).
    if (dialect_ == Dialect::Sqlite) db_->ExecuteStatement("PRAGMA cache_size = -256");
  } catch (...) {
    db_->Release();
    throw;
  }
}

RecordDatabase::~RecordDatabase() {
  db_->Close();
  db_->Release();
}

// The images go first and the run last, each only when it is not there yet: a run that is
// present is complete, and a delivery cut short is finished by the next one.
void RecordDatabase::deliver(const RunRecord& r) {
  const std::string uid = sqlText(r.uid);
  for (size_t i = 0; i < r.images.size(); ++i) {
    const ImageDigest& image = r.images[i];
    const std::string position = sqlNumber(static_cast<int64_t>(i));
    db_->ExecuteStatement(
        "INSERT INTO run_images (run_uid, position, label, path, size, sha256) SELECT " + uid +
        ", " + position + ", " + sqlText(image.label) + ", " + sqlText(image.path) + ", " +
        sqlNumber(static_cast<int64_t>(image.size)) + ", " + sqlText(image.sha256) +
        " WHERE NOT EXISTS (SELECT 1 FROM run_images WHERE run_uid = " + uid +
        " AND position = " + position + ")");
  }
  db_->ExecuteStatement("INSERT INTO runs (" + runColumns() + ") SELECT " + runValues(r) +
                        " WHERE NOT EXISTS (SELECT 1 FROM runs WHERE uid = " + uid + ")");
}

std::vector<StoredRun> RecordDatabase::find(const RecordFilter& filter, bool withImages) {
  std::vector<std::vector<std::string>> rows;
  db_->Query("SELECT id, " + runColumns() + " FROM runs" + whereClause(filter) + " ORDER BY id",
             rows);
  std::vector<StoredRun> runs;
  for (const auto& row : rows) {
    StoredRun run{std::stoll(row[0]), recordOfRow(row)};
    if (withImages) run.record.images = imagesOf(run.record.uid);
    runs.push_back(std::move(run));
  }
  return runs;
}

std::optional<StoredRun> RecordDatabase::findById(int64_t id) {
  std::vector<std::vector<std::string>> rows;
  db_->Query("SELECT id, " + runColumns() + " FROM runs WHERE id = " + sqlNumber(id), rows);
  if (rows.empty()) return std::nullopt;
  StoredRun run{id, recordOfRow(rows[0])};
  run.record.images = imagesOf(run.record.uid);
  return run;
}

int RecordDatabase::countUid(const std::string& uid) {
  std::vector<std::vector<std::string>> rows;
  db_->Query("SELECT COUNT(*) FROM runs WHERE uid = " + sqlText(uid), rows);
  return rows.empty() ? 0 : std::stoi(rows[0][0]);
}

std::vector<ImageDigest> RecordDatabase::imagesOf(const std::string& uid) {
  std::vector<std::vector<std::string>> rows;
  db_->Query("SELECT label, path, size, sha256 FROM run_images WHERE run_uid = " + sqlText(uid) +
                 " ORDER BY position",
             rows);
  std::vector<ImageDigest> images;
  for (const auto& row : rows) {
    images.push_back({row[0], row[1], static_cast<uint64_t>(std::stoull(row[2])), row[3]});
  }
  return images;
}

}  // namespace records
