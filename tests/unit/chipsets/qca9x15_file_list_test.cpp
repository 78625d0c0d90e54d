// The Qca9x15 file list: its settings, the sixteen rows with the dsp/dsp2 choice, missing
// files (red rows, a failed load, no box and no queue), the download list and totals, the
// pieced fastboot queue, and save with its three sections.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "chipset_test_support.h"
#include "chipsets/qca9x15.h"
#include "chipsets/qca9x15_firmware.h"
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

const std::map<std::string, size_t> kFirmware = {
    {"NPRG9x15.hex", 100}, {"ENPRG9x15.hex", 1000},  {"partition.mbn", 20}, {"sbl1.mbn", 30},
    {"sbl2.mbn", 40},      {"rpm.mbn", 50},          {"dsp1.mbn", 60},      {"dsp2.mbn", 70},
    {"dsp3.mbn", 80},      {"boot.img", 90},         {"system.img", 110},   {"userdata.img", 120},
    {"recovery.img", 130}, {"recoveryfs.img", 2000}, {"appsboot.mbn", 140},
};
constexpr size_t kStationAppsSize = 150;

class Qca9x15FileListTest : public chipset_test::ChipsetTest {
 protected:
  void SetUp() override {
    ChipsetTest::SetUp();
    resetQca9x15State();
    resetPlatformSettings();
    resetStationOptions();
    queue_action_clear();
    firmware_ = dir_ / "fw";
    for (const auto& [name, size] : kFirmware) writeFile(firmware_ / name, size);
    writeFile(dir_ / "appsboot_fastboot_9x15.mbn", kStationAppsSize);
    writeSettings({{"Dir Path", firmware_.string()}, {"Qcn Path", "/qcn"}});
  }
  void TearDown() override {
    queue_action_clear();
    fb_set_flash_piece_limit(0);
    ChipsetTest::TearDown();
  }

  void writeSettings(const std::map<std::string, std::string>& texts) {
    IniDocumentPtr doc(Ini_New(0));
    for (const auto& [item, value] : texts)
      Ini_PutString(doc.get(), "Dir", item.c_str(), value.c_str());
    fs::create_directories("Platform");
    ASSERT_EQ(Ini_WriteToFile(doc.get(), "Platform/Qca9x15.ini"), 0);
  }

  std::vector<std::string> labels() const {
    std::vector<std::string> out;
    for (const host::FileRow& row : table_.rows()) out.push_back(row.label);
    return out;
  }
  std::string fw(const std::string& name) const { return (firmware_ / name).string(); }

  static std::vector<std::string> queuedCommands() {
    std::vector<std::string> out;
    for (fb_action* a = fb_queue_head(); a; a = a->next) {
      const std::string command = a->command;
      if (command.rfind("flash", 0) == 0) out.push_back(command);
    }
    return out;
  }

  host::FileTable table_;
  fs::path firmware_;
};

TEST_F(Qca9x15FileListTest, ReadsItsKeysWithTheQcnPathOfItsOwn) {
  IniDocumentPtr doc(Ini_New(0));
  Ini_ReadFromFile(doc.get(), "Platform/Qca9x15.ini");
  Ini_PutUInt(doc.get(), "Dir", "Qcn File Low Limit", 30);
  Ini_PutUInt(doc.get(), "Dir", "Qcn File High Limit", 0);
  Ini_PutString(doc.get(), "Dir", "CheckCFUN", "+CFUN: 1");
  for (const char* flag : {"BackupEFS", "UseQcn", "NotUseQPST"}) {
    Ini_PutBoolean(doc.get(), "Dir", flag, 1);
  }
  Ini_WriteToFile(doc.get(), "Platform/Qca9x15.ini");
  gLongLabel = 1;
  ASSERT_EQ(loadQca9x15FileList(table_), 0);
  EXPECT_EQ(gLongLabel, 0);
  EXPECT_EQ(serviceCalls().loadedFlags, std::vector<int>{0});
  EXPECT_EQ(qcnFilePath, "/qcn") << "read directly, not the firmware folder";
  EXPECT_EQ(qcnFileLowLimit, 30);
  EXPECT_EQ(qcnFileHighLimit, 1000);
  EXPECT_EQ(gBackupEFS, 1);
  EXPECT_EQ(bUseQcnQca9x15, 1);
  EXPECT_EQ(gNotUseQPST, 1);
}

