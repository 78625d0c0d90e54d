// zendral-tool records on SQLite and PostgreSQL: list with every filter, show, export as CSV,
// the configured database read from cfg.ini, and the errors a line engineer can make.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "ini/inifile.h"
#include "record_samples.h"
#include "support/program_run.h"
#include "support/temporary_folder.h"

namespace records_test {

std::string freshPostgresDatabase();

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::string freshSqlite() {
  static test_support::TemporaryFolder folder("zendral-records-tool");
  static int count = 0;
  return records::sqliteConnection(
      (folder.path() / ("tool" + std::to_string(++count) + ".db")).string());
}

class RecordsToolTest : public ::testing::TestWithParam<DatabaseMaker> {
 protected:
  void SetUp() override {
    connection_ = GetParam().make();
    records::RecordDatabase db(connection_);
    db.migrate();
    records::RunRecord early = sampleRun("861234567890123");
    early.startTime = "2026-12-07 09:00:00.000";
    records::RunRecord failed = sampleRun("861234567890124", "fail");
    failed.station = "line-b-2";
    failed.message = "a, \"quoted\" text";
    records::RunRecord later = sampleRun("861234567890123");
    later.startTime = "2026-12-09 09:00:00.000";
    for (const auto& run : {early, failed, later}) db.deliver(run);
  }

  test_support::ProgramRun tool(std::vector<std::string> args, bool withDatabase = true) {
    std::vector<std::string> command = {test_support::binPath("zendral-tool"), "records"};
    if (withDatabase) command.insert(command.end(), {"--database", connection_});
    command.insert(command.end(), args.begin(), args.end());
    return test_support::runProgram(command, {.workingDirectory = folder_.path().string()});
  }

  // The ids of a list's lines, in order.
  static std::vector<std::string> idsOf(const std::string& listing) {
    std::vector<std::string> ids;
    std::istringstream lines(listing);
    std::string line;
    std::getline(lines, line);  // the column heads
    while (std::getline(lines, line)) ids.push_back(line.substr(0, line.find(' ')));
    return ids;
  }

  std::string connection_;
  test_support::TemporaryFolder folder_{"zendral-records-cwd"};
};

TEST_P(RecordsToolTest, ListTakesEveryFilter) {
  auto all = tool({"list"});
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_THAT(idsOf(all.out), ::testing::ElementsAre("1", "2", "3"));
  EXPECT_THAT(all.out, HasSubstr("861234567890124"));
  EXPECT_EQ(idsOf(tool({"list", "--imei", "861234567890123"}).out).size(), 2u);
  EXPECT_THAT(idsOf(tool({"list", "--since", "2026-12-08", "--until", "2026-12-08"}).out),
              ::testing::ElementsAre("2"));
  EXPECT_THAT(idsOf(tool({"list", "--since", "2026-12-09 08:59"}).out),
              ::testing::ElementsAre("3"));
  EXPECT_THAT(idsOf(tool({"list", "--result", "fail"}).out), ::testing::ElementsAre("2"));
  EXPECT_THAT(idsOf(tool({"list", "--station", "line-a-1", "--result", "pass"}).out),
              ::testing::ElementsAre("1", "3"));
  EXPECT_TRUE(idsOf(tool({"list", "--imei", "' OR 1=1 --"}).out).empty());
}

TEST_P(RecordsToolTest, ShowGivesTheWholeRunAndExportTheFilteredRunsAsCsv) {
  const auto shown = tool({"show", "2"});
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_THAT(shown.out, HasSubstr("imei: 861234567890124\n"));
  EXPECT_THAT(shown.out, HasSubstr("failed_stage: CP\n"));
  EXPECT_THAT(shown.out, HasSubstr("images: 2\n"));
  EXPECT_THAT(shown.out,
              HasSubstr(std::string(64, 'a') + "  1234  sbl1.mbn  /fw/9x07-r12/sbl1.mbn"));

  const auto exported = tool({"export", "--csv", "out.csv", "--imei", "861234567890124"});
  ASSERT_EQ(exported.status, 0) << exported.err;
  const std::string csv = folder_.read("out.csv");
  EXPECT_EQ(csv.rfind("id,uid,station,dut,imei,", 0), 0u) << csv;
  EXPECT_THAT(csv, HasSubstr(",\"a, \"\"quoted\"\" text\","));
  EXPECT_THAT(csv, HasSubstr("sbl1.mbn=/fw/9x07-r12/sbl1.mbn " + std::string(64, 'a')));
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 2) << "a header and one run";
}

TEST_P(RecordsToolTest, MistakesAreNamedAndNothingIsRead) {
  EXPECT_EQ(tool({"show", "99"}).status, 1);
  EXPECT_EQ(tool({"show", "x"}).status, 2);
  const auto badDate = tool({"list", "--since", "last tuesday"});
  EXPECT_EQ(badDate.status, 2);
  EXPECT_THAT(badDate.err, HasSubstr("--since takes YYYY-MM-DD"));
  EXPECT_EQ(tool({"list", "--result", "maybe"}).status, 2);
  EXPECT_EQ(tool({"export"}).status, 2);
  EXPECT_EQ(tool({"frobnicate"}).status, 2);
}

INSTANTIATE_TEST_SUITE_P(Both, RecordsToolTest,
                         ::testing::Values(DatabaseMaker{"sqlite", freshSqlite},
                                           DatabaseMaker{"postgres", freshPostgresDatabase}),
                         [](const auto& info) { return info.param.name; });

TEST(RecordsToolConfigTest, TheDatabaseComesFromCfgIniAndOffIsSaid) {
  test_support::TemporaryFolder folder("zendral-records-cfg");
  // No cfg.ini: records.db here, which holds no records yet.
  auto none = test_support::runProgram({test_support::binPath("zendral-tool"), "records", "list"},
                                       {.workingDirectory = folder.path().string()});
  EXPECT_EQ(none.status, 1);
  EXPECT_THAT(none.err, HasSubstr("no records yet"));

  const std::string connection = freshSqlite();
  {
    records::RecordDatabase db(connection);
    db.migrate();
    db.deliver(sampleRun("861234567890123"));
  }
  folder.write("cfg.ini", "[Record]\nDatabase = " + connection + "\n");
  auto listed = test_support::runProgram({test_support::binPath("zendral-tool"), "records", "list"},
                                         {.workingDirectory = folder.path().string()});
  EXPECT_EQ(listed.status, 0) << listed.err;
  EXPECT_THAT(listed.out, HasSubstr("861234567890123"));

  folder.write("cfg.ini", "[Record]\nDatabase = off\n");
  auto off = test_support::runProgram({test_support::binPath("zendral-tool"), "records", "list"},
                                      {.workingDirectory = folder.path().string()});
  EXPECT_EQ(off.status, 1);
  EXPECT_THAT(off.err, HasSubstr("recording is off"));
}

}  // namespace
}  // namespace records_test
