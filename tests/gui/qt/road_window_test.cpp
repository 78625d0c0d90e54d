// The whole road of one Qca9x07 module on the virtual bench, with the operator driving the
// real window: Start from the menu, the DUT row following the download to its end. Screenshots
// of the main panel after a finished road and after a failed one go to the output folder.

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdlib>

#include "gui_fixture.h"
#include "host/bench_client.h"
#include "ini/inifile.h"
#include "support/bench_server.h"
#include "support/program_run.h"
#include "ui/qt/dut_row.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_station.h"
#include "ui/qt/status_lamp.h"

namespace guitest {
namespace {

// Every wait of the station runs at a hundredth of its length (read once, before any wait).
const bool kScaledTime = ::setenv("ZENDRAL_TIME_SCALE", "0.01", 1) == 0;

using host::Control;
using nlohmann::json;
using test_support::binPath;

class RoadWindowTest : public GuiTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kScaledTime);
    GuiTest::SetUp();
    // The station's own chipset procedures, not the fake platform of the other window tests.
    installPlatformRows(nullptr);
    bench_ = std::make_unique<test_support::BenchServer>(binPath("zendral-bench"),
                                                         (dir_ / "bench.sock").string());
    ASSERT_TRUE(bench_->ready()) << bench_->error();
    ::setenv("ZENDRAL_BENCH", bench_->socket().c_str(), 1);
    test_support::ProgramRun made = test_support::runProgram(
        {binPath("zendral-bench"), "make-firmware", "--platform", "Qca9x07",
         (dir_ / "firmware").string(), "--size-scale", "0.01", "--station-dir", dir_.string()});
    ASSERT_EQ(made.status, 0) << made.out << made.err;
    writeFile("cfg.ini",
              "[Platform]\ncurrent = Qca_9x07\nVersion = Zendral-L V2.1\nSupportHalvoC = True\n");
    std::filesystem::create_directories(dir_ / "Platform");
    IniDocumentPtr platform(Ini_New(0));
    Ini_PutString(platform.get(), "Dir", "Dir Path", (dir_ / "firmware").c_str());
    Ini_PutString(platform.get(), "Dir", "CheckCFUN", "+CFUN: 1");
    ASSERT_EQ(Ini_WriteToFile(platform.get(), (dir_ / "Platform/Qca9x07.ini").c_str()), 0);
  }

  void TearDown() override {
    bench_.reset();
    ::unsetenv("ZENDRAL_BENCH");
    GuiTest::TearDown();
  }

  void plug(const std::vector<std::string>& faults = {}) {
    const json reply =
        bench_->request({{"cmd", "plug"}, {"platform", "Qca9x07"}, {"faults", faults}});
    EXPECT_TRUE(host::benchReplyOk(reply)) << reply.dump();
  }

  // Lets the window run until `done` holds; false when it does not within a generous while
  // (a guard against hangs, not a measure of speed).
  static bool runWindowUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      QEventLoop pause;
      QTimer::singleShot(20, &pause, &QEventLoop::quit);
      pause.exec();
    }
    return true;
  }

  std::unique_ptr<test_support::BenchServer> bench_;
};

TEST_F(RoadWindowTest, AFinishedRoadEndsGreenInTheWindow) {
  QString message, caption;
  QColor lamp;
  runStation([&](QtStation& station) {
    MainWindow& window = station.window();
    const DutRow& row = window.dutRow();
    ASSERT_TRUE(window.menuAction(Control::Start)->isEnabled()) << "the firmware loaded";
    plug();
    clickMenuBarItem(station, window.menuAction(Control::Start));
    const bool finished = runWindowUntil([&] {
      return row.message() == "Update Success!" && row.lamp().colour() == QColor(0, 255, 0);
    });
    message = row.message();
    caption = row.progressCaption();
    lamp = row.lamp().colour();
    saveScreenshot(&window, "road_passed");
    ASSERT_TRUE(finished) << "the row shows: " << message.toStdString();
  });
  EXPECT_EQ(message, "Update Success!");
  EXPECT_EQ(lamp, QColor(0, 255, 0));
  EXPECT_EQ(caption, "100.00%");
}

TEST_F(RoadWindowTest, AFailedRoadEndsRedInTheWindow) {
  QString message;
  QColor lamp, text;
  runStation([&](QtStation& station) {
    MainWindow& window = station.window();
    const DutRow& row = window.dutRow();
    plug({"fastboot-fail:system"});
    clickMenuBarItem(station, window.menuAction(Control::Start));
    const bool failed = runWindowUntil([&] {
      return row.message() == "AP Download Failed." && row.lamp().colour() == QColor(255, 0, 0);
    });
    message = row.message();
    lamp = row.lamp().colour();
    text = row.messageColour();
    saveScreenshot(&window, "road_failed");
    ASSERT_TRUE(failed) << "the row shows: " << message.toStdString();
    clickMenuBarItem(station, window.menuAction(Control::Stop));
    settle(station);
  });
  EXPECT_EQ(message, "AP Download Failed.");
  EXPECT_EQ(lamp, QColor(255, 0, 0));
  EXPECT_EQ(text, QColor(255, 0, 0));
}

}  // namespace
}  // namespace guitest
