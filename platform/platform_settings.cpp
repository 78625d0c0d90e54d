#include "platform/platform_settings.h"

std::string qcnFilePath;
int qcnFileLowLimit = 0;
int qcnFileHighLimit = 0;
std::string checkCFUNStr;
int gNotUseQPST = 0;
std::string sSrcVersionType;
std::string sDstVersionType;
std::atomic<int> bPartionDiff{0};
std::atomic<int> bUpdatedCp{0};
std::atomic<int> bOpenAdb{0};
std::atomic<int> bSwitch911{0};
std::atomic<int> gBackupEFS{0};
std::atomic<int> bHalvoH{0};

void resetPlatformSettings() {
  qcnFilePath.clear();
  qcnFileLowLimit = 0;
  qcnFileHighLimit = 0;
  checkCFUNStr.clear();
  gNotUseQPST = 0;
  sSrcVersionType.clear();
  sDstVersionType.clear();
  bPartionDiff = 0;
  bUpdatedCp = 0;
  bOpenAdb = 0;
  bSwitch911 = 0;
  gBackupEFS = 0;
  bHalvoH = 0;
}
