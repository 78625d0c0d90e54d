// The library's operations, run the same way against every database a program instantiates
// them for.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "database_under_test.h"

namespace tobrin_test {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::UnorderedElementsAre;
using Rows = std::vector<std::vector<std::string>>;

std::string messageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "(nothing thrown)";
}

TEST_P(TobrinOperations, RenameKeepsRowsKeysAndIndexesAndDropsTheOldName) {
  db_->ExecuteStatement("CREATE TABLE a (id INTEGER PRIMARY KEY, name VARCHAR(20))");
  db_->ExecuteStatement("CREATE INDEX a_name ON a (name)");
  db_->ExecuteStatement("INSERT INTO a VALUES (1, 'one'), (2, 'two')");

  EXPECT_EQ(db_->RenameTable("a", "b"), 0);

  EXPECT_THAT(tables(), ElementsAre("b"));
  EXPECT_EQ(query("SELECT id, name FROM b ORDER BY id"), (Rows{{"1", "one"}, {"2", "two"}}));
  EXPECT_THROW(db_->ExecuteStatement("INSERT INTO b VALUES (1, 'again')"), std::runtime_error);
  EXPECT_THROW(db_->ExecuteStatement("CREATE INDEX a_name ON b (name)"), std::runtime_error);
}

TEST_P(TobrinOperations, RefusedRenameLeavesTheOldTableIntact) {
  db_->ExecuteStatement("CREATE TABLE a (id INTEGER)");
  db_->ExecuteStatement("CREATE TABLE c (id INTEGER)");
  db_->ExecuteStatement("INSERT INTO a VALUES (7)");

  EXPECT_THROW(db_->RenameTable("a", "c"), std::runtime_error);
  EXPECT_THROW(db_->RenameTable("missing", "d"), std::runtime_error);

  EXPECT_EQ(query("SELECT id FROM a"), (Rows{{"7"}}));
  EXPECT_THAT(tables(), UnorderedElementsAre("a", "c"));
  // The connection is back in its normal mode: this insert stays without a commit.
  db_->ExecuteStatement("INSERT INTO a VALUES (8)");
  db_->Close();
  ASSERT_TRUE(db_->Open(database_->connectionString()));
  EXPECT_EQ(query("SELECT id FROM a ORDER BY id"), (Rows{{"7"}, {"8"}}));
}

TEST_P(TobrinOperations, CloseTwiceClosesOnceAndAClosedObjectReportsFailure) {
  db_->ExecuteStatement("CREATE TABLE t (id INTEGER)");
  db_->Close();
  db_->Close();

  std::vector<std::string> values;
  Rows rows;
  int32_t index = 0;
  EXPECT_EQ(db_->ExecuteStatement("SELECT 1"), 1);
  EXPECT_EQ(db_->Query("SELECT 1", rows), 1);
  EXPECT_EQ(db_->ReadColumn("t", "id", values), 1);
  EXPECT_EQ(db_->ReadColumnAt("t", index, values), 1);
  EXPECT_EQ(db_->ListTables(values), 1);
  EXPECT_EQ(db_->DropTable("t"), 1);
  EXPECT_EQ(db_->RenameTable("t", "u"), 1);

  ASSERT_TRUE(db_->Open(database_->connectionString()));
  EXPECT_THAT(tables(), ElementsAre("t"));
}

TEST_P(TobrinOperations, RejectedStatementsThrowTheDriversMessage) {
  EXPECT_THAT(messageOf([&] { db_->ExecuteStatement("SELEC 1"); }), HasSubstr("syntax error"));
  EXPECT_THAT(messageOf([&] { db_->DropTable("missing"); }), HasSubstr("missing"));
  Rows rows;
  EXPECT_THAT(messageOf([&] { db_->Query("SELECT * FROM missing", rows); }), HasSubstr("missing"));
  EXPECT_THAT(rows, IsEmpty());
  // The connection stays usable after a rejected statement.
  EXPECT_EQ(query("SELECT 1 + 1"), (Rows{{"2"}}));
}

