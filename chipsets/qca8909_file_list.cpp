// The Qca8909 file list: its settings in Platform/Qca8909.ini, the flash programmer, rawprogram
// and patch files (named by the settings, or found in the firmware folder when a setting is
// empty or names a file outside that folder), the four rows of the firmware table, and with
// the qmbn road the backup firmware in the folder's "backup" subfolder.

#include <string>

#include "chipsets/chipset_services.h"
#include "chipsets/dir_settings.h"
#include "chipsets/firmware_files.h"
#include "chipsets/firmware_search.h"
#include "chipsets/qca8909.h"
#include "chipsets/qca8909_firmware.h"
#include "host/colour.h"
#include "host/operator_surface.h"
#include "host/report.h"
#include "host/station_options.h"
#include "ini/inifile.h"
#include "platform/platform_file.h"
#include "platform/platform_settings.h"
#include "platform/text_format.h"

namespace {

constexpr char kIniFile[] = "Platform/Qca8909.ini";
constexpr char kFileSection[] = "File";
constexpr char kErrorTitle[] = "error";

// One file of the list that may be found in the firmware folder.
struct SearchedFile {
  std::string Qca8909Firmware::*path;
  const char* item;     // its setting in [File]
  const char* pattern;  // how it is found
  const char* missingText;
};
const SearchedFile kSearchedFiles[] = {
    {&Qca8909Firmware::programmer, "firehoseProgrammer", "*firehose*.*",
     "Not found *firehose*.mbn file!"},
    {&Qca8909Firmware::rawprogram, "rawprogramfile", "rawprogram*.xml",
     "Not found rawprogram*.xml file!"},
    {&Qca8909Firmware::patch, "patchfile", "patch*.xml", "Not found patch*.xml file!"},
};

// Reads the file and its items in their fixed order; the first negative result ends it.
int readSettings(IniDocument* doc, Qca8909Firmware& fw) {
  int result = readPlatformIniFile(doc, kIniFile);
  if (result < 0) return result;
  if ((result = readDirText(doc, "Dir Path", fw.folder)) < 0) return result;
  for (const SearchedFile& file : kSearchedFiles) {
    if ((result = readSectionText(doc, kFileSection, file.item, fw.*file.path)) < 0) return result;
  }
  if ((result = readDirUnsigned(doc, "Qcn File Low Limit", qcnFileLowLimit)) < 0) return result;
  if ((result = readQcnHighLimit(doc)) < 0) return result;
  if ((result = readDirText(doc, "CheckCFUN", checkCFUNStr)) < 0) return result;
  if ((result = readDirFlag(doc, "UseQcn", bUseQcnQca8909)) < 0) return result;
  if ((result = readDirFlag(doc, "NotUseQPST", gNotUseQPST)) < 0) return result;
  return 0;
}

int failWithBox(const char* text) {
  MessagePopup(kErrorTitle, text);
  return -1;
}

// Each file whose setting is empty or names a file outside the firmware folder is the first
// match of its pattern in that folder. -1 (after a box) when the folder or a match is missing.
int completeFileList(Qca8909Firmware& fw) {
  for (const SearchedFile& file : kSearchedFiles) {
    std::string& path = fw.*file.path;
    if (!path.empty() && liesInFolder(path, fw.folder)) continue;
    if (!isFirmwareFolder(fw.folder)) return failWithBox("Not found firmware path!");
    const std::string name = firstFileMatching(fw.folder, file.pattern);
    if (name.empty()) return failWithBox(file.missingText);
    path = fw.folder + "/" + name;
  }
  return 0;
}

// The text of a backup rawprogram name between its first "-" and the next ".".
bool backupVersionOf(const std::string& name, std::string& version) {
  const size_t dash = name.find('-');
  if (dash == std::string::npos) return false;
  const size_t dot = name.find('.', dash + 1);
  version = name.substr(dash + 1, dot == std::string::npos ? std::string::npos : dot - dash - 1);
  return true;
}

// The backup firmware of the qmbn road and its version. -1 (after a box) when a part is missing.
int findBackupFirmware(Qca8909Firmware& fw) {
  const std::string backup = fw.folder + "/backup";
  if (!isFirmwareFolder(backup)) return failWithBox("Not found backup firmware path!");
  const std::string raw = firstFileMatching(backup, "rawprogram*.xml");
  if (raw.empty()) return failWithBox("Not found backup rawprogram*.xml file!");
  fw.backupRawprogram = backup + "/" + raw;
  if (!backupVersionOf(raw, sDstVersionType)) {
    return failWithBox("Not found backup firmware version!");
  }
  const std::string patch = firstFileMatching(backup, "patch*.xml");
  if (patch.empty()) return failWithBox("Not found backup patch*.xml file!");
  fw.backupPatch = backup + "/" + patch;
  return 0;
}

void fillTable(host::FileTable& table, const Qca8909Firmware& fw) {
  table.clear();
  table.appendRow("Firmware Path", fw.folder);
  table.appendRow("FirehoseProgrammer", fw.programmer);
  table.appendRow("Rawprogramfile", fw.rawprogram);
  table.appendRow("Patchfile", fw.patch);
}

// Green rows for paths that exist, red ones (and -1) for those that do not.
int colourRows(host::FileTable& table) {
  int result = 0;
  for (int row = 1; row <= table.rowCount(); ++row) {
    const std::string path = table.path(row);
    const bool exists = row == 1 ? isFirmwareFolder(path) : isFirmwareFile(path);
    table.setColour(row, exists ? host::kGreen : host::kRed);
    if (!exists) result = -1;
  }
  return result;
}

void labelBackupBox(bool qmbn) {
  host::surface().setControlLabel(host::Control::BackupRestoreQcn,
                                  qmbn ? "Qmbn Backup And Recovery" : "QCN Backup And Recovery");
}

}  // namespace

