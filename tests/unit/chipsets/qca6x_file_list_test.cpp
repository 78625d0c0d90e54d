// The Qca6270 and Qca6695 file lists (settings, the eight fixed rows, every missing file red
// without a box, the total), save, the AP and TP steps and the text log each platform keeps.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "chipset_test_support.h"
#include "chipsets/qca6270.h"
#include "chipsets/qca6695.h"
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

struct Platform {
  const char* name;
  int (*load)(host::FileTable&);
  int (*autoLoad)(host::FileTable&, const char*);
  int (*save)(host::FileTable&);
  int (*downloadAp)(const DownloadRequest&);
  int (*downloadTp)(const DownloadRequest&);
  Qca6xState& (*state)();
  void (*reset)();
  const char* programmer;
  const char* emergency;
  const char* modem;
};
const Platform k6270 = {"Qca6270",           loadQca6270FileList, autoLoadQca6270FileList2Ui,
                        saveQca6270FileList, downloadApQca6270,   downloadTpQca6270,
                        qca6270State,        resetQca6270State,   "NPRG6270.hex",
                        "ENPRG6270.hex",     "amss.mbn"};
const Platform k6695 = {"Qca6695",
                        loadQca6695FileList,
                        autoLoadQca6695FileList2Ui,
                        saveQca6695FileList,
                        downloadApQca6695,
                        downloadTpQca6695,
                        qca6695State,
                        resetQca6695State,
                        "NPRG6695.hex",
                        "ENPRG6695.hex",
                        "dsp.mbn"};

class Qca6xFileListTest : public chipset_test::ChipsetTest,
                          public ::testing::WithParamInterface<Platform> {
 protected:
  void SetUp() override {
    ChipsetTest::SetUp();
    GetParam().reset();
    resetPlatformSettings();
    resetStationOptions();
    firmware_ = dir_ / "fw";
    const std::map<std::string, size_t> files = {{GetParam().programmer, 100},
                                                 {GetParam().emergency, 200},
                                                 {"partition.mbn", 30},
                                                 {"dbl.mbn", 40},
                                                 {"fsbl.mbn", 50},
                                                 {"osbl.mbn", 60},
                                                 {GetParam().modem, 700}};
    for (const auto& [name, size] : files) writeFile(firmware_ / name, size);
    writeSettings({{"Dir Path", firmware_.string()}});
  }

  void writeSettings(const std::map<std::string, std::string>& texts) {
    IniDocumentPtr doc(Ini_New(0));
    for (const auto& [item, value] : texts)
      Ini_PutString(doc.get(), "Dir", item.c_str(), value.c_str());
    fs::create_directories("Platform");
    ASSERT_EQ(Ini_WriteToFile(doc.get(), iniFile().c_str()), 0);
  }
  std::string iniFile() const { return std::string("Platform/") + GetParam().name + ".ini"; }
  std::string fw(const std::string& name) const { return (firmware_ / name).string(); }

  host::FileTable table_;
  fs::path firmware_;
};

TEST_P(Qca6xFileListTest, ReadsItsSettingsAndClearsTheHandleMaps) {
  writeSettings({{"Dir Path", firmware_.string()},
                 {"Qcn File Low Limit", "30"},
                 {"Qcn File High Limit", "0"},
                 {"CheckCFUN", "+CFUN: 1"},
                 {"UseQcn", "True"},
                 {"NotUseQPST", "True"}});
  handeIndexMap[3] = reinterpret_cast<HANDLE>(0x40);
  handeIndexQpstMap[2] = reinterpret_cast<HANDLE>(0x41);
  ASSERT_EQ(GetParam().autoLoad(table_, "/elsewhere"), 0) << "auto-load performs the load";
  EXPECT_EQ(serviceCalls().loadedFlags, std::vector<int>{0});
  EXPECT_EQ(qcnFilePath, firmware_.string());
  EXPECT_EQ(qcnFileLowLimit, 30);
  EXPECT_EQ(qcnFileHighLimit, 1000);
  EXPECT_EQ(checkCFUNStr, "+CFUN: 1");
  EXPECT_EQ(GetParam().state().useQcn, 1);
  EXPECT_EQ(gNotUseQPST, 1);
  EXPECT_EQ(handeIndexMap[3].load(), nullptr);
  EXPECT_EQ(handeIndexQpstMap[2].load(), nullptr);
}

