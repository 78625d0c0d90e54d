// The Qca8909 file list: the files found in the firmware folder when their settings are empty
// or name a file outside it, the boxes of a folder that lacks them, the red rows of missing
// paths, the backup firmware of the qmbn road and its version, and save.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "chipset_test_support.h"
#include "chipsets/qca8909.h"
#include "chipsets/qca8909_firmware.h"
#include "chipsets/tool_runner.h"
#include "host/colour.h"
#include "host/station_options.h"
#include "ini/inifile.h"
#include "platform/platform_settings.h"

namespace {

namespace fs = std::filesystem;
using chipset_test::serviceCalls;
using chipset_test::writeFile;

// Remembers the labels the backup box was given.
class LabelSurface : public test_support::RecordingSurface {
 public:
  void setControlLabel(host::Control control, const std::string& label) override {
    if (control == host::Control::BackupRestoreQcn) labels.push_back(label);
  }
  std::vector<std::string> labels;
};

class Qca8909FileListTest : public chipset_test::ChipsetTest {
 protected:
  void SetUp() override {
    ChipsetTest::SetUp();
    host::installSurface(&labels_);
    resetQca8909State();
    resetPlatformSettings();
    resetStationOptions();
    firmware_ = dir_ / "fw";
    for (const char* name : {"prog_emmc_firehose_8909_ddr.mbn", "rawprogram_nand_p4K.xml",
                             "patch_p4K.xml", "sbl1.mbn"}) {
      writeFile(firmware_ / name, 100);
    }
    texts_ = {{"Dir/Dir Path", firmware_.string()}, {"Dir/CheckCFUN", "+CFUN: 1"}};
  }

  void writeSettings() {
    IniDocumentPtr doc(Ini_New(0));
    for (const auto& [key, value] : texts_) {
      const size_t slash = key.find('/');
      Ini_PutString(doc.get(), key.substr(0, slash).c_str(), key.substr(slash + 1).c_str(),
                    value.c_str());
    }
    fs::create_directories("Platform");
    ASSERT_EQ(Ini_WriteToFile(doc.get(), "Platform/Qca8909.ini"), 0);
  }

  int load() {
    writeSettings();
    return loadQca8909FileList(table_);
  }

  std::string path(const char* name) const { return (firmware_ / name).string(); }

  LabelSurface labels_;
  fs::path firmware_;
  std::map<std::string, std::string> texts_;
  host::FileTable table_;
};

TEST_F(Qca8909FileListTest, EmptySettingsAreFoundInTheFolderAndTheRowsAreGreen) {
  texts_["Dir/Qcn File High Limit"] = "0";
  writeFile(firmware_ / "b.qmbn", 10);
  writeFile(firmware_ / "a.qmbn", 10);
  ASSERT_EQ(load(), 0);
  EXPECT_EQ(serviceCalls().loadedFlags, (std::vector<int>{1}));
  ASSERT_EQ(table_.rowCount(), 4);
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"Firmware Path", firmware_.string()},
      {"FirehoseProgrammer", path("prog_emmc_firehose_8909_ddr.mbn")},
      {"Rawprogramfile", path("rawprogram_nand_p4K.xml")},
      {"Patchfile", path("patch_p4K.xml")}};
  for (int row = 1; row <= 4; ++row) {
    EXPECT_EQ(table_.label(row), rows[row - 1].first);
    EXPECT_EQ(table_.path(row), rows[row - 1].second);
    EXPECT_EQ(table_.rows()[row - 1].colour, host::kGreen) << row;
  }
  EXPECT_EQ(qcnFilePath, firmware_.string());
  EXPECT_EQ(qcnFileHighLimit, 1000) << "a high limit of 0 is read as 1000";
  EXPECT_EQ(checkCFUNStr, "+CFUN: 1");
  EXPECT_EQ(labels_.qmbnTexts(), (std::vector<std::string>{"a.qmbn"}));
  EXPECT_EQ(labels_.labels, (std::vector<std::string>{"QCN Backup And Recovery"}));
  EXPECT_EQ(bHalvoH, 0);
}

TEST_F(Qca8909FileListTest, ASettingOutsideTheFolderIsStaleAndReplaced) {
  writeFile(dir_ / "fw2" / "prog_firehose_old.mbn", 10);
  writeFile(firmware_ / "sub" / "patch_sub.xml", 10);
  // A sibling folder whose name starts like the firmware folder's is another folder.
  texts_["File/firehoseProgrammer"] = (dir_ / "fw2" / "prog_firehose_old.mbn").string();
  // Letters compare without case; a file below the folder belongs to it.
  texts_["File/patchfile"] = path("sub/patch_sub.xml");
  texts_["File/rawprogramfile"] = path("rawprogram_nand_p4K.xml");
  ASSERT_EQ(load(), 0);
  EXPECT_EQ(table_.path(2), path("prog_emmc_firehose_8909_ddr.mbn"));
  EXPECT_EQ(table_.path(4), path("sub/patch_sub.xml"));
  EXPECT_EQ(qca8909Firmware().patch, path("sub/patch_sub.xml"));
}

