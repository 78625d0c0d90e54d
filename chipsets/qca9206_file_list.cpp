// The Qca9206 file list: its settings in Platform/Qca9206.ini, the firmware table it builds
// from the firmware's partition XML file, the checks of that table, the user partition list in
// the layout its names and number need, and the library build that reads that layout.

#include <string>
#include <vector>

#include "chipsets/ap_download.h"
#include "chipsets/chipset_services.h"
#include "chipsets/dir_settings.h"
#include "chipsets/firmware_files.h"
#include "chipsets/firmware_table_check.h"
#include "chipsets/qca9206.h"
#include "chipsets/qca9206_firmware.h"
#include "chipsets/qca9206_partition_xml.h"
#include "chipsets/user_partition_list.h"
#include "host/operator_surface.h"
#include "host/report.h"
#include "ini/inifile.h"
#include "platform/platform_file.h"
#include "platform/platform_settings.h"
#include "platform/qca_library.h"
#include "platform/text_format.h"

namespace {

constexpr char kIniFile[] = "Platform/Qca9206.ini";

constexpr char kDefaultPartitionXml[] = "partition_nand_update.xml";
constexpr char kFallbackPartitionXml[] = "partition_nand.xml";
// The first row of the partitions; rows 1 to 4 are the folder, the programmers and the
// partition table image.
constexpr int kFirstImageRow = 5;

// ---- Settings ----

// Reads the file and its items in their fixed order; the first negative result ends it.
int readSettings(IniDocument* doc, std::string& folder) {
  int result = readPlatformIniFile(doc, kIniFile);
  if (result < 0) return result;
  if ((result = readDirText(doc, "Dir Path", folder)) < 0) return result;
  if ((result = readDirUnsigned(doc, "Qcn File Low Limit", qcnFileLowLimit)) < 0) return result;
  if ((result = readQcnHighLimit(doc)) < 0) return result;
  if ((result = readDirText(doc, "CheckCFUN", checkCFUNStr)) < 0) return result;
  if ((result = readDirText(doc, "Flash512", sFlash512)) < 0) return result;
  if ((result = readDirText(doc, "FirmwareTypeDef", sFirmFileTypeDef)) < 0) return result;
  if ((result = readDirFlag(doc, "UseQcn", bUseQcnQca9206)) < 0) return result;
  if ((result = readDirFlag(doc, "NotUseQPST", gNotUseQPST)) < 0) return result;
  if ((result = readDirText(doc, "PartionName", sPartionName)) < 0) return result;
  if (sPartionName.empty()) sPartionName = kDefaultPartitionXml;
  return 0;
}

// ---- The firmware table ----

std::string inFolder(const std::string& folder, const std::string& name) {
  return folder + "/" + name;
}

// The partition XML named by the settings, else the one every NAND firmware has.
std::string partitionXmlPath(const std::string& folder) {
  const std::string named = inFolder(folder, sPartionName);
  return isFirmwareFile(named) ? named : inFolder(folder, kFallbackPartitionXml);
}

void fillFixedRows(host::FileTable& table, const Qca9206Firmware& fw) {
  table.clear();
  table.appendRow("Firmware Path", fw.folder);
  table.appendRow("Quorl ARMPRG Normal", fw.normalProgrammer);
  table.appendRow("Quorl ARMPRG Emergency", fw.emergencyProgrammer);
  table.appendRow("Quorl Partition", fw.partitionFile);
}

// One row per partition image of the XML file. False (after the box) when the file is missing,
// cannot be read or lists no image: such a firmware has nothing to download, and the partition
// table alone must never be written.
bool fillImageRows(host::FileTable& table, const Qca9206Firmware& fw) {
  const std::string path = partitionXmlPath(fw.folder);
  if (!isFirmwareFile(path)) {
    MessagePopup("Error", formatText("can't find %s file.", path.c_str()));
    return false;
  }
  const PartitionXml xml = readPartitionXml(path);
  for (const PartitionXmlImage& image : xml.images) {
    table.appendRow(image.label, inFolder(fw.folder, image.imageName));
  }
  if (!xml.error.empty()) {
    MessagePopup("XML Error", xml.error);
    return false;
  }
  if (xml.images.empty()) {
    MessagePopup("Error", formatText("%s lists no partition image.", path.c_str()));
    return false;
  }
  return true;
}

// ---- The user partition list ----

std::vector<UserPartition> userPartitionsOf(const host::FileTable& table) {
  std::vector<UserPartition> partitions;
  for (int row = kFirstImageRow; row <= table.rowCount(); ++row) {
    partitions.push_back({"0:" + table.label(row), table.path(row)});
  }
  return partitions;
}

// The long layout is taken for a long label, for a name that the short one cannot hold with
// its terminator ("0:recovery"), and for more images than the short one has entries; names and
// paths are never cut.
bool buildLists(const host::FileTable& table, Qca9206Firmware& fw) {
  const std::vector<UserPartition> partitions = userPartitionsOf(table);
  fw.longLayout = !fitsShortUserPartitionList(partitions);
  std::string error;
  const bool built = fw.longLayout ? buildUserPartitionList(partitions, fw.longList, error)
                                   : buildUserPartitionList(partitions, fw.shortList, error);
  if (!built) MessagePopup("Error", error);
  return built;
}

}  // namespace

