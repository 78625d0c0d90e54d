// The Qca9x25 file list and its AP and TP steps: the seventeen rows, a missing file that
// leaves the download list and the queue unbuilt while the load succeeds, save, and the QCN
// restore that always drives the port itself.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "chipset_test_support.h"
#include "chipsets/qca9x25.h"
#include "chipsets/qca9x25_firmware.h"
#include "fastboot/action_queue.h"
#include "host/colour.h"
#include "host/station_options.h"
#include "ini/inifile.h"
#include "platform/platform_settings.h"

namespace {

namespace fs = std::filesystem;
using chipset_test::serviceCalls;
using chipset_test::writeFile;

const char* kFiles[] = {"NPRG9x25.mbn", "ENPRG9x25.mbn", "partition.mbn", "boot.img",
                        "system.img",   "userdata.img",  "recovery.img",  "recoveryfs.img",
                        "sbl1.mbn",     "sdi.mbn",       "tz.mbn",        "mba.mbn",
                        "rpm.mbn",      "qdsp6sw.mbn",   "dsp2.mbn",      "appsboot.mbn"};

class Qca9x25FileListTest : public chipset_test::ChipsetTest {
 protected:
  void SetUp() override {
    ChipsetTest::SetUp();
    resetQca9x25State();
    resetPlatformSettings();
    resetStationOptions();
    queue_action_clear();
    firmware_ = dir_ / "fw";
    for (const char* name : kFiles) writeFile(firmware_ / name, 10);
    IniDocumentPtr doc(Ini_New(0));
    Ini_PutString(doc.get(), "Dir", "Dir Path", firmware_.c_str());
    Ini_PutBoolean(doc.get(), "Dir", "UseQcn", 1);
    Ini_PutBoolean(doc.get(), "Dir", "NotUseQPST", 1);
    fs::create_directories("Platform");
    EXPECT_EQ(Ini_WriteToFile(doc.get(), "Platform/Qca9x25.ini"), 0);
    request_.slot = 1;
  }
  void TearDown() override {
    queue_action_clear();
    ChipsetTest::TearDown();
  }

  static size_t queuedFlashes() {
    size_t count = 0;
    for (fb_action* a = fb_queue_head(); a; a = a->next) {
      count += std::string(a->command).rfind("flash:", 0) == 0 ? 1 : 0;
    }
    return count;
  }

  host::FileTable table_;
  fs::path firmware_;
  DownloadRequest request_{};
};

TEST_F(Qca9x25FileListTest, SeventeenRowsEightDownloadEntriesAndFiveApImages) {
  ASSERT_EQ(loadQca9x25FileList(table_), 0);
  ASSERT_EQ(table_.rowCount(), 17);
  EXPECT_EQ(table_.label(10), "SBL");
  EXPECT_EQ(table_.label(17), "APPSBL");
  EXPECT_EQ(table_.path(16), (firmware_ / "dsp2.mbn").string());
  EXPECT_EQ(qcnFilePath, firmware_.string());
  EXPECT_EQ(bUseQcnQca9x25, 1);
  EXPECT_EQ(gNotUseQPST, 0) << "not read on this platform";
  const Qca9x25Firmware& fw = qca9x25Firmware();
  EXPECT_EQ(fw.downloadTotal, 160u);
  ASSERT_EQ(fw.userPartitions.count, 8u);
  EXPECT_STREQ(fw.userPartitions.entries[0].name, "0:SBL");
  EXPECT_STREQ(fw.userPartitions.entries[6].name, "0:ADSP");
  EXPECT_EQ(queuedFlashes(), 5u);
  EXPECT_EQ(fb_flash_piece_limit(), 0u) << "this platform does not cut its images";
}

TEST_F(Qca9x25FileListTest, MissingFileLeavesTheDownloadsUnbuiltButTheLoadSucceeds) {
  fs::remove(firmware_ / "mba.mbn");
  EXPECT_EQ(loadQca9x25FileList(table_), 0);
  EXPECT_EQ(table_.path(13), "") << "the missing file's cell is emptied";
  EXPECT_EQ(table_.rows()[12].colour, host::kRed);
  EXPECT_EQ(table_.rows()[13].colour, host::kGreen) << "checking goes on";
  EXPECT_TRUE(surface_.boxes().empty());
  const Qca9x25Firmware& fw = qca9x25Firmware();
  EXPECT_EQ(fw.userPartitions.count, 0u);
  EXPECT_EQ(fw.missing, std::vector<std::string>{(firmware_ / "mba.mbn").string()});
  EXPECT_EQ(fb_queue_head(), nullptr);
}

TEST_F(Qca9x25FileListTest, SaveWritesItsSixKeys) {
  ASSERT_EQ(loadQca9x25FileList(table_), 0);
  checkCFUNStr = "+CFUN: 1";
  qcnFileHighLimit = 900;
  ASSERT_EQ(saveQca9x25FileList(table_), 0);
  IniDocumentPtr doc(Ini_New(0));
  ASSERT_GE(Ini_ReadFromFile(doc.get(), "Platform/Qca9x25.ini"), 0);
  char text[300] = {};
  Ini_GetStringIntoBuffer(doc.get(), "Dir", "Qcn Path", text, sizeof text);
  EXPECT_EQ(std::string(text), firmware_.string());
  uint32_t high = 0;
  EXPECT_EQ(Ini_GetUInt(doc.get(), "Dir", "Qcn File High Limit", &high), 1);
  EXPECT_EQ(high, 900u);
}

TEST_F(Qca9x25FileListTest, RestoreAlwaysDrivesThePortItselfAndApSaysWhatFollows) {
  EXPECT_EQ(downloadTpQca9x25(request_), 0);
  gBackupRestoreQcn = true;
  gNotUseQPST = 0;
  EXPECT_EQ(downloadTpQca9x25(request_), 0);
  EXPECT_EQ(serviceCalls().qcnCalls, (std::vector<std::pair<int, int>>{{3, 1}}));
  EXPECT_TRUE(surface_.messages().empty()) << "the restore step says nothing itself";
  EXPECT_EQ(downloadApQca9x25(request_), 0);
  EXPECT_TRUE(surface_.showed("Waiting recovery xqcn..."));
  EXPECT_EQ(downloadCompletedQca9x25(), 0);
}

}  // namespace
