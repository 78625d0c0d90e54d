#pragma once
// Reading the station's settings from cfg.ini at start-up. A missing file, section or key, or
// a value that does not convert, leaves the default.

#include <cstdint>
#include <string>
#include <vector>

#include "ini/inifile.h"

struct StationConfig {
  std::string current;  // section "Platform", key "current" (at most 31 characters)
  // The enabling keys of the platform items, by key name.
  bool supportHalvoA = false, supportHalvoB = false, supportHalvoC = false;
  bool supportHalvoD = false, supportHalvoE = false, supportHalvoF = false;
  bool supportHalvoG = false;
  uint32_t diaport = 0;  // section "Dev1", key "diaport"
  // Section "Record": the records' database ("" for records.db here, "off" for none) and the
  // station's name in them ("" for the host name).
  std::string recordDatabase;
  std::string recordStation;
  // Section "Platform", key "DutCount": how many DUT slots run at once (1 to 8; a smaller
  // value reads as 1, a larger one as 8).
  int dutCount = 1;
  // Section "Slots", keys "Slot1" ... "Slot<dutCount>": the USB port path ("<bus>-<port path>")
  // each slot is pinned to; empty for a slot that takes whichever module comes.
  std::vector<std::string> pinnedPorts;
};

// Reads the keys into the station options, gBackCtrlVisble, sHelpFile and sSoftVersion, and
// returns the rest.
StationConfig readStationConfig(IniDocument* doc);

// Whether the platform item enabled by `key` ("SupportHalvoA" ...) is on in `config`.
bool platformItemEnabled(const StationConfig& config, const char* key);
