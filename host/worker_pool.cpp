#include "host/worker_pool.h"

namespace host {

WorkerPool::WorkerPool(EventLoop& loop) : loop_(loop) {
  thread_ = std::thread([this] { workerMain(); });
}

WorkerPool::~WorkerPool() {
  shutdown();
}

int WorkerPool::schedule(Work work) {
  std::lock_guard lock(mutex_);
  if (!accepting_ || !work) return 0;
  int id = nextId_++;
  if (nextId_ <= 0) nextId_ = 1;
  finished_[id] = false;
  queue_.push_back(Job{id, std::move(work)});
  changed_.notify_all();
  return id;
}

bool WorkerPool::isFinished(int id) const {
  std::lock_guard lock(mutex_);
  auto it = finished_.find(id);
  return it == finished_.end() || it->second;
}

void WorkerPool::waitUntilFinished(int id) {
  if (isWorkerThread()) return;  // a worker waiting for itself would never return
  if (loop_.isLoopThread()) {
    loop_.runUntil([this, id] { return isFinished(id); });
    return;
  }
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] {
    auto it = finished_.find(id);
    return it == finished_.end() || it->second;
  });
}

int WorkerPool::result(int id) const {
  std::lock_guard lock(mutex_);
  auto it = results_.find(id);
  return it == results_.end() ? 0 : it->second;
}

void WorkerPool::release(int id) {
  std::lock_guard lock(mutex_);
  auto it = finished_.find(id);
  if (it == finished_.end() || !it->second) return;
  finished_.erase(it);
  results_.erase(id);
}

void WorkerPool::shutdown() {
  int lastId = 0;
  {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable()) return;
    accepting_ = false;
    if (!queue_.empty()) lastId = queue_.back().id;
    for (const auto& [id, done] : finished_) {
      if (!done) lastId = std::max(lastId, id);
    }
  }
  // Wait the loop-friendly way first, so work that reports to the UI thread can end.
  if (lastId) waitUntilFinished(lastId);
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    changed_.notify_all();
  }
  if (isWorkerThread()) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

bool WorkerPool::isWorkerThread() const {
  return std::this_thread::get_id() == thread_.get_id();
}

void WorkerPool::workerMain() {
  while (true) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    int value = job.work();
    {
      std::lock_guard lock(mutex_);
      finished_[job.id] = true;
      results_[job.id] = value;
      changed_.notify_all();
    }
    // Outside our lock: the loop's wait checks isFinished, which takes it.
    loop_.wake();
  }
}

}  // namespace host
