#pragma once
// One module's run as the records keep it: who and where, what firmware went in (every image
// with its SHA-256), the options, the times of the run and of each stage, the result, the QCN
// backup and the DUT's log. The spool keeps a record as one JSON text.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace records {

struct ImageDigest {
  std::string label;  // the file panel's row label
  std::string path;
  uint64_t size = 0;
  std::string sha256;  // empty when the file could not be read
  bool operator==(const ImageDigest&) const = default;
};

struct RunRecord {
  std::string uid;  // unique for every run; delivery is keyed on it
  std::string station;
  int dut = 0;
  std::string imei;
  std::string meid;
  std::string platform;
  std::string firmwareFolder;
  std::vector<ImageDigest> images;
  bool backupQcn = false;
  bool onlyAp = false;
  bool onlyQcn = false;
  std::string startTime;  // UTC, "YYYY-MM-DD HH:MM:SS.mmm"
  std::string endTime;
  // Milliseconds spent in each stage; nullopt for a stage the run never entered.
  std::optional<int64_t> cpMs, apMs, tpMs, efsMs;
  std::string result;          // "pass" or "fail"
  int status = 0;              // the last status reported: 0 passed, negative failed
  std::string message;         // the DUT's message line when the result was reported
  std::string failedStage;     // "CP", "AP", "TP", "EFS"; empty for a pass
  std::string failureMessage;  // the last message of the failing stage; empty for a pass
  std::string qcnFile;
  std::string qcnSha256;
  std::string dutLog;  // the path of the DUT's log file
  bool operator==(const RunRecord&) const = default;
};

std::string toJson(const RunRecord& record);
// Throws std::runtime_error for a text that is not a record.
RunRecord runRecordFromJson(const std::string& text);

// A new 128-bit random identifier, as 32 hex digits.
std::string newRunUid();

// Now, in UTC, as "YYYY-MM-DD HH:MM:SS.mmm".
std::string utcTimeText();

}  // namespace records
