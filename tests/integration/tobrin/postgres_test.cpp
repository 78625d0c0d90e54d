// Tobrin on a shared PostgreSQL database: the shared operation tests and what only a server
// database shows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "postgres_database.h"

namespace tobrin_test {
namespace {

using Rows = std::vector<std::vector<std::string>>;

INSTANTIATE_TEST_SUITE_P(PostgreSQL, TobrinOperations,
                         testing::Values(Backend{
                             "PostgreSQL", [] { return std::make_unique<PostgresDatabase>(); }}),
                         backendName);

class TobrinPostgres : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(db_->Open(database_.connectionString())); }

  PostgresDatabase database_;
  TobrinPtr db_ = makeTobrin();
};

TEST_F(TobrinPostgres, NumbersComeAsTheDatabaseWritesThemOrInShortestExactForm) {
  db_->ExecuteStatement(
      "CREATE TABLE m (price NUMERIC(6,2), ratio DOUBLE PRECISION, single REAL, "
      "flag BOOLEAN, big BIGINT)");
  db_->ExecuteStatement(
      "INSERT INTO m VALUES (1.5, 0.30000000000000004, 1.1, TRUE, -9223372036854775808)");
  Rows rows;
  ASSERT_EQ(db_->Query("SELECT price, ratio, single, big FROM m", rows), 0);
  EXPECT_EQ(rows, (Rows{{"1.50", "0.30000000000000004", "1.1", "-9223372036854775808"}}));
}

// Unquoted names fold to lower case in PostgreSQL; a caller that wrote them in capitals still
// finds its column.
TEST_F(TobrinPostgres, ColumnNamesMatchWithoutRegardToCase) {
  db_->ExecuteStatement("CREATE TABLE Units (IMEI VARCHAR(15), Result INTEGER)");
  db_->ExecuteStatement("INSERT INTO Units VALUES ('860000000000001', 0)");
  std::vector<std::string> imeis;
  ASSERT_EQ(db_->ReadColumn("Units", "IMEI", imeis), 0);
  EXPECT_EQ(imeis, std::vector<std::string>{"860000000000001"});
}

}  // namespace
}  // namespace tobrin_test
