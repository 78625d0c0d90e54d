#pragma once
// The UI thread's event loop: tasks posted from any thread run on the loop's thread in order,
// and interval timers fire there. The station's main thread binds the loop by running it;
// callbacks, device notifications and the drawing of status reports all run on it.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace host {

// A toolkit with an event loop of its own (a window system) drives the UI loop through this:
// the loop asks it to call processPending() on the UI thread soon whenever work arrives, and
// run()/quit() hand over to the toolkit's loop.
class EventLoopDriver {
 public:
  virtual ~EventLoopDriver() = default;
  // Called from any thread; processPending() must follow on the loop's thread.
  virtual void wake() = 0;
  // Runs the toolkit's loop until quit().
  virtual void run() = 0;
  virtual void quit() = 0;
  // On the loop's thread: runs the toolkit's loop, nested, until `done()` holds, checking it
  // after every wake-up the driver handles. runUntil uses it, so that the window stays alive
  // while the UI thread waits for a worker that may itself wait for the window. Returns false
  // when the toolkit cannot nest; the loop then waits by itself.
  virtual bool runNested(const std::function<bool()>& done) { return false; }
};

class EventLoop {
 public:
  using Task = std::function<void()>;

  EventLoop() = default;
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  // Queues `task` for the loop's thread. Without a bound loop thread the task runs at once on
  // the caller's thread, so library code and tools work without a loop.
  void post(Task task);

  // Runs `task` on the loop's thread and returns once it has run. On the loop's thread itself,
  // or when no thread is bound, it runs inline: waiting for ourselves would never end.
  void postAndWait(const Task& task);

  // Makes the calling thread the loop's thread; tasks posted from now on queue until it
  // processes them. Returns false when another thread owns the loop.
  bool bind();

  // Binds the loop to the calling thread (if unbound) and processes tasks and timers until
  // quit() is called. Returns false when another thread owns the loop.
  bool run();

  // Ends the innermost run() after the task that is running now.
  void quit();

  // On the loop's thread: processes tasks and timers until `done()` holds, so that a callback
  // can wait for something that itself needs the loop (a worker reporting its status); with a
  // driver that can nest, the toolkit's own events are processed too. Elsewhere it waits
  // without processing. `done` is checked after every wake().
  void runUntil(const std::function<bool()>& done);

  // Makes a runUntil re-check its condition (and wakes the driver, if any).
  void wake();

  // Runs every queued task, then unbinds the loop: later posts run inline on their caller.
  // Called by the owner when it stops processing events for good.
  void detach();

  bool isLoopThread() const;
  bool isBound() const;
  // Tasks posted and not yet run.
  size_t pendingTasks() const;

  // Hands run(), quit() and the wake-ups to `driver` (not owned; null: the loop runs itself).
  void setDriver(EventLoopDriver* driver);
  // For a driver, on the loop's thread: runs the queued tasks and due timers. Returns the
  // milliseconds until the next timer is due, or -1 when no timer runs.
  int64_t processPending();

  // Calls `tick` on the loop's thread every `intervalMs` real milliseconds until stopped.
  // Returns the timer's id (never 0).
  int startTimer(int64_t intervalMs, Task tick);
  void stopTimer(int id);

 private:
  struct Timer {
    int64_t intervalMs;
    uint64_t dueMs;
    Task tick;
  };

  // With the lock held: runs one queued task or one due timer (releasing the lock around it)
  // and returns true, or returns false when there is nothing to do yet.
  bool processOne(std::unique_lock<std::mutex>& lock);
  // With the lock held: waits until `ready()` holds, a task arrives or the next timer is due.
  void waitForWork(std::unique_lock<std::mutex>& lock, const std::function<bool()>& ready);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Task> tasks_;
  std::map<int, Timer> timers_;
  // Tells the driver (if any) that work arrived; called without the lock.
  void wakeDriver();

  EventLoopDriver* driver_ = nullptr;
  int nextTimerId_ = 1;
  uint64_t timerGeneration_ = 0;
  std::thread::id owner_;
  bool bound_ = false;
  int quitRequests_ = 0;
  uint64_t wakeCount_ = 0;
};

// The station's UI loop.
EventLoop& uiLoop();

}  // namespace host
