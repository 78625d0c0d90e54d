#pragma once
// What the Qca9x25 file list keeps for the downloads: the programmer and partition files, the
// AP images, the byte count the progress is measured against, the list of user partitions the
// CP download streams, and the files that were missing. Written by the load on the UI thread
// while no download runs; read by the downloads and the text-log callback.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/qlib_api.h"

struct Qca9x25Firmware {
  std::string folder;  // the firmware directory
  std::string normalProgrammer, emergencyProgrammer, partitionFile;
  std::string boot, system, userdata, recovery, recoveryfs;

  uint64_t downloadTotal = 0;  // bytes of every file in the table that exists
  QLIB_UserPartitionList userPartitions{};
  // Paths of the table's files that do not exist, in row order. The load still succeeds with
  // them (the file panel shows them red); a download refuses to start.
  std::vector<std::string> missing;
};

Qca9x25Firmware& qca9x25Firmware();
