// The Qca9206 file list: its settings, the table built from the partition XML file, the layout
// of the user partition list and the library build it loads, the refusals (missing files,
// XML errors, lists that fit no layout), and save.

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <shared_mutex>
#include <string>
#include <vector>

#include "chipset_test_support.h"
#include "chipsets/qca9206.h"
#include "chipsets/qca9206_firmware.h"
#include "fastboot/action_queue.h"
#include "fastboot/executor.h"
#include "host/colour.h"
#include "ini/inifile.h"
#include "platform/platform_settings.h"
#include "platform/qca_library.h"

namespace {

namespace fs = std::filesystem;
using chipset_test::serviceCalls;
using chipset_test::writeFile;

std::string partition(const std::string& name, const std::string& image) {
  return "    <partition><name>" + name + "</name><img_name>" + image + "</img_name></partition>\n";
}

class Qca9206FileListTest : public chipset_test::ChipsetTest {
 protected:
  void SetUp() override {
    ChipsetTest::SetUp();
    resetQca9206State();
    resetPlatformSettings();
    firmware_ = dir_ / "fw";
    for (const char* name : {"NPRG9x06.mbn", "ENPRG9x06.mbn", "partition.mbn"}) {
      writeFile(firmware_ / name, 100);
    }
    writeSettings({{"Dir Path", firmware_.string()}});
  }

  void writeSettings(const std::map<std::string, std::string>& texts) {
    IniDocumentPtr doc(Ini_New(0));
    for (const auto& [item, value] : texts)
      Ini_PutString(doc.get(), "Dir", item.c_str(), value.c_str());
    fs::create_directories("Platform");
    ASSERT_EQ(Ini_WriteToFile(doc.get(), "Platform/Qca9206.ini"), 0);
  }

  // Writes `xmlName` listing `images` (label, file) and creates each file of `size` bytes.
  void writeXml(const std::vector<std::pair<std::string, std::string>>& images,
                const std::string& xmlName = "partition_nand.xml", size_t size = 10) {
    std::string xml = "<?xml version=\"1.0\"?>\n<nandboot>\n  <partitions>\n";
    xml += partition("0:MIBIB", "partition.mbn");
    for (const auto& [label, file] : images) {
      xml += partition("0:" + label, file);
      writeFile(firmware_ / file, size);
    }
    xml += partition("0:EFS2", "");
    std::ofstream(firmware_ / xmlName) << xml << "  </partitions>\n</nandboot>\n";
  }

  std::vector<std::string> labels() const {
    std::vector<std::string> out;
    for (const host::FileRow& row : table_.rows()) out.push_back(row.label);
    return out;
  }
  std::string fw(const std::string& name) const { return (firmware_ / name).string(); }

