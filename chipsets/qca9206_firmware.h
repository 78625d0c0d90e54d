#pragma once
// What the Qca9206 file list keeps for the downloads: the programmers and the partition table
// image, whether the firmware is built for 1 GB flash, the byte count of the whole table and
// the user partition list in the layout the loaded library build reads. Written by the load on
// the UI thread while no download runs; read by the CP and AP downloads.

#include <cstdint>
#include <string>

#include "platform/qlib_api.h"

struct Qca9206Firmware {
  std::string folder;  // the firmware directory
  std::string normalProgrammer;
  std::string emergencyProgrammer;
  std::string partitionFile;
  bool firmware1G = false;  // the FirmwareTypeDef marker file is in the folder

  uint64_t downloadTotal = 0;  // bytes of every file of rows 2 onward
  // The long layout (with its library build) is used when a name or the number of images does
  // not fit the short one.
  bool longLayout = false;
  QLIB_UserPartitionList shortList{};
  QLIB_LongUserPartitionList longList{};

  const void* userPartitions() const {
    return longLayout ? static_cast<const void*>(&longList) : &shortList;
  }
};

Qca9206Firmware& qca9206Firmware();
