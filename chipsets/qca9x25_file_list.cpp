// The Qca9x25 file list: its settings in Platform/Qca9x25.ini and the seventeen rows of the
// firmware table. Missing files are shown red and leave the download list and the fastboot
// queue unbuilt, while the load itself succeeds; the CP download then refuses to start.

#include <string>

#include "chipsets/chipset_services.h"
#include "chipsets/dir_settings.h"
#include "chipsets/firmware_table_check.h"
#include "chipsets/qca9x25.h"
#include "chipsets/qca9x25_firmware.h"
#include "chipsets/user_partition_list.h"
#include "fastboot/flash_sequences.h"
#include "host/operator_surface.h"
#include "host/report.h"
#include "ini/inifile.h"
#include "platform/platform_settings.h"
#include "platform/qca_library.h"

namespace {

constexpr char kIniFile[] = "Platform/Qca9x25.ini";

int readSettings(IniDocument* doc, std::string& folder) {
  int result = readFolderSettings(doc, kIniFile, folder);
  if (result < 0) return result;
  if ((result = readDirText(doc, "CheckCFUN", checkCFUNStr)) < 0) return result;
  if ((result = readDirFlag(doc, "UseQcn", bUseQcnQca9x25)) < 0) return result;
  return 0;
}

void fillTable(host::FileTable& table, Qca9x25Firmware& fw) {
  auto in = [&fw](const char* name) { return fw.folder + "/" + name; };
  fw.normalProgrammer = in("NPRG9x25.mbn");
  fw.emergencyProgrammer = in("ENPRG9x25.mbn");
  fw.partitionFile = in("partition.mbn");
  fw.boot = in("boot.img");
  fw.system = in("system.img");
  fw.userdata = in("userdata.img");
  fw.recovery = in("recovery.img");
  fw.recoveryfs = in("recoveryfs.img");
  table.clear();
  table.appendRow("Firmware Path", fw.folder);
  table.appendRow("Quorl ARMPRG Normal", fw.normalProgrammer);
  table.appendRow("Quorl ARMPRG Emergency", fw.emergencyProgrammer);
  table.appendRow("Quorl Partition", fw.partitionFile);
  table.appendRow("boot.img", fw.boot);
  table.appendRow("system.img", fw.system);
  table.appendRow("userdata.img", fw.userdata);
  table.appendRow("recovery.img", fw.recovery);
  table.appendRow("recoveryfs.img", fw.recoveryfs);
  // The rows streamed in the CP download, "SBL" to the last.
  const std::pair<const char*, const char*> streamed[] = {
      {"SBL", "sbl1.mbn"},  {"SDI", "sdi.mbn"},         {"TZ", "tz.mbn"},
      {"MBA", "mba.mbn"},   {"RPM", "rpm.mbn"},         {"QDSP", "qdsp6sw.mbn"},
      {"ADSP", "dsp2.mbn"}, {"APPSBL", "appsboot.mbn"},
  };
  for (const auto& [label, name] : streamed) table.appendRow(label, in(name));
}

// With every file present: the download list and the fastboot queue.
int prepareDownloads(const host::FileTable& table, Qca9x25Firmware& fw) {
  std::string error;
  if (!buildUserPartitionList(table, "SBL", fw.userPartitions, error)) {
    MessagePopup("Error", error);
    return -1;
  }
  return flash_loaddata1(fw.boot, fw.system, fw.userdata, fw.recovery, fw.recoveryfs) == 0 ? 0 : -1;
}

}  // namespace

int autoLoadQca9x25FileList2Ui(host::FileTable& table, const char*) {
  return loadQca9x25FileList(table);
}

int loadQca9x25FileList(host::FileTable& table) {
  host::surface().setQmbnText("");
  gLongLabel = 0;
  if (const int result = chipsetServices().loadLibrary(0); result != 0) return result;
  IniDocumentPtr doc(Ini_New(0));
  if (!doc) return -12;
  Qca9x25Firmware& fw = qca9x25Firmware();
  fw = Qca9x25Firmware{};
  if (const int result = readSettings(doc.get(), fw.folder); result < 0) return result;
  qcnFilePath = fw.folder;
  for (auto& entry : handeIndexQpstMap) entry = nullptr;
  fillTable(table, fw);
  fw.missing = markFirmwareRows(table, true, &fw.downloadTotal);
  return fw.missing.empty() ? prepareDownloads(table, fw) : 0;
}

int saveQca9x25FileList(host::FileTable& table) {
  IniDocumentPtr doc(Ini_New(0));
  if (!doc) return -12;
  IniDocument* d = doc.get();
  IniWrites put;
  putFolderSettings(d, table.path(1), put);
  put(Ini_PutBoolean(d, kDirSection, "UseQcn", bUseQcnQca9x25));
  return writePlatformIni(d, kIniFile, put);
}