TEST_P(Qca6xFileListTest, EightFixedRowsAllGreenAndTheirTotal) {
  // A queue another platform's firmware built is never run on these modules.
  fb_queue_reboot();
  ASSERT_EQ(GetParam().load(table_), 0);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Firmware Path", firmware_.string()},
      {"Quorl ARMPRG Normal", fw(GetParam().programmer)},
      {"Quorl ARMPRG Emergency", fw(GetParam().emergency)},
      {"Quorl Partition", fw("partition.mbn")},
      {"Device Boot Loader", fw("dbl.mbn")},
      {"Fail Safe Boot Loader", fw("fsbl.mbn")},
      {"OS Boot Loader", fw("osbl.mbn")},
      {"AMSS Modem Image", fw(GetParam().modem)}};
  ASSERT_EQ(table_.rowCount(), 8);
  for (int row = 1; row <= 8; ++row) {
    EXPECT_EQ(table_.label(row), expected[row - 1].first);
    EXPECT_EQ(table_.path(row), expected[row - 1].second);
    EXPECT_EQ(table_.rows()[row - 1].colour, host::kGreen) << row;
  }
  EXPECT_EQ(GetParam().state().firmware.downloadTotal, 100u + 200 + 30 + 40 + 50 + 60 + 700);
  EXPECT_EQ(GetParam().state().firmware.file(kQca6xModemRow), fw(GetParam().modem));
  EXPECT_EQ(fb_queue_head(), nullptr);
  EXPECT_TRUE(surface_.boxes().empty());
}

TEST_P(Qca6xFileListTest, EveryMissingFileIsRedAndEmptiedWithoutABox) {
  fs::remove(firmware_ / "fsbl.mbn");
  fs::remove(firmware_ / GetParam().modem);
  // The other platform's modem image does not stand in for this one's.
  writeFile(firmware_ / (std::string(GetParam().modem) == "dsp.mbn" ? "amss.mbn" : "dsp.mbn"), 9);
  EXPECT_EQ(GetParam().load(table_), -1);
  ASSERT_EQ(table_.rowCount(), 8);
  for (int row : {6, 8}) {
    EXPECT_EQ(table_.rows()[row - 1].colour, host::kRed) << row;
    EXPECT_EQ(table_.path(row), "") << row;
  }
  EXPECT_EQ(table_.rows()[6].colour, host::kGreen);
  EXPECT_TRUE(surface_.boxes().empty());
}

TEST_P(Qca6xFileListTest, LibraryOrSettingsFailuresEndTheLoad) {
  serviceCalls().loadLibraryResult = -1;
  EXPECT_EQ(GetParam().load(table_), -1);
  serviceCalls().loadLibraryResult = 0;
  fs::remove(iniFile());
  fs::create_directories(iniFile());  // a folder where the file should be cannot be read
  EXPECT_LT(GetParam().load(table_), 0);
}

TEST_P(Qca6xFileListTest, SaveWritesTheFolderAndSettingsForTheNextLoad) {
  ASSERT_EQ(GetParam().load(table_), 0);
  table_.setPath(1, "/new/firmware");
  qcnFileLowLimit = 40;
  qcnFileHighLimit = 900;
  checkCFUNStr = "+CFUN: 1";
  GetParam().state().useQcn = 1;
  ASSERT_EQ(GetParam().save(table_), 0);
  IniDocumentPtr doc(Ini_New(0));
  ASSERT_GE(Ini_ReadFromFile(doc.get(), iniFile().c_str()), 0);
  char text[300] = {};
  for (const char* key : {"Dir Path", "Qcn Path"}) {
    Ini_GetStringIntoBuffer(doc.get(), "Dir", key, text, sizeof text);
    EXPECT_STREQ(text, "/new/firmware") << key;
  }
  uint32_t high = 0;
  Ini_GetUInt(doc.get(), "Dir", "Qcn File High Limit", &high);
  EXPECT_EQ(high, 900u);
  int useQcn = 0;
  Ini_GetBoolean(doc.get(), "Dir", "UseQcn", &useQcn);
  EXPECT_EQ(useQcn, 1);
}