TEST_P(TobrinOperations, ReadColumnGivesNullsAsEmptyTextAndNumbersInDecimal) {
  db_->ExecuteStatement("CREATE TABLE t (id BIGINT, label VARCHAR(10), amount DOUBLE PRECISION)");
  db_->ExecuteStatement(
      "INSERT INTO t VALUES (1, 'x', 0.1), (NULL, NULL, NULL), (-42, '', 1e300), "
      "(9000000000, 'big', -2.5)");

  std::vector<std::string> ids{"kept"}, labels, amounts, byIndex;
  EXPECT_EQ(db_->ReadColumn("t", "ID", ids), 0);
  EXPECT_EQ(db_->ReadColumn("t", "label", labels), 0);
  EXPECT_EQ(db_->ReadColumn("t", "Amount", amounts), 0);
  int32_t index = 2;
  EXPECT_EQ(db_->ReadColumnAt("t", index, byIndex), 0);

  EXPECT_THAT(ids, ElementsAre("kept", "1", "", "-42", "9000000000"));
  EXPECT_THAT(labels, ElementsAre("x", "", "", "big"));
  EXPECT_THAT(amounts, ElementsAre("0.1", "", "1e+300", "-2.5"));
  EXPECT_EQ(byIndex, amounts);
}

TEST_P(TobrinOperations, ReadColumnOfAnUnknownColumnThrowsAndAddsNothing) {
  db_->ExecuteStatement("CREATE TABLE t (id INTEGER)");
  db_->ExecuteStatement("INSERT INTO t VALUES (1)");
  std::vector<std::string> values{"kept"};

  EXPECT_THAT(messageOf([&] { db_->ReadColumn("t", "nope", values); }), HasSubstr("nope"));
  for (int32_t index : {-1, 1}) {
    EXPECT_THROW(db_->ReadColumnAt("t", index, values), std::runtime_error) << index;
  }
  EXPECT_THROW(db_->ReadColumn("missing", "id", values), std::runtime_error);
  EXPECT_THAT(values, ElementsAre("kept"));
}

TEST_P(TobrinOperations, QueryAndOpenRecordsetGiveEveryFieldAsText) {
  db_->ExecuteStatement("CREATE TABLE t (id INTEGER, name VARCHAR(4000), ratio DOUBLE PRECISION)");
  const std::string longText(9000, 'z');
  const std::string international =
      "Gr\xC3\xBC\xC3\x9F"
      "e \xE4\xB8\xAD\xE6\x96\x87";
  db_->ExecuteStatement("INSERT INTO t VALUES (1, '" + international + "', 3.0), (2, NULL, " +
                        "-0.25), (3, 'it''s', NULL)");
  db_->ExecuteStatement("CREATE TABLE long_text (body TEXT)");
  db_->ExecuteStatement("INSERT INTO long_text VALUES ('" + longText + "')");

  const Rows expected{{"1", international, "3"}, {"2", "", "-0.25"}, {"3", "it's", ""}};
  EXPECT_EQ(query("SELECT id, name, ratio FROM t ORDER BY id"), expected);
  Rows viaRecordset{{"earlier"}};
  EXPECT_EQ(db_->OpenRecordset("SELECT id, name, ratio FROM t ORDER BY id", viaRecordset), 0);
  ASSERT_EQ(viaRecordset.size(), 4u);
  EXPECT_EQ(Rows(viaRecordset.begin() + 1, viaRecordset.end()), expected);
  EXPECT_EQ(query("SELECT body FROM long_text"), (Rows{{longText}}));
  EXPECT_THAT(query("SELECT id FROM t WHERE id > 100"), IsEmpty());
  EXPECT_THAT(query("UPDATE t SET id = id + 10"), IsEmpty());
}

TEST_P(TobrinOperations, ListTablesGivesTablesAndViewsOnly) {
  EXPECT_THAT(tables(), IsEmpty());
  db_->ExecuteStatement("CREATE TABLE units (id INTEGER PRIMARY KEY, imei VARCHAR(15))");
  db_->ExecuteStatement("CREATE INDEX units_imei ON units (imei)");
  db_->ExecuteStatement("CREATE VIEW passed AS SELECT imei FROM units");

  EXPECT_THAT(tables(), UnorderedElementsAre("units", "passed"));
  EXPECT_EQ(db_->ExecuteStatement("DROP VIEW passed"), 0);
  EXPECT_EQ(db_->DropTable("units"), 0);
  EXPECT_THAT(tables(), IsEmpty());
}

TEST_P(TobrinOperations, SecondOpenIsRefusedAndTheFirstConnectionStays) {
  EXPECT_THAT(messageOf([&] { db_->Open(database_->connectionString()); }),
              HasSubstr("already open"));
  EXPECT_EQ(query("SELECT 5"), (Rows{{"5"}}));
}

}  // namespace
}  // namespace tobrin_test
