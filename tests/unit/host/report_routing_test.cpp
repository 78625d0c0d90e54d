// How reports reach the surface: which DUT numbers are dropped, what the UI thread's handler
// makes of each message, and how out-of-range progress is held.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <vector>

#include "host/report.h"
#include "report_fixture.h"

namespace {

class ReportRoutingTest : public ReportFixture {};

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
  EXPECT_TRUE(surface_.calls().empty());
  EXPECT_TRUE(std::filesystem::is_empty(folder_.path())) << "no Dut-1.log or Dut0.log appears";
}

TEST_F(ReportRoutingTest, ProgressOutsideItsRangeIsHeldToIt) {
  updateProgressBar(1, -0.25);
  updateProgressBar(1, std::numeric_limits<double>::quiet_NaN());
  updateProgressBar(1, 3.0);
  updateProgressBar(1, 1e300);
  const auto calls = surface_.calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].text, "0.00%");
  EXPECT_EQ(calls[1].text, "0.00%");
  EXPECT_EQ(calls[2].text, "100.00%");
  EXPECT_EQ(calls[3].text, "100.00%");
}

TEST_F(ReportRoutingTest, HandlerDrawsEachMessageForItsDut) {
  fnMsgCallback(UPDATE_PGB, 1234, 1);
  fnMsgCallback(UPDATE_STS, static_cast<uintptr_t>(intptr_t{-7}), 1);
  const wchar_t* wide = L"\u4e0b\u8f7d\u5b8c\u6210";  // four Chinese characters
  int index = 0;
  fnMsgCallback(UPDATE_MSG, reinterpret_cast<uintptr_t>(wide), reinterpret_cast<intptr_t>(&index));
  fnMsgCallback(4242, 1, 1);  // not a report: ignored
  const auto calls = surface_.calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].text, "12.34%");
  EXPECT_EQ(calls[1].text, "-7") << "the status keeps its sign";
  EXPECT_EQ(calls[2].dut, 1) << "the message names a 0-based index";
  EXPECT_EQ(calls[2].text, "\xe4\xb8\x8b\xe8\xbd\xbd\xe5\xae\x8c\xe6\x88\x90");
}

TEST_F(ReportRoutingTest, ConvertedMessageIsCutToTheLineWithoutSplittingACharacter) {
  std::wstring wide(100, L'\u4e2d');  // 300 bytes of UTF-8
  int index = 0;
  fnMsgCallback(UPDATE_MSG, reinterpret_cast<uintptr_t>(wide.c_str()),
                reinterpret_cast<intptr_t>(&index));
  const auto calls = surface_.calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].text.size(), 126u) << "42 whole characters fit in 127 bytes";
}

TEST_F(ReportRoutingTest, RecreatedReceiverIsAnnounced) {
  fnMsgCallback(kReceiverRecreated, 77, 0);
  EXPECT_EQ(g_mainHWND, 77u);
  ASSERT_EQ(surface_.calls().size(), 1u);
  EXPECT_EQ(surface_.boxes(), std::vector<std::string>{": New handle!!!"});
}

}  // namespace
