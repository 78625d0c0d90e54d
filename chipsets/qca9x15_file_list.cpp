// The Qca9x15 file list: its settings in Platform/Qca9x15.ini, the sixteen rows of the
// firmware table built from the firmware directory, the download list and sizes, and the
// registration of the AP images with the fastboot flash sequence. A missing file fails the
// load without a box: its row is red.

#include <string>
#include <vector>

#include "chipsets/chipset_services.h"
#include "chipsets/dir_settings.h"
#include "chipsets/firmware_files.h"
#include "chipsets/firmware_table_check.h"
#include "chipsets/qca9x15.h"
#include "chipsets/qca9x15_firmware.h"
#include "chipsets/user_partition_list.h"
#include "fastboot/flash_sequences.h"
#include "host/report.h"
#include "ini/inifile.h"
#include "platform/platform_file.h"
#include "platform/platform_settings.h"
#include "platform/qca_library.h"

namespace {

constexpr char kIniFile[] = "Platform/Qca9x15.ini";
constexpr char kCpSection[] = "CpFile";
constexpr char kApSection[] = "ApFile";

// Rows of the table (row 1 is the firmware folder).
enum Row {
  kNormalRow = 2,
  kEmergencyRow,
  kPartitionRow,
  kSbl1Row,
  kSbl2Row,
  kAppsRow,
  kRpmRow,
  kDsp1Row,
  kDspRow,  // "dsp" or "dsp2"
  kDsp3Row,
  kBootRow,
  kSystemRow,
  kUserdataRow,
  kRecoveryRow,
  kRecoveryfsRow,
};

// Reads the file and its items in their fixed order; the first negative result ends it.
int readSettings(IniDocument* doc, std::string& folder) {
  int result = readPlatformIniFile(doc, kIniFile);
  if (result < 0) return result;
  if ((result = readDirText(doc, "Dir Path", folder)) < 0) return result;
  if ((result = readDirText(doc, "Qcn Path", qcnFilePath)) < 0) return result;
  if ((result = readDirUnsigned(doc, "Qcn File Low Limit", qcnFileLowLimit)) < 0) return result;
  if ((result = readQcnHighLimit(doc)) < 0) return result;
  if ((result = readDirFlag(doc, "BackupEFS", gBackupEFS)) < 0) return result;
  if ((result = readDirText(doc, "CheckCFUN", checkCFUNStr)) < 0) return result;
  if ((result = readDirFlag(doc, "UseQcn", bUseQcnQca9x15)) < 0) return result;
  if ((result = readDirFlag(doc, "NotUseQPST", gNotUseQPST)) < 0) return result;
  return 0;
}

void findFirmwareFiles(Qca9x15Firmware& fw) {
  auto in = [&fw](const char* name) { return fw.folder + "/" + name; };
  fw.normalProgrammer = in("NPRG9x15.hex");
  fw.emergencyProgrammer = in("ENPRG9x15.hex");
  fw.partitionFile = in("partition.mbn");
  fw.sbl1 = in("sbl1.mbn");
  fw.sbl2 = in("sbl2.mbn");
  fw.apps = stationImage("appsboot_fastboot_9x15.mbn");
  fw.rpm = in("rpm.mbn");
  fw.dsp1 = in("dsp1.mbn");
  fw.isDsp = isFirmwareFile(in("dsp.mbn"));
  fw.dsp = fw.isDsp ? in("dsp.mbn") : in("dsp2.mbn");
  fw.dsp3 = in("dsp3.mbn");
  fw.boot = in("boot.img");
  fw.system = in("system.img");
  fw.userdata = in("userdata.img");
  fw.recovery = in("recovery.img");
  fw.recoveryfs = in("recoveryfs.img");
  fw.aboot = in("appsboot.mbn");
}

void fillTable(host::FileTable& table, const Qca9x15Firmware& fw) {
  table.clear();
  table.appendRow("Firmware Path", fw.folder);
  table.appendRow("Quorl ARMPRG Normal", fw.normalProgrammer);
  table.appendRow("Quorl ARMPRG Emergency", fw.emergencyProgrammer);
  table.appendRow("Quorl Partition", fw.partitionFile);
  table.appendRow("sbl1", fw.sbl1);
  table.appendRow("sbl2", fw.sbl2);
  table.appendRow("apps", fw.apps);
  table.appendRow("rpm", fw.rpm);
  table.appendRow("dsp1", fw.dsp1);
  table.appendRow(fw.isDsp ? "dsp" : "dsp2", fw.dsp);
  table.appendRow("dsp3", fw.dsp3);
  table.appendRow("boot", fw.boot);
  table.appendRow("system", fw.system);
  table.appendRow("userdata", fw.userdata);
  table.appendRow("recovery", fw.recovery);
  table.appendRow("recoveryfs", fw.recoveryfs);
}

// The bytes the progress is measured against: the files the downloads send (the emergency
// programmer and recoveryfs are not counted).
void measure(Qca9x15Firmware& fw) {
  fw.programmerSize = firmwareFileSize(fw.normalProgrammer);
  fw.partitionSize = firmwareFileSize(fw.partitionFile);
  fw.downloadTotal = fw.programmerSize + fw.partitionSize;
  for (const std::string* path : {&fw.sbl1, &fw.sbl2, &fw.apps, &fw.rpm, &fw.dsp1, &fw.dsp,
                                  &fw.dsp3, &fw.boot, &fw.system, &fw.userdata, &fw.recovery}) {
    fw.downloadTotal += firmwareFileSize(*path);
  }
}

bool buildDownloadList(Qca9x15Firmware& fw) {
  std::string error;
  const bool built = buildUserPartitionList({{"0:SBL1", fw.sbl1},
                                             {"0:SBL2", fw.sbl2},
                                             {"0:APPSBL", fw.apps},
                                             {"0:RPM", fw.rpm},
                                             {"0:DSP1", fw.dsp1},
                                             {"0:DSP2", fw.dsp},
                                             {"0:DSP3", fw.dsp3}},
                                            fw.userPartitions, error);
  if (!built) MessagePopup("Error", error);
  return built;
}

// Every row's path back into the kept paths (the operator may have chosen files by hand).
void readRows(const host::FileTable& table, Qca9x15Firmware& fw) {
  fw.folder = table.path(1);
  const std::pair<Row, std::string*> rows[] = {
      {kNormalRow, &fw.normalProgrammer},
      {kEmergencyRow, &fw.emergencyProgrammer},
      {kPartitionRow, &fw.partitionFile},
      {kSbl1Row, &fw.sbl1},
      {kSbl2Row, &fw.sbl2},
      {kAppsRow, &fw.apps},
      {kRpmRow, &fw.rpm},
      {kDsp1Row, &fw.dsp1},
      {kDspRow, &fw.dsp},
      {kDsp3Row, &fw.dsp3},
      {kBootRow, &fw.boot},
      {kSystemRow, &fw.system},
      {kUserdataRow, &fw.userdata},
      {kRecoveryRow, &fw.recovery},
      {kRecoveryfsRow, &fw.recoveryfs},
  };
  for (const auto& [row, path] : rows) *path = table.path(row);
  fw.aboot = fw.folder + "/appsboot.mbn";
}

void putDirSection(IniDocument* d, const Qca9x15Firmware& fw, IniWrites& put) {
  put(Ini_PutString(d, kDirSection, "Dir Path", fw.folder.c_str()));
  put(Ini_PutString(d, kDirSection, "Qcn Path", qcnFilePath.c_str()));
  put(Ini_PutUInt(d, kDirSection, "Qcn File Low Limit", static_cast<uint32_t>(qcnFileLowLimit)));
  put(Ini_PutUInt(d, kDirSection, "Qcn File High Limit", static_cast<uint32_t>(qcnFileHighLimit)));
  put(Ini_PutBoolean(d, kDirSection, "BackupEFS", gBackupEFS));
  put(Ini_PutString(d, kDirSection, "CheckCFUN", "+CFUN: 1"));
  put(Ini_PutBoolean(d, kDirSection, "UseQcn", bUseQcnQca9x15));
  put(Ini_PutBoolean(d, kDirSection, "NotUseQPST", gNotUseQPST));
}

void putFileSections(IniDocument* d, const host::FileTable& table, const Qca9x15Firmware& fw,
                     IniWrites& put) {
  const char* dspKey = table.label(kDspRow) == "dsp" ? "dsp_path" : "dsp2_path";
  const std::pair<const char*, const std::string*> cpFiles[] = {
      {"Quorl_ARMPRG_FileName", &fw.normalProgrammer},
      {"Quorl_ARMPRG_FileName_E", &fw.emergencyProgrammer},
      {"Quorl_Partition_FileName", &fw.partitionFile},
      {"sbl1_path", &fw.sbl1},
      {"sbl2_path", &fw.sbl2},
      {"apps_path", &fw.apps},
      {"rpm_path", &fw.rpm},
      {"dsp1_path", &fw.dsp1},
      {dspKey, &fw.dsp},
      {"dsp3_path", &fw.dsp3},
  };
  for (const auto& [key, path] : cpFiles) put(Ini_PutString(d, kCpSection, key, path->c_str()));
  const std::pair<const char*, const std::string*> apFiles[] = {
      {"boot", &fw.boot},         {"system", &fw.system},         {"userdata", &fw.userdata},
      {"recovery", &fw.recovery}, {"recoveryfs", &fw.recoveryfs}, {"aboot", &fw.aboot},
  };
  for (const auto& [key, path] : apFiles) put(Ini_PutString(d, kApSection, key, path->c_str()));
}

}  // namespace

