#pragma once
// What the Qca9x15 file list keeps for the downloads: the paths of its sixteen rows, the AP
// boot loader, the sizes the progress is measured with and the list of user partitions the
// CP download streams. Written by the load on the UI thread while no download runs; read by
// the downloads and the text-log callback.

#include <cstdint>
#include <string>

#include "platform/qlib_api.h"

struct Qca9x15Firmware {
  std::string folder;  // the firmware directory
  std::string normalProgrammer, emergencyProgrammer, partitionFile;
  std::string sbl1, sbl2;
  std::string apps;  // the station's own fastboot-capable boot loader, streamed to APPSBL
  std::string rpm, dsp1;
  std::string dsp;  // dsp.mbn when the firmware has one (isDsp), else dsp2.mbn
  std::string dsp3;
  std::string boot, system, userdata, recovery, recoveryfs;
  std::string aboot;  // the firmware's boot loader, written over fastboot
  bool isDsp = false;

  uint64_t programmerSize = 0;  // the normal programmer
  uint64_t partitionSize = 0;   // the partition file
  uint64_t downloadTotal = 0;   // bytes the progress is measured against
  QLIB_UserPartitionList userPartitions{};
};

Qca9x15Firmware& qca9x15Firmware();
