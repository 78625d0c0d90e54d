// Connection strings: the ODBC string a caller gives, or the older provider form
// "Provider=...;Data Source=<path>;", becomes the string handed to the driver manager.
#pragma once

#include <optional>
#include <string>

namespace tobrin {

// The ODBC connection string that opens the SQLite file at `path`. The file must exist
// (a mistyped path fails instead of creating an empty database), and a locked database is
// waited for a few seconds rather than the driver's default of minutes.
std::string sqliteConnectionString(const std::string& path);

// `given` as the driver manager takes it: a provider-form string opens its Data Source through
// the SQLite driver; an ODBC string for the SQLite driver gains the options above unless it sets
// them itself; any other string is passed on unchanged. Throws std::runtime_error for a
// provider-form string without a Data Source.
std::string odbcConnectionString(const std::string& given);

// The database file an ODBC string for the SQLite driver names, when it names one by its path.
std::optional<std::string> sqliteFilePath(const std::string& odbc);

}  // namespace tobrin
