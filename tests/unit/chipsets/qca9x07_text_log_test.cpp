// The Qca9x07 text-log and Sahara log callbacks: which library texts reach the DUT's row, how
// transfer notes become progress, and that records of unknown connections are dropped.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "chipset_test_support.h"
#include "chipsets/qca9x07.h"
#include "chipsets/qca9x07_firmware.h"
#include "chipsets/qca9x07_text_log.h"
#include "platform/qca_library.h"

namespace {

const HANDLE kHandle = reinterpret_cast<HANDLE>(0x4242);

class Qca9x07TextLogTest : public chipset_test::ChipsetTest {
 protected:
  void SetUp() override {
    ChipsetTest::SetUp();
    resetQca9x07State();
    resetQcaBinding();
    handeIndexMap[0] = kHandle;
    qca9x07Firmware().downloadTotal = 4096 * 100;
  }
  void TearDown() override {
    resetQcaBinding();
    ChipsetTest::TearDown();
  }

  static void send(unsigned short type, const std::string& text, HANDLE handle = kHandle) {
    QLIB_TextLogRecord record{};
    record.type = type;
    record.length = static_cast<unsigned>(text.size());
    std::snprintf(record.text, sizeof record.text, "%s", text.c_str());
    qca9x07TextLogCallBack(nullptr, &record, handle);
  }
  static void text(const std::string& t) { send(QLIB_TEXT_LOG_TYPE_TEXT, t); }
  static void note(const std::string& t) { send(QLIB_TEXT_LOG_TYPE_TRANSFER, t); }
};

TEST_F(Qca9x07TextLogTest, DownloadingTextsShowTheFileAndMarkThePartitionDownload) {
  text("Downloading /fw/9x07/sbl1.mbn");
  text("Downloading /fw/NON-HLOS.v2.mbn");
  EXPECT_EQ(surface_.messages(), (std::vector<std::string>{"Downloading sbl1.mbn...",
                                                           "Downloading NON-HLOS.v2.mbn..."}));
  EXPECT_TRUE(qca9x07PartitionSeen(1));
  clearQca9x07PartitionSeen(1);
  EXPECT_FALSE(qca9x07PartitionSeen(1));
}

TEST_F(Qca9x07TextLogTest, DownloadingTextWithoutAFolderMarksButShowsNothing) {
  text("Downloading sbl1.mbn");
  EXPECT_TRUE(surface_.messages().empty());
  EXPECT_TRUE(qca9x07PartitionSeen(1));
}

TEST_F(Qca9x07TextLogTest, SessionTextsAreIgnoredAndOthersShownAsTheyAre) {
  text("Opening partition 0:SBL at address 0x00000000");
  text("Streaming download session start");
  text("Download start");
  text("Downloading /fw/boot.img");
  text("Closing partition 0:SBL");
  EXPECT_EQ(surface_.messages(),
            (std::vector<std::string>{"Downloading /fw/boot.img", "Closing partition 0:SBL"}));
  EXPECT_FALSE(qca9x07PartitionSeen(1)) << "an image without mbn is no partition download";
}

TEST_F(Qca9x07TextLogTest, HelloStartsTheProgressAgainAndIsShown) {
  for (int i = 0; i < 10; ++i) note("SEND_ASYNC(4096)");
  EXPECT_NEAR(qca9x07CurrentProgress(), 0.1, 1e-9);
  text("Sending HELLO to flash programmer");
  EXPECT_EQ(qca9x07CurrentProgress(), 0.0);
  EXPECT_EQ(surface_.progress(), std::vector<double>{0.0});
  EXPECT_TRUE(surface_.showed("Sending HELLO to flash programmer"));
}

TEST_F(Qca9x07TextLogTest, TransferNotesPostProgressEveryFiftyFirstNote) {
  for (int i = 0; i < 50; ++i) note("SEND_ASYNC(4096)");
  EXPECT_TRUE(surface_.progress().empty());
  note("SEND_ASYNC(4096)");
  ASSERT_EQ(surface_.progress().size(), 1u);
  EXPECT_DOUBLE_EQ(surface_.progress()[0], 51.0);
  for (int i = 0; i < 50; ++i) note("SEND_ASYNC(4096)");
  EXPECT_EQ(surface_.progress().size(), 1u);
  note("SEND_ASYNC(4096)");
  EXPECT_EQ(surface_.progress().size(), 2u);
  EXPECT_NEAR(qca9x07CurrentProgress(), 1.02, 1e-9);
}

TEST_F(Qca9x07TextLogTest, OnlyFourDigitsOfTheByteCountAreRead) {
  note("SEND_ASYNC(409600)");
  EXPECT_NEAR(qca9x07CurrentProgress(), 4096.0 / (4096 * 100), 1e-12);
  note("SEND_ASYNC(x)");
  note("SEND_ASYNC 4096");
  note("RECEIVED(4096)");
  EXPECT_NEAR(qca9x07CurrentProgress(), 4096.0 / (4096 * 100), 1e-12);
}

TEST_F(Qca9x07TextLogTest, NotesWithoutADownloadTotalChangeNothing) {
  qca9x07Firmware().downloadTotal = 0;
  note("SEND_ASYNC(4096)");
  EXPECT_EQ(qca9x07CurrentProgress(), 0.0);
}

TEST_F(Qca9x07TextLogTest, RecordsOfUnknownConnectionsOrTypesAreDropped) {
  send(QLIB_TEXT_LOG_TYPE_TEXT, "Downloading /fw/sbl1.mbn", reinterpret_cast<HANDLE>(0x99));
  send(QLIB_TEXT_LOG_TYPE_TEXT, "Downloading /fw/sbl1.mbn", nullptr);
  send(5, "Downloading /fw/sbl1.mbn");
  qca9x07TextLogCallBack(nullptr, nullptr, kHandle);
  qca9x07SaharaLogCallBack(reinterpret_cast<HANDLE>(0x99), "hello");
  qca9x07SaharaLogCallBack(kHandle, nullptr);
  EXPECT_TRUE(surface_.messages().empty());
  EXPECT_FALSE(qca9x07PartitionSeen(1));
}

TEST_F(Qca9x07TextLogTest, UnterminatedRecordTextIsReadToTheRecordsEnd) {
  QLIB_TextLogRecord record{};
  record.type = QLIB_TEXT_LOG_TYPE_TEXT;
  std::memset(record.text, 'a', sizeof record.text);
  qca9x07TextLogCallBack(nullptr, &record, kHandle);
  ASSERT_EQ(surface_.messages().size(), 1u);
  EXPECT_EQ(surface_.messages()[0], std::string(sizeof record.text, 'a'));
}

}  // namespace
