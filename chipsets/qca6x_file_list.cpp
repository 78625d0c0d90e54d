// The Qca6270/Qca6695 file list: the settings in the platform's INI file and the eight fixed
// rows of the firmware table. Every file is checked; a missing one turns its row red and
// fails the load without a box.

#include <string>

#include "chipsets/ap_download.h"
#include "chipsets/chipset_services.h"
#include "chipsets/dir_settings.h"
#include "chipsets/firmware_table_check.h"
#include "chipsets/qca6x.h"
#include "host/operator_surface.h"
#include "ini/inifile.h"
#include "platform/platform_settings.h"
#include "platform/qca_library.h"

namespace {

// Reads the file and its items in their fixed order; the first negative result ends it.
int readSettings(const Qca6xPlatform& platform, IniDocument* doc, std::string& folder) {
  int result = readFolderSettings(doc, platform.iniFile, folder);
  if (result < 0) return result;
  if ((result = readDirText(doc, "CheckCFUN", checkCFUNStr)) < 0) return result;
  if ((result = readDirFlag(doc, "UseQcn", platform.state().useQcn)) < 0) return result;
  if ((result = readDirFlag(doc, "NotUseQPST", gNotUseQPST)) < 0) return result;
  return 0;
}

void findFirmwareFiles(const Qca6xPlatform& platform, Qca6xFirmware& fw) {
  const char* names[] = {platform.normalProgrammer,
                         platform.emergencyProgrammer,
                         "partition.mbn",
                         "dbl.mbn",
                         "fsbl.mbn",
                         "osbl.mbn",
                         platform.modemImage};
  for (int i = 0; i < kQca6xRowCount - 1; ++i) fw.files[i] = fw.folder + "/" + names[i];
}

void fillTable(host::FileTable& table, const Qca6xFirmware& fw) {
  const char* labels[] = {"Quorl ARMPRG Normal", "Quorl ARMPRG Emergency", "Quorl Partition",
                          "Device Boot Loader",  "Fail Safe Boot Loader",  "OS Boot Loader",
                          "AMSS Modem Image"};
  table.clear();
  table.appendRow("Firmware Path", fw.folder);
  for (int i = 0; i < kQca6xRowCount - 1; ++i) table.appendRow(labels[i], fw.files[i]);
}

}  // namespace

int loadQca6xFileList(const Qca6xPlatform& platform, host::FileTable& table) {
  host::surface().setQmbnText("");
  if (const int result = chipsetServices().loadLibrary(0); result != 0) return result;
  IniDocumentPtr doc(Ini_New(0));
  if (!doc) return -12;
  Qca6xFirmware& fw = platform.state().firmware;
  fw = Qca6xFirmware{};
  if (const int result = readSettings(platform, doc.get(), fw.folder); result < 0) return result;
  qcnFilePath = fw.folder;
  for (auto& entry : handeIndexMap) entry = nullptr;
  for (auto& entry : handeIndexQpstMap) entry = nullptr;
  // These modules have no fastboot images: a queue another platform's firmware left behind
  // must never be written into one of them.
  if (!emptyApQueue()) return -1;
  findFirmwareFiles(platform, fw);
  fillTable(table, fw);
  return markFirmwareRows(table, true, &fw.downloadTotal).empty() ? 0 : -1;
}

int saveQca6xFileList(const Qca6xPlatform& platform, host::FileTable& table) {
  IniDocumentPtr doc(Ini_New(0));
  if (!doc) return -12;
  IniDocument* d = doc.get();
  IniWrites put;
  putFolderSettings(d, table.path(kQca6xFolderRow), put);
  put(Ini_PutBoolean(d, kDirSection, "UseQcn", platform.state().useQcn));
  put(Ini_PutBoolean(d, kDirSection, "NotUseQPST", gNotUseQPST));
  return writePlatformIni(d, platform.iniFile, put);
}
