// Tobrin on a shared PostgreSQL database: the shared operation tests and what only a server
// database shows.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

// A server that takes the connection and then says nothing: Open gives up with the driver's
// time-out instead of waiting for ever.
TEST(TobrinPostgresLogin, ASilentServerEndsTheOpenWithATimeout) {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);

  TobrinPtr db = makeTobrin();
  const std::string connection = "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" +
                                 std::to_string(ntohs(address.sin_port)) +
                                 ";Database=line;Uid=station;";
  try {
    db->Open(connection);
    ADD_FAILURE() << "opened a server that never answered";
  } catch (const std::runtime_error& error) {
    EXPECT_THAT(error.what(), testing::HasSubstr("timeout"));
  }
  close(listener);
}

}  // namespace
}  // namespace tobrin_test
