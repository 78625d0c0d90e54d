// The DUT row drawing the reports of a worker: status colours, the progress caption, the
// message line, ports and the elapsed time; screenshots of the main panel idle and working
// (the road tests take the finished and the failed ones).

#include <QApplication>
#include <thread>

#include <QPushButton>

#include "gui_fixture.h"
#include "host/operator_surface.h"
#include "host/report.h"
#include "station/dut_timer.h"
#include "station/station_state.h"
#include "ui/qt/dut_row.h"
#include "ui/qt/main_window.h"
#include "ui/qt/operator_actions.h"
#include "ui/qt/qt_station.h"
#include "ui/qt/status_lamp.h"

namespace guitest {
namespace {

// Runs `work` on the station's worker thread and waits for it on the GUI thread, as Stop does:
// the window keeps running meanwhile, so the worker's reports are drawn.
void onWorker(const std::function<void()>& work) {
  int id = gThreadPool->schedule([&] {
    work();
    return 0;
  });
  ASSERT_GT(id, 0);
  gThreadPool->waitUntilFinished(id);
  gThreadPool->release(id);
}

struct RowSeen {
  QColor lamp;
  bool lit = false;
  QColor text;
  QString message;
};

RowSeen seenRow(QtStation& station) {
  const DutRow& row = station.window().dutRow();
  return {row.lamp().colour(), row.lamp().isLit(), row.messageColour(), row.message()};
}

using DutRowTest = GuiTest;

TEST_F(DutRowTest, StatusColoursLampAndMessageAsReported) {
  RowSeen failed, passed, working, otherWorking;
  runStation([&](QtStation& station) {
    onWorker([] {
      updateMesage(1, "Download failed, Please repower 1 DUT.");
      updateStatus(1, -1);
    });
    failed = seenRow(station);
    onWorker([] { updateStatus(1, 0); });
    passed = seenRow(station);
    onWorker([] { updateStatus(1, 1); });
    working = seenRow(station);
    // An operation's own positive code shows as working too.
    onWorker([] { updateStatus(1, 1234); });
    otherWorking = seenRow(station);
  });
  EXPECT_EQ(failed.lamp, QColor(255, 0, 0));
  EXPECT_FALSE(failed.lit);
  EXPECT_EQ(failed.text, QColor(255, 0, 0));
  EXPECT_EQ(failed.message, "Download failed, Please repower 1 DUT.");
  EXPECT_EQ(passed.lamp, QColor(0, 255, 0));
  EXPECT_TRUE(passed.lit);
  EXPECT_EQ(passed.text, QColor(0, 255, 0));
  EXPECT_EQ(working.lamp, QColor(0, 0, 255));
  EXPECT_TRUE(working.lit);
  EXPECT_EQ(working.text, QColor(0, 0, 0));
  EXPECT_EQ(otherWorking.lamp, working.lamp);
  EXPECT_EQ(otherWorking.text, working.text);
}

TEST_F(DutRowTest, ProgressShowsHundredthsOfAPercentTruncated) {
  std::vector<std::pair<QString, int>> seen;
  runStation([&](QtStation& station) {
    const DutRow& row = station.window().dutRow();
    for (double fraction : {0.12345, 1.0, 0.0, 0.99999}) {
      onWorker([fraction] { updateProgressBar(1, fraction); });
      seen.emplace_back(row.progressCaption(), row.progressValue());
    }
  });
  EXPECT_EQ(seen, (std::vector<std::pair<QString, int>>{
                      {"12.34%", 1234}, {"100.00%", 10000}, {"0.00%", 0}, {"99.99%", 9999}}));
}

TEST_F(DutRowTest, MessagesPortsAndTimeFromAnyThread) {
  QString message, time;
  QStringList ports;
  runStation([&](QtStation& station) {
    onWorker([] {
      ShowMesage(1, "Waiting for the diagnostic port...");
      host::surface().setDutPorts(1, {"COM3", "COM4"});
      // Reports for DUTs the window has no row for are dropped.
      ShowMesage(2, "not shown");
    });
    timerCB(1);
    timerCB(1);
    settle(station);
    const DutRow& row = station.window().dutRow();
    message = row.message();
    ports = row.ports();
    time = row.time();
  });
  EXPECT_EQ(message, "Waiting for the diagnostic port...");
  EXPECT_EQ(ports, (QStringList{"COM3", "COM4"}));
  EXPECT_EQ(time, "2");
}

TEST_F(DutRowTest, OneRowPerSlotEachShowingItsOwnDut) {
  writeFile("cfg.ini", "[Platform]\nDutCount = 3\n");
  int rows = 0;
  QString first, third;
  bool fourthShown = true;
  runStation([&](QtStation& station) {
    onWorker([] {
      ShowMesage(1, "one");
      ShowMesage(3, "three");
      ShowMesage(4, "not shown");
    });
    const MainWindow& window = station.window();
    rows = window.dutCount();
    first = window.dutRowOf(1)->message();
    third = window.dutRowOf(3)->message();
    fourthShown = window.dutRowOf(4) != nullptr;
    saveScreenshot(station.window().centralWidget(), "three-duts");
  });
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(first, "one");
  EXPECT_EQ(third, "three");
  EXPECT_FALSE(fourthShown);
}

TEST_F(DutRowTest, ScreenshotsOfTheMainPanel) {
  writeFile("cfg.ini",
            "[Platform]\ncurrent = Qca_9x07\nVersion = Zendral-L V2.1\nBacupRestorQcn = True\n"
            "SupportHalvoC = True\nSupportHalvoG = True\n");
  FakePlatform::folder = "/home/line/firmware/MDM9207_R02";
  runStation([&](QtStation& station) {
    MainWindow& window = station.window();
    host::surface().setQmbnText("efs2.qmbn");
    settle(station);
    saveScreenshot(&window, "main_panel_idle");

    clickMenuBarItem(station, window.menuAction(host::Control::Start));
    settle(station);
    onWorker([] {
      host::surface().setDutPorts(1, {"COM100", "COM101"});
      updateMesage(1, "Downloading modem partitions...");
      updateStatus(1, 1);
      updateProgressBar(1, 0.4567);
    });
    setDutTimeText(1, "42");
    settle(station);
    saveScreenshot(&window, "main_panel_working");
  });
}

}  // namespace
}  // namespace guitest
