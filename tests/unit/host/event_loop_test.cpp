#include "host/event_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

namespace {

using host::EventLoop;

// Runs `loop` on a thread of its own until the test ends.
class LoopThread {
 public:
  explicit LoopThread(EventLoop& loop) : loop_(loop) {
    std::promise<void> bound;
    auto ready = bound.get_future();
    thread_ = std::thread([&] {
      loop_.bind();
      bound.set_value();
      loop_.run();
      loop_.detach();
    });
    ready.wait();
  }
  ~LoopThread() {
    loop_.quit();
    thread_.join();
  }
  std::thread::id id() const { return thread_.get_id(); }

 private:
  EventLoop& loop_;
  std::thread thread_;
};

TEST(EventLoopTest, PostedTasksRunInOrderOnTheLoopThread) {
  EventLoop loop;
  std::vector<int> order;
  std::thread::id ranOn;
  {
    LoopThread thread(loop);
    for (int i = 0; i < 5; ++i) loop.post([&order, i] { order.push_back(i); });
    loop.postAndWait([&] { ranOn = std::this_thread::get_id(); });
    EXPECT_EQ(ranOn, thread.id());
  }
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(EventLoopTest, PostAndWaitOnTheLoopThreadRunsInline) {
  EventLoop loop;
  LoopThread thread(loop);
  int depth = 0;
  loop.postAndWait([&] {
    // Waiting for the loop from inside the loop would never end.
    loop.postAndWait([&] { depth = 2; });
  });
  EXPECT_EQ(depth, 2);
}

TEST(EventLoopTest, WithoutALoopThreadEverythingRunsOnTheCaller) {
  EventLoop loop;
  std::thread::id ranOn;
  loop.post([&] { ranOn = std::this_thread::get_id(); });
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  loop.postAndWait([&] { ranOn = {}; });
  EXPECT_EQ(ranOn, std::thread::id());
}

TEST(EventLoopTest, DetachRunsWhatIsQueuedSoNoWaiterIsLeftBehind) {
  EventLoop loop;
  ASSERT_TRUE(loop.bind());
  std::atomic<bool> ran{false};
  std::thread waiter([&] { loop.postAndWait([&] { ran = true; }); });
  while (loop.pendingTasks() == 0) std::this_thread::yield();
  loop.detach();
  waiter.join();
  EXPECT_TRUE(ran);
  EXPECT_FALSE(loop.isBound());
  // Unbound again: a post runs at once on its caller.
  bool inline_ = false;
  loop.post([&] { inline_ = true; });
  EXPECT_TRUE(inline_);
}

TEST(EventLoopTest, RunUntilKeepsProcessingTasksWhileItWaits) {
  EventLoop loop;
  ASSERT_TRUE(loop.bind());
  std::atomic<bool> answered{false};
  // A helper thread needs the loop to answer before the condition can hold.
  std::thread helper([&] { loop.postAndWait([&] { answered = true; }); });
  loop.runUntil([&] { return answered.load(); });
  helper.join();
  EXPECT_TRUE(answered);
  loop.detach();
}

TEST(EventLoopTest, TimersTickOnTheLoopThreadUntilStopped) {
  EventLoop loop;
  ASSERT_TRUE(loop.bind());
  int ticks = 0;
  int id = 0;
  id = loop.startTimer(1, [&] {
    EXPECT_TRUE(loop.isLoopThread());
    if (++ticks == 3) loop.stopTimer(id);
  });
  EXPECT_NE(id, 0);
  loop.runUntil([&] { return ticks >= 3; });
  // Once stopped, it stays quiet: a quick task round does not tick it again.
  loop.post([&] { loop.quit(); });
  loop.run();
  EXPECT_EQ(ticks, 3);
  loop.detach();
}

}  // namespace

namespace {

// A toolkit loop stand-in: runs on the loop's thread, calls processPending when woken and
// when the next timer is due.
class FakeToolkit : public host::EventLoopDriver {
 public:
  explicit FakeToolkit(EventLoop& loop) : loop_(loop) {}
  void wake() override {
    std::lock_guard lock(mutex_);
    ++wakes_;
    changed_.notify_all();
  }
  void run() override {
    ++runs;
    std::unique_lock lock(mutex_);
    while (!quit_) {
      lock.unlock();
      int64_t nextTimer = loop_.processPending();
      lock.lock();
      if (quit_) break;
      uint64_t seen = wakes_;
      auto woken = [&] { return quit_ || wakes_ != seen; };
      if (nextTimer < 0) {
        changed_.wait(lock, woken);
      } else {
        changed_.wait_for(lock, std::chrono::milliseconds(nextTimer), woken);
      }
    }
    quit_ = false;
  }
  void quit() override {
    std::lock_guard lock(mutex_);
    quit_ = true;
    changed_.notify_all();
  }
  int runs = 0;

