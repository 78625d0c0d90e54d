#pragma once
// What the Qca8909 file list keeps for the downloads: the firmware folder, the flash
// programmer, the rawprogram and patch files, and those of the backup firmware in the folder's
// "backup" subfolder (flashed before the qmbn backup). Written by the load on the UI thread
// while no download runs; read by the CP download.

#include <string>

struct Qca8909Firmware {
  std::string folder;
  std::string programmer;
  std::string rawprogram;
  std::string patch;
  std::string backupRawprogram;  // empty unless the qmbn road needs it
  std::string backupPatch;
};

Qca8909Firmware& qca8909Firmware();
