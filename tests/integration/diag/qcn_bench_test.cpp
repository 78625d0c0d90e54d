// QCN backup and restore, and the AT services, against modules of the virtual bench through the
// simulated diagnostic library loaded the way the station loads it.

#include <gtest/gtest.h>

#include <ostream>

#include <cstring>
#include <filesystem>

#include "bench_fixture.h"
#include "host/station_options.h"
#include "platform/platform.h"
#include "platform/platform_settings.h"
#include "platform/qca_library.h"
#include "platform/qcn_backup.h"

namespace {

namespace fs = std::filesystem;

constexpr char kImei[] = "868686000012344";

class QcnBenchTest : public diag_bench::BenchTest {
 protected:
  void SetUp() override {
    BenchTest::SetUp();
    diag_test::resetServiceSettings();
    folder_ = dir_ / "firmware";
    fs::create_directories(folder_);
    qcnFilePath = folder_.string();
    qcnFileLowLimit = 0;
    qcnFileHighLimit = 1000;
    installPlatformRows(diag_test::procedurelessRows);
    platform_dispose();
    ASSERT_NE(platfrom_create_instance(kQca9x07), nullptr);
    ASSERT_EQ(qca_load_lib(0), 0) << "the simulated library must be beside the test program";
  }
  void TearDown() override {
    qca_unload_lib();
    resetQcaBinding();
    platform_dispose();
    installPlatformRows(nullptr);
    BenchTest::TearDown();
  }

  DownloadRequest slotRequest() const {
    DownloadRequest request{};
    request.slot = 1;
    request.diaport = diaport_;
    request.atport = atport_;
    return request;
  }
  DownloadRequest restoreRequest() const {
    DownloadRequest request = slotRequest();
    std::strcpy(request.imei, kImei);
    return request;
  }
  fs::path backupFile(const char* extension) const {
    return folder_ / (std::string(kImei) + "." + extension);
  }
  size_t filesSetAside() const {
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      count += entry.path().extension() == ".bak";
    }
    return count;
  }
  std::string nvDigest() { return moduleState().value("nvSha256", ""); }

  // Changes one calibration item behind the station's back, as a download that wipes the
  // module's EFS would.
  void disturbCalibration() {
    const nlohmann::json reply =
        request({{"cmd", "nv-write"}, {"com", diaport_}, {"item", 550}, {"data", {1, 2, 3, 4}}});
    ASSERT_TRUE(host::benchReplyOk(reply)) << reply.dump();
  }

  fs::path folder_;
};

struct Mode {
  int backupOp;
  int restoreOp;
  int qphonems;
  const char* extension;
};
void PrintTo(const Mode& mode, std::ostream* out) {
  *out << mode.extension << (mode.qphonems ? " without server" : " through server");
}

class QcnBenchRoundTrip : public QcnBenchTest, public ::testing::WithParamInterface<Mode> {};

TEST_P(QcnBenchRoundTrip, RestoreBringsTheModulesItemsBackByteForByte) {
  const Mode& mode = GetParam();
  plugModule("Qca9x07", kImei);
  const std::string calibrated = nvDigest();
  ASSERT_FALSE(calibrated.empty());

  ASSERT_EQ(backupQcn(slotRequest(), mode.backupOp, mode.qphonems), 0);
  EXPECT_TRUE(fs::exists(backupFile(mode.extension)));
  EXPECT_STREQ(gThreadData[0].imei, kImei);
  EXPECT_FALSE(IsQpstOpration());

  disturbCalibration();
  ASSERT_NE(nvDigest(), calibrated);

  ASSERT_EQ(backupQcn(restoreRequest(), mode.restoreOp, mode.qphonems), 0);
  EXPECT_TRUE(surface_.showed("qcn recover success!"));
  EXPECT_EQ(nvDigest(), calibrated);
  EXPECT_FALSE(IsQpstOpration());
}

INSTANTIATE_TEST_SUITE_P(Modes, QcnBenchRoundTrip,
                         ::testing::Values(Mode{kBackupXqcn, kRestoreXqcn, 1, "xqcn"},
                                           Mode{kBackupQcn, kRestoreQcn, 0, "qcn"}),
                         [](const auto& info) {
                           return std::string(info.param.extension) +
                                  (info.param.qphonems ? "_without_server" : "_through_server");
                         });

TEST_F(QcnBenchTest, BackupOfExactlyTheHighLimitIsKept) {
  qcnFileHighLimit = 64;
  plugModule("Qca9x07", kImei, {"qcn-size:65536"});
  ASSERT_EQ(backupQcn(slotRequest(), kBackupXqcn, 1), 0);
  EXPECT_EQ(fs::file_size(backupFile("xqcn")), 65536u);

  // A second backup reuses it without touching the module.
  surface_.clear();
  ASSERT_EQ(backupQcn(slotRequest(), kBackupXqcn, 1), 0);
  EXPECT_TRUE(surface_.showed("868686000012344.xqcn exists, skip backup xqcn file."));
  EXPECT_EQ(filesSetAside(), 0u);
}

TEST_F(QcnBenchTest, BackupOneByteOverTheLimitFailsAndKeepsEveryCopy) {
  qcnFileHighLimit = 64;
  plugModule("Qca9x07", kImei, {"qcn-size:65537"});
  EXPECT_EQ(backupQcn(slotRequest(), kBackupXqcn, 1), -1);
  EXPECT_TRUE(surface_.showed("qcn backup failed, Please change 1 DUT and repower."));
  EXPECT_FALSE(fs::exists(backupFile("xqcn")));
  EXPECT_EQ(filesSetAside(), 3u);
}

// ---- AT services on the module's AT port ----

TEST_F(QcnBenchTest, SilentAtPortFailsTheBackupBeforeTheLibraryIsUsed) {
  plugModule("Qca9x07", kImei, {"at-silent"});
  EXPECT_EQ(backupQcn(slotRequest(), kBackupXqcn, 1), -1);
  EXPECT_TRUE(surface_.showed("Read IMEI failed"));
  EXPECT_TRUE(surface_.showed("ReadImeiAndMeid failed!"));
  EXPECT_TRUE(fs::is_empty(folder_));
}

}  // namespace
