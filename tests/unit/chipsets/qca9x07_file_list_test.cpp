// The Qca9x07 file list: settings, the firmware table for each layout, its checks, the user
// partition list, the fastboot queue it builds, and save.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "chipset_test_support.h"
#include "chipsets/qca9x07.h"
#include "chipsets/qca9x07_firmware.h"
#include "fastboot/action_queue.h"
#include "host/colour.h"
#include "host/station_options.h"
#include "ini/inifile.h"
#include "platform/platform_settings.h"
#include "platform/qca_library.h"

namespace {

namespace fs = std::filesystem;
using chipset_test::serviceCalls;
using chipset_test::writeFile;

// The files of a plain firmware (no UBI, customer or userdata image), with sizes.
const std::map<std::string, size_t> kPlainFirmware = {
    {"NPRG9x07.mbn", 10}, {"ENPRG9x07.mbn", 11}, {"partition.mbn", 12},
    {"boot.img", 13},     {"system.img", 14},    {"sbl1.mbn", 15},
    {"tz.mbn", 16},       {"rpm.mbn", 17},       {"appsboot.mbn", 18},
};

class Qca9x07FileListTest : public chipset_test::ChipsetTest {
 protected:
  void SetUp() override {
    ChipsetTest::SetUp();
    resetQca9x07State();
    resetPlatformSettings();
    resetStationOptions();
    queue_action_clear();
    firmware_ = dir_ / "fw";
    for (const auto& [name, size] : kPlainFirmware) writeFile(firmware_ / name, size);
    writeFile(dir_ / "fastboot.img", 19);
    writeSettings({{"Dir Path", firmware_.string()}}, {});
  }
  void TearDown() override {
    queue_action_clear();
    ChipsetTest::TearDown();
  }

  // Platform/Qca9x07.ini with these texts and unsigned numbers in section "Dir".
  void writeSettings(const std::map<std::string, std::string>& texts,
                     const std::map<std::string, uint32_t>& numbers) {
    IniDocumentPtr doc(Ini_New(0));
    for (const auto& [item, value] : texts)
      Ini_PutString(doc.get(), "Dir", item.c_str(), value.c_str());
    for (const auto& [item, value] : numbers) Ini_PutUInt(doc.get(), "Dir", item.c_str(), value);
    fs::create_directories("Platform");
    ASSERT_EQ(Ini_WriteToFile(doc.get(), "Platform/Qca9x07.ini"), 0);
  }

  std::vector<std::string> labels() const {
    std::vector<std::string> out;
    for (const host::FileRow& row : table_.rows()) out.push_back(row.label);
    return out;
  }
  std::string pathOf(const std::string& label) const {
    for (const host::FileRow& row : table_.rows()) {
      if (row.label == label) return row.path;
    }
    return "<none>";
  }
  std::string fw(const std::string& name) const { return (firmware_ / name).string(); }

  // The partitions the fastboot queue flashes or erases, in order.
  static std::vector<std::string> queuedCommands() {
    std::vector<std::string> out;
    for (fb_action* a = fb_queue_head(); a; a = a->next) {
      const std::string command = a->command;
      if (command.rfind("flash:", 0) == 0 || command.rfind("erase:", 0) == 0)
        out.push_back(command);
    }
    return out;
  }

