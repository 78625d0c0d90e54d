#include "host/report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <vector>

#include "report_fixture.h"

namespace {

std::vector<std::string> readLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class ReportTest : public ReportFixture {};

TEST_F(ReportTest, LogFileHasHeaderPlatformAndDatedLines) {
  sSoftVersion = "Zendral V1";
  saveDutLog(1, "left over from the last run");
  initLogfile(1, "9x07");
  updateMesage(1, "Connect phone...");
  updateMesage(1, "");
  auto lines = readLines("Dut1.log");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::string("-------------Zendral V1(Build:") + buildDate() + " " +
                          buildTime() + ")-----------");
  std::regex dated(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d: )");
  EXPECT_TRUE(std::regex_search(lines[1], dated));
  EXPECT_TRUE(lines[1].ends_with(": Platform:9x07"));
  EXPECT_TRUE(lines[2].ends_with(": Connect phone..."));
  EXPECT_EQ(surface_.messages().back(), "")
      << "an empty message clears the line without a log line";
}

TEST_F(ReportTest, LogWithoutInitHasNoHeader) {
  saveDutLog(2, "first");
  auto lines = readLines("Dut2.log");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].ends_with(": first"));
}

TEST_F(ReportTest, ProgressTruncatesToHundredthsOfAPercent) {
  updateProgressBar(1, 0.12345);
  updateProgressBar(1, 1.0);
  const auto progress = surface_.calls("progress");
  ASSERT_EQ(progress.size(), 2u);
  EXPECT_DOUBLE_EQ(progress[0].percent, 12.34);
  EXPECT_EQ(progress[0].text, "12.34%");
  EXPECT_EQ(progress[1].text, "100.00%");
}

TEST_F(ReportTest, StatusColours) {
  updateStatus(1, 0);
  updateStatus(1, -1);
  updateStatus(1, 7);
  const auto statuses = surface_.calls("status");
  ASSERT_EQ(statuses.size(), 3u);
  EXPECT_EQ(statuses[0].lamp, host::kGreen);
  EXPECT_TRUE(statuses[0].lampOn);
  EXPECT_EQ(statuses[0].textColour, host::kGreen);
  EXPECT_EQ(statuses[1].lamp, host::kRed);
  EXPECT_FALSE(statuses[1].lampOn);
  EXPECT_EQ(statuses[1].textColour, host::kRed);
  EXPECT_EQ(statuses[2].lamp, host::kBlue) << "any positive status is working";
  EXPECT_EQ(statuses[2].textColour, host::kBlack);
}

}  // namespace
