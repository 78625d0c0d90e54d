#pragma once
// The outside services a chipset procedure calls besides the diagnostic library's entry points:
// loading the library, the AT check, NV writes and QCN backup of the module, the version report
// of a fresh connection and the fastboot download. The procedures reach them through this table so
// that tests can put fakes in their place.

#include <cstdint>
#include <string>

#include "platform/platform.h"

struct ChipsetServices {
  int (*loadLibrary)(int flag);
  int (*checkCfun)(const DownloadRequest& request);
  int (*backupQcn)(const DownloadRequest& request, int op, int qphonems);
  void (*printVersion)(const DownloadRequest& request);
  int (*flashAll)(int dut, const std::string& path, uint64_t total, double start);
  // Reads the module's flash identification over AT; 1 or 0.
  int (*readDeviceInfo)(const DownloadRequest& request, std::string* flashId) = nullptr;
  // Clears NV items 3628 and 3629 over AT; 1 or 0.
  int (*writeNvItem)(const DownloadRequest& request) = nullptr;
  // Whether the module's AP revision equals the backup firmware's version, over AT; 1 or 0.
  int (*ifNeedUpdateVersion)(const DownloadRequest& request) = nullptr;
  // The outside tools: the flash programmer over Sahara, the firmware over Firehose; 0 or -1.
  int (*loadProgrammer)(const DownloadRequest& request, const std::string& programmer) = nullptr;
  int (*sendFirmware)(const DownloadRequest& request, const std::string& rawprogram,
                      const std::string& patch) = nullptr;
};

// The services in use (the real ones until a test changes them).
ChipsetServices& chipsetServices();
// Puts the real services back.
void resetChipsetServices();
