#pragma once
// Recording as the station runs it: from the [Record] settings to a running hasher, writer and
// run tracker installed as the run events, and back at the close.

#include <functional>
#include <optional>
#include <string>

namespace records {

inline constexpr const char* kDefaultDatabaseFile = "records.db";

struct RecordSettings {
  std::string connection;  // ODBC connection string of the records' database
  std::string station;     // the station's name in every run
  std::string spoolPath;
};

// The settings from cfg.ini's [Record] values: `database` empty means the SQLite file
// records.db in `workingDir`, "off" (any case) turns recording off (nullopt); `station` empty
// means the host name.
std::optional<RecordSettings> recordSettings(const std::string& database,
                                             const std::string& station,
                                             const std::string& workingDir);

// Starts recording and installs it as the run events. `note` writes one line to a DUT's log.
// Does nothing when recording already runs.
void startRecording(const RecordSettings& settings,
                    std::function<void(int dut, const std::string& line)> note);
// Records every run still going as not finished, writes what is waiting to the spool,
// delivers what it can within a few seconds, and uninstalls the run events.
void stopRecording();

}  // namespace records
