#include "records/run_record.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>
#include <random>
#include <stdexcept>

namespace records {
namespace {

using nlohmann::json;

json optionalMs(const std::optional<int64_t>& ms) {
  return ms ? json(*ms) : json(nullptr);
}

std::optional<int64_t> readMs(const json& value) {
  if (value.is_null()) return std::nullopt;
  return value.get<int64_t>();
}

}  // namespace

std::string toJson(const RunRecord& r) {
  json images = json::array();
  for (const ImageDigest& image : r.images) {
    images.push_back({{"label", image.label},
                      {"path", image.path},
                      {"size", image.size},
                      {"sha256", image.sha256}});
  }
  const json j = {{"uid", r.uid},
                  {"station", r.station},
                  {"dut", r.dut},
                  {"imei", r.imei},
                  {"meid", r.meid},
                  {"platform", r.platform},
                  {"firmware_folder", r.firmwareFolder},
                  {"images", images},
                  {"backup_qcn", r.backupQcn},
                  {"only_ap", r.onlyAp},
                  {"only_qcn", r.onlyQcn},
                  {"start_time", r.startTime},
                  {"end_time", r.endTime},
                  {"cp_ms", optionalMs(r.cpMs)},
                  {"ap_ms", optionalMs(r.apMs)},
                  {"tp_ms", optionalMs(r.tpMs)},
                  {"efs_ms", optionalMs(r.efsMs)},
                  {"result", r.result},
                  {"status", r.status},
                  {"message", r.message},
                  {"failed_stage", r.failedStage},
                  {"failure_message", r.failureMessage},
                  {"qcn_file", r.qcnFile},
                  {"qcn_sha256", r.qcnSha256},
                  {"dut_log", r.dutLog}};
  // Texts from modules and files may hold bytes that are not UTF-8; they are replaced.
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

RunRecord runRecordFromJson(const std::string& text) {
  try {
    const json j = json::parse(text);
    RunRecord r;
    r.uid = j.at("uid");
    r.station = j.at("station");
    r.dut = j.at("dut");
    r.imei = j.at("imei");
    r.meid = j.at("meid");
    r.platform = j.at("platform");
    r.firmwareFolder = j.at("firmware_folder");
    for (const json& image : j.at("images")) {
      r.images.push_back(
          {image.at("label"), image.at("path"), image.at("size"), image.at("sha256")});
    }
    r.backupQcn = j.at("backup_qcn");
    r.onlyAp = j.at("only_ap");
    r.onlyQcn = j.at("only_qcn");
    r.startTime = j.at("start_time");
    r.endTime = j.at("end_time");
    r.cpMs = readMs(j.at("cp_ms"));
    r.apMs = readMs(j.at("ap_ms"));
    r.tpMs = readMs(j.at("tp_ms"));
    r.efsMs = readMs(j.at("efs_ms"));
    r.result = j.at("result");
    r.status = j.at("status");
    r.message = j.at("message");
    r.failedStage = j.at("failed_stage");
    r.failureMessage = j.at("failure_message");
    r.qcnFile = j.at("qcn_file");
    r.qcnSha256 = j.at("qcn_sha256");
    r.dutLog = j.at("dut_log");
    return r;
  } catch (const json::exception& error) {
    throw std::runtime_error(std::string("not a run record: ") + error.what());
  }
}

std::string newRunUid() {
  static thread_local std::mt19937_64 generator{std::random_device{}()};
  char text[33];
  std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(generator()),
                static_cast<unsigned long long>(generator()));
  return text;
}

std::string utcTimeText() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                static_cast<int>(ms.count()));
  return text;
}

}  // namespace records