TEST_F(Qca9x15FileListTest, SixteenRowsDownloadListTotalsAndAPiecedQueue) {
  ASSERT_EQ(loadQca9x15FileList(table_), 0);
  EXPECT_EQ(labels(), (std::vector<std::string>{
                          "Firmware Path", "Quorl ARMPRG Normal", "Quorl ARMPRG Emergency",
                          "Quorl Partition", "sbl1", "sbl2", "apps", "rpm", "dsp1", "dsp2", "dsp3",
                          "boot", "system", "userdata", "recovery", "recoveryfs"}));
  EXPECT_EQ(table_.path(7), (dir_ / "appsboot_fastboot_9x15.mbn").string());
  for (int row = 1; row <= table_.rowCount(); ++row) {
    EXPECT_EQ(table_.rows()[row - 1].colour, host::kGreen) << row;
  }
  const Qca9x15Firmware& f = qca9x15Firmware();
  ASSERT_EQ(f.userPartitions.count, 7u);
  const char* names[] = {"0:SBL1", "0:SBL2", "0:APPSBL", "0:RPM", "0:DSP1", "0:DSP2", "0:DSP3"};
  for (int i = 0; i < 7; ++i) EXPECT_STREQ(f.userPartitions.entries[i].name, names[i]);
  EXPECT_STREQ(f.userPartitions.entries[2].path, table_.path(7).c_str());
  EXPECT_STREQ(f.userPartitions.entries[5].path, fw("dsp2.mbn").c_str());
  // The emergency programmer and recoveryfs are not counted.
  EXPECT_EQ(f.downloadTotal,
            100u + 20 + 30 + 40 + kStationAppsSize + 50 + 60 + 70 + 80 + 90 + 110 + 120 + 130);
  EXPECT_EQ(f.programmerSize, 100u);
  EXPECT_EQ(f.partitionSize, 20u);
  EXPECT_EQ(queuedCommands(),
            (std::vector<std::string>{"flash:aboot", "flash:boot", "flash:system", "flash:userdata",
                                      "flash:recovery", "flash:recoveryfs"}));
  EXPECT_EQ(fb_flash_piece_limit(), kQca9x15FlashPieceLimit);
  EXPECT_TRUE(surface_.boxes().empty());
}

TEST_F(Qca9x15FileListTest, DspImageTakesRowTenAndTheSecondDownloadEntry) {
  fs::remove(firmware_ / "dsp2.mbn");
  writeFile(firmware_ / "dsp.mbn", 75);
  ASSERT_EQ(loadQca9x15FileList(table_), 0) << "dsp2.mbn is then not needed";
  EXPECT_EQ(table_.label(10), "dsp");
  EXPECT_EQ(table_.path(10), fw("dsp.mbn"));
  EXPECT_STREQ(qca9x15Firmware().userPartitions.entries[5].path, fw("dsp.mbn").c_str());
  EXPECT_STREQ(qca9x15Firmware().userPartitions.entries[6].path, fw("dsp3.mbn").c_str());
}

TEST_F(Qca9x15FileListTest, MissingFilesMarkTheirRowsRedAndFailTheLoadWithoutABox) {
  fs::remove(firmware_ / "sbl2.mbn");
  fs::remove(firmware_ / "recovery.img");
  EXPECT_EQ(loadQca9x15FileList(table_), -1);
  EXPECT_EQ(table_.rowCount(), 16);
  EXPECT_EQ(table_.rows()[5].colour, host::kRed);
  EXPECT_EQ(table_.rows()[14].colour, host::kRed);
  EXPECT_EQ(table_.rows()[4].colour, host::kGreen);
  EXPECT_EQ(table_.path(6), fw("sbl2.mbn")) << "the path stays shown";
  EXPECT_TRUE(surface_.boxes().empty());
  EXPECT_EQ(fb_queue_head(), nullptr) << "no AP images from an incomplete firmware";
}

TEST_F(Qca9x15FileListTest, MissingApBootLoaderFailsTheLoadThroughTheQueue) {
  fs::remove(firmware_ / "appsboot.mbn");
  EXPECT_EQ(loadQca9x15FileList(table_), -1);
  EXPECT_EQ(surface_.boxes(), std::vector<std::string>{"Error: can't find aboot file."});
}

TEST_F(Qca9x15FileListTest, SaveWritesTheFolderSettingsAndEveryRowsPath) {
  fs::remove(firmware_ / "dsp2.mbn");
  writeFile(firmware_ / "dsp.mbn", 75);
  ASSERT_EQ(loadQca9x15FileList(table_), 0);
  table_.setPath(5, "/elsewhere/sbl1.mbn");
  qcnFilePath = "/qcn2";
  checkCFUNStr = "+CFUN: 4";
  gBackupEFS = 1;
  ASSERT_EQ(saveQca9x15FileList(table_), 0);

  IniDocumentPtr doc(Ini_New(0));
  ASSERT_GE(Ini_ReadFromFile(doc.get(), "Platform/Qca9x15.ini"), 0);
  auto text = [&](const char* section, const char* item) {
    char buffer[300] = {};
    Ini_GetStringIntoBuffer(doc.get(), section, item, buffer, sizeof buffer);
    return std::string(buffer);
  };
  EXPECT_EQ(text("Dir", "Dir Path"), firmware_.string());
  EXPECT_EQ(text("Dir", "Qcn Path"), "/qcn2");
  EXPECT_EQ(text("Dir", "CheckCFUN"), "+CFUN: 1") << "always written so";
  int flag = 0;
  EXPECT_EQ(Ini_GetBoolean(doc.get(), "Dir", "BackupEFS", &flag), 1);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(text("CpFile", "Quorl_ARMPRG_FileName"), fw("NPRG9x15.hex"));
  EXPECT_EQ(text("CpFile", "sbl1_path"), "/elsewhere/sbl1.mbn");
  EXPECT_EQ(text("CpFile", "dsp_path"), fw("dsp.mbn"));
  EXPECT_EQ(text("CpFile", "dsp2_path"), "");
  EXPECT_EQ(text("CpFile", "apps_path"), (dir_ / "appsboot_fastboot_9x15.mbn").string());
  EXPECT_EQ(text("ApFile", "recoveryfs"), fw("recoveryfs.img"));
  EXPECT_EQ(text("ApFile", "aboot"), fw("appsboot.mbn"));
}

}  // namespace
