#include "odbc.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <stdexcept>

namespace tobrin {
namespace {

constexpr SQLULEN kLoginSeconds = 15;

// Every diagnostic record of `handle`, one line each: the driver's message and its SQLSTATE.
std::string diagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
  std::string text;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLCHAR state[6] = {};
    SQLINTEGER nativeError = 0;
    SQLCHAR message[SQL_MAX_MESSAGE_LENGTH + 1] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetDiagRec(handleType, handle, record, state, &nativeError, message,
                                       sizeof message, &length);
    if (!SQL_SUCCEEDED(rc)) break;
    if (!text.empty()) text += '\n';
    text += reinterpret_cast<const char*>(message);
    text += " (SQLSTATE ";
    text += reinterpret_cast<const char*>(state);
    text += ')';
  }
  return text;
}

}  // namespace

void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* what) {
  if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) return;
  std::string text = handle != SQL_NULL_HANDLE ? diagnostics(handleType, handle) : "";
  if (text.empty()) text = std::string(what) + " failed with ODBC result " + std::to_string(rc);
  throw std::runtime_error(text);
}

Handle::Handle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
  const SQLRETURN rc = SQLAllocHandle(type, parent, &handle_);
  if (!SQL_SUCCEEDED(rc)) {
    handle_ = SQL_NULL_HANDLE;
    const SQLSMALLINT parentType = type == SQL_HANDLE_STMT ? SQL_HANDLE_DBC : SQL_HANDLE_ENV;
    tobrin::check(rc == SQL_NO_DATA ? SQL_ERROR : rc, parentType, parent, "SQLAllocHandle");
  }
}

Handle::~Handle() {
  if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, handle_);
}

Statement::Statement(SQLHDBC connection) : handle_(SQL_HANDLE_STMT, connection) {}

void Statement::execute(const std::string& sql) {
  auto* text = reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.data()));
  handle_.check(SQLExecDirect(handle_.get(), text, static_cast<SQLINTEGER>(sql.size())),
                "SQLExecDirect");
}

void Statement::tables() {
  static char types[] = "TABLE,VIEW";
  handle_.check(SQLTables(handle_.get(), nullptr, 0, nullptr, 0, nullptr, 0,
                          reinterpret_cast<SQLCHAR*>(types), SQL_NTS),
                "SQLTables");
}

std::vector<Column> Statement::columns() {
  SQLSMALLINT count = 0;
  handle_.check(SQLNumResultCols(handle_.get(), &count), "SQLNumResultCols");
  std::vector<Column> columns(count);
  for (SQLSMALLINT i = 0; i < count; ++i) {
    SQLCHAR name[256] = {};
    SQLSMALLINT nameLength = 0, decimals = 0, nullable = 0;
    SQLULEN size = 0;
    handle_.check(SQLDescribeCol(handle_.get(), i + 1, name, sizeof name, &nameLength,
                                 &columns[i].sqlType, &size, &decimals, &nullable),
                  "SQLDescribeCol");
    columns[i].name = reinterpret_cast<const char*>(name);
  }
  return columns;
}

bool Statement::fetch() {
  const SQLRETURN rc = SQLFetch(handle_.get());
  handle_.check(rc, "SQLFetch");
  return rc != SQL_NO_DATA;
}

std::optional<std::string> Statement::text(int index, SQLSMALLINT sqlType) {
  const auto column = static_cast<SQLUSMALLINT>(index + 1);
  switch (sqlType) {
    case SQL_DOUBLE:
    case SQL_FLOAT:
      return number<double>(column, SQL_C_DOUBLE);
    case SQL_REAL:
      return number<float>(column, SQL_C_FLOAT);
    default:
      break;
  }
  return characters(column);
}

// Reads a character field in pieces: the driver says how much is left, or SQL_NO_TOTAL, and
// every piece but the last fills the buffer up to its terminating NUL.
std::optional<std::string> Statement::characters(SQLUSMALLINT column) {
  std::string value;
  char buffer[4096];
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc =
        SQLGetData(handle_.get(), column, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
    if (rc == SQL_NO_DATA) break;
    handle_.check(rc, "SQLGetData");
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    const bool whole = rc == SQL_SUCCESS;
    const SQLLEN available = indicator == SQL_NO_TOTAL ? SQLLEN(sizeof buffer) : indicator;
    value.append(buffer, std::min<SQLLEN>(available, sizeof buffer - 1));
    if (whole) break;
  }
  return value;
}

template <typename Number>
std::optional<std::string> Statement::number(SQLUSMALLINT column, SQLSMALLINT cType) {
  Number value{};
  SQLLEN indicator = 0;
  handle_.check(SQLGetData(handle_.get(), column, cType, &value, sizeof value, &indicator),
                "SQLGetData");
  if (indicator == SQL_NULL_DATA) return std::nullopt;
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

Environment::Environment() : Handle(SQL_HANDLE_ENV, SQL_NULL_HANDLE) {
  const auto version = reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_OV_ODBC3));
  check(SQLSetEnvAttr(get(), SQL_ATTR_ODBC_VERSION, version, 0), "SQLSetEnvAttr");
}

Connection::Connection(const std::string& connectionString)
    : connection_(SQL_HANDLE_DBC, environment_.get()) {
  // The call takes the length as a 16-bit count.
  if (connectionString.size() > size_t(std::numeric_limits<SQLSMALLINT>::max())) {
    throw std::runtime_error("the connection string is too long (" +
                             std::to_string(connectionString.size()) + " characters)");
  }
  // A server that accepts the connection but never answers must not hold a station forever.
  const auto loginSeconds = reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(kLoginSeconds));
  SQLSetConnectAttr(connection_.get(), SQL_ATTR_LOGIN_TIMEOUT, loginSeconds, 0);
  auto* text = reinterpret_cast<SQLCHAR*>(const_cast<char*>(connectionString.data()));
  SQLSMALLINT outLength = 0;
  connection_.check(SQLDriverConnect(connection_.get(), nullptr, text,
                                     static_cast<SQLSMALLINT>(connectionString.size()), nullptr, 0,
                                     &outLength, SQL_DRIVER_NOPROMPT),
                    "SQLDriverConnect");
}

Connection::~Connection() {
  SQLDisconnect(connection_.get());
}

std::string Connection::dbmsName() {
  char name[128] = {};
  SQLSMALLINT length = 0;
  connection_.check(SQLGetInfo(connection_.get(), SQL_DBMS_NAME, name, sizeof name, &length),
                    "SQLGetInfo");
  return name;
}

void Connection::setAutocommit(bool on) {
  const auto value = reinterpret_cast<SQLPOINTER>(
      static_cast<SQLULEN>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF));
  connection_.check(SQLSetConnectAttr(connection_.get(), SQL_ATTR_AUTOCOMMIT, value, 0),
                    "SQLSetConnectAttr");
}

void Connection::executeInTransaction(const std::string& sql) {
  setAutocommit(false);
  try {
    statement().execute(sql);
    connection_.check(SQLEndTran(SQL_HANDLE_DBC, connection_.get(), SQL_COMMIT), "SQLEndTran");
  } catch (...) {
    SQLEndTran(SQL_HANDLE_DBC, connection_.get(), SQL_ROLLBACK);
    setAutocommit(true);
    throw;
  }
  setAutocommit(true);
}

}  // namespace tobrin
