// CTobrin: the object CreateObject hands out, one connection at a time over ODBC.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>

#include "connection_string.h"
#include "odbc.h"
#include "result_text.h"
#include "zendral/tobrin.h"

namespace tobrin {
namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;

class CTobrin final : public ITobrin {
 public:
  ~CTobrin() { Close(); }

  HRESULT QueryInterface(const GUID& iid, void** out) override {
    if (out == nullptr) return E_NOINTERFACE;
    if (iid == IID_IUnknown || iid == IID_ITobrin) {
      *out = static_cast<ITobrin*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  int32_t AddRef() override { return ++references_; }
  int32_t Release() override {
    const int32_t left = --references_;
    if (left == 0) delete this;
    return left;
  }

  std::string GetFilePath() override { return path_; }
  void SetFilePath(const std::string& path) override { path_ = path; }
  bool CreateDatabase() override;
  bool Open(const std::string& connection) override;
  void Close() override { connection_.reset(); }

  int ExecuteStatement(const std::string& sql) override;
  int ReadColumn(const std::string& table, const std::string& column,
                 std::vector<std::string>& out) override;
  int ReadColumnAt(const std::string& table, int32_t& index,
                   std::vector<std::string>& out) override;
  int Query(const std::string& sql, std::vector<std::vector<std::string>>& rows) override;
  int OpenRecordset(const std::string& sql, std::vector<std::vector<std::string>>& rows) override {
    return Query(sql, rows);
  }
  int ListTables(std::vector<std::string>& out) override;
  int DropTable(const std::string& table) override {
    return ExecuteStatement("DROP TABLE " + table);
  }
  int RenameTable(const std::string& oldName, const std::string& newName) override;

 private:
  using PickColumn = std::function<int(const std::vector<Column>&)>;
  int appendColumn(const std::string& table, const PickColumn& pick, std::vector<std::string>& out);

  std::string path_;
  std::unique_ptr<Connection> connection_;
  bool sqlite_ = false;  // the SQLite driver lists its own sqlite_ tables, which stay hidden
  std::atomic<int32_t> references_{0};
};

// The file is made first, exclusively, so that a file that appears meanwhile is never taken
// over; the driver then writes the database header into it.
bool CTobrin::CreateDatabase() {
  if (path_.empty()) return false;
  const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  ::close(fd);
  try {
    Connection created(sqliteConnectionString(path_));
    created.statement().execute("PRAGMA user_version = 0");
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
    throw;
  }
  return true;
}

// The SQLite driver says only "connect failed" for a file that is not there; the path is named.
std::unique_ptr<Connection> connect(const std::string& odbc) {
  try {
    return std::make_unique<Connection>(odbc);
  } catch (const std::runtime_error& error) {
    const auto path = sqliteFilePath(odbc);
    std::error_code ignored;
    if (!path || std::filesystem::exists(*path, ignored)) throw;
    throw std::runtime_error("no database file at " + *path + ": " + error.what());
  }
}

bool CTobrin::Open(const std::string& connection) {
  if (connection_) {
    throw std::runtime_error("a connection is already open; Close it before opening another");
  }
  auto opened = connect(odbcConnectionString(connection));
  sqlite_ = opened->dbmsName() == "SQLite";
  connection_ = std::move(opened);
  return true;
}

int CTobrin::ExecuteStatement(const std::string& sql) {
  if (!connection_) return kFailure;
  connection_->statement().execute(sql);
  return kSuccess;
}

int CTobrin::ReadColumn(const std::string& table, const std::string& column,
                        std::vector<std::string>& out) {
  return appendColumn(
      table, [&](const auto& columns) { return columnIndex(columns, column, table); }, out);
}

int CTobrin::ReadColumnAt(const std::string& table, int32_t& index, std::vector<std::string>& out) {
  return appendColumn(
      table, [&](const auto& columns) { return checkedIndex(columns, index, table); }, out);
}

// Reads the whole table and appends the values of the column that `pick` finds among its
// columns; nothing is appended when anything fails.
int CTobrin::appendColumn(const std::string& table, const PickColumn& pick,
                          std::vector<std::string>& out) {
  if (!connection_) return kFailure;
  Statement statement = connection_->statement();
  statement.execute("SELECT * FROM " + table);
  const auto columns = statement.columns();
  const auto values = readColumn(statement, columns, pick(columns));
  out.insert(out.end(), values.begin(), values.end());
  return kSuccess;
}

int CTobrin::Query(const std::string& sql, std::vector<std::vector<std::string>>& rows) {
  if (!connection_) return kFailure;
  Statement statement = connection_->statement();
  statement.execute(sql);
  auto read = readRows(statement, statement.columns());
  rows.insert(rows.end(), std::make_move_iterator(read.begin()),
              std::make_move_iterator(read.end()));
  return kSuccess;
}

int CTobrin::ListTables(std::vector<std::string>& out) {
  if (!connection_) return kFailure;
  Statement statement = connection_->statement();
  statement.tables();
  constexpr int kTableName = 2;  // the third column of the catalog's answer
  auto names = readColumn(statement, statement.columns(), kTableName);
  if (sqlite_) std::erase_if(names, isSqliteInternal);
  out.insert(out.end(), names.begin(), names.end());
  return kSuccess;
}

// Both databases rename in place and keep the table's column types, keys and indexes; inside
// a transaction a refused rename leaves the old table untouched.
int CTobrin::RenameTable(const std::string& oldName, const std::string& newName) {
  if (!connection_) return kFailure;
  connection_->executeInTransaction("ALTER TABLE " + oldName + " RENAME TO " + newName);
  return kSuccess;
}

}  // namespace
}  // namespace tobrin

extern "C" __attribute__((visibility("default"))) bool CreateObject(const GUID& clsid,
                                                                    const GUID& iid, void** out) {
  if (!out) return false;
  *out = nullptr;
  if (!(clsid == CLSID_Tobrin)) return false;
  auto* object = new tobrin::CTobrin;
  object->AddRef();
  const bool answered = object->QueryInterface(iid, out) == S_OK;
  object->Release();  // what is left is the caller's reference, or nothing
  return answered;
}
