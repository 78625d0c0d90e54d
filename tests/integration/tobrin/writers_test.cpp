// Two stations' worth of writers on one PostgreSQL database: two processes insert at the same
// time and every row arrives.
#include <gtest/gtest.h>

#include <thread>

#include "postgres_database.h"
#include "support/program_run.h"

namespace tobrin_test {
namespace {

using Rows = std::vector<std::vector<std::string>>;

TEST(TobrinPostgresWriters, TwoProcessesInsertingAtOnceLoseNothing) {
  constexpr int kRowsEach = 10000;
  PostgresDatabase database;
  TobrinPtr db = makeTobrin();
  ASSERT_TRUE(db->Open(database.connectionString()));
  db->ExecuteStatement(
      "CREATE TABLE records (station INTEGER, n INTEGER, PRIMARY KEY (station, n))");

  test_support::ProgramRun runs[2];
  std::thread writers[2];
  for (int station = 0; station < 2; ++station) {
    writers[station] = std::thread([&, station] {
      runs[station] =
          test_support::runProgram({TOBRIN_WRITER, database.connectionString(),
                                    std::to_string(station + 1), std::to_string(kRowsEach)},
                                   {.limitSeconds = 600});
    });
  }
  for (auto& writer : writers) writer.join();
  for (const auto& run : runs) EXPECT_EQ(run.status, 0) << run.err;

  Rows rows;
  ASSERT_EQ(db->Query("SELECT station, COUNT(*), MIN(n), MAX(n) FROM records "
                      "GROUP BY station ORDER BY station",
                      rows),
            0);
  EXPECT_EQ(rows, (Rows{{"1", "10000", "1", "10000"}, {"2", "10000", "1", "10000"}}));
}

}  // namespace
}  // namespace tobrin_test
