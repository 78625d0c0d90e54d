// The records' database on every backend the suite is instantiated for: the schema the
// station makes and moves forward, delivery that never stores a run twice, texts that would
// break a statement, and the searches of zendral-tool records.

#include "records/record_database.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "record_samples.h"
#include "records/record_filter.h"
#include "records/schema.h"

namespace records_test {
namespace {

using records::RecordDatabase;
using records::RecordFilter;
using records::RunRecord;
using ::testing::ElementsAre;

std::vector<std::string> imeisOf(const std::vector<records::StoredRun>& runs) {
  std::vector<std::string> imeis;
  for (const auto& run : runs) imeis.push_back(run.record.imei);
  return imeis;
}

TEST_P(RecordDatabaseTest, TheSchemaIsVersionedAndMigratingAgainChangesNothing) {
  EXPECT_EQ(records::schemaVersion(db_->tobrin()), records::kSchemaVersion);
  EXPECT_THAT(query("SELECT version FROM schema_version ORDER BY version"),
              ElementsAre(ElementsAre("1"), ElementsAre("2")));
  // A second station on the same database finds it current.
  RecordDatabase second(connection_);
  EXPECT_EQ(second.migrate(), records::kSchemaVersion);
  EXPECT_EQ(query("SELECT COUNT(*) FROM schema_version")[0][0], "2");
}

TEST_P(RecordDatabaseTest, AnOlderSchemaIsMovedForwardAndANewerOneIsLeftAlone) {
  // Back to version 1: the search indexes and their version row go.
  db_->tobrin().ExecuteStatement("DROP INDEX runs_imei");
  db_->tobrin().ExecuteStatement("DROP INDEX runs_start_time");
  db_->tobrin().ExecuteStatement("DELETE FROM schema_version WHERE version = 2");
  ASSERT_EQ(records::schemaVersion(db_->tobrin()), 1);
  db_->deliver(sampleRun("861234567890123"));
  EXPECT_EQ(db_->migrate(), 2);
  EXPECT_EQ(db_->find({}).size(), 1u) << "the runs stay";

  db_->tobrin().ExecuteStatement(
      "INSERT INTO schema_version (version, applied_at) VALUES (7, 'later')");
  EXPECT_EQ(db_->migrate(), 7);
  db_->deliver(sampleRun("861234567890124"));
  EXPECT_EQ(db_->find({}).size(), 2u);
}

TEST_P(RecordDatabaseTest, ARunReadsBackAsItWasDeliveredAndTwiceIsStillOnce) {
  RunRecord run = sampleRun("861234567890123", "fail");
  run.tpMs.reset();
  run.message = "it's \"quoted\"; DROP TABLE runs; -- \\ end";
  run.failureMessage = std::string("bad \xff byte and a \0 NUL", 22);
  db_->deliver(run);
  db_->deliver(run);  // the answer of the first delivery was lost
  const auto runs = db_->find({}, true);
  ASSERT_EQ(runs.size(), 1u);
  RunRecord expected = run;
  expected.failureMessage = "bad ? byte and a  NUL";
  EXPECT_EQ(runs[0].record, expected);
  EXPECT_EQ(query("SELECT COUNT(*) FROM run_images")[0][0], "2");
  EXPECT_EQ(db_->countUid(run.uid), 1);
  const auto byId = db_->findById(runs[0].id);
  ASSERT_TRUE(byId);
  EXPECT_EQ(byId->record, expected);
  EXPECT_FALSE(db_->findById(runs[0].id + 1000));
}

TEST_P(RecordDatabaseTest, ADeliveryCutAfterItsImagesIsFinishedByTheNext) {
  RunRecord run = sampleRun("861234567890123");
  RunRecord imagesOnly = run;
  db_->deliver(run);
  db_->tobrin().ExecuteStatement("DELETE FROM runs");
  db_->tobrin().ExecuteStatement("DELETE FROM run_images WHERE position = 1");
  db_->deliver(run);
  const auto runs = db_->find({}, true);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].record.images, run.images);
}

TEST_P(RecordDatabaseTest, SearchesTakeTheRunsOfTheirFilterInArrivalOrder) {
  RunRecord early = sampleRun("111111111111111");
  early.startTime = "2026-12-07 23:59:59.999";
  RunRecord failed = sampleRun("222222222222222", "fail");
  failed.startTime = "2026-12-08 00:00:00.000";
  failed.station = "line-b-2";
  RunRecord later = sampleRun("111111111111111");
  later.startTime = "2026-12-09 08:30:00.000";
  for (const RunRecord& run : {early, failed, later}) db_->deliver(run);

  EXPECT_THAT(imeisOf(db_->find({})),
              ElementsAre("111111111111111", "222222222222222", "111111111111111"));
  RecordFilter byImei;
  byImei.imei = "111111111111111";
  EXPECT_EQ(db_->find(byImei).size(), 2u);
  RecordFilter oneDay;
  oneDay.since = *records::boundTime("2026-12-08", false);
  oneDay.until = *records::boundTime("2026-12-08", true);
  EXPECT_THAT(imeisOf(db_->find(oneDay)), ElementsAre("222222222222222"));
  RecordFilter fromMorning;
  fromMorning.since = *records::boundTime("2026-12-09 08:30", false);
  EXPECT_EQ(db_->find(fromMorning).size(), 1u);
  RecordFilter fails;
  fails.result = "fail";
  EXPECT_THAT(imeisOf(db_->find(fails)), ElementsAre("222222222222222"));
  RecordFilter station;
  station.station = "line-a-1";
  station.result = "pass";
  EXPECT_EQ(db_->find(station).size(), 2u);
  RecordFilter hostile;
  hostile.imei = "' OR '1'='1";
  EXPECT_TRUE(db_->find(hostile).empty());
}

TEST_P(RecordDatabaseTest, TheIndexesCoverModuleAndTime) {
  const std::string sql =
      db_->dialect() == records::Dialect::Sqlite
          ? "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'runs' AND "
            "name LIKE 'runs_%' ORDER BY name"
          : "SELECT indexname FROM pg_indexes WHERE tablename = 'runs' AND indexname LIKE "
            "'runs_%' AND indexname NOT LIKE '%pkey' AND indexname NOT LIKE '%key' ORDER BY "
            "indexname";
  EXPECT_THAT(query(sql), ElementsAre(ElementsAre("runs_imei"), ElementsAre("runs_start_time")));
}

TEST_P(RecordDatabaseTest, ASqliteFileKeepsASmallPageCache) {
  if (db_->dialect() != records::Dialect::Sqlite) GTEST_SKIP() << "only SQLite keeps one";
  EXPECT_THAT(query("PRAGMA cache_size"), ElementsAre(ElementsAre("-256")));
}

}  // namespace
}  // namespace records_test