TEST_P(Qca6xFileListTest, ApFailsOnTheEmptyQueueAndTpRestoresOnlyWithBackupOnTheDiagnosticPort) {
  DownloadRequest request{};
  request.slot = 1;
  ASSERT_EQ(GetParam().load(table_), 0);
  EXPECT_EQ(GetParam().downloadAp(request), -1) << "nothing to write is no success";
  EXPECT_TRUE(serviceCalls().flashes.empty());
  EXPECT_TRUE(surface_.showed("AP Download Failed."));
  fb_queue_reboot();  // a queue some firmware left would run with this platform's total
  EXPECT_EQ(GetParam().downloadAp(request), 0);
  ASSERT_EQ(serviceCalls().flashes.size(), 1u);
  EXPECT_EQ(serviceCalls().flashes[0].total, GetParam().state().firmware.downloadTotal);
  queue_action_clear();

  EXPECT_EQ(GetParam().downloadTp(request), 0);
  EXPECT_TRUE(surface_.showed(std::string("Enter downloadTp") + GetParam().name + "..."));
  gBackupRestoreQcn = true;
  serviceCalls().backupQcnResult = -4;
  EXPECT_EQ(GetParam().downloadTp(request), -4);
  GetParam().state().useQcn = 1;
  gNotUseQPST = 1;
  EXPECT_EQ(GetParam().downloadTp(request), -4);
  request.portKind = 1;
  EXPECT_EQ(GetParam().downloadTp(request), 0);
  EXPECT_EQ(serviceCalls().qcnCalls, (std::vector<std::pair<int, int>>{{3, 0}, {2, 1}}));
}

INSTANTIATE_TEST_SUITE_P(HexProgrammerPlatforms, Qca6xFileListTest, ::testing::Values(k6270, k6695),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The text log ----

class Qca6xTextLogTest : public chipset_test::ChipsetTest {
 protected:
  void SetUp() override {
    ChipsetTest::SetUp();
    resetQca6270State();
    resetQca6695State();
    handeIndexMap[0] = kHandle;
  }
  void TearDown() override {
    handeIndexMap[0] = nullptr;
    ChipsetTest::TearDown();
  }
  static void send(unsigned short type, const char* text, HANDLE handle = kHandle) {
    QLIB_TextLogRecord record{};
    record.type = type;
    std::snprintf(record.text, sizeof record.text, "%s", text);
    qca6270State().textLog.onRecord(&record, handle);
  }
  static inline const HANDLE kHandle = reinterpret_cast<HANDLE>(0x66);
};

TEST_F(Qca6xTextLogTest, TextsBecomeMessagesAndNotesProgressOfThePlatformsOwn) {
  qca6270State().firmware.downloadTotal = 51 * 1000;
  send(QLIB_TEXT_LOG_TYPE_TEXT, "Downloading C:/images/R07/dbl.mbn");
  send(QLIB_TEXT_LOG_TYPE_TEXT, "Opening partition 0:DBL at address 0x0");
  send(QLIB_TEXT_LOG_TYPE_TEXT, "Downloading dbl.mbn");
  send(QLIB_TEXT_LOG_TYPE_TEXT, "Partition table accepted", reinterpret_cast<HANDLE>(0x67));
  EXPECT_EQ(surface_.messages(), (std::vector<std::string>{"Downloading dbl.mbn ..."}));
  for (int i = 0; i < 51; ++i) send(QLIB_TEXT_LOG_TYPE_TRANSFER, "SEND_ASYNC(1000)");
  ASSERT_EQ(surface_.progress().size(), 1u) << "the bar moves on the 51st note";
  EXPECT_NEAR(surface_.progress()[0], 100.0, 1e-6);
  EXPECT_NEAR(qca6270State().textLog.currentProgress(), 1.0, 1e-9);
  EXPECT_EQ(qca6695State().textLog.currentProgress(), 0.0) << "each platform keeps its own";
  send(QLIB_TEXT_LOG_TYPE_TEXT, "Sending HELLO to flash programmer");
  EXPECT_EQ(qca6270State().textLog.currentProgress(), 0.0);
  EXPECT_EQ(surface_.progress().back(), 0.0);
  EXPECT_TRUE(surface_.showed("Sending HELLO to flash programmer"));
}

}  // namespace
