#pragma once
// What the Qca9x07 file list keeps for the downloads: the paths of the firmware's files, its
// layout, the byte count of the whole table and the list of user partitions streamed in the
// CP download. Written by the load on the UI thread while no download runs; read by the CP and
// AP downloads.

#include <cstdint>
#include <string>

#include "platform/qlib_api.h"

struct Qca9x07Firmware {
  std::string folder;  // the firmware directory
  std::string normalProgrammer;
  std::string emergencyProgrammer;
  std::string partitionFile;
  std::string boot, system, userdata, persist, customer;
  // Empty when the firmware has none of these.
  std::string modem, recovery, recoveryfs;
  std::string qmbn;  // the EFS backup image, empty when none was found
  std::string sbl, tz, rpm;
  std::string appsboot;  // always the folder's appsboot.mbn
  std::string devCfg;    // empty when the firmware has no devcfg.mbn

  bool ubiLayout = false;        // the system image is a UBI volume
  bool isHalvoM = false;         // not UBI, with a customer image
  bool bHalvoLUserdata = false;  // not UBI, no customer image, a userdata image

  uint64_t downloadTotal = 0;  // bytes of every file in the table
  QLIB_UserPartitionList userPartitions{};
};

Qca9x07Firmware& qca9x07Firmware();
