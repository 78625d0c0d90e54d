#pragma once
// What the operation tests share between the SQLite and the PostgreSQL runs: a fresh, empty
// database per test, reached through its ODBC connection string, and a Tobrin object that is
// released when the test ends.

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "zendral/tobrin.h"

namespace tobrin_test {

class DatabaseUnderTest {
 public:
  virtual ~DatabaseUnderTest() = default;
  virtual std::string connectionString() const = 0;
};

struct Backend {
  std::string name;
  std::function<std::unique_ptr<DatabaseUnderTest>()> make;
};

inline void PrintTo(const Backend& backend, std::ostream* out) {
  *out << backend.name;
}

inline std::string backendName(const testing::TestParamInfo<Backend>& info) {
  return info.param.name;
}

struct Releaser {
  void operator()(ITobrin* object) const { object->Release(); }
};
using TobrinPtr = std::unique_ptr<ITobrin, Releaser>;

inline TobrinPtr makeTobrin() {
  void* object = nullptr;
  if (!CreateObject(CLSID_Tobrin, IID_ITobrin, &object)) {
    throw std::runtime_error("CreateObject refused the Tobrin class");
  }
  return TobrinPtr(static_cast<ITobrin*>(object));
}

// The operation tests, instantiated by each program for its database.
class TobrinOperations : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    database_ = GetParam().make();
    db_ = makeTobrin();
    ASSERT_TRUE(db_->Open(database_->connectionString()));
  }
  void TearDown() override {
    db_.reset();
    database_.reset();
  }

  std::vector<std::vector<std::string>> query(const std::string& sql) {
    std::vector<std::vector<std::string>> rows;
    EXPECT_EQ(db_->Query(sql, rows), 0);
    return rows;
  }
  std::vector<std::string> tables() {
    std::vector<std::string> names;
    EXPECT_EQ(db_->ListTables(names), 0);
    return names;
  }

  std::unique_ptr<DatabaseUnderTest> database_;
  TobrinPtr db_;
};

}  // namespace tobrin_test
