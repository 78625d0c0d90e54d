#pragma once
// Runs as the records tests use them, and a database per test for the suites that run on both
// SQLite and PostgreSQL.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "records/record_database.h"
#include "records/run_record.h"
#include "records/schema.h"

namespace records_test {

inline records::RunRecord sampleRun(const std::string& imei, const std::string& result = "pass") {
  records::RunRecord r;
  r.uid = records::newRunUid();
  r.station = "line-a-1";
  r.dut = 1;
  r.imei = imei;
  r.meid = "A0000012345678";
  r.platform = "Qca9x07";
  r.firmwareFolder = "/fw/9x07-r12";
  r.images = {{"sbl1.mbn", "/fw/9x07-r12/sbl1.mbn", 1234, std::string(64, 'a')},
              {"system.img", "/fw/9x07-r12/system.img", 99, std::string(64, 'b')}};
  r.backupQcn = true;
  r.startTime = "2026-12-08 10:00:00.000";
  r.endTime = "2026-12-08 10:05:00.000";
  r.cpMs = 120000;
  r.apMs = 170000;
  r.result = result;
  r.status = result == "pass" ? 0 : -1;
  r.message = result == "pass" ? "Update Success!" : "Download fail, Please repower 1 DUT.";
  if (result != "pass") {
    r.failedStage = "CP";
    r.failureMessage = r.message;
  }
  r.qcnFile = "/qcn/" + imei + ".xqcn";
  r.qcnSha256 = std::string(64, 'c');
  r.dutLog = "/station/Dut1.log";
  return r;
}

// A fresh database per test: its ODBC connection string.
struct DatabaseMaker {
  std::string name;
  std::function<std::string()> make;
};

inline void PrintTo(const DatabaseMaker& maker, std::ostream* out) {
  *out << maker.name;
}

// The database suite's fixture (record_database_test.cpp); each program instantiates it for
// its backends.
class RecordDatabaseTest : public ::testing::TestWithParam<DatabaseMaker> {
 protected:
  void SetUp() override {
    connection_ = GetParam().make();
    db_ = std::make_unique<records::RecordDatabase>(connection_);
    ASSERT_EQ(db_->migrate(), records::kSchemaVersion);
  }

  std::vector<std::vector<std::string>> query(const std::string& sql) {
    std::vector<std::vector<std::string>> rows;
    db_->tobrin().Query(sql, rows);
    return rows;
  }

  std::string connection_;
  std::unique_ptr<records::RecordDatabase> db_;
};

}  // namespace records_test
