#include "station/station_config.h"

#include <algorithm>
#include <cstring>

#include "host/report.h"
#include "host/station_options.h"
#include "station/station_state.h"

namespace {

constexpr char kPlatformSection[] = "Platform";

bool readBoolean(IniDocument* doc, const char* key, bool fallback) {
  int value = 0;
  if (Ini_GetBoolean(doc, kPlatformSection, key, &value) != 1) return fallback;
  return value != 0;
}

// A text of at most `capacity` - 1 characters.
std::string readText(IniDocument* doc, const char* section, const char* key, size_t capacity) {
  std::string buffer(capacity, '\0');
  if (Ini_GetStringIntoBuffer(doc, section, key, buffer.data(), capacity) != 1) return {};
  buffer.resize(std::strlen(buffer.c_str()));
  return buffer;
}

// How many slots run, and the ports they are pinned to.
void readSlots(IniDocument* doc, StationConfig& config) {
  int32_t count = 1;
  if (Ini_GetInt(doc, kPlatformSection, "DutCount", &count) == 1) {
    config.dutCount = std::clamp<int32_t>(count, 1, kMaxDuts);
  }
  for (int dut = 1; dut <= config.dutCount; ++dut) {
    const std::string key = "Slot" + std::to_string(dut);
    config.pinnedPorts.push_back(readText(doc, "Slots", key.c_str(), 64));
  }
}

}  // namespace

StationConfig readStationConfig(IniDocument* doc) {
  StationConfig config;
  config.current = readText(doc, kPlatformSection, "current", 32);
  gBackupRestoreQcn = readBoolean(doc, "BacupRestorQcn", gBackupRestoreQcn);
  gOnlyAp = readBoolean(doc, "OnlyAP", gOnlyAp);
  gOnlyQcn = readBoolean(doc, "OnlyQcn", gOnlyQcn);
  gProcessMeid = readBoolean(doc, "ProcessMeid", gProcessMeid);
  gProcessIMEI = readBoolean(doc, "ProcessIMEI", gProcessIMEI);
  gWriteNv = readBoolean(doc, "WriteNvItem", gWriteNv);
  config.supportHalvoA = readBoolean(doc, "SupportHalvoA", false);
  config.supportHalvoB = readBoolean(doc, "SupportHalvoB", false);
  config.supportHalvoC = readBoolean(doc, "SupportHalvoC", false);
  config.supportHalvoD = readBoolean(doc, "SupportHalvoD", false);
  config.supportHalvoE = readBoolean(doc, "SupportHalvoE", false);
  config.supportHalvoF = readBoolean(doc, "SupportHalvoF", false);
  config.supportHalvoG = readBoolean(doc, "SupportHalvoG", false);
  gBackCtrlVisble = readBoolean(doc, "BackCtrlVisble", gBackCtrlVisble);
  sHelpFile = readText(doc, kPlatformSection, "Help", 255);
  sSoftVersion = readText(doc, kPlatformSection, "Version", 255);
  config.recordDatabase = readText(doc, "Record", "Database", 4096);
  config.recordStation = readText(doc, "Record", "Station", 256);
  uint32_t diaport = 0;
  if (Ini_GetUInt(doc, "Dev1", "diaport", &diaport) == 1) config.diaport = diaport;
  readSlots(doc, config);
  return config;
}

bool platformItemEnabled(const StationConfig& config, const char* key) {
  const std::pair<const char*, bool> keys[] = {
      {"SupportHalvoA", config.supportHalvoA}, {"SupportHalvoB", config.supportHalvoB},
      {"SupportHalvoC", config.supportHalvoC}, {"SupportHalvoD", config.supportHalvoD},
      {"SupportHalvoE", config.supportHalvoE}, {"SupportHalvoF", config.supportHalvoF},
      {"SupportHalvoG", config.supportHalvoG},
  };
  for (const auto& [name, on] : keys) {
    if (std::strcmp(name, key) == 0) return on;
  }
  return false;
}