int autoLoadQca9206FileList2Ui(host::FileTable& table, const char*) {
  return loadQca9206FileList(table);
}

int loadQca9206FileList(host::FileTable& table) {
  host::surface().setQmbnText("");
  IniDocumentPtr doc(Ini_New(0));
  if (!doc) return -12;
  std::string folder;
  if (const int result = readSettings(doc.get(), folder); result < 0) return result;
  qcnFilePath = folder;
  for (int i = 0; i < kHandleMapSize; ++i) {
    handeIndexMap[i] = nullptr;
    handeIndexQpstMap[i] = nullptr;
  }
  // This platform writes nothing over fastboot: no other platform's images stay queued. The
  // queue is not emptied under an AP download that runs it.
  if (!emptyApQueue()) return -1;
  Qca9206Firmware& fw = qca9206Firmware();
  fw = Qca9206Firmware{};
  fw.folder = folder;
  fw.normalProgrammer = inFolder(folder, "NPRG9x06.mbn");
  fw.emergencyProgrammer = inFolder(folder, "ENPRG9x06.mbn");
  fw.partitionFile = inFolder(folder, "partition.mbn");
  fw.firmware1G = !sFirmFileTypeDef.empty() && isFirmwareFile(inFolder(folder, sFirmFileTypeDef));
  gLongLabel = 0;
  fillFixedRows(table, fw);
  if (!fillImageRows(table, fw)) return -1;
  if (checkFirmwareTable(table, fw.downloadTotal) != 0) return -1;
  if (!buildLists(table, fw)) return -1;
  gLongLabel = fw.longLayout ? 1 : 0;
  return chipsetServices().loadLibrary(gLongLabel);
}

int saveQca9206FileList(host::FileTable& table) {
  IniDocumentPtr doc(Ini_New(0));
  if (!doc) return -12;
  IniDocument* d = doc.get();
  const std::string folder = table.path(1);
  IniWrites put;
  put(Ini_PutString(d, kDirSection, "Dir Path", folder.c_str()));
  put(Ini_PutString(d, kDirSection, "Qcn Path", folder.c_str()));
  put(Ini_PutString(d, kDirSection, "CheckCFUN", checkCFUNStr.c_str()));
  put(Ini_PutString(d, kDirSection, "Flash512", sFlash512.c_str()));
  put(Ini_PutString(d, kDirSection, "FirmwareTypeDef", sFirmFileTypeDef.c_str()));
  put(Ini_PutUInt(d, kDirSection, "Qcn File Low Limit", static_cast<uint32_t>(qcnFileLowLimit)));
  put(Ini_PutUInt(d, kDirSection, "Qcn File High Limit", static_cast<uint32_t>(qcnFileHighLimit)));
  put(Ini_PutBoolean(d, kDirSection, "UseQcn", bUseQcnQca9206));
  put(Ini_PutBoolean(d, kDirSection, "NotUseQPST", gNotUseQPST));
  put(Ini_PutString(d, kDirSection, "PartionName", sPartionName.c_str()));
  return writePlatformIni(d, kIniFile, put);
}