int loadQca8909FileList(host::FileTable& table) {
  if (const int result = chipsetServices().loadLibrary(1); result < 0) return result;
  IniDocumentPtr doc(Ini_New(0));
  if (!doc) return -12;
  Qca8909Firmware& fw = qca8909Firmware();
  fw = Qca8909Firmware{};
  if (const int result = readSettings(doc.get(), fw); result < 0) return result;
  qcnFilePath = fw.folder;
  // A fresh station (no folder yet) still gets its table, so row 1 can choose the folder.
  const int complete = completeFileList(fw);
  fillTable(table, fw);
  if (complete != 0) return -1;
  // Without the folder nothing of the list can be flashed.
  if (!isFirmwareFolder(fw.folder)) return failWithBox("Not found firmware path!");
  host::surface().setQmbnText(firstFileMatching(fw.folder, "*.qmbn"));
  int result = colourRows(table);
  bHalvoH = fw.programmer.find(".elf") != std::string::npos ? 1 : 0;
  labelBackupBox(bHalvoH != 0);
  if (gBackupRestoreQcn && bHalvoH && findBackupFirmware(fw) != 0) result = -1;
  return result;
}

int saveQca8909FileList(host::FileTable& table) {
  if (table.rowCount() < 1) return -1;
  IniDocumentPtr doc(Ini_New(0));
  if (!doc) return -12;
  IniDocument* d = doc.get();
  Qca8909Firmware& fw = qca8909Firmware();
  fw.folder = table.path(1);
  for (size_t i = 0; i < std::size(kSearchedFiles); ++i) {
    fw.*kSearchedFiles[i].path = table.path(static_cast<int>(i) + 2);
  }
  IniWrites writes;
  writes(Ini_PutString(d, kDirSection, "Dir Path", fw.folder.c_str()));
  for (const SearchedFile& file : kSearchedFiles) {
    writes(Ini_PutString(d, kFileSection, file.item, (fw.*file.path).c_str()));
  }
  writes(Ini_PutUInt(d, kDirSection, "Qcn File Low Limit", static_cast<uint32_t>(qcnFileLowLimit)));
  writes(
      Ini_PutUInt(d, kDirSection, "Qcn File High Limit", static_cast<uint32_t>(qcnFileHighLimit)));
  writes(Ini_PutBoolean(d, kDirSection, "UseQcn", bUseQcnQca8909));
  writes(Ini_PutBoolean(d, kDirSection, "NotUseQPST", gNotUseQPST));
  writes(Ini_PutString(d, kDirSection, "CheckCFUN", checkCFUNStr.c_str()));
  return writePlatformIni(d, kIniFile, writes);
}
