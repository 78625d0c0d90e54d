#include "records/record_report.h"

#include <cstdio>

namespace records {
namespace {

std::string milliseconds(const std::optional<int64_t>& ms) {
  return ms ? std::to_string(*ms) : "";
}

std::string yesNo(bool on) {
  return on ? "1" : "0";
}

// The fields of a run in the order of the CSV columns and of `show`.
std::vector<std::pair<const char*, std::string>> fieldsOf(const StoredRun& run) {
  const RunRecord& r = run.record;
  return {{"id", std::to_string(run.id)},
          {"uid", r.uid},
          {"station", r.station},
          {"dut", std::to_string(r.dut)},
          {"imei", r.imei},
          {"meid", r.meid},
          {"platform", r.platform},
          {"firmware_folder", r.firmwareFolder},
          {"backup_qcn", yesNo(r.backupQcn)},
          {"only_ap", yesNo(r.onlyAp)},
          {"only_qcn", yesNo(r.onlyQcn)},
          {"start_time", r.startTime},
          {"end_time", r.endTime},
          {"cp_ms", milliseconds(r.cpMs)},
          {"ap_ms", milliseconds(r.apMs)},
          {"tp_ms", milliseconds(r.tpMs)},
          {"efs_ms", milliseconds(r.efsMs)},
          {"result", r.result},
          {"status", std::to_string(r.status)},
          {"message", r.message},
          {"failed_stage", r.failedStage},
          {"failure_message", r.failureMessage},
          {"qcn_file", r.qcnFile},
          {"qcn_sha256", r.qcnSha256},
          {"dut_log", r.dutLog}};
}

std::string csvField(const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string imagesText(const std::vector<ImageDigest>& images) {
  std::string text;
  for (const ImageDigest& image : images) {
    if (!text.empty()) text += "; ";
    text += image.label + "=" + image.path + " " + image.sha256;
  }
  return text;
}

std::string line(const char* id, const char* start, const char* station, const char* dut,
                 const char* imei, const char* platform, const char* result, const char* message) {
  char text[1024];
  std::snprintf(text, sizeof text, "%-6s %-23s %-16s %-3s %-15s %-8s %-6s %s\n", id, start, station,
                dut, imei, platform, result, message);
  return text;
}

}  // namespace

std::string listText(const std::vector<StoredRun>& runs) {
  std::string text =
      line("ID", "START (UTC)", "STATION", "DUT", "IMEI", "PLATFORM", "RESULT", "MESSAGE");
  for (const StoredRun& run : runs) {
    const RunRecord& r = run.record;
    const std::string& why = r.result == "pass" ? r.message : r.failureMessage;
    text += line(std::to_string(run.id).c_str(), r.startTime.c_str(), r.station.c_str(),
                 std::to_string(r.dut).c_str(), r.imei.c_str(), r.platform.c_str(),
                 r.result.c_str(), why.c_str());
  }
  return text;
}

std::string showText(const StoredRun& run) {
  std::string text;
  for (const auto& [name, value] : fieldsOf(run)) text += std::string(name) + ": " + value + "\n";
  text += "images: " + std::to_string(run.record.images.size()) + "\n";
  for (const ImageDigest& image : run.record.images) {
    text += "  " + image.sha256 + "  " + std::to_string(image.size) + "  " + image.label + "  " +
            image.path + "\n";
  }
  return text;
}

std::string csvText(const std::vector<StoredRun>& runs) {
  std::string text;
  const StoredRun empty;
  for (const auto& [name, value] : fieldsOf(empty)) text += std::string(name) + ",";
  text += "images\r\n";
  for (const StoredRun& run : runs) {
    for (const auto& [name, value] : fieldsOf(run)) text += csvField(value) + ",";
    text += csvField(imagesText(run.record.images)) + "\r\n";
  }
  return text;
}

}  // namespace records
