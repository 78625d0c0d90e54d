// How reports reach the surface: which DUT numbers are dropped, what the UI thread's handler
// makes of each message, and how out-of-range progress is held.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <vector>

#include "host/operator_surface.h"
#include "host/report.h"

namespace {

struct Call {
  std::string kind;
  int dut;
  std::string text;
};

class RecordingSurface : public host::OperatorSurface {
 public:
  std::vector<Call> calls;
  void setDutMessage(int dut, const std::string& text) override {
    calls.push_back({"message", dut, text});
  }
  void setDutProgress(int dut, double, const std::string& caption) override {
    calls.push_back({"progress", dut, caption});
  }
  void setDutStatus(int dut, int status, host::Rgb, bool, host::Rgb) override {
    calls.push_back({"status", dut, std::to_string(status)});
  }
  void messageBox(const std::string& title, const std::string& text) override {
    calls.push_back({"box", 0, title + "|" + text});
  }
};

class ReportRoutingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("zendral-routing-" + std::to_string(getpid()));
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

TEST_F(ReportRoutingTest, ReportsForNoDutAreDropped) {
  // A library callback whose connection belongs to no DUT reports for -1.
  for (int dut : {-1, 0, kMaxDuts + 1}) {
    updateMesage(dut, "stray");
    ShowMesage(dut, "stray");
    updateStatus(dut, -1);
    updateProgressBar(dut, 0.5);
    initLogfile(dut, "9x07");
    fnMsgCallback(UPDATE_STS, 0, dut);
  }
  EXPECT_TRUE(surface_.calls.empty());
  EXPECT_TRUE(std::filesystem::is_empty(dir_)) << "no Dut-1.log or Dut0.log appears";
}

TEST_F(ReportRoutingTest, ProgressOutsideItsRangeIsHeldToIt) {
  updateProgressBar(1, -0.25);
  updateProgressBar(1, std::numeric_limits<double>::quiet_NaN());
  updateProgressBar(1, 3.0);
  updateProgressBar(1, 1e300);
  ASSERT_EQ(surface_.calls.size(), 4u);
  EXPECT_EQ(surface_.calls[0].text, "0.00%");
  EXPECT_EQ(surface_.calls[1].text, "0.00%");
  EXPECT_EQ(surface_.calls[2].text, "100.00%");
  EXPECT_EQ(surface_.calls[3].text, "100.00%");
}

TEST_F(ReportRoutingTest, HandlerDrawsEachMessageForItsDut) {
  fnMsgCallback(UPDATE_PGB, 1234, 1);
  fnMsgCallback(UPDATE_STS, static_cast<uintptr_t>(intptr_t{-7}), 1);
  const wchar_t* wide = L"\u4e0b\u8f7d\u5b8c\u6210";  // four Chinese characters
  int index = 0;
  fnMsgCallback(UPDATE_MSG, reinterpret_cast<uintptr_t>(wide), reinterpret_cast<intptr_t>(&index));
  fnMsgCallback(4242, 1, 1);  // not a report: ignored
  ASSERT_EQ(surface_.calls.size(), 3u);
  EXPECT_EQ(surface_.calls[0].text, "12.34%");
  EXPECT_EQ(surface_.calls[1].text, "-7") << "the status keeps its sign";
  EXPECT_EQ(surface_.calls[2].dut, 1) << "the message names a 0-based index";
  EXPECT_EQ(surface_.calls[2].text, "\xe4\xb8\x8b\xe8\xbd\xbd\xe5\xae\x8c\xe6\x88\x90");
}

TEST_F(ReportRoutingTest, ConvertedMessageIsCutToTheLineWithoutSplittingACharacter) {
  std::wstring wide(100, L'\u4e2d');  // 300 bytes of UTF-8
  int index = 0;
  fnMsgCallback(UPDATE_MSG, reinterpret_cast<uintptr_t>(wide.c_str()),
                reinterpret_cast<intptr_t>(&index));
  ASSERT_EQ(surface_.calls.size(), 1u);
  EXPECT_EQ(surface_.calls[0].text.size(), 126u) << "42 whole characters fit in 127 bytes";
}

TEST_F(ReportRoutingTest, RecreatedReceiverIsAnnounced) {
  fnMsgCallback(kReceiverRecreated, 77, 0);
  EXPECT_EQ(g_mainHWND, 77u);
  ASSERT_EQ(surface_.calls.size(), 1u);
  EXPECT_EQ(surface_.calls[0].text, "|New handle!!!");
}

}  // namespace
