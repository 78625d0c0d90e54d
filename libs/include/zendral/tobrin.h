// Tobrin: one object bound to one database, reached over ODBC. A single-file SQLite database is
// the embedded default; a line of stations shares one PostgreSQL database instead.
//
//   ITobrin* db = nullptr;
//   CreateObject(CLSID_Tobrin, IID_ITobrin, reinterpret_cast<void**>(&db));
//   db->SetFilePath("/var/lib/line/records.db");
//   db->CreateDatabase();                      // a new, empty SQLite file
//   db->Open("Driver=SQLite3;Database=/var/lib/line/records.db");
//   db->ExecuteStatement("CREATE TABLE units (imei TEXT, result INTEGER)");
//   db->Close();
//   db->Release();
//
// Operations that return int give 0 for success and 1 for failure (no open connection). Errors
// the database or its driver reports are thrown as std::runtime_error carrying the driver's
// diagnostic text. Reads append to the caller's vector, and only when the whole read succeeded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zendral/com.h"

inline constexpr GUID CLSID_Tobrin = {
    0xB249EB45, 0x70B9, 0x41A3, {0x9A, 0x73, 0x6A, 0xDF, 0x51, 0xAE, 0x7B, 0x86}};
inline constexpr GUID IID_ITobrin = {
    0xABC8A92E, 0x3B67, 0x41BE, {0x94, 0x60, 0xAE, 0x84, 0x57, 0xCE, 0x18, 0xD8}};

struct ITobrin : IUnknown {
  // The path of the database file that CreateDatabase creates.
  virtual std::string GetFilePath() = 0;
  virtual void SetFilePath(const std::string& path) = 0;
  // Creates the held path as an empty SQLite database; false when the path is empty or any file
  // (or folder) already exists there. Does not open the database.
  virtual bool CreateDatabase() = 0;
  // Opens an ODBC connection string ("Driver=SQLite3;Database=/path/x.db",
  // "Driver={PostgreSQL Unicode};Server=...;Database=...", "DSN=name") or a string of the form
  // "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=<path>;", which opens that file as SQLite.
  // SQLite files must exist. Throws when the driver refuses or a connection is already open.
  virtual bool Open(const std::string& connection) = 0;
  // Closes the connection; nothing happens when none is open.
  virtual void Close() = 0;

  // Runs one SQL statement.
  virtual int ExecuteStatement(const std::string& sql) = 0;
  // Every value of the named column (matched without regard to case) of `table`, in row order.
  // NULL reads as "".
  virtual int ReadColumn(const std::string& table, const std::string& column,
                         std::vector<std::string>& out) = 0;
  // As ReadColumn, with the column given by its zero-based position.
  virtual int ReadColumnAt(const std::string& table, int32_t& index,
                           std::vector<std::string>& out) = 0;
  // One vector per row of the statement's result, every field as text: NULL as "", integers in
  // decimal, floating-point values in their shortest exact form, decimals as the database
  // writes them. No header row.
  virtual int Query(const std::string& sql, std::vector<std::vector<std::string>>& rows) = 0;
  virtual int OpenRecordset(const std::string& sql,
                            std::vector<std::vector<std::string>>& rows) = 0;
  // The names of the database's tables and views.
  virtual int ListTables(std::vector<std::string>& out) = 0;
  virtual int DropTable(const std::string& table) = 0;
  // Renames a table with its rows, column types, keys and indexes; on failure the old table
  // stays as it was.
  virtual int RenameTable(const std::string& oldName, const std::string& newName) = 0;

 protected:
  ~ITobrin() = default;
};

// Hands out a new object with one reference when `clsid` is CLSID_Tobrin and the object answers
// `iid`; otherwise false and *out is null.
extern "C" __attribute__((visibility("default"))) bool CreateObject(const GUID& clsid,
                                                                    const GUID& iid, void** out);
