#include "station/station_state.h"

#include "host/station_options.h"

std::atomic<unsigned char> listening = 0;
PlatformType em = kQca9x15;
PlatformType g_em = kQca9x15;
IniDocument* gCfgIni = nullptr;
bool gBackCtrlVisble = false;
std::string sHelpFile;
host::FileTable gFileTable;
host::WorkerPool* gThreadPool = nullptr;

void resetStationState() {
  listening = 0;
  em = kQca9x15;
  g_em = kQca9x15;
  gBackCtrlVisble = false;
  sHelpFile.clear();
  gFileTable = host::FileTable();
  resetStationOptions();
}

void writeCfgIni() {
  if (gCfgIni) Ini_WriteToFile(gCfgIni, kCfgIniFile);
}
