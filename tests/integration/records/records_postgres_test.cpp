// The records on a real PostgreSQL server: the database suite, two stations writing to one
// database at once, and a server that stops in the middle of a run and comes back.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "record_samples.h"
#include "records/spool.h"
#include "station_site.h"
#include "support_pg/postgres_cluster.h"

namespace records_test {

// The cluster of this program, started on first use; each caller gets a fresh database.
std::string freshPostgresDatabase() {
  static test_pg::PostgresCluster cluster(RECORDS_PG_TEMPLATE);
  static int count = 0;
  const std::string name = "records_" + std::to_string(++count);
  records::RecordDatabase admin(cluster.connectionString("postgres"));
  admin.tobrin().ExecuteStatement("CREATE DATABASE " + name);
  return cluster.connectionString(name);
}

namespace {

using ::testing::HasSubstr;

INSTANTIATE_TEST_SUITE_P(Postgres, RecordDatabaseTest,
                         ::testing::Values(DatabaseMaker{"postgres", freshPostgresDatabase}),
                         [](const auto& info) { return info.param.name; });

TEST(RecordsPostgresTest, TwoStationsWritingOneDatabaseAtOnceLoseNothing) {
  ASSERT_TRUE(road_test::kRoadEnvironment);
  const std::string connection = freshPostgresDatabase();
  StationSite a("line-a", connection, "station-a", false);
  StationSite b("line-b", connection, "station-b", false);
  ASSERT_EQ(a.error(), "");
  ASSERT_EQ(b.error(), "");
  ASSERT_TRUE(a.start());
  ASSERT_TRUE(b.start());
  constexpr int kModules = 3;
  std::thread lineB([&] { b.runModules(kModules); });
  a.runModules(kModules);
  lineB.join();
  ASSERT_TRUE(a.quit());
  ASSERT_TRUE(b.quit());

  const auto runs = waitForRuns(connection, 2 * kModules);
  ASSERT_EQ(runs.size(), 2u * kModules);
  std::map<std::string, int> perStation;
  std::set<std::string> uids;
  for (const auto& run : runs) {
    ++perStation[run.record.station];
    uids.insert(run.record.uid);
    EXPECT_EQ(run.record.result, "pass");
  }
  EXPECT_EQ(perStation["station-a"], kModules);
  EXPECT_EQ(perStation["station-b"], kModules);
  EXPECT_EQ(uids.size(), runs.size());
}

TEST(RecordsPostgresTest, AServerStoppedMidRunGetsTheRunOnceWhenItIsBack) {
  ASSERT_TRUE(road_test::kRoadEnvironment);
  test_pg::PostgresCluster cluster(RECORDS_PG_TEMPLATE);
  {
    records::RecordDatabase admin(cluster.connectionString("postgres"));
    admin.tobrin().ExecuteStatement("CREATE DATABASE outage");
  }
  const std::string connection = cluster.connectionString("outage");
  StationSite site("outage", connection, "station-o", false);
  ASSERT_EQ(site.error(), "");
  ASSERT_TRUE(site.start());
  // A first run reaches the server, so the station holds a connection when it goes.
  site.runModules(1);
  ASSERT_EQ(waitForRuns(connection, 1).size(), 1u);

  const size_t mark = site.station().eventCount();
  const std::string id = site.plug();
  ASSERT_TRUE(site.station().waitForAfter(mark, [](const json& e) {
    return e["event"] == "message" && e["text"] == "CP Download Success!";
  }));
  cluster.pause();
  ASSERT_TRUE(site.station().waitForAfter(
      mark, [](const json& e) { return e["event"] == "status" && e["value"].get<int>() <= 0; }));
  EXPECT_EQ(site.station().lastStatus(), 0) << "the line goes on as before";
  // The one line in the DUT's log, once the writer has found the server gone.
  const auto deadline = std::chrono::steady_clock::now() + road_test::kPatience;
  while (site.dutLog().find("Record database unreachable") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(countOf(site.dutLog(), "Record database unreachable"), 1u);
  const std::string log = site.dutLog();
  const size_t line = log.find("Record database unreachable");
  ASSERT_NE(line, std::string::npos);
  EXPECT_THAT(
      log.substr(line, log.find('\n', line) - line),
      ::testing::EndsWith("runs are kept in the local spool and delivered when it is back."))
      << "one line, however many lines the driver's message has";
  ASSERT_EQ(records::Spool((site.dir() / records::kSpoolFileName).string()).pending().size(), 1u);

  cluster.resume();
  const auto runs = waitForRuns(connection, 2);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1].record.result, "pass");
  ASSERT_TRUE(site.quit());
  EXPECT_EQ(waitForRuns(connection, 2).size(), 2u) << "exactly once";
  EXPECT_TRUE(records::Spool((site.dir() / records::kSpoolFileName).string()).pending().empty());
  EXPECT_EQ(countOf(site.dutLog(), "Record database unreachable"), 1u);
}

}  // namespace
}  // namespace records_test
