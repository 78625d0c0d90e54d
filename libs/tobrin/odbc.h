// The few ODBC calls the library needs, wrapped so that every handle is freed on every path and
// every failure becomes a std::runtime_error with the driver's own diagnostic text.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <optional>
#include <string>
#include <vector>

namespace tobrin {

// Throws std::runtime_error built from the diagnostic records of `handle` when `rc` is neither
// SQL_SUCCESS, SQL_SUCCESS_WITH_INFO nor SQL_NO_DATA.
void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* what);

// One ODBC handle, freed when it goes.
class Handle {
 public:
  Handle(SQLSMALLINT type, SQLHANDLE parent);
  ~Handle();
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  SQLHANDLE get() const { return handle_; }
  SQLSMALLINT type() const { return type_; }
  void check(SQLRETURN rc, const char* what) const { tobrin::check(rc, type_, handle_, what); }

 private:
  SQLSMALLINT type_;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// The environment every connection is made in, set for ODBC 3 behaviour.
class Environment : public Handle {
 public:
  Environment();
};

struct Column {
  std::string name;
  SQLSMALLINT sqlType = 0;
};

// One statement on a connection: run it, then walk its result row by row.
class Statement {
 public:
  explicit Statement(SQLHDBC connection);

  void execute(const std::string& sql);
  // The tables and views of the connected database, as SQLTables reports them.
  void tables();

  std::vector<Column> columns();
  bool fetch();
  // The field at zero-based `index` of the current row as text; nullopt for NULL.
  std::optional<std::string> text(int index, SQLSMALLINT sqlType);

 private:
  std::optional<std::string> characters(SQLUSMALLINT column);
  template <typename Number>
  std::optional<std::string> number(SQLUSMALLINT column, SQLSMALLINT cType);

  Handle handle_;
};

// An open connection; disconnects when it goes.
class Connection {
 public:
  explicit Connection(const std::string& connectionString);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  Statement statement() { return Statement(connection_.get()); }
  // The product name the driver reports ("SQLite", "PostgreSQL").
  std::string dbmsName();

  // Runs `sql` as one transaction: committed when it succeeds, rolled back when it throws.
  void executeInTransaction(const std::string& sql);

 private:
  void setAutocommit(bool on);

  Environment environment_;
  Handle connection_;
};

}  // namespace tobrin
