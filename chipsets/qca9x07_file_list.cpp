// The Qca9x07 file list: its settings in Platform/Qca9x07.ini, the firmware table it builds
// from the firmware directory, the checks of that table, and the registration of the AP images
// with the fastboot flash sequence.

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "chipsets/chipset_services.h"
#include "chipsets/dir_settings.h"
#include "chipsets/firmware_files.h"
#include "chipsets/firmware_table_check.h"
#include "chipsets/qca9x07.h"
#include "chipsets/qca9x07_firmware.h"
#include "chipsets/user_partition_list.h"
#include "fastboot/flash_sequences.h"
#include "host/operator_surface.h"
#include "host/report.h"
#include "host/station_options.h"
#include "ini/inifile.h"
#include "platform/platform_settings.h"
#include "platform/qca_library.h"

namespace fs = std::filesystem;

namespace {

constexpr char kIniFile[] = "Platform/Qca9x07.ini";

// The UBI images of the layout whose system is a UBI volume.
constexpr char kUbiSystem[] = "mdm9607-perf-orvane-sysfs.ubi";
constexpr char kUbiUserdata[] = "mdm9607-perf-orvane-usrfs.ubi";
constexpr char kUbiPersist[] = "mdm9607-perf-orvane-chefs.ubi";

constexpr char kMissingQmbnText[] = "You must have qmbn file in firmware path before download!";

// ---- Settings ----

// Reads the file and its items in their fixed order; the first negative result ends it.
int readSettings(IniDocument* doc, std::string& folder) {
  int result = readFolderSettings(doc, kIniFile, folder);
  if (result < 0) return result;
  if ((result = readDirUnsigned(doc, "DLDelayTime", iDLDelayTime)) < 0) return result;
  if ((result = readDirText(doc, "CheckCFUN", checkCFUNStr)) < 0) return result;
  if ((result = readDirFlag(doc, "UseQcn", bUseQcnQca9x07)) < 0) return result;
  if ((result = readDirFlag(doc, "NotUseQPST", gNotUseQPST)) < 0) return result;
  if ((result = readDirFlag(doc, "OpenAdb", bOpenAdb)) < 0) return result;
  if ((result = readDirFlag(doc, "Switch911", bSwitch911)) < 0) return result;
  return 0;
}

// ---- The firmware table ----

// The first "*.qmbn" file of the folder by name (the folder's listing order is arbitrary),
// or empty text.
std::string firstQmbnFile(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.size() > 5 && name.ends_with(".qmbn") && isFirmwareFile(it->path().string())) {
      names.push_back(name);
    }
  }
  if (names.empty()) return "";
  return *std::min_element(names.begin(), names.end());
}

// Works out the firmware's paths and layout from the folder.
void findFirmwareFiles(Qca9x07Firmware& fw) {
  const std::string& d = fw.folder;
  auto in = [&d](const char* name) { return d + "/" + name; };
  fw.normalProgrammer = in("NPRG9x07.mbn");
  fw.emergencyProgrammer = in("ENPRG9x07.mbn");
  fw.partitionFile = in("partition.mbn");
  fw.boot = in("boot.img");
  fw.ubiLayout = isFirmwareFile(in(kUbiSystem));
  const bool hasCustomer = isFirmwareFile(in("customer.img"));
  const bool hasUserdata = isFirmwareFile(in("userdata.img"));
  fw.isHalvoM = !fw.ubiLayout && hasCustomer;
  fw.bHalvoLUserdata = !fw.ubiLayout && !hasCustomer && hasUserdata;
  fw.system = fw.ubiLayout ? in(kUbiSystem) : in("system.img");
  if (fw.ubiLayout) {
    fw.userdata = in(kUbiUserdata);
    fw.persist = in(kUbiPersist);
  } else {
    if (hasCustomer) fw.customer = in("customer.img");
    if (hasCustomer || hasUserdata) fw.userdata = in("userdata.img");
  }
  for (auto [path, name] :
       {std::pair{&fw.modem, "modem.img"}, std::pair{&fw.recovery, "recovery.img"},
        std::pair{&fw.recoveryfs, "recoveryfs.img"}}) {
    if (isFirmwareFile(in(name))) *path = in(name);
  }
  fw.sbl = in("sbl1.mbn");
  fw.tz = in("tz.mbn");
  fw.rpm = in("rpm.mbn");
  fw.appsboot = in("appsboot.mbn");
  if (isFirmwareFolder(d)) {
    const std::string qmbn = firstQmbnFile(d);
    if (!qmbn.empty()) fw.qmbn = in(qmbn.c_str());
    host::surface().setQmbnText(qmbn);
    if (isFirmwareFile(in("devcfg.mbn"))) fw.devCfg = in("devcfg.mbn");
  }
}