  host::FileTable table_;
  fs::path firmware_;
};

// ---- Settings ----

TEST_F(Qca9x07FileListTest, ReadsEveryKeyAndLoadsTheLibraryWithoutTheLongLabel) {
  gLongLabel = 1;
  writeSettings({{"Dir Path", firmware_.string()}, {"CheckCFUN", "+CFUN: 1"}},
                {{"Qcn File Low Limit", 20}, {"Qcn File High Limit", 700}, {"DLDelayTime", 3}});
  IniDocumentPtr doc(Ini_New(0));
  Ini_ReadFromFile(doc.get(), "Platform/Qca9x07.ini");
  for (const char* flag : {"UseQcn", "NotUseQPST", "OpenAdb", "Switch911"}) {
    Ini_PutBoolean(doc.get(), "Dir", flag, 1);
  }
  Ini_WriteToFile(doc.get(), "Platform/Qca9x07.ini");

  ASSERT_EQ(loadQca9x07FileList(table_), 0);
  EXPECT_EQ(gLongLabel, 0);
  EXPECT_EQ(serviceCalls().loadedFlags, std::vector<int>{0});
  EXPECT_EQ(qcnFilePath, firmware_.string());
  EXPECT_EQ(qcnFileLowLimit, 20);
  EXPECT_EQ(qcnFileHighLimit, 700);
  EXPECT_EQ(iDLDelayTime, 3);
  EXPECT_EQ(checkCFUNStr, "+CFUN: 1");
  EXPECT_EQ(bUseQcnQca9x07, 1);
  EXPECT_EQ(gNotUseQPST, 1);
  EXPECT_EQ(bOpenAdb, 1);
  EXPECT_EQ(bSwitch911, 1);
}

TEST_F(Qca9x07FileListTest, HighLimitOfZeroBecomesAThousand) {
  writeSettings({{"Dir Path", firmware_.string()}}, {{"Qcn File High Limit", 0}});
  ASSERT_EQ(loadQca9x07FileList(table_), 0);
  EXPECT_EQ(qcnFileHighLimit, 1000);
}

TEST_F(Qca9x07FileListTest, FirstBadItemEndsTheLoadWithItsCode) {
  writeSettings({{"Dir Path", firmware_.string()}, {"Qcn File High Limit", "lots"}},
                {{"DLDelayTime", 9}});
  EXPECT_EQ(loadQca9x07FileList(table_), kIniInvalidUInt);
  EXPECT_EQ(iDLDelayTime, 0) << "items after the bad one are not read";
  EXPECT_EQ(table_.rowCount(), 1) << "the table is not touched";
}

TEST_F(Qca9x07FileListTest, AMissingSettingsFileReadsAsEmptyAMissingLibraryEndsTheLoad) {
  fs::remove("Platform/Qca9x07.ini");
  // A fresh station: the table offers the folder row (empty) and the platform's rows; the load
  // fails for want of a firmware folder and leaves the file to the save.
  EXPECT_EQ(loadQca9x07FileList(table_), -1);
  ASSERT_GT(table_.rowCount(), 1);
  EXPECT_EQ(table_.label(1), "Firmware Path");
  EXPECT_EQ(table_.path(1), "");
  EXPECT_FALSE(fs::exists("Platform/Qca9x07.ini"));
  serviceCalls().loadLibraryResult = -1;
  EXPECT_EQ(loadQca9x07FileList(table_), -1);
}

// ---- The table, by layout ----

TEST_F(Qca9x07FileListTest, PlainFirmwareWithoutBackupStreamsTheStationsBootImage) {
  writeFile(firmware_ / "efs2.qmbn", 20);
  ASSERT_EQ(loadQca9x07FileList(table_), 0);
  EXPECT_EQ(labels(),
            (std::vector<std::string>{"Firmware Path", "Quorl ARMPRG Normal",
                                      "Quorl ARMPRG Emergency", "Quorl Partition", "boot.img",
                                      "system.img", "efs2.qmbn", "SBL", "TZ", "RPM", "boot"}));
  EXPECT_EQ(pathOf("Firmware Path"), firmware_.string());
  EXPECT_EQ(pathOf("system.img"), fw("system.img"));
  EXPECT_EQ(pathOf("boot"), (dir_ / "fastboot.img").string());
  for (const host::FileRow& row : table_.rows()) EXPECT_EQ(row.colour, host::kGreen) << row.label;

  const QLIB_UserPartitionList& list = qca9x07Firmware().userPartitions;
  ASSERT_EQ(list.count, 4u);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"0:SBL", fw("sbl1.mbn")},
      {"0:TZ", fw("tz.mbn")},
      {"0:RPM", fw("rpm.mbn")},
      {"0:boot", (dir_ / "fastboot.img").string()}};
  for (unsigned i = 0; i < list.count; ++i) {
    EXPECT_EQ(list.entries[i].name, expected[i].first);
    EXPECT_EQ(list.entries[i].path, expected[i].second);
  }
  // Rows 2 to the last: the table's files without the folder and appsboot.mbn.
  EXPECT_EQ(qca9x07Firmware().downloadTotal, 10u + 11 + 12 + 13 + 14 + 20 + 15 + 16 + 17 + 19);
  EXPECT_EQ(queuedCommands(),
            (std::vector<std::string>{"flash:aboot", "flash:boot", "flash:system"}));
}