TEST_F(Qca8909FileListTest, AFolderWithoutAFileShowsItsBox) {
  fs::remove(firmware_ / "patch_p4K.xml");
  EXPECT_EQ(load(), -1);
  EXPECT_EQ(labels_.boxes(), (std::vector<std::string>{"error: Not found patch*.xml file!"}));
  EXPECT_EQ(table_.rowCount(), 4) << "the table is still there to choose another folder";

  labels_.clear();
  texts_["Dir/Dir Path"] = (dir_ / "missing").string();
  EXPECT_EQ(load(), -1);
  EXPECT_EQ(labels_.boxes(), (std::vector<std::string>{"error: Not found firmware path!"}));
}

TEST_F(Qca8909FileListTest, AMissingFileOfTheSettingsIsARedRow) {
  texts_["File/patchfile"] = path("patch_gone.xml");
  EXPECT_EQ(load(), -1);
  ASSERT_EQ(table_.rowCount(), 4);
  EXPECT_EQ(table_.rows()[3].colour, host::kRed);
  EXPECT_EQ(table_.rows()[1].colour, host::kGreen);
  EXPECT_TRUE(labels_.boxes().empty());
}

TEST_F(Qca8909FileListTest, TheQmbnRoadNeedsItsBackupFirmware) {
  gBackupRestoreQcn = true;
  fs::rename(firmware_ / "prog_emmc_firehose_8909_ddr.mbn",
             firmware_ / "prog_nand_firehose_9205.elf");
  EXPECT_EQ(load(), -1);
  EXPECT_EQ(labels_.boxes(), (std::vector<std::string>{"error: Not found backup firmware path!"}));
  EXPECT_EQ(bHalvoH, 1);
  EXPECT_EQ(labels_.labels.back(), "Qmbn Backup And Recovery");

  labels_.clear();
  writeFile(firmware_ / "backup" / "rawprogram_nand.xml", 10);
  EXPECT_EQ(load(), -1);
  EXPECT_EQ(labels_.boxes(),
            (std::vector<std::string>{"error: Not found backup firmware version!"}));

  labels_.clear();
  fs::rename(firmware_ / "backup" / "rawprogram_nand.xml",
             firmware_ / "backup" / "rawprogram_nand-HalvoH_9205_R01.xml");
  EXPECT_EQ(load(), -1);
  EXPECT_EQ(labels_.boxes(),
            (std::vector<std::string>{"error: Not found backup patch*.xml file!"}));

  labels_.clear();
  writeFile(firmware_ / "backup" / "patch_nand.xml", 10);
  EXPECT_EQ(load(), 0);
  EXPECT_TRUE(labels_.boxes().empty());
  EXPECT_EQ(sDstVersionType, "HalvoH_9205_R01");
  EXPECT_EQ(qca8909Firmware().backupRawprogram, path("backup/rawprogram_nand-HalvoH_9205_R01.xml"));
  EXPECT_EQ(qca8909Firmware().backupPatch, path("backup/patch_nand.xml"));
}

TEST_F(Qca8909FileListTest, SaveWritesTheTableAndTheSettings) {
  ASSERT_EQ(load(), 0);
  table_.setPath(3, path("sbl1.mbn"));
  qcnFileLowLimit = 12;
  gNotUseQPST = 1;
  ASSERT_EQ(saveQca8909FileList(table_), 0);
  IniDocumentPtr doc(Ini_New(0));
  ASSERT_GE(Ini_ReadFromFile(doc.get(), "Platform/Qca8909.ini"), 0);
  char text[300];
  ASSERT_EQ(Ini_GetStringIntoBuffer(doc.get(), "File", "rawprogramfile", text, sizeof text), 1);
  EXPECT_EQ(std::string(text), path("sbl1.mbn"));
  ASSERT_EQ(Ini_GetStringIntoBuffer(doc.get(), "Dir", "Dir Path", text, sizeof text), 1);
  EXPECT_EQ(std::string(text), firmware_.string());
  uint32_t low = 0;
  EXPECT_EQ(Ini_GetUInt(doc.get(), "Dir", "Qcn File Low Limit", &low), 1);
  EXPECT_EQ(low, 12u);
  int notUseQpst = 0;
  EXPECT_EQ(Ini_GetBoolean(doc.get(), "Dir", "NotUseQPST", &notUseQpst), 1);
  EXPECT_EQ(notUseQpst, 1);

  host::FileTable empty;
  empty.clear();
  EXPECT_EQ(saveQca8909FileList(empty), -1);
}

}  // namespace