// The rows in their fixed order; optional rows only when their condition holds.
void fillTable(host::FileTable& table, const Qca9x07Firmware& fw) {
  const bool folderExists = isFirmwareFolder(fw.folder);
  table.clear();
  table.appendRow("Firmware Path", fw.folder);
  table.appendRow("Quorl ARMPRG Normal", fw.normalProgrammer);
  table.appendRow("Quorl ARMPRG Emergency", fw.emergencyProgrammer);
  table.appendRow("Quorl Partition", fw.partitionFile);
  table.appendRow("boot.img", fw.boot);
  table.appendRow("system.img", fw.system);
  if (fw.ubiLayout) {
    table.appendRow("userdata", fw.userdata);
    table.appendRow("persist", fw.persist);
  } else {
    if (!fw.customer.empty()) table.appendRow("customer", fw.customer);
    if (!fw.userdata.empty()) table.appendRow("userdata", fw.userdata);
  }
  if (!fw.modem.empty()) table.appendRow("modem.img", fw.modem);
  if (!fw.recovery.empty()) table.appendRow("recovery.img", fw.recovery);
  if (!fw.recoveryfs.empty()) table.appendRow("recoveryfs.img", fw.recoveryfs);
  if (!folderExists) return;
  if (!fw.qmbn.empty()) table.appendRow("efs2.qmbn", fw.qmbn);
  table.appendRow("SBL", fw.sbl);
  table.appendRow("TZ", fw.tz);
  if (!fw.devCfg.empty()) table.appendRow("DEVCFG", fw.devCfg);
  table.appendRow("RPM", fw.rpm);
  // With the QCN kept the module keeps the firmware's boot loader; otherwise the station's own
  // fastboot image goes in its place.
  if (gBackupRestoreQcn) {
    table.appendRow("aboot", fw.appsboot);
  } else {
    table.appendRow("boot", stationImage("fastboot.img"));
  }
}

// Builds the fastboot queue of the AP images in the sequence of the firmware's layout.
int registerApImages(const Qca9x07Firmware& fw) {
  Qca9x07Images images;
  images.sbl = fw.sbl;
  images.tz = fw.tz;
  images.rpm = fw.rpm;
  images.devcfg = fw.devCfg;
  images.aboot = fw.appsboot;
  images.boot = fw.boot;
  images.system = fw.system;
  images.modem = fw.modem;
  images.recovery = fw.recovery;
  images.recoveryfs = fw.recoveryfs;
  images.efs2 = fw.qmbn;
  images.userdata = fw.userdata;
  const Qca9x07Options options{gOnlyAp, gBackupRestoreQcn};
  if (fw.ubiLayout) {
    images.persist = fw.persist;
    return flash_loaddata5(images, options);
  }
  if (fw.isHalvoM) {
    images.persist = fw.customer;
    return flash_loaddata6(images, options);
  }
  if (fw.bHalvoLUserdata) return flash_loaddata7(images, options);
  return flash_loaddata4(images, options);
}

}  // namespace

int autoLoadQca9x07FileList2Ui(host::FileTable& table, const char*) {
  return loadQca9x07FileList(table);
}

int loadQca9x07FileList(host::FileTable& table) {
  gLongLabel = 0;
  if (const int result = chipsetServices().loadLibrary(0); result != 0) return result;
  IniDocumentPtr doc(Ini_New(0));
  if (!doc) return -12;
  Qca9x07Firmware& fw = qca9x07Firmware();
  fw = Qca9x07Firmware{};
  std::string folder;
  if (const int result = readSettings(doc.get(), folder); result < 0) return result;
  qcnFilePath = folder;
  fw.folder = folder;
  findFirmwareFiles(fw);
  fillTable(table, fw);
  if (checkFirmwareTable(table, fw.downloadTotal) != 0) return -1;
  if (gBackupRestoreQcn && fw.qmbn.empty()) {
    host::surface().setQmbnText(kMissingQmbnText);
    return -1;
  }
  std::string error;
  if (!buildUserPartitionList(table, "SBL", fw.userPartitions, error)) {
    MessagePopup("Error", error);
    return -1;
  }
  return registerApImages(fw) == 0 ? 0 : -1;
}

int saveQca9x07FileList(host::FileTable& table) {
  IniDocumentPtr doc(Ini_New(0));
  if (!doc) return -12;
  IniDocument* d = doc.get();
  IniWrites put;
  putFolderSettings(d, table.path(1), put);
  put(Ini_PutUInt(d, kDirSection, "DLDelayTime", static_cast<uint32_t>(iDLDelayTime)));
  put(Ini_PutBoolean(d, kDirSection, "UseQcn", bUseQcnQca9x07));
  put(Ini_PutBoolean(d, kDirSection, "NotUseQPST", gNotUseQPST));
  put(Ini_PutBoolean(d, kDirSection, "OverridePrtnTable", 0));
  put(Ini_PutBoolean(d, kDirSection, "OpenAdb", bOpenAdb));
  put(Ini_PutBoolean(d, kDirSection, "Switch911", bSwitch911));
  return writePlatformIni(d, kIniFile, put);
}