TEST_F(Qca9x07FileListTest, BackupKeepsTheFirmwaresBootLoaderAndWritesEfs2) {
  gBackupRestoreQcn = true;
  writeFile(firmware_ / "devcfg.mbn", 21);
  writeFile(firmware_ / "b.qmbn", 22);
  writeFile(firmware_ / "a.qmbn", 23);
  ASSERT_EQ(loadQca9x07FileList(table_), 0);
  EXPECT_EQ(pathOf("efs2.qmbn"), fw("a.qmbn")) << "the first qmbn file by name";
  EXPECT_EQ(surface_.qmbnTexts(), std::vector<std::string>{"a.qmbn"});
  const QLIB_UserPartitionList& list = qca9x07Firmware().userPartitions;
  ASSERT_EQ(list.count, 5u);
  EXPECT_STREQ(list.entries[2].name, "0:DEVCFG");
  EXPECT_STREQ(list.entries[4].name, "0:aboot");
  EXPECT_EQ(list.entries[4].path, fw("appsboot.mbn"));
  EXPECT_EQ(queuedCommands(),
            (std::vector<std::string>{"flash:boot", "flash:system", "erase:efs2", "flash:efs2"}));
}

TEST_F(Qca9x07FileListTest, BackupWithoutQmbnFileRefusesTheFirmware) {
  gBackupRestoreQcn = true;
  EXPECT_EQ(loadQca9x07FileList(table_), -1);
  EXPECT_EQ(
      surface_.qmbnTexts(),
      (std::vector<std::string>{"", "You must have qmbn file in firmware path before download!"}));
}

TEST_F(Qca9x07FileListTest, UbiLayoutFlashesUserdataAndPersist) {
  fs::remove(firmware_ / "system.img");
  for (const char* name : {"mdm9607-perf-orvane-sysfs.ubi", "mdm9607-perf-orvane-usrfs.ubi",
                           "mdm9607-perf-orvane-chefs.ubi", "customer.img"}) {
    writeFile(firmware_ / name, 30);
  }
  ASSERT_EQ(loadQca9x07FileList(table_), 0);
  EXPECT_EQ(pathOf("system.img"), fw("mdm9607-perf-orvane-sysfs.ubi"));
  EXPECT_EQ(pathOf("userdata"), fw("mdm9607-perf-orvane-usrfs.ubi"));
  EXPECT_EQ(pathOf("persist"), fw("mdm9607-perf-orvane-chefs.ubi"));
  EXPECT_EQ(pathOf("customer"), "<none>") << "the UBI layout has no customer row";
  EXPECT_EQ(queuedCommands(), (std::vector<std::string>{"flash:aboot", "flash:boot", "flash:system",
                                                        "flash:userdata", "flash:persist"}));
}

TEST_F(Qca9x07FileListTest, CustomerImageFlashesUserdataAndCustomer) {
  writeFile(firmware_ / "customer.img", 30);
  writeFile(firmware_ / "userdata.img", 31);
  ASSERT_EQ(loadQca9x07FileList(table_), 0);
  EXPECT_EQ(pathOf("customer"), fw("customer.img"));
  EXPECT_EQ(pathOf("userdata"), fw("userdata.img"));
  EXPECT_EQ(queuedCommands(), (std::vector<std::string>{"flash:aboot", "flash:boot", "flash:system",
                                                        "flash:userdata", "flash:customer"}));
}

TEST_F(Qca9x07FileListTest, UserdataImageAloneIsFlashedLast) {
  writeFile(firmware_ / "userdata.img", 31);
  writeFile(firmware_ / "recovery.img", 32);
  ASSERT_EQ(loadQca9x07FileList(table_), 0);
  EXPECT_EQ(pathOf("recovery.img"), fw("recovery.img"));
  EXPECT_EQ(pathOf("modem.img"), "<none>");
  EXPECT_EQ(queuedCommands(), (std::vector<std::string>{"flash:aboot", "flash:boot", "flash:system",
                                                        "flash:recovery", "flash:userdata"}));
}

// ---- Checks ----