int autoLoadQca9x15FileList2Ui(host::FileTable& table, const char*) {
  return loadQca9x15FileList(table);
}

int loadQca9x15FileList(host::FileTable& table) {
  gLongLabel = 0;
  if (const int result = chipsetServices().loadLibrary(0); result != 0) return result;
  IniDocumentPtr doc(Ini_New(0));
  if (!doc) return -12;
  Qca9x15Firmware& fw = qca9x15Firmware();
  fw = Qca9x15Firmware{};
  if (const int result = readSettings(doc.get(), fw.folder); result < 0) return result;
  findFirmwareFiles(fw);
  for (auto& entry : handeIndexQpstMap) entry = nullptr;
  measure(fw);
  fillTable(table, fw);
  const bool complete = markFirmwareRows(table, false, nullptr).empty();
  if (!buildDownloadList(fw) || !complete) return -1;
  // Without every image the queue stays empty and the load fails: Start stays dimmed.
  return flash_loaddata2(fw.boot, fw.system, fw.userdata, fw.recovery, fw.recoveryfs, fw.aboot) == 0
             ? 0
             : -1;
}

int saveQca9x15FileList(host::FileTable& table) {
  IniDocumentPtr doc(Ini_New(0));
  if (!doc) return -12;
  Qca9x15Firmware& fw = qca9x15Firmware();
  readRows(table, fw);
  IniWrites put;
  putDirSection(doc.get(), fw, put);
  putFileSections(doc.get(), table, fw, put);
  return writePlatformIni(doc.get(), kIniFile, put);
}
