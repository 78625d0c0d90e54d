#include "host/report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <vector>

#include "host/operator_surface.h"

namespace {

struct StatusCall {
  int status;
  host::Rgb lamp;
  bool on;
  host::Rgb text;
};

class RecordingSurface : public host::OperatorSurface {
 public:
  std::vector<std::string> messages;
  std::vector<std::pair<double, std::string>> progress;
  std::vector<StatusCall> statuses;
  void setDutMessage(int, const std::string& text) override { messages.push_back(text); }
  void setDutProgress(int, double percent, const std::string& caption) override {
    progress.emplace_back(percent, caption);
  }
  void setDutStatus(int, int status, host::Rgb lamp, bool on, host::Rgb text) override {
    statuses.push_back({status, lamp, on, text});
  }
  void messageBox(const std::string&, const std::string&) override {}
};

std::vector<std::string> readLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("zendral-report-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    previousDir_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    host::installSurface(&surface_);
  }
  void TearDown() override {
    host::installSurface(nullptr);
    std::filesystem::current_path(previousDir_);
    std::filesystem::remove_all(dir_);
  }
  RecordingSurface surface_;
  std::filesystem::path dir_, previousDir_;
};

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
  EXPECT_EQ(surface_.messages.back(), "") << "an empty message clears the line without a log line";
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
  ASSERT_EQ(surface_.progress.size(), 2u);
  EXPECT_DOUBLE_EQ(surface_.progress[0].first, 12.34);
  EXPECT_EQ(surface_.progress[0].second, "12.34%");
  EXPECT_EQ(surface_.progress[1].second, "100.00%");
}

TEST_F(ReportTest, StatusColours) {
  updateStatus(1, 0);
  updateStatus(1, -1);
  updateStatus(1, 7);
  ASSERT_EQ(surface_.statuses.size(), 3u);
  EXPECT_EQ(surface_.statuses[0].lamp, host::kGreen);
  EXPECT_TRUE(surface_.statuses[0].on);
  EXPECT_EQ(surface_.statuses[0].text, host::kGreen);
  EXPECT_EQ(surface_.statuses[1].lamp, host::kRed);
  EXPECT_FALSE(surface_.statuses[1].on);
  EXPECT_EQ(surface_.statuses[1].text, host::kRed);
  EXPECT_EQ(surface_.statuses[2].lamp, host::kBlue) << "any positive status is working";
  EXPECT_EQ(surface_.statuses[2].text, host::kBlack);
}

}  // namespace
