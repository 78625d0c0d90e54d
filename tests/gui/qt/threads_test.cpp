// The window against the station's threads: Stop waits for a worker that reports while it
// waits, clicks made meanwhile wait their turn, and calls from other threads never deadlock
// with the GUI thread.

#include <QApplication>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <mutex>
#include <thread>

#include "gui_fixture.h"
#include "host/clock.h"
#include "host/event_loop.h"
#include "host/operator_surface.h"
#include "host/report.h"
#include "station/dut_slots.h"
#include "station/station_state.h"
#include "ui/qt/dut_row.h"
#include "ui/qt/main_window.h"
#include "ui/qt/operator_actions.h"
#include "ui/qt/qt_loop_driver.h"
#include "ui/qt/qt_station.h"
#include "ui/qt/qt_surface.h"
#include "ui/qt/status_lamp.h"

namespace guitest {
namespace {

using host::Control;

// One slot whose worker starts with the station: it reports, waits an hour unless stopped,
// and after the stop reports again through the window (which only works if the window keeps
// running while Stop waits) and, as an impatient operator would, clicks Start.
class WaitingSlot : public DutSlots {
 public:
  std::atomic<bool> delayCompleted{true};
  std::atomic<int> stops{0};
  std::function<void()> afterStop;

  void resetSlots(uint32_t) override {
    busy_ = true;
    workerId_ = gThreadPool->schedule([this] {
      updateStatus(1, 1);
      updateMesage(1, "working");
      delayCompleted = host::Delay(3600);
      updateMesage(1, "stopped while waiting");
      updateStatus(1, -1);
      if (afterStop) afterStop();
      return -1;
    });
  }
  int findBusySlot() override { return busy_ ? 0 : -1; }
  void stopSlot(int) override {
    ++stops;
    gThreadPool->waitUntilFinished(workerId_);
    gThreadPool->release(workerId_);
    busy_ = false;
  }

 private:
  std::atomic<int> workerId_{0};
  bool busy_ = false;
};

class ThreadsTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    installDutSlots(&slot_);
  }
  void TearDown() override {
    installDutSlots(nullptr);
    GuiTest::TearDown();
  }
  WaitingSlot slot_;
};

TEST_F(ThreadsTest, StopKeepsTheWindowRunningAndAClickMadeMeanwhileWaitsForIt) {
  QString message;
  QColor lamp;
  int listeningAfter = -1;
  std::atomic<bool> startClickedDuringStop{false};
  QtStation* running = nullptr;
  slot_.afterStop = [&] {
    // A click on Start while Stop still waits: the GUI thread takes it in its nested loop.
    QMetaObject::invokeMethod(
        qApp,
        [&] {
          running->actions().triggerItem(Control::Start);
          startClickedDuringStop = true;
        },
        Qt::BlockingQueuedConnection);
  };
  runStation([&](QtStation& station) {
    running = &station;
    MainWindow& window = station.window();
    clickMenuBarItem(station, window.menuAction(Control::Start));
    settle(station);
    ASSERT_EQ(listening, 1);
    clickMenuBarItem(station, window.menuAction(Control::Stop));
    settle(station);
    message = window.dutRow().message();
    lamp = window.dutRow().lamp().colour();
    listeningAfter = listening;
    // Leave the station stopped so that closing it does not wait for another worker.
    clickMenuBarItem(station, window.menuAction(Control::Stop));
    settle(station);
  });
  EXPECT_FALSE(slot_.delayCompleted) << "the hour-long delay ended on Stop";
  EXPECT_EQ(slot_.stops, 1);
  EXPECT_TRUE(startClickedDuringStop);
  EXPECT_EQ(message, "stopped while waiting");
  EXPECT_EQ(lamp, QColor(255, 0, 0));
  // Start ran after Stop had finished, when it was enabled again.
  EXPECT_EQ(listeningAfter, 1);
}

TEST_F(ThreadsTest, ClosingWhileAWorkerWaitsEndsItAndExits) {
  int code = runStation([&](QtStation& station) {});
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(slot_.delayCompleted);
  EXPECT_EQ(slot_.stops, 1);
}

using SurfaceThreadTest = GuiTest;

TEST_F(SurfaceThreadTest, TimeTextFromAWorkerNeverWaitsForTheGuiThread) {
  // The elapsed-time text is set under the timer lock, which the GUI thread's ticks take too:
  // a worker that waited for the GUI thread there would deadlock with a tick.
  QString shown;
  runStation([&](QtStation& station) {
    std::mutex timerLock;
    std::thread worker([&] {
      std::lock_guard hold(timerLock);
      host::surface().setDutTime(1, "0");
    });
    // The GUI thread blocks (without processing events) until the worker is done.
    worker.join();
    settle(station);
    shown = station.window().dutRow().time();
  });
  EXPECT_EQ(shown, "0");
}

TEST_F(SurfaceThreadTest, CallsAfterTheWindowStoppedAreDroppedNotHung) {
  std::unique_ptr<QtStation> station = std::make_unique<QtStation>();
  QtSurface* surface = &station->surface();
  surface->detach();
  // Nothing processes events on the GUI thread while this thread waits for the worker.
  std::thread worker([&] {
    surface->setDutMessage(1, "late");
    surface->messageBox("Error", "late");
  });
  worker.join();
  EXPECT_EQ(station->window().dutRow().message(), "");
}

using QtLoopDriverTest = GuiTest;

TEST_F(QtLoopDriverTest, TasksTimersAndNestedWaitsRunInQtsLoop) {
  host::EventLoop loop;
  QtLoopDriver driver(loop);
  loop.setDriver(&driver);
  ASSERT_TRUE(loop.bind());
  int ticks = 0;
  bool drawnByQt = false;
  std::atomic<bool> finished{false};
  int timer = loop.startTimer(1, [&] { ++ticks; });
  std::thread worker;
  loop.post([&] {
    worker = std::thread([&] {
      // A blocking call only Qt's loop delivers, then one through the UI loop.
      QMetaObject::invokeMethod(
          qApp, [&] { drawnByQt = true; }, Qt::BlockingQueuedConnection);
      loop.postAndWait([] {});
      finished = true;
      loop.wake();
    });
    // Waits as Stop does: nested, so that both calls above get through.
    loop.runUntil([&] { return finished.load(); });
    loop.runUntil([&] { return ticks >= 2; });
    loop.stopTimer(timer);
    loop.quit();
  });
  EXPECT_TRUE(loop.run());
  worker.join();
  EXPECT_TRUE(drawnByQt);
  EXPECT_GE(ticks, 2);
  EXPECT_EQ(driver.nestedDepth(), 0);
  loop.setDriver(nullptr);
  loop.detach();
}

}  // namespace
}  // namespace guitest

namespace guitest {
namespace {

using SignalTest = GuiTest;

TEST_F(SignalTest, ATerminationSignalCancelsTheOpenDialogAndClosesTheStation) {
  // Without the answerer the box below waits for an operator who never comes; only the
  // signal's handling can end it.
  delete answerer_;
  answerer_ = nullptr;
  bool boxReturned = false;
  int code = runStation([&](QtStation& station) {
    QTimer::singleShot(0, [] { std::raise(SIGTERM); });
    MessagePopup("Error", "waiting for the operator");
    boxReturned = true;
  });
  EXPECT_TRUE(boxReturned);
  EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace guitest