  host::FileTable table_;
  fs::path firmware_;
};

// ---- Settings and the table ----

TEST_F(Qca9206FileListTest, BuildsTheTableFromTheXmlAndLoadsTheShortNameLibrary) {
  writeSettings({{"Dir Path", firmware_.string()},
                 {"CheckCFUN", "+CFUN: 1"},
                 {"Flash512", "512"},
                 {"FirmwareTypeDef", "1G.flag"},
                 {"Qcn File Low Limit", "20"},
                 {"Qcn File High Limit", "0"},
                 {"UseQcn", "True"},
                 {"NotUseQPST", "True"}});
  writeXml({{"SBL", "sbl1.mbn"}, {"system", "sysfs.ubi"}, {"modem", "NON-HLOS.bin"}});
  handeIndexMap[0] = reinterpret_cast<HANDLE>(0x10);
  handeIndexQpstMap[7] = reinterpret_cast<HANDLE>(0x11);
  gLongLabel = 1;

  ASSERT_EQ(loadQca9206FileList(table_), 0);
  EXPECT_EQ(labels(), (std::vector<std::string>{"Firmware Path", "Quorl ARMPRG Normal",
                                                "Quorl ARMPRG Emergency", "Quorl Partition", "SBL",
                                                "system", "modem"}));
  EXPECT_EQ(table_.path(2), fw("NPRG9x06.mbn"));
  EXPECT_EQ(table_.path(3), fw("ENPRG9x06.mbn"));
  EXPECT_EQ(table_.path(4), fw("partition.mbn"));
  EXPECT_EQ(table_.path(7), fw("NON-HLOS.bin"));
  for (const host::FileRow& row : table_.rows()) EXPECT_EQ(row.colour, host::kGreen);
  EXPECT_EQ(gLongLabel, 0);
  EXPECT_EQ(serviceCalls().loadedFlags, std::vector<int>{0});
  EXPECT_EQ(qcnFilePath, firmware_.string());
  EXPECT_EQ(qcnFileLowLimit, 20);
  EXPECT_EQ(qcnFileHighLimit, 1000);
  EXPECT_EQ(checkCFUNStr, "+CFUN: 1");
  EXPECT_EQ(sFlash512, "512");
  EXPECT_EQ(sFirmFileTypeDef, "1G.flag");
  EXPECT_EQ(sPartionName, "partition_nand_update.xml");
  EXPECT_EQ(bUseQcnQca9206, 1);
  EXPECT_EQ(gNotUseQPST, 1);
  EXPECT_EQ(handeIndexMap[0].load(), nullptr);
  EXPECT_EQ(handeIndexQpstMap[7].load(), nullptr);

  const Qca9206Firmware& firmware = qca9206Firmware();
  EXPECT_FALSE(firmware.firmware1G) << "no marker file in the folder";
  EXPECT_EQ(firmware.downloadTotal, 3 * 100u + 3 * 10u);
  EXPECT_FALSE(firmware.longLayout);
  ASSERT_EQ(firmware.shortList.count, 3u);
  EXPECT_STREQ(firmware.shortList.entries[0].name, "0:SBL");
  EXPECT_STREQ(firmware.shortList.entries[1].name, "0:system") << "8 bytes and NUL fit";
  EXPECT_EQ(firmware.shortList.entries[2].path, fw("NON-HLOS.bin"));
  EXPECT_EQ(firmware.userPartitions(), &firmware.shortList);
}

TEST_F(Qca9206FileListTest, TheNamedXmlComesFirstAndTheMarkerFileIsSeen) {
  writeSettings({{"Dir Path", firmware_.string()},
                 {"PartionName", "mine.xml"},
                 {"FirmwareTypeDef", "1G.flag"}});
  writeXml({{"SBL", "sbl1.mbn"}});
  writeXml({{"TZ", "tz.mbn"}}, "mine.xml");
  writeFile(firmware_ / "1G.flag", 1);
  ASSERT_EQ(loadQca9206FileList(table_), 0);
  EXPECT_EQ(table_.label(5), "TZ");
  EXPECT_TRUE(qca9206Firmware().firmware1G);

  // Without the named file, and with no name set, the default name is looked for and the
  // firmware's partition_nand.xml is used.
  writeSettings({{"Dir Path", firmware_.string()}});
  writeXml({{"RPM", "rpm.mbn"}}, "partition_nand_update.xml");
  ASSERT_EQ(loadQca9206FileList(table_), 0);
  EXPECT_EQ(table_.label(5), "RPM");
  fs::remove(firmware_ / "partition_nand_update.xml");
  ASSERT_EQ(loadQca9206FileList(table_), 0);
  EXPECT_EQ(table_.label(5), "SBL");
  EXPECT_FALSE(qca9206Firmware().firmware1G);
}

TEST_F(Qca9206FileListTest, TheLoadClearsTheFastbootQueueOfAnotherPlatformUnlessItRuns) {
  writeXml({{"SBL", "sbl1.mbn"}});
  fb_queue_reboot();
  {
    std::shared_lock running(fastboot::queueUseLock());
    EXPECT_EQ(loadQca9206FileList(table_), -1);
    EXPECT_NE(fb_queue_head(), nullptr) << "a running AP download keeps its queue";
    EXPECT_EQ(surface_.boxes().back(),
              "Error: An AP download is running; load the firmware after it has finished.");
  }
  ASSERT_EQ(loadQca9206FileList(table_), 0);
  EXPECT_EQ(fb_queue_head(), nullptr);
}

// ---- The layout of the user partition list ----

TEST_F(Qca9206FileListTest, NamesTheShortLayoutCannotHoldTakeTheLongOneWhole) {
  writeXml({{"SBL", "sbl1.mbn"}, {"recovery", "recovery.img"}, {"modemst1", "st1.bin"}});
  ASSERT_EQ(loadQca9206FileList(table_), 0);
  EXPECT_EQ(gLongLabel, 1);
  EXPECT_EQ(serviceCalls().loadedFlags, std::vector<int>{1});
  const Qca9206Firmware& firmware = qca9206Firmware();
  ASSERT_TRUE(firmware.longLayout);
  EXPECT_EQ(firmware.userPartitions(), &firmware.longList);
  ASSERT_EQ(firmware.longList.count, 3u);
  EXPECT_STREQ(firmware.longList.entries[1].name, "0:recovery");
  EXPECT_STREQ(firmware.longList.entries[2].name, "0:modemst1");
  EXPECT_EQ(firmware.longList.entries[2].path, fw("st1.bin"));
}

TEST_F(Qca9206FileListTest, MoreThanTenImagesTakeTheLongLayoutAndMoreThanFifteenAreRefused) {
  std::vector<std::pair<std::string, std::string>> images;
  for (int i = 1; i <= 11; ++i) images.push_back({"p" + std::to_string(i), "p.img"});
  writeXml(images);
  ASSERT_EQ(loadQca9206FileList(table_), 0);
  EXPECT_TRUE(qca9206Firmware().longLayout);
  EXPECT_EQ(qca9206Firmware().longList.count, 11u);

  for (int i = 12; i <= 16; ++i) images.push_back({"p" + std::to_string(i), "p.img"});
  writeXml(images);
  EXPECT_EQ(loadQca9206FileList(table_), -1);
  EXPECT_EQ(surface_.boxes().back(), "Error: The download list holds at most 15 files.");
  EXPECT_EQ(qca9206Firmware().longList.count, 0u) << "no part of the list stays";
}

TEST_F(Qca9206FileListTest, ANameOrPathThatFitsNoLayoutIsRefusedNeverCut) {
  writeXml({{std::string(127, 'n'), "a.img"}});
  EXPECT_EQ(loadQca9206FileList(table_), -1);
  EXPECT_NE(surface_.boxes().back().find("is too long for the download list."), std::string::npos);

  writeXml({{"SBL", std::string(250, 'f') + ".mbn"}});
  EXPECT_EQ(loadQca9206FileList(table_), -1);
  EXPECT_NE(surface_.boxes().back().find("The path "), std::string::npos);
  EXPECT_TRUE(serviceCalls().loadedFlags.empty()) << "no library is loaded for a refused list";
}

// ---- Refusals ----

TEST_F(Qca9206FileListTest, AMissingImageEmptiesItsCellAndEndsTheLoad) {
  writeXml({{"SBL", "sbl1.mbn"}, {"TZ", "tz.mbn"}});
  fs::remove(firmware_ / "sbl1.mbn");
  EXPECT_EQ(loadQca9206FileList(table_), -1);
  EXPECT_EQ(surface_.boxes(),
            std::vector<std::string>{"Error: can't find " + fw("sbl1.mbn") + " file."});
  EXPECT_EQ(table_.path(5), "");
  EXPECT_EQ(table_.rows()[4].colour, host::kRed);
  EXPECT_TRUE(serviceCalls().loadedFlags.empty());
}

TEST_F(Qca9206FileListTest, AnXmlErrorShowsTheBoxKeepsTheRowsAndFailsTheLoad) {
  std::ofstream(firmware_ / "partition_nand.xml")
      << "<nandboot><partition><name>0:SBL</name></nandboot>";
  EXPECT_EQ(loadQca9206FileList(table_), -1);
  ASSERT_EQ(surface_.calls("box").size(), 1u);
  EXPECT_EQ(surface_.boxes()[0].rfind("XML Error: ", 0), 0u) << surface_.boxes()[0];
  EXPECT_EQ(table_.rowCount(), 4);
  EXPECT_TRUE(serviceCalls().loadedFlags.empty());
}

TEST_F(Qca9206FileListTest, AFirmwareWithoutAPartitionImageToWriteFails) {
  EXPECT_EQ(loadQca9206FileList(table_), -1);
  EXPECT_EQ(surface_.boxes(),
            std::vector<std::string>{"Error: can't find " + fw("partition_nand.xml") + " file."});
  writeXml({});
  EXPECT_EQ(loadQca9206FileList(table_), -1);
  EXPECT_EQ(surface_.boxes().back(),
            "Error: " + fw("partition_nand.xml") + " lists no partition image.");
  EXPECT_TRUE(serviceCalls().loadedFlags.empty());
}

TEST_F(Qca9206FileListTest, SettingsErrorsEndTheLoadWithTheirCode) {
  // A missing file reads as empty settings: no firmware folder, so the load fails; the file is
  // left to the save.
  fs::remove("Platform/Qca9206.ini");
  EXPECT_EQ(loadQca9206FileList(table_), -1);
  EXPECT_FALSE(fs::exists("Platform/Qca9206.ini"));
  writeSettings({{"Dir Path", firmware_.string()}, {"Qcn File High Limit", "lots"}});
  EXPECT_EQ(loadQca9206FileList(table_), kIniInvalidUInt);
  writeSettings({{"Dir Path", firmware_.string()}});
  writeXml({{"SBL", "sbl1.mbn"}});
  serviceCalls().loadLibraryResult = -1;
  EXPECT_EQ(loadQca9206FileList(table_), -1);
}

// ---- Save ----

TEST_F(Qca9206FileListTest, SaveWritesEverySettingWithTheTablesFolder) {
  sFlash512 = "512,256";
  sFirmFileTypeDef = "1G.flag";
  sPartionName = "mine.xml";
  bUseQcnQca9206 = 1;
  checkCFUNStr = "+CFUN: 1";
  qcnFileHighLimit = 900;
  table_.setPath(1, "/elsewhere");
  ASSERT_EQ(saveQca9206FileList(table_), 0);
  IniDocumentPtr doc(Ini_New(0));
  ASSERT_GT(Ini_ReadFromFile(doc.get(), "Platform/Qca9206.ini"), -1);
  char text[260];
  for (const auto& [item, value] :
       std::map<std::string, std::string>{{"Dir Path", "/elsewhere"},
                                          {"Qcn Path", "/elsewhere"},
                                          {"Flash512", "512,256"},
                                          {"FirmwareTypeDef", "1G.flag"},
                                          {"PartionName", "mine.xml"},
                                          {"CheckCFUN", "+CFUN: 1"}}) {
    ASSERT_EQ(Ini_GetStringIntoBuffer(doc.get(), "Dir", item.c_str(), text, sizeof text), 1);
    EXPECT_EQ(std::string(text), value) << item;
  }
  uint32_t high = 0;
  int flag = 0;
  EXPECT_EQ(Ini_GetUInt(doc.get(), "Dir", "Qcn File High Limit", &high), 1);
  EXPECT_EQ(high, 900u);
  EXPECT_EQ(Ini_GetBoolean(doc.get(), "Dir", "UseQcn", &flag), 1);
  EXPECT_EQ(flag, 1);
}

}  // namespace
