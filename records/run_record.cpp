#include "records/run_record.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>
#include <random>
#include <stdexcept>

#include "records/run_fields.h"

namespace records {
namespace {

using nlohmann::json;

template <class Field>
json jsonOf(const Field& field) {
  return json(field);
}

json jsonOf(const std::optional<int64_t>& ms) {
  return ms ? json(*ms) : json(nullptr);
}

template <class Field>
void readJson(const json& value, Field& field) {
  field = value.get<Field>();
}

void readJson(const json& value, std::optional<int64_t>& ms) {
  ms = value.is_null() ? std::nullopt : std::optional<int64_t>(value.get<int64_t>());
}

}  // namespace

std::string toJson(const RunRecord& r) {
  json j = json::object();
  forEachField(r, [&](const char* name, const auto& field) { j[name] = jsonOf(field); });
  json& images = j["images"] = json::array();
  for (const ImageDigest& image : r.images) {
    images.push_back({{"label", image.label},
                      {"path", image.path},
                      {"size", image.size},
                      {"sha256", image.sha256}});
  }
  // Texts from modules and files may hold bytes that are not UTF-8; they are replaced.
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

RunRecord runRecordFromJson(const std::string& text) {
  try {
    const json j = json::parse(text);
    RunRecord r;
    forEachField(r, [&](const char* name, auto& field) { readJson(j.at(name), field); });
    for (const json& image : j.at("images")) {
      r.images.push_back(
          {image.at("label"), image.at("path"), image.at("size"), image.at("sha256")});
    }
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
