#include "records/record_report.h"

#include <cstdio>

#include "records/run_fields.h"

namespace records {
namespace {

// The fields of a run in the order of the CSV columns and of `show`.
std::vector<std::pair<const char*, std::string>> fieldsOf(const StoredRun& run) {
  std::vector<std::pair<const char*, std::string>> fields{{"id", std::to_string(run.id)}};
  forEachField(run.record, [&](const char* name, const auto& field) {
    fields.emplace_back(name, fieldText(field));
  });
  return fields;
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
