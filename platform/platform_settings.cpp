#include "platform/platform_settings.h"

std::string qcnFilePath;
int qcnFileLowLimit = 0;
int qcnFileHighLimit = 0;
std::string checkCFUNStr;
int gNotUseQPST = 0;
std::string sSrcVersionType;
std::string sDstVersionType;

void resetPlatformSettings() {
  qcnFilePath.clear();
  qcnFileLowLimit = 0;
  qcnFileHighLimit = 0;
  checkCFUNStr.clear();
  gNotUseQPST = 0;
  sSrcVersionType.clear();
  sDstVersionType.clear();
}
