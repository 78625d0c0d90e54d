// The headless backend on its own: the exact JSON of its events, how dialogs take their
// answers, and the small station pieces that only show through it (help item, elapsed time).

#include "ui/headless/headless_surface.h"

#include <gtest/gtest.h>

#include "host/report.h"
#include "station/dut_timer.h"
#include "station/startup.h"
#include "station/station_state.h"
#include "station_fixture.h"

namespace stationtest {
namespace {

class HeadlessSurfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    out_ = std::tmpfile();
    surface_ = std::make_unique<HeadlessSurface>(out_);
    host::installSurface(surface_.get());
  }
  void TearDown() override {
    host::installSurface(nullptr);
    surface_.reset();
    std::fclose(out_);
  }
  std::string text() {
    std::rewind(out_);
    std::string all;
    char buffer[512];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, out_)) all.append(buffer, n);
    return all;
  }
  std::FILE* out_ = nullptr;
  std::unique_ptr<HeadlessSurface> surface_;
};

TEST_F(HeadlessSurfaceTest, ReportsBecomeOneOrderedJsonLineEach) {
  updateStatus(1, -1);
  updateProgressBar(1, 0.12345);
  updateMesage(0, "dropped");
  surface_->setControl(host::Control::OnlyQcn, {true, true, false});
  EXPECT_EQ(text(),
            "{\"event\":\"status\",\"dut\":1,\"value\":-1,\"lamp\":\"red\",\"lit\":false,"
            "\"textColour\":\"red\"}\n"
            "{\"event\":\"progress\",\"dut\":1,\"value\":12.34,\"caption\":\"12.34%\"}\n"
            "{\"event\":\"control\",\"name\":\"qcnonly\",\"visible\":true,\"dimmed\":true,"
            "\"checked\":false}\n");
}

TEST_F(HeadlessSurfaceTest, TextThatIsNotUtf8IsReplacedNotFatal) {
  surface_->setFolderText("fw\xff\xfe");
  surface_->setFileTable({{"boot", "/fw/\x80.img", host::rgbFromHex(0x00FF00)},
                          {"sbl", "/fw/sbl.mbn", host::rgbFromHex(0x123456)}});
  std::vector<json> events = readEvents(out_);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0]["text"], "fw\xef\xbf\xbd\xef\xbf\xbd");
  EXPECT_EQ(events[1]["rows"][0]["colour"], "green");
  EXPECT_EQ(events[1]["rows"][1]["colour"], "#123456");
}

TEST_F(HeadlessSurfaceTest, DialogsTakeTheClickAnswerFirstThenQueuedOnesElseCancel) {
  host::FileChooserRequest request{"Please select 1 DUT qcn file", "*.xqcn", "/qcn"};
  EXPECT_EQ(surface_->chooseFile(request), std::nullopt) << "no answer: cancelled, not waiting";
  surface_->queueAnswer("/qcn/860000000000001.xqcn");
  surface_->queueAnswer(std::nullopt);
  surface_->setImmediateAnswer("/now");
  EXPECT_EQ(surface_->chooseFile(request), "/now");
  EXPECT_EQ(surface_->chooseFile(request), "/qcn/860000000000001.xqcn");
  surface_->setImmediateAnswer("/unused");
  surface_->clearImmediateAnswer();
  EXPECT_EQ(surface_->chooseFile(request), std::nullopt) << "the queued cancel";
  EXPECT_EQ(surface_->chooseFile(request), std::nullopt);
  std::vector<json> events = readEvents(out_);
  ASSERT_EQ(events.size(), 5u);
  EXPECT_EQ(events[0], (json{{"event", "chooser"},
                             {"kind", "file"},
                             {"title", "Please select 1 DUT qcn file"},
                             {"pattern", "*.xqcn"},
                             {"dir", "/qcn"}}));
}

TEST_F(HeadlessSurfaceTest, HelpItemOpensTheConfiguredDocument) {
  sHelpFile.clear();
  fnMenuAboutHlpCB();
  sHelpFile = "/doc/Zendral Help.pdf";
  fnMenuAboutHlpCB();
  sHelpFile.clear();
  std::vector<json> events = readEvents(out_);
  ASSERT_EQ(events.size(), 1u) << "no document configured: nothing opens";
  EXPECT_EQ(events[0]["path"], "/doc/Zendral Help.pdf");
}

TEST_F(HeadlessSurfaceTest, ElapsedTimeCountsTicksFromItsText) {
  setDutTimeText(1, "0");
  timerCB(1);
  timerCB(1);
  EXPECT_EQ(dutTimeText(1), "2");
  setDutTimeText(1, "garbage");
  timerCB(1);
  EXPECT_EQ(dutTimeText(1), "1") << "a text that is no number counts from 0";
  setDutTimeText(1, "99999999999999999999");
  timerCB(1);
  EXPECT_EQ(dutTimeText(1), "1");
  timerCB(-1);
  std::vector<json> events = readEvents(out_);
  EXPECT_EQ(events.back(), (json{{"event", "time"}, {"dut", 1}, {"text", "1"}}));
  resetDutTimers();
}

TEST_F(HeadlessSurfaceTest, ATickTakenBeforeTheTimerStoppedShowsNothing) {
  setDutTimeText(1, "0");
  startDutTimer(1);
  const unsigned run = dutTimerRun(1);
  dutTimerTick(1, run);
  EXPECT_EQ(dutTimeText(1), "1");
  stopDutTimer(1);
  dutTimerTick(1, run);  // the loop had this tick in hand when a worker stopped the timer
  EXPECT_EQ(dutTimeText(1), "1");
  startDutTimer(1);
  dutTimerTick(1, run);  // a late tick of the run before
  EXPECT_EQ(dutTimeText(1), "1");
  dutTimerTick(1, dutTimerRun(1));
  EXPECT_EQ(dutTimeText(1), "2");
  resetDutTimers();
}

}  // namespace
}  // namespace stationtest
