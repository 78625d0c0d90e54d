// Runs on the bench recorded in the station's own SQLite file: a passing and a failing road
// each leave one correct record, with the digests of the very files that went in; a station
// killed mid-run keeps its finished run in the spool and delivers it at its next start.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "records/spool.h"
#include "sim/bench/sha256.h"
#include "station_site.h"

namespace records_test {
namespace {

using ::testing::HasSubstr;

bool isFinalStatus(const json& e) {
  return e["event"] == "status" && e["value"].get<int>() <= 0;
}

std::string sha256Of(const fs::path& path) {
  std::string sha;
  uint64_t size = 0;
  return sim::sha256OfFile(path.string(), sha, size) ? sha : "";
}

TEST(RecordsRoadTest, APassingRunIsOneRecordWithTheDigestsOfItsFiles) {
  ASSERT_TRUE(road_test::kRoadEnvironment);
  StationSite site("pass", "", "bench-line-1");
  ASSERT_EQ(site.error(), "");
  const std::string id = site.plug();
  const std::string imei = site.moduleState(id)["imei"];
  ASSERT_TRUE(site.start());
  ASSERT_TRUE(site.station().waitFor(isFinalStatus));
  ASSERT_EQ(site.station().lastStatus(), 0);
  ASSERT_TRUE(site.quit());

  const auto runs = waitForRuns(records::sqliteConnection((site.dir() / "records.db").string()), 1);
  ASSERT_EQ(runs.size(), 1u);
  const records::RunRecord& r = runs[0].record;
  EXPECT_EQ(r.station, "bench-line-1");
  EXPECT_EQ(r.dut, 1);
  EXPECT_EQ(r.imei, imei);
  EXPECT_EQ(r.platform, "Qca9x07");
  EXPECT_EQ(r.firmwareFolder, site.firmware().string());
  EXPECT_TRUE(r.backupQcn);
  EXPECT_FALSE(r.onlyAp || r.onlyQcn);
  EXPECT_EQ(r.result, "pass");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.message, "Update Success!");
  EXPECT_EQ(r.failedStage, "");
  EXPECT_TRUE(r.cpMs && r.apMs && r.tpMs) << "CP, AP and the restore all ran";
  EXPECT_LE(r.startTime, r.endTime);
  EXPECT_EQ(r.dutLog, (site.dir() / "Dut1.log").string());
  EXPECT_EQ(r.qcnFile, (site.firmware() / (imei + ".xqcn")).string());
  EXPECT_EQ(r.qcnSha256, sha256Of(r.qcnFile));

  ASSERT_GE(r.images.size(), 10u);
  std::set<std::string> names;
  for (const records::ImageDigest& image : r.images) {
    names.insert(fs::path(image.path).filename());
    EXPECT_EQ(image.sha256, sha256Of(image.path)) << image.path;
    EXPECT_EQ(image.size, fs::file_size(image.path)) << image.path;
  }
  for (const char* name : {"sbl1.mbn", "tz.mbn", "appsboot.mbn", "boot.img", "system.img"}) {
    EXPECT_TRUE(names.count(name)) << name;
  }
  EXPECT_TRUE(fs::exists(site.dir() / records::kSpoolFileName));
  EXPECT_TRUE(records::Spool((site.dir() / records::kSpoolFileName).string()).pending().empty());
}

TEST(RecordsRoadTest, AFailingRunIsOneRecordNamingTheStageAndItsMessage) {
  ASSERT_TRUE(road_test::kRoadEnvironment);
  StationSite site("fail", "", "", false);
  ASSERT_EQ(site.error(), "");
  site.plug({"fastboot-fail:system"});
  ASSERT_TRUE(site.start());
  ASSERT_TRUE(site.station().waitForMessage("AP Download Failed."));
  ASSERT_TRUE(site.station().waitFor(isFinalStatus));
  ASSERT_TRUE(site.quit());

  const auto runs = waitForRuns(records::sqliteConnection((site.dir() / "records.db").string()), 1);
  ASSERT_EQ(runs.size(), 1u);
  const records::RunRecord& r = runs[0].record;
  EXPECT_EQ(r.result, "fail");
  EXPECT_LT(r.status, 0);
  EXPECT_EQ(r.failedStage, "AP");
  EXPECT_THAT(r.failureMessage, HasSubstr("AP Download Failed."));
  EXPECT_FALSE(r.backupQcn);
  EXPECT_FALSE(r.tpMs);
  char host[256] = {};
  ::gethostname(host, sizeof host - 1);
  EXPECT_EQ(r.station, host) << "the host name when cfg.ini names no station";
}

TEST(RecordsRoadTest, AKilledStationDeliversItsSpooledRunAtTheNextStart) {
  ASSERT_TRUE(road_test::kRoadEnvironment);
  // The database's folder is not there yet: every finished run waits in the spool.
  StationSite site("killed", "", "");
  ASSERT_EQ(site.error(), "");
  const fs::path databaseFile = site.dir() / "line" / "records.db";
  const std::string connection = records::sqliteConnection(databaseFile.string());
  {
    IniDocumentPtr cfg(Ini_New(0));
    Ini_ReadFromFile(cfg.get(), (site.dir() / "cfg.ini").c_str());
    Ini_PutString(cfg.get(), "Record", "Database", connection.c_str());
    Ini_WriteToFile(cfg.get(), (site.dir() / "cfg.ini").c_str());
  }
  ASSERT_TRUE(site.start());
  ASSERT_EQ(site.runModules(1).size(), 1u);
  // The next module is in the middle of its run when the station dies.
  const size_t mark = site.station().eventCount();
  const std::string second = site.plug();
  ASSERT_TRUE(site.station().waitForAfter(mark, [](const json& e) {
    return e["event"] == "message" && e["text"] == "CP Download Success!";
  }));
  site.station().kill();
  site.unplug(second);  // the next start finds no module to go on with

  const auto spooled = records::Spool((site.dir() / records::kSpoolFileName).string()).pending();
  ASSERT_EQ(spooled.size(), 1u) << "the finished run, and only it";
  EXPECT_EQ(spooled[0].result, "pass");

  fs::create_directories(databaseFile.parent_path());
  ASSERT_TRUE(site.start());
  const auto runs = waitForRuns(connection, 1);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].record.uid, spooled[0].uid);
  ASSERT_TRUE(site.quit());
  EXPECT_EQ(waitForRuns(connection, 1).size(), 1u) << "delivered once";
  EXPECT_TRUE(records::Spool((site.dir() / records::kSpoolFileName).string()).pending().empty());
}

}  // namespace
}  // namespace records_test
