#include "platform/qcn_backup.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "diag_test_support.h"
#include "fake_library.h"
#include "host/device_directory.h"
#include "host/station_options.h"
#include "platform/platform_settings.h"
#include "platform/qca_library.h"
#include "platform/slot_record.h"
#include "support/pty_peer.h"

namespace {

using test_support::PtyPeer;

namespace fs = std::filesystem;

constexpr int kDiagCom = 5;
constexpr int kAtCom = 9;
constexpr char kImei[] = "861234567890123";

const std::map<uint16_t, std::string> kCalibration = {
    {550, "00a1b2c3"}, {1943, "ffee"}, {4678, "0000000000000000000001"}};

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// Backups and restores against the fake library; the module's AT port answers the IMEI query.
class QcnTest : public diag_test::ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    diag_test::resetServiceSettings();
    installFakeLibrary();
    fakeModule().nvItems = kCalibration;
    folder_ = dir_ / "qcn";
    fs::create_directories(folder_);
    qcnFilePath = folder_.string();
    qcnFileLowLimit = 0;
    qcnFileHighLimit = 1000;
    gThreadData[0].diaport = kDiagCom;
    gThreadData[0].present = 1;
    host::installDeviceDirectory(&directory_);
    request_.slot = 1;
    request_.diaport = kDiagCom;
    request_.atport = kAtCom;
    plugModuleReporting(kImei);
  }
  void TearDown() override {
    host::installDeviceDirectory(nullptr);
    peer_.reset();
    resetQcaBinding();
    ServiceTest::TearDown();
  }

  void plugModuleReporting(const std::string& imei) {
    directory_.clear();
    peer_ = std::make_unique<PtyPeer>([imei](const std::string& command) -> std::string {
      if (command == "AT+SIMEI?") return "\r\n+SIMEI: " + imei + "\r\n\r\nOK\r\n";
      return "\r\nOK\r\n";
    });
    directory_.addSerialPort("Module AT Port (COM9)", peer_->ttyPath(), 0, false);
  }

  DownloadRequest restoreRequest() const {
    DownloadRequest request = request_;
    std::strcpy(request.imei, kImei);
    return request;
  }

  fs::path backupFile(const char* extension) const {
    return folder_ / (std::string(kImei) + "." + extension);
  }
  // Files moved aside in the backup folder.
  std::vector<fs::path> setAside() const {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      if (entry.path().extension() == ".bak") found.push_back(entry.path());
    }
    return found;
  }

  host::ScriptedDeviceDirectory directory_;
  std::unique_ptr<PtyPeer> peer_;
  DownloadRequest request_{};
  fs::path folder_;
};

// ---- A backup followed by a restore brings the calibration back ----

struct RoundTrip {
  int backupOp;
  int restoreOp;
  int qphonems;
  const char* extension;
};
void PrintTo(const RoundTrip& mode, std::ostream* out) {
  *out << mode.extension << (mode.qphonems ? " without server" : " through server");
}

class QcnRoundTripTest : public QcnTest, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(QcnRoundTripTest, RestoreWritesBackTheItemsThatWereSaved) {
  const RoundTrip& mode = GetParam();
  ASSERT_EQ(backupQcn(request_, mode.backupOp, mode.qphonems), 0);
  EXPECT_TRUE(surface_.showed("qcn backup success!"));
  EXPECT_EQ(readFile(backupFile(mode.extension)), serializeItems(kCalibration));
  EXPECT_STREQ(gThreadData[0].imei, kImei);
  EXPECT_FALSE(IsQpstOpration()) << "the QCN connection is released";

