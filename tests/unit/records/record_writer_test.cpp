// The background writer on SQLite: runs are in the spool when store returns, reach the
// database in order and once, wait out an unreachable database with one log line, and a spool
// an earlier station left is delivered first.

#include "records/record_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

#include "record_samples.h"
#include "records/record_database.h"
#include "records/sha256.h"
#include "records/spool.h"
#include "support/temporary_folder.h"

namespace records_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class RecordWriterTest : public ::testing::Test {
 protected:
  // The database sits in a folder that does not exist until `bringDatabaseBack`.
  std::string databaseFile() const { return (folder_.path() / "db" / "records.db").string(); }
  void bringDatabaseBack() { std::filesystem::create_directories(folder_.path() / "db"); }

  std::unique_ptr<records::RecordWriter> makeWriter() {
    records::WriterSettings settings;
    settings.connection = records::sqliteConnection(databaseFile());
    settings.spoolPath = (folder_.path() / "spool.db").string();
    settings.note = [this](int dut, const std::string& line) {
      std::lock_guard lock(mutex_);
      notes_.push_back(std::to_string(dut) + ": " + line);
    };
    settings.retry = std::chrono::milliseconds(10);
    settings.longestRetry = std::chrono::milliseconds(50);
    return std::make_unique<records::RecordWriter>(settings);
  }

  std::vector<std::string> spooledImeis() {
    std::vector<std::string> imeis;
    records::Spool spool((folder_.path() / "spool.db").string());
    for (const auto& run : spool.pending()) imeis.push_back(run.imei);
    return imeis;
  }

  std::vector<records::StoredRun> delivered() {
    std::error_code error;
    if (!std::filesystem::exists(databaseFile(), error)) return {};
    records::RecordDatabase db(records::sqliteConnection(databaseFile()));
    if (records::schemaVersion(db.tobrin()) == 0) return {};
    return db.find({}, true);
  }

  // Waits (bounded; a hang shows as a failure) until `count` runs are in the database.
  bool waitForDelivered(size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
      if (delivered().size() >= count && spooledImeis().empty()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  std::vector<std::string> waitForNotes() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (notes().empty() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return notes();
  }

  std::vector<std::string> notes() {
    std::lock_guard lock(mutex_);
    return notes_;
  }

  test_support::TemporaryFolder folder_{"zendral-writer"};
  std::mutex mutex_;
  std::vector<std::string> notes_;
};

std::vector<std::string> imeisOf(const std::vector<records::StoredRun>& runs) {
  std::vector<std::string> imeis;
  for (const auto& run : runs) imeis.push_back(run.record.imei);
  return imeis;
}

TEST_F(RecordWriterTest, AnUnreachableDatabaseKeepsRunsSpooledWithOneLineThenTakesThemInOrder) {
  auto writer = makeWriter();
  records::RunRecord second = sampleRun("222");
  second.dut = 3;
  writer->store(sampleRun("111"), nullptr);
  writer->store(second, nullptr);
  // In the spool as soon as store returns, and still there: the database is not reachable.
  EXPECT_THAT(spooledImeis(), ElementsAre("111", "222"));
  const auto lines = waitForNotes();
  writer->store(sampleRun("333"), nullptr);
  ASSERT_EQ(lines.size(), 1u) << "one line for the whole outage";
  EXPECT_THAT(lines[0], HasSubstr("1: Record database unreachable"));
  EXPECT_THAT(lines[0], HasSubstr("kept in the local spool"));

  bringDatabaseBack();
  ASSERT_TRUE(waitForDelivered(3));
  const auto runs = delivered();
  EXPECT_THAT(imeisOf(runs), ElementsAre("111", "222", "333"));
  EXPECT_LT(runs[0].id, runs[1].id);
  EXPECT_EQ(runs[1].record.dut, 3);
  writer->close();
  EXPECT_EQ(delivered().size(), 3u) << "nothing twice";
  EXPECT_EQ(notes().size(), 1u);
}

TEST_F(RecordWriterTest, AClosedWriterLeavesItsSpoolToTheNextWhichDeliversItFirst) {
  auto writer = makeWriter();
  writer->store(sampleRun("111"), nullptr);
  writer->store(sampleRun("222"), nullptr);
  writer->close();  // the database is away: close does not wait for it
  EXPECT_THAT(spooledImeis(), ElementsAre("111", "222"));

  bringDatabaseBack();
  auto next = makeWriter();
  next->store(sampleRun("333"), nullptr);
  ASSERT_TRUE(waitForDelivered(3));
  EXPECT_THAT(imeisOf(delivered()), ElementsAre("111", "222", "333"));
}

TEST_F(RecordWriterTest, ARunDeliveredBeforeItLeftTheSpoolIsNotStoredTwice) {
  bringDatabaseBack();
  records::RunRecord run = sampleRun("111");
  {
    // A station that delivered the run and died before taking it out of its spool.
    records::Spool spool((folder_.path() / "spool.db").string());
    spool.append(run);
    records::RecordDatabase db(records::sqliteConnection(databaseFile()));
    db.migrate();
    db.deliver(run);
  }
  auto writer = makeWriter();
  ASSERT_TRUE(waitForDelivered(1));
  writer->close();
  EXPECT_EQ(delivered().size(), 1u);
  EXPECT_TRUE(spooledImeis().empty());
}

TEST_F(RecordWriterTest, TheRunGetsTheDigestsOfItsFirmwareAndOfItsQcnFile) {
  bringDatabaseBack();
  folder_.write("fw/sbl1.mbn", "boot code");
  folder_.write("123.xqcn", "calibration");
  records::ImageHasher hasher;
  auto firmware = hasher.load("Qca9x07", (folder_.path() / "fw").string(),
                              {{"SBL", (folder_.path() / "fw/sbl1.mbn").string()}});
  records::RunRecord run = sampleRun("123");
  run.images.clear();
  run.qcnFile = (folder_.path() / "123.xqcn").string();
  run.qcnSha256.clear();
  auto writer = makeWriter();
  writer->store(run, firmware);
  writer->close();  // a reachable database gets what is waiting before the close ends
  const auto runs = delivered();
  ASSERT_EQ(runs.size(), 1u);
  ASSERT_EQ(runs[0].record.images.size(), 1u);
  EXPECT_EQ(runs[0].record.images[0].label, "SBL");
  EXPECT_EQ(runs[0].record.images[0].sha256, records::sha256OfText("boot code"));
  EXPECT_EQ(runs[0].record.qcnSha256, records::sha256OfText("calibration"));
}

TEST_F(RecordWriterTest, ASpoolThatCannotBeWrittenStillDeliversAndSaysSo) {
  bringDatabaseBack();
  std::filesystem::create_directories(folder_.path() / "spool.db");  // a folder, not a file
  auto writer = makeWriter();
  writer->store(sampleRun("111"), nullptr);
  writer->close();
  EXPECT_THAT(imeisOf(delivered()), ElementsAre("111"));
  ASSERT_EQ(notes().size(), 1u);
  EXPECT_THAT(notes()[0], HasSubstr("could not be written to the local spool"));
}

}  // namespace
}  // namespace records_test