TEST_F(Qca9x07FileListTest, MissingFileTurnsItsRowRedAndStopsTheLoad) {
  fs::remove(firmware_ / "tz.mbn");
  EXPECT_EQ(loadQca9x07FileList(table_), -1);
  EXPECT_EQ(surface_.boxes(),
            std::vector<std::string>{"Error: can't find " + fw("tz.mbn") + " file."});
  const int tzRow = 8;
  ASSERT_EQ(table_.label(tzRow), "TZ");
  EXPECT_EQ(table_.path(tzRow), "");
  EXPECT_EQ(table_.rows()[tzRow - 1].colour, host::kRed);
  EXPECT_EQ(table_.rows()[tzRow].colour, host::kGreen) << "rows after it are not checked";
  EXPECT_EQ(fb_queue_head(), nullptr) << "no AP images are registered";
}

TEST_F(Qca9x07FileListTest, FolderThatDoesNotExistFailsOnTheFirstProgrammer) {
  writeSettings({{"Dir Path", (dir_ / "nowhere").string()}}, {});
  EXPECT_EQ(loadQca9x07FileList(table_), -1);
  EXPECT_EQ(labels(), (std::vector<std::string>{"Firmware Path", "Quorl ARMPRG Normal",
                                                "Quorl ARMPRG Emergency", "Quorl Partition",
                                                "boot.img", "system.img"}));
  EXPECT_EQ(surface_.boxes(),
            std::vector<std::string>{"Error: can't find " + (dir_ / "nowhere").string() +
                                     "/NPRG9x07.mbn file."});
}

TEST_F(Qca9x07FileListTest, ALoadForgetsThePreviousFirmware) {
  writeFile(firmware_ / "modem.img", 40);
  ASSERT_EQ(loadQca9x07FileList(table_), 0);
  fs::remove(firmware_ / "modem.img");
  ASSERT_EQ(loadQca9x07FileList(table_), 0);
  EXPECT_EQ(qca9x07Firmware().modem, "");
  EXPECT_EQ(pathOf("modem.img"), "<none>");
}

// ---- Save ----

TEST_F(Qca9x07FileListTest, SaveWritesTheSettingsAndTheTablesFolder) {
  checkCFUNStr = "+CFUN: 1";
  qcnFileLowLimit = 5;
  qcnFileHighLimit = 900;
  iDLDelayTime = 4;
  bOpenAdb = 1;
  table_.setPath(1, "/lines/fw7");
  fs::remove_all("Platform");
  ASSERT_EQ(saveQca9x07FileList(table_), 0);

  IniDocumentPtr doc(Ini_New(0));
  ASSERT_EQ(Ini_ReadFromFile(doc.get(), "Platform/Qca9x07.ini"), 0);
  std::vector<std::string> items;
  for (int n = 1; n <= Ini_NumberOfItems(doc.get(), "Dir"); ++n) {
    const char* name = nullptr;
    Ini_NthItemName(doc.get(), "Dir", n, &name);
    items.push_back(name);
  }
  EXPECT_EQ(items,
            (std::vector<std::string>{"Dir Path", "Qcn Path", "CheckCFUN", "Qcn File Low Limit",
                                      "Qcn File High Limit", "DLDelayTime", "UseQcn", "NotUseQPST",
                                      "OverridePrtnTable", "OpenAdb", "Switch911"}));
  char text[260];
  Ini_GetStringIntoBuffer(doc.get(), "Dir", "Qcn Path", text, sizeof text);
  EXPECT_STREQ(text, "/lines/fw7");
  int flag = -1;
  Ini_GetBoolean(doc.get(), "Dir", "OpenAdb", &flag);
  EXPECT_EQ(flag, 1);
  Ini_GetBoolean(doc.get(), "Dir", "OverridePrtnTable", &flag);
  EXPECT_EQ(flag, 0);
}

TEST_F(Qca9x07FileListTest, SavedSettingsLoadBackUnchanged) {
  checkCFUNStr = "+CFUN: 1";
  qcnFileHighLimit = 800;
  iDLDelayTime = 6;
  bSwitch911 = 1;
  table_.setPath(1, firmware_.string());
  ASSERT_EQ(saveQca9x07FileList(table_), 0);
  resetPlatformSettings();
  resetQca9x07State();
  ASSERT_EQ(autoLoadQca9x07FileList2Ui(table_, firmware_.c_str()), 0);
  EXPECT_EQ(checkCFUNStr, "+CFUN: 1");
  EXPECT_EQ(qcnFileHighLimit, 800);
  EXPECT_EQ(iDLDelayTime, 6);
  EXPECT_EQ(bSwitch911, 1);
  EXPECT_EQ(qcnFilePath, firmware_.string());
}

}  // namespace
