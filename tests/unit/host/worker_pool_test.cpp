#include "host/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "host/event_loop.h"
#include "host/operator_surface.h"
#include "host/report.h"

namespace {

using host::EventLoop;
using host::WorkerPool;

TEST(WorkerPoolTest, RunsEverythingInOrderOnOneThread) {
  EventLoop loop;
  WorkerPool pool(loop);
  std::vector<int> order;
  std::set<std::thread::id> threads;
  std::vector<int> ids;
  for (int i = 0; i < 4; ++i) {
    ids.push_back(pool.schedule([&, i] {
      order.push_back(i);
      threads.insert(std::this_thread::get_id());
      return i * 10;
    }));
  }
  pool.waitUntilFinished(ids.back());
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(threads.size(), 1u);
  EXPECT_NE(*threads.begin(), std::this_thread::get_id());
  EXPECT_EQ(std::set<int>(ids.begin(), ids.end()).size(), ids.size()) << "ids are distinct";
  for (int id : ids) EXPECT_GT(id, 0);
  EXPECT_EQ(pool.result(ids[2]), 20);
}

TEST(WorkerPoolTest, ReleasedAndUnknownIdsCountAsFinished) {
  EventLoop loop;
  WorkerPool pool(loop);
  int id = pool.schedule([] { return 5; });
  pool.waitUntilFinished(id);
  pool.release(id);
  EXPECT_TRUE(pool.isFinished(id));
  EXPECT_EQ(pool.result(id), 0);
  pool.waitUntilFinished(12345);  // returns at once
}

TEST(WorkerPoolTest, AWorkerWaitingForItselfDoesNotHang) {
  EventLoop loop;
  WorkerPool pool(loop);
  std::atomic<int> ownId{0};
  int id = pool.schedule([&] {
    while (ownId == 0) std::this_thread::yield();
    pool.waitUntilFinished(ownId);
    return 1;
  });
  ownId = id;
  pool.waitUntilFinished(id);
  EXPECT_EQ(pool.result(id), 1);
}

TEST(WorkerPoolTest, ShutdownFinishesQueuedWorkAndRefusesMore) {
  EventLoop loop;
  WorkerPool pool(loop);
  std::atomic<int> done{0};
  for (int i = 0; i < 3; ++i) pool.schedule([&] { return ++done; });
  pool.shutdown();
  EXPECT_EQ(done, 3);
  EXPECT_EQ(pool.schedule([] { return 0; }), 0);
  pool.shutdown();  // twice is harmless
}

// Records where and in which order status reports are drawn.
class DrawingSurface : public host::OperatorSurface {
 public:
  std::mutex mutex;
  std::vector<int> statuses;
  std::set<std::thread::id> drawnOn;
  void setDutMessage(int, const std::string&) override {}
  void setDutProgress(int, double, const std::string&) override {}
  void setDutStatus(int, int status, host::Rgb, bool, host::Rgb) override {
    std::lock_guard lock(mutex);
    statuses.push_back(status);
    drawnOn.insert(std::this_thread::get_id());
  }
  void messageBox(const std::string&, const std::string&) override {}
};

// The UI thread waits for a worker that is itself waiting for the UI thread to draw its status:
// the wait must keep the UI loop running, or neither would ever continue.
TEST(WorkerPoolTest, WaitingOnTheUiThreadForAReportingWorkerDoesNotDeadlock) {
  DrawingSurface surface;
  host::installSurface(&surface);
  EventLoop& loop = host::uiLoop();
  ASSERT_TRUE(loop.bind());
  {
    WorkerPool pool(loop);
    int id = pool.schedule([] {
      for (int i = 1; i <= 50; ++i) updateStatus(1, i);
      updateStatus(1, -1);
      return 0;
    });
    pool.waitUntilFinished(id);
    // Every report was drawn, on this (the UI) thread, before the wait ended.
    std::lock_guard lock(surface.mutex);
    ASSERT_EQ(surface.statuses.size(), 51u);
    EXPECT_EQ(surface.statuses.back(), -1);
    EXPECT_EQ(surface.drawnOn, std::set<std::thread::id>{std::this_thread::get_id()});
  }
  loop.detach();
  host::installSurface(nullptr);
}

TEST(WorkerPoolTest, ShutdownOnTheUiThreadLetsQueuedReportsThrough) {
  DrawingSurface surface;
  host::installSurface(&surface);
  EventLoop& loop = host::uiLoop();
  ASSERT_TRUE(loop.bind());
  {
    WorkerPool pool(loop);
    for (int i = 0; i < 3; ++i) {
      pool.schedule([] {
        updateProgressBar(1, 0.5);
        updateStatus(1, 1);
        return 0;
      });
    }
    pool.shutdown();
  }
  loop.detach();
  host::installSurface(nullptr);
  EXPECT_EQ(surface.statuses.size(), 3u);
}

}  // namespace
