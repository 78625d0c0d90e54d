// The database suite on SQLite files, the time bounds of a search, the digests and the image
// hasher's cache.

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "record_samples.h"
#include "records/image_hasher.h"
#include "records/record_database.h"
#include "records/record_filter.h"
#include "records/sha256.h"
#include "support/temporary_folder.h"

namespace records_test {
namespace {

std::string freshSqliteDatabase() {
  static test_support::TemporaryFolder folder("zendral-records");
  static int count = 0;
  // The file does not exist yet: opening the database makes it.
  return records::sqliteConnection(
      (folder.path() / ("r" + std::to_string(++count) + ".db")).string());
}

INSTANTIATE_TEST_SUITE_P(Sqlite, RecordDatabaseTest,
                         ::testing::Values(DatabaseMaker{"sqlite", freshSqliteDatabase}),
                         [](const auto& info) { return info.param.name; });

TEST(RecordFilterTest, BoundsTakeDatesAndTimesAndRefuseAnythingElse) {
  EXPECT_EQ(records::boundTime("2026-12-08", false), "2026-12-08 00:00:00.000");
  EXPECT_EQ(records::boundTime("2026-12-08", true), "2026-12-08 23:59:59.999");
  EXPECT_EQ(records::boundTime("2026-12-08T10:15", true), "2026-12-08 10:15:00.999");
  EXPECT_EQ(records::boundTime("2026-12-08 10:15:30", false), "2026-12-08 10:15:30.000");
  for (const char* bad : {"", "yesterday", "2026-13-01", "2026-12-08 25:00", "2026-12-8",
                          "2026-12-08 10:15:30.5", "2026-12-08'; DROP TABLE runs"}) {
    EXPECT_FALSE(records::boundTime(bad, false)) << bad;
  }
}

TEST(Sha256Test, KnownDigestsOfTextsAndFiles) {
  EXPECT_EQ(records::sha256OfText("abc"),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(records::sha256OfText(""),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  test_support::TemporaryFolder folder;
  // Longer than one read, so the pieces are joined right.
  const std::string big(200000, 'x');
  folder.write("big.img", big);
  const auto digest = records::sha256OfFile(folder.file("big.img").string());
  ASSERT_TRUE(digest);
  EXPECT_EQ(digest->size, big.size());
  EXPECT_EQ(digest->sha256, records::sha256OfText(big));
  EXPECT_FALSE(records::sha256OfFile(folder.file("missing.img").string()));
  EXPECT_FALSE(records::sha256OfFile(folder.path().string())) << "a folder is no image";
}

void setModified(const std::filesystem::path& path, time_t seconds) {
  struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(ImageHasherTest, AFileIsReadAgainOnlyWhenItsSizeOrTimeChanged) {
  test_support::TemporaryFolder folder;
  folder.write("a.mbn", "first");
  setModified(folder.file("a.mbn"), 1000000);
  const std::vector<records::FirmwareFile> files = {{"a", folder.file("a.mbn").string()},
                                                    {"gone", folder.file("gone.mbn").string()}};
  records::ImageHasher hasher;
  const auto first = hasher.load("Qca9x07", folder.path().string(), files)->digests();
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[0].sha256, records::sha256OfText("first"));
  EXPECT_EQ(first[0].size, 5u);
  EXPECT_EQ(first[1].sha256, "") << "a missing image has no digest";

  // Same size and time: the cached digest stands (the file is not read again).
  folder.write("a.mbn", "other");
  setModified(folder.file("a.mbn"), 1000000);
  EXPECT_EQ(hasher.load("Qca9x07", "", files)->digests()[0].sha256, records::sha256OfText("first"));
  // A new time: read again.
  setModified(folder.file("a.mbn"), 2000000);
  EXPECT_EQ(hasher.load("Qca9x07", "", files)->digests()[0].sha256, records::sha256OfText("other"));

  hasher.close();
  const auto afterClose = hasher.load("Qca9x07", "", files);
  EXPECT_EQ(afterClose->digests().size(), 2u) << "a wait after the close still ends";
}

}  // namespace
}  // namespace records_test