  fakeModule().nvItems.clear();  // the download wipes the module
  ASSERT_EQ(backupQcn(restoreRequest(), mode.restoreOp, mode.qphonems), 0);
  EXPECT_TRUE(surface_.showed("qcn recover success!"));
  EXPECT_EQ(fakeModule().nvItems, kCalibration);
  EXPECT_FALSE(IsQpstOpration());
  for (bool busy : fakeModule().qpstBusyDuringTransfer) {
    EXPECT_TRUE(busy) << "other slots see the QCN work while a file transfer runs";
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, QcnRoundTripTest,
                         ::testing::Values(RoundTrip{kBackupXqcn, kRestoreXqcn, 1, "xqcn"},
                                           RoundTrip{kBackupQcn, kRestoreQcn, 1, "qcn"},
                                           RoundTrip{kBackupXqcn, kRestoreXqcn, 0, "xqcn"},
                                           RoundTrip{kBackupQcn, kRestoreQcn, 0, "qcn"}),
                         [](const auto& info) {
                           return std::string(info.param.extension) +
                                  (info.param.qphonems ? "_without_server" : "_through_server");
                         });

// ---- Existing backups and the size limits: nothing is ever lost ----

TEST_F(QcnTest, PlausibleExistingBackupIsReusedWithoutConnecting) {
  qcnFileLowLimit = 100;
  writeFile(backupFile("qcn"), std::string(500 * 1024, 'c'));
  EXPECT_EQ(backupQcn(request_, kBackupQcn, 1), 0);
  EXPECT_TRUE(surface_.showed("861234567890123.qcn exists, skip backup qcn file."));
  EXPECT_EQ(fakeModule().count("Connect(5)"), 0u);
  EXPECT_EQ(fs::file_size(backupFile("qcn")), 500u * 1024);
}

TEST_F(QcnTest, ImplausibleExistingBackupIsMovedAsideThenMadeAgain) {
  qcnFileLowLimit = 600;
  const std::string old(500 * 1024, 'o');
  writeFile(backupFile("xqcn"), old);
  fakeModule().backupFileSize = 700 * 1024;
  EXPECT_EQ(backupQcn(request_, kBackupXqcn, 1), 0);
  EXPECT_EQ(fs::file_size(backupFile("xqcn")), 700u * 1024);
  const auto aside = setAside();
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(readFile(aside[0]), old);
  EXPECT_TRUE(aside[0].filename().string().starts_with("861234567890123.xqcn."));
}

TEST_F(QcnTest, BackupOfExactlyTheHighLimitPasses) {
  qcnFileHighLimit = 1;
  fakeModule().backupFileSize = 1024;
  EXPECT_EQ(backupQcn(request_, kBackupXqcn, 1), 0);
  EXPECT_EQ(fakeModule().count("Connect(5)"), 1u);
  EXPECT_TRUE(setAside().empty());
}

TEST_F(QcnTest, BackupOneByteOverTheLimitIsRetriedAndEveryCopyKept) {
  qcnFileHighLimit = 1;
  fakeModule().backupFileSize = 1025;
  EXPECT_EQ(backupQcn(request_, kBackupXqcn, 1), -1);
  EXPECT_EQ(surface_.count(
                "qcnFile size 1 K,is not in (0 K-1 K),retry backuping 861234567890123.xqcn..."),
            3u);
  EXPECT_TRUE(surface_.showed("qcn backup failed, Please change 1 DUT and repower."));
  EXPECT_FALSE(fs::exists(backupFile("xqcn")));
  const auto aside = setAside();
  ASSERT_EQ(aside.size(), 3u) << "three copies in the same second keep three names";
  for (const auto& path : aside) EXPECT_EQ(fs::file_size(path), 1025u);
  EXPECT_FALSE(IsQpstOpration());
}

TEST_F(QcnTest, SuccessWithoutAFileIsAFailedBackup) {
  fakeModule().successWithoutFile = true;
  EXPECT_EQ(backupQcn(request_, kBackupXqcn, 0), -1);
  EXPECT_TRUE(surface_.showed("qcn backup failed, Please change 1 DUT and repower."));
}

TEST_F(QcnTest, HalfWrittenBackupIsNeverReusedLater) {
  fakeModule().backupFailures = 3;
  EXPECT_EQ(backupQcn(request_, kBackupQcn, 1), -1);
  EXPECT_EQ(surface_.count("qcn backup failed, retry backuping 861234567890123.qcn...."), 3u);
  EXPECT_FALSE(fs::exists(backupFile("qcn")));
  EXPECT_EQ(setAside().size(), 3u);

  // The next try (after the operator repowered the module) makes a real backup.
  EXPECT_EQ(backupQcn(request_, kBackupQcn, 1), 0);
  EXPECT_EQ(readFile(backupFile("qcn")), serializeItems(kCalibration));
}

TEST_F(QcnTest, ImeiThatWouldLeaveTheFolderIsRefused) {
  plugModuleReporting("86/../../../tmp");
  EXPECT_EQ(backupQcn(request_, kBackupQcn, 1), -1);
  EXPECT_TRUE(
      surface_.showed("QCN file name \"86/../../../tmp\" refused: it must name a file "
                      "inside " +
                      folder_.string() + "."));
  EXPECT_EQ(fakeModule().count("Connect(5)"), 0u);
  EXPECT_TRUE(fs::is_empty(folder_));

  DownloadRequest request = request_;
  std::strcpy(request.imei, "../outside");
  EXPECT_EQ(backupQcn(request, kRestoreXqcn, 1), -1);
  EXPECT_EQ(fakeModule().count("Connect(5)"), 0u);
}

// ---- Connection, phone and preparation failures ----

TEST_F(QcnTest, ConnectFailingThreeTimesEndsWithoutMoreAttempts) {
  fakeModule().connectFailures = 3;
  EXPECT_EQ(backupQcn(request_, kBackupXqcn, 1), -1);
  EXPECT_EQ(fakeModule().count("Connect(5)"), 3u);
  EXPECT_TRUE(surface_.showed("ConnectServer failed2, Please repower 1 DUT."));
  EXPECT_FALSE(surface_.showed("qcn backup failed, Please change 1 DUT and repower."));
}

TEST_F(QcnTest, PhoneThatNeverAnswersEndsTheCall) {
  fakeModule().silentPolls = -1;
  EXPECT_EQ(backupQcn(restoreRequest(), kRestoreXqcn, 1), -1);
  EXPECT_EQ(fakeModule().count("Connect(5)"), 1u);
  EXPECT_TRUE(surface_.showed("ConnectServer failed1, Please repower 1 DUT."));
  EXPECT_FALSE(IsQpstOpration());
}

TEST_F(QcnTest, RejectedCodeIsLoggedAndTheBackupGoesOn) {
  fakeModule().spcAccepted = false;
  EXPECT_EQ(backupQcn(request_, kBackupXqcn, 1), 0);
  EXPECT_TRUE(surface_.showed("Command Status: FAIL"));
  EXPECT_TRUE(surface_.showed("send default SPC failed,retry backuping 861234567890123.xqcn..."));
  EXPECT_EQ(fakeModule().count("SPC(271828)"), 1u);
}

TEST_F(QcnTest, MultiSimFailureStartsTheNextAttempt) {
  fakeModule().multiSimFailures = 1;
  EXPECT_EQ(backupQcn(request_, kBackupXqcn, 1), 0);
  EXPECT_EQ(fakeModule().count("Connect(5)"), 2u);
  EXPECT_TRUE(surface_.showed(
      "QLIB_NV_SetTargetSupportMultiSIM failed,retry backuping 861234567890123.xqcn..."));
}

// ---- Restore in factory test mode ----

TEST_F(QcnTest, RestorePutsTheModuleInFtmModeAndTakesItOutAgain) {
  writeFile(backupFile("xqcn"), serializeItems(kCalibration));
  fakeModule().nvItems.clear();
  EXPECT_EQ(backupQcn(restoreRequest(), kRestoreXqcn, 1), 0);
  EXPECT_EQ(fakeModule().nvItems, kCalibration);
  EXPECT_EQ(fakeModule().ftmMode, 0);
  EXPECT_EQ(fakeModule().count("FtmWrite(1)"), 1u);
  EXPECT_EQ(fakeModule().count("FtmWrite(0)"), 1u);
  EXPECT_TRUE(surface_.showed("NV READ FTM MODE = 1: PASS"));
  EXPECT_TRUE(surface_.showed("QLIB_NV_WriteNVsToMobile 3 item..."));
}

TEST_F(QcnTest, RestoreWhoseFtmModeStaysOnStillSucceeds) {
  writeFile(backupFile("xqcn"), serializeItems(kCalibration));
  fakeModule().ftmStuckOn = true;
  EXPECT_EQ(backupQcn(restoreRequest(), kRestoreXqcn, 1), 0);
  EXPECT_EQ(fakeModule().count("FtmWrite(0)"), 4u);
  EXPECT_EQ(peer_->commands(), std::vector<std::string>(4, "AT+CFUN=1"));
  EXPECT_TRUE(surface_.showed("qcn recover success!"));
}

TEST_F(QcnTest, RestoreThatNeverLoadsUsesThreeAttemptsAndSaysResotre) {
  writeFile(backupFile("xqcn"), serializeItems(kCalibration));
  fakeModule().loadFailures = 3;
  EXPECT_EQ(backupQcn(restoreRequest(), kRestoreXqcn, 1), -1);
  EXPECT_EQ(surface_.count("Failed QLIB_NV_LoadNVsFromQCN, ResultCode = 7\n"), 3u);
  EXPECT_TRUE(surface_.showed("qcn restore failed, Please repower 1 DUT to continue resotre."));
  EXPECT_FALSE(IsQpstOpration());
}

TEST_F(QcnTest, PortThatNeverReturnsAfterTheResetEndsTheRestore) {
  writeFile(backupFile("xqcn"), serializeItems(kCalibration));
  gThreadData[0].present = 0;
  EXPECT_EQ(backupQcn(restoreRequest(), kRestoreXqcn, 1), -1);
  EXPECT_TRUE(surface_.showed("DUT port did not come back after reset, Please repower 1 DUT."));
  EXPECT_EQ(fakeModule().count("Connect(5)"), 1u);
  EXPECT_FALSE(IsQpstOpration());
}

TEST_F(QcnTest, StopEndsTheCallBeforeConnecting) {
  writeFile(backupFile("xqcn"), serializeItems(kCalibration));
  host::requestStop();
  EXPECT_EQ(backupQcn(restoreRequest(), kRestoreXqcn, 1), -1);
  EXPECT_EQ(backupQcn(request_, kBackupXqcn, 1), -1);
  EXPECT_EQ(fakeModule().count("Connect(5)"), 0u);
}

// ---- Library callbacks ----

TEST_F(QcnTest, CallbacksReportOnlyForKnownHandles) {
  HANDLE known = reinterpret_cast<HANDLE>(0x4242);
  handeIndexMap[0] = known;
  QLIB_DownloadEvent event{};
  event.type = QLIB_DOWNLOAD_EVENT_PROGRESS;
  event.handle = 0x4242;
  event.words[3] = 42;
  EXPECT_EQ(generalDownloadEventCallBack(&event), 1);
  event.type = QLIB_DOWNLOAD_EVENT_END;
  generalDownloadEventCallBack(&event);
  event.type = QLIB_DOWNLOAD_EVENT_START;
  event.handle = 0x999;
  generalDownloadEventCallBack(&event);
  EXPECT_EQ(surface_.progress(), std::vector<double>{42.0});

  QLIB_AsyncTextMessage message{};
  message.marker = QLIB_ASYNC_TEXT_MARKER;
  message.tag = QLIB_ASYNC_TEXT_TAG;
  message.logType = 5;
  std::strcpy(message.text, "NV item 550 written");
  asyncMessageCallBack(nullptr, &message, known);
  asyncMessageCallBack(nullptr, &message, reinterpret_cast<HANDLE>(0x999));
  message.tag = 0;
  asyncMessageCallBack(nullptr, &message, known);
  EXPECT_EQ(surface_.messages(),
            std::vector<std::string>{"Log Type: 5,Log Text: NV item 550 written"});
}

}  // namespace
