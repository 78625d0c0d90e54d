// Tobrin on its embedded default, a single SQLite file: the shared operation tests, creating
// databases, and the connection strings it understands.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "database_under_test.h"
#include "support/temporary_folder.h"

namespace tobrin_test {
namespace {

using testing::HasSubstr;
using Rows = std::vector<std::vector<std::string>>;

class SqliteFile : public DatabaseUnderTest {
 public:
  SqliteFile() {
    auto creator = makeTobrin();
    creator->SetFilePath(path());
    if (!creator->CreateDatabase()) throw std::runtime_error("cannot create " + path());
  }
  std::string path() const { return folder_.file("test.db").string(); }
  std::string connectionString() const override { return "Driver=SQLite3;Database=" + path(); }

 private:
  test_support::TemporaryFolder folder_{"tobrin"};
};

INSTANTIATE_TEST_SUITE_P(SQLite, TobrinOperations,
                         testing::Values(Backend{"SQLite",
                                                 [] { return std::make_unique<SqliteFile>(); }}),
                         backendName);

class TobrinSqlite : public testing::Test {
 protected:
  test_support::TemporaryFolder folder_{"tobrin"};
  TobrinPtr db_ = makeTobrin();
};

TEST_F(TobrinSqlite, CreateDatabaseMakesAnEmptyDatabaseThatOpens) {
  const std::string path = folder_.file("line.db").string();
  EXPECT_EQ(db_->GetFilePath(), "");
  db_->SetFilePath(path);
  EXPECT_EQ(db_->GetFilePath(), path);

  ASSERT_TRUE(db_->CreateDatabase());
  EXPECT_GT(std::filesystem::file_size(path), 0u);
  ASSERT_TRUE(db_->Open("Driver=SQLite3;Database=" + path));
  std::vector<std::string> names;
  EXPECT_EQ(db_->ListTables(names), 0);
  EXPECT_TRUE(names.empty());
}

TEST_F(TobrinSqlite, CreateDatabaseRefusesAnyExistingFileAndLeavesItAlone) {
  folder_.write("taken.db", "not a database");
  std::filesystem::create_directory(folder_.file("folder.db"));
  for (const std::string name : {"taken.db", "folder.db"}) {
    db_->SetFilePath(folder_.file(name).string());
    EXPECT_FALSE(db_->CreateDatabase()) << name;
  }
  EXPECT_EQ(folder_.read("taken.db"), "not a database");

  db_->SetFilePath("");
  EXPECT_FALSE(db_->CreateDatabase());
  db_->SetFilePath(folder_.file("no/such/folder.db").string());
  EXPECT_FALSE(db_->CreateDatabase());
}

TEST_F(TobrinSqlite, AMistypedPathFailsInsteadOfCreatingAnEmptyDatabase) {
  const auto missing = folder_.file("mistyped.db");
  for (const std::string& connection :
       {"Driver=SQLite3;Database=" + missing.string(),
        "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + missing.string()}) {
    try {
      db_->Open(connection);
      ADD_FAILURE() << "opened " << connection;
    } catch (const std::runtime_error& error) {
      EXPECT_THAT(error.what(), HasSubstr("no database file at " + missing.string()));
    }
  }
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_THROW(db_->Open("Driver=SQLite3;Database=" + std::string(40000, 'x')), std::runtime_error);
}

TEST_F(TobrinSqlite, TheOriginalFormOfConnectionStringOpensTheFile) {
  // A quoted Data Source may hold the separator itself.
  for (const std::string name : {"plain.db", "semi;colon {braced}.db"}) {
    const std::string path = folder_.file(name).string();
    db_->SetFilePath(path);
    ASSERT_TRUE(db_->CreateDatabase()) << name;
    ASSERT_TRUE(db_->Open("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=\"" + path + "\";"));
    db_->ExecuteStatement("CREATE TABLE marker (id INTEGER)");
    db_->Close();

    ASSERT_TRUE(db_->Open("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" +
                          (name == "plain.db" ? path : "'" + path + "'") + ";"));
    std::vector<std::string> names;
    db_->ListTables(names);
    EXPECT_EQ(names, std::vector<std::string>{"marker"}) << name;
    db_->Close();
  }
  EXPECT_THAT(
      [&] {
        try {
          db_->Open("Provider=Microsoft.ACE.OLEDB.12.0;");
        } catch (const std::runtime_error& error) {
          return std::string(error.what());
        }
        return std::string();
      }(),
      HasSubstr("Data Source"));
}

TEST_F(TobrinSqlite, ListTablesHidesTheDriversOwnTables) {
  const std::string path = folder_.file("seq.db").string();
  db_->SetFilePath(path);
  ASSERT_TRUE(db_->CreateDatabase());
  ASSERT_TRUE(db_->Open("Driver=SQLite3;Database=" + path));
  // AUTOINCREMENT makes SQLite keep a sqlite_sequence table.
  db_->ExecuteStatement("CREATE TABLE log (id INTEGER PRIMARY KEY AUTOINCREMENT, line TEXT)");
  db_->ExecuteStatement("INSERT INTO log (line) VALUES ('x')");
  std::vector<std::string> names;
  EXPECT_EQ(db_->ListTables(names), 0);
  EXPECT_EQ(names, std::vector<std::string>{"log"});
}

// A writer that holds the database locked makes another connection give up after a few
// seconds with the driver's "locked" message, instead of the driver's default of minutes.
TEST_F(TobrinSqlite, ALockedDatabaseFailsWithTheDriversMessage) {
  const std::string path = folder_.file("busy.db").string();
  db_->SetFilePath(path);
  ASSERT_TRUE(db_->CreateDatabase());
  ASSERT_TRUE(db_->Open("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + path));
  db_->ExecuteStatement("CREATE TABLE t (id INTEGER)");
  db_->ExecuteStatement("BEGIN IMMEDIATE");

  TobrinPtr other = makeTobrin();
  ASSERT_TRUE(other->Open("Driver=SQLite3;Database=" + path));
  try {
    other->ExecuteStatement("INSERT INTO t VALUES (1)");
    ADD_FAILURE() << "the insert went through a locked database";
  } catch (const std::runtime_error& error) {
    EXPECT_THAT(error.what(), HasSubstr("locked"));
  }
  db_->ExecuteStatement("COMMIT");
  EXPECT_EQ(other->ExecuteStatement("INSERT INTO t VALUES (1)"), 0);
}

}  // namespace
}  // namespace tobrin_test
