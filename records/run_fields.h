#pragma once
// The scalar fields of a run record under their column names, listed once for every form a
// record takes: the spool's JSON, the database's rows, `show` and the CSV export. The images
// are a list of their own and are not among them.

#include <cstdint>
#include <optional>
#include <string>

#include "records/run_record.h"

namespace records {

// Calls `visit(name, field)` for every scalar field, in the order of the database's columns.
// `Record` is RunRecord or const RunRecord, so one list serves writing and reading.
template <class Record, class Visit>
void forEachField(Record& r, Visit&& visit) {
  visit("uid", r.uid);
  visit("station", r.station);
  visit("dut", r.dut);
  visit("imei", r.imei);
  visit("meid", r.meid);
  visit("platform", r.platform);
  visit("firmware_folder", r.firmwareFolder);
  visit("backup_qcn", r.backupQcn);
  visit("only_ap", r.onlyAp);
  visit("only_qcn", r.onlyQcn);
  visit("start_time", r.startTime);
  visit("end_time", r.endTime);
  visit("cp_ms", r.cpMs);
  visit("ap_ms", r.apMs);
  visit("tp_ms", r.tpMs);
  visit("efs_ms", r.efsMs);
  visit("result", r.result);
  visit("status", r.status);
  visit("message", r.message);
  visit("failed_stage", r.failedStage);
  visit("failure_message", r.failureMessage);
  visit("qcn_file", r.qcnFile);
  visit("qcn_sha256", r.qcnSha256);
  visit("dut_log", r.dutLog);
}

// A field as plain text, as the database returns it and the reports show it: flags are "1" and
// "0", a stage never entered is empty.
inline std::string fieldText(const std::string& value) {
  return value;
}
inline std::string fieldText(int value) {
  return std::to_string(value);
}
inline std::string fieldText(bool value) {
  return value ? "1" : "0";
}
inline std::string fieldText(const std::optional<int64_t>& value) {
  return value ? std::to_string(*value) : "";
}

// The reverse of fieldText. Throws std::invalid_argument or std::out_of_range for a number
// that does not read.
inline void readFieldText(const std::string& text, std::string& field) {
  field = text;
}
inline void readFieldText(const std::string& text, int& field) {
  field = std::stoi(text);
}
inline void readFieldText(const std::string& text, bool& field) {
  field = text != "0";
}
inline void readFieldText(const std::string& text, std::optional<int64_t>& field) {
  field = text.empty() ? std::nullopt : std::optional<int64_t>(std::stoll(text));
}

}  // namespace records
