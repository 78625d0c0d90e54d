#include "host/event_loop.h"

#include <chrono>

#include "host/clock.h"

namespace host {

void EventLoop::post(Task task) {
  {
    std::lock_guard lock(mutex_);
    if (!bound_) {
      // Not bound: run below, on the caller.
    } else {
      tasks_.push_back(std::move(task));
      changed_.notify_all();
      task = nullptr;
    }
  }
  if (task) {
    task();
  } else {
    wakeDriver();
  }
}

void EventLoop::postAndWait(const Task& task) {
  if (!isBound() || isLoopThread()) {
    task();
    return;
  }
  struct Completion {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
  };
  auto completion = std::make_shared<Completion>();
  post([&task, completion] {
    task();
    std::lock_guard lock(completion->mutex);
    completion->finished = true;
    completion->done.notify_all();
  });
  std::unique_lock lock(completion->mutex);
  completion->done.wait(lock, [&] { return completion->finished; });
}

bool EventLoop::bind() {
  std::lock_guard lock(mutex_);
  if (bound_) return owner_ == std::this_thread::get_id();
  bound_ = true;
  owner_ = std::this_thread::get_id();
  return true;
}

bool EventLoop::run() {
  if (!bind()) return false;
  EventLoopDriver* driver;
  {
    std::lock_guard lock(mutex_);
    driver = driver_;
  }
  if (driver) {
    processPending();  // what was posted before the toolkit's loop started
    driver->run();
    return true;
  }
  std::unique_lock lock(mutex_);
  while (true) {
    if (quitRequests_ > 0) {
      --quitRequests_;
      return true;
    }
    if (processOne(lock)) continue;
    waitForWork(lock, [this] { return quitRequests_ > 0; });
  }
}

void EventLoop::quit() {
  EventLoopDriver* driver;
  {
    std::lock_guard lock(mutex_);
    driver = driver_;
    if (!driver) ++quitRequests_;
    changed_.notify_all();
  }
  if (driver) driver->quit();
}

void EventLoop::runUntil(const std::function<bool()>& done) {
  const bool onLoop = isLoopThread();
  if (onLoop) {
    EventLoopDriver* driver;
    {
      std::lock_guard lock(mutex_);
      driver = driver_;
    }
    if (driver && driver->runNested(done)) return;
  }
  while (true) {
    uint64_t seen;
    {
      std::lock_guard lock(mutex_);
      seen = wakeCount_;
    }
    // The condition is checked without the loop's lock: it usually takes other locks.
    if (done()) return;
    std::unique_lock lock(mutex_);
    if (onLoop && processOne(lock)) continue;
    auto woken = [&] { return wakeCount_ != seen; };
    if (onLoop) {
      waitForWork(lock, woken);
    } else {
      changed_.wait(lock, woken);
    }
  }
}

void EventLoop::wake() {
  {
    std::lock_guard lock(mutex_);
    ++wakeCount_;
    changed_.notify_all();
  }
  wakeDriver();
}

void EventLoop::detach() {
  std::unique_lock lock(mutex_);
  while (!tasks_.empty()) {
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    lock.lock();
  }
  bound_ = false;
  owner_ = std::thread::id();
  quitRequests_ = 0;
}

bool EventLoop::isLoopThread() const {
  std::lock_guard lock(mutex_);
  return bound_ && owner_ == std::this_thread::get_id();
}

bool EventLoop::isBound() const {
  std::lock_guard lock(mutex_);
  return bound_;
}

size_t EventLoop::pendingTasks() const {
  std::lock_guard lock(mutex_);
  return tasks_.size();
}

int EventLoop::startTimer(int64_t intervalMs, Task tick) {
  int id;
  {
    std::lock_guard lock(mutex_);
    if (intervalMs < 1) intervalMs = 1;
    id = nextTimerId_++;
    timers_[id] = Timer{intervalMs, tickMs() + static_cast<uint64_t>(intervalMs), std::move(tick)};
    ++timerGeneration_;
    changed_.notify_all();
  }
  wakeDriver();  // the driver re-arms its own timer for the new due time
  return id;
}

void EventLoop::setDriver(EventLoopDriver* driver) {
  std::lock_guard lock(mutex_);
  driver_ = driver;
}

int64_t EventLoop::processPending() {
  std::unique_lock lock(mutex_);
  while (processOne(lock)) {
  }
  if (timers_.empty()) return -1;
  uint64_t nextDue = UINT64_MAX;
  for (const auto& [id, timer] : timers_) nextDue = std::min(nextDue, timer.dueMs);
  const uint64_t now = tickMs();
  return nextDue <= now ? 0 : static_cast<int64_t>(nextDue - now);
}

void EventLoop::wakeDriver() {
  EventLoopDriver* driver;
  {
    std::lock_guard lock(mutex_);
    driver = driver_;
  }
  if (driver) driver->wake();
}

void EventLoop::stopTimer(int id) {
  std::lock_guard lock(mutex_);
  timers_.erase(id);
}

bool EventLoop::processOne(std::unique_lock<std::mutex>& lock) {
  if (!tasks_.empty()) {
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    lock.lock();
    return true;
  }
  const uint64_t now = tickMs();
  for (auto& [id, timer] : timers_) {
    if (timer.dueMs > now) continue;
    // A loop that fell behind fires once and then keeps the interval from now.
    timer.dueMs = now + static_cast<uint64_t>(timer.intervalMs);
    Task tick = timer.tick;
    lock.unlock();
    tick();
    lock.lock();
    return true;
  }
  return false;
}

void EventLoop::waitForWork(std::unique_lock<std::mutex>& lock,
                            const std::function<bool()>& ready) {
  const uint64_t timerGeneration = timerGeneration_;
  auto hasWork = [&] { return ready() || !tasks_.empty() || timerGeneration_ != timerGeneration; };
  if (timers_.empty()) {
    changed_.wait(lock, hasWork);
    return;
  }
  uint64_t nextDue = UINT64_MAX;
  for (const auto& [id, timer] : timers_) nextDue = std::min(nextDue, timer.dueMs);
  const uint64_t now = tickMs();
  if (nextDue <= now) return;
  changed_.wait_for(lock, std::chrono::milliseconds(nextDue - now), hasWork);
}

EventLoop& uiLoop() {
  static EventLoop loop;
  return loop;
}

}  // namespace host
