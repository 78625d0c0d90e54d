#include "platform/platform_settings.h"

#include "platform/slot_record.h"

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

namespace {

std::atomic<int> gPartionDiffOf[kSlotCount];
std::atomic<int> gUpdatedCpOf[kSlotCount];

bool hasOwn(int dut) {
  return dutCount() > 1 && dut >= 1 && dut <= kSlotCount;
}

}  // namespace

int partionDiffOf(int dut) {
  return hasOwn(dut) ? gPartionDiffOf[dut - 1].load() : bPartionDiff.load();
}

int updatedCpOf(int dut) {
  return hasOwn(dut) ? gUpdatedCpOf[dut - 1].load() : bUpdatedCp.load();
}

void setPartionDiff(int dut, int value) {
  bPartionDiff = value;
  if (dut >= 1 && dut <= kSlotCount) gPartionDiffOf[dut - 1] = value;
}

void setUpdatedCp(int dut, int value) {
  bUpdatedCp = value;
  if (dut >= 1 && dut <= kSlotCount) gUpdatedCpOf[dut - 1] = value;
}

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
  for (int dut = 1; dut <= kSlotCount; ++dut) {
    setPartionDiff(dut, 0);
    setUpdatedCp(dut, 0);
  }
}