 private:
  EventLoop& loop_;
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t wakes_ = 0;
  bool quit_ = false;
};

TEST(EventLoopDriverTest, AToolkitLoopCarriesTasksTimersAndQuit) {
  EventLoop loop;
  FakeToolkit toolkit(loop);
  loop.setDriver(&toolkit);
  ASSERT_TRUE(loop.bind());
  bool early = false;
  loop.post([&] { early = true; });  // before the toolkit runs
  std::thread::id loopThread = std::this_thread::get_id();
  std::thread::id ranOn;
  int ticks = 0;
  int id = 0;  // outlives the task that starts the timer: the ticks read it
  std::thread worker([&] {
    loop.postAndWait([&] { ranOn = std::this_thread::get_id(); });
    loop.post([&] {
      id = loop.startTimer(1, [&] {
        if (++ticks == 2) {
          loop.stopTimer(id);
          loop.quit();
        }
      });
    });
  });
  EXPECT_TRUE(loop.run());
  worker.join();
  EXPECT_EQ(toolkit.runs, 1);
  EXPECT_TRUE(early);
  EXPECT_EQ(ranOn, loopThread);
  EXPECT_EQ(ticks, 2);
  loop.setDriver(nullptr);
  loop.detach();
}

}  // namespace

namespace {

// A toolkit with events of its own (a window system's queue) that can run nested. A call made
// through callAndWait from another thread is delivered only while the toolkit runs.
class NestingToolkit : public host::EventLoopDriver {
 public:
  explicit NestingToolkit(EventLoop& loop) : loop_(loop) {}
  void wake() override {
    std::lock_guard lock(mutex_);
    ++wakes_;
    changed_.notify_all();
  }
  void run() override {}
  void quit() override {}
  bool runNested(const std::function<bool()>& done) override {
    ++nestedRuns;
    while (true) {
      uint64_t seen;
      {
        std::lock_guard lock(mutex_);
        seen = wakes_;
      }
      deliverToolkitEvents();
      loop_.processPending();
      if (done()) return true;
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return wakes_ != seen || !events_.empty(); });
    }
  }
  // From another thread: runs `call` in the toolkit's loop and returns once it has run.
  void callAndWait(const std::function<void()>& call) {
    std::promise<void> ran;
    {
      std::lock_guard lock(mutex_);
      events_.push_back([&] {
        call();
        ran.set_value();
      });
      changed_.notify_all();
    }
    ran.get_future().wait();
  }
  int nestedRuns = 0;

 private:
  void deliverToolkitEvents() {
    std::unique_lock lock(mutex_);
    while (!events_.empty()) {
      auto event = std::move(events_.front());
      events_.pop_front();
      lock.unlock();
      event();
      lock.lock();
    }
  }
  EventLoop& loop_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> events_;
  uint64_t wakes_ = 0;
};

TEST(EventLoopDriverTest, AWaitOnTheLoopThreadKeepsTheToolkitsOwnEventsFlowing) {
  EventLoop loop;
  NestingToolkit toolkit(loop);
  loop.setDriver(&toolkit);
  ASSERT_TRUE(loop.bind());
  std::atomic<bool> finished{false};
  bool drawnByToolkit = false;
  bool ranOnLoop = false;
  // The worker waits first for the toolkit, then for the loop; a wait that only processed the
  // loop's tasks would never end.
  std::thread worker([&] {
    toolkit.callAndWait([&] { drawnByToolkit = true; });
    loop.postAndWait([&] { ranOnLoop = true; });
    finished = true;
    loop.wake();
  });
  loop.runUntil([&] { return finished.load(); });
  worker.join();
  EXPECT_TRUE(drawnByToolkit);
  EXPECT_TRUE(ranOnLoop);
  EXPECT_EQ(toolkit.nestedRuns, 1);
  loop.setDriver(nullptr);
  loop.detach();
}

TEST(EventLoopDriverTest, ADriverThatCannotNestLeavesTheWaitToTheLoop) {
  EventLoop loop;
  FakeToolkit toolkit(loop);  // runNested keeps its default: it cannot nest
  loop.setDriver(&toolkit);
  ASSERT_TRUE(loop.bind());
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    loop.postAndWait([] {});
    finished = true;
    loop.wake();
  });
  loop.runUntil([&] { return finished.load(); });
  worker.join();
  EXPECT_TRUE(finished);
  loop.setDriver(nullptr);
  loop.detach();
}

}  // namespace
