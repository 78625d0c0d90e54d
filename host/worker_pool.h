#pragma once
// The station's thread pool: one worker thread that runs scheduled functions one after the
// other. Each scheduled function gets an id by which the station waits for it to finish.

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "host/event_loop.h"

namespace host {

class WorkerPool {
 public:
  using Work = std::function<int()>;

  // Starts the worker thread (std::system_error when the system refuses a thread). Waits that
  // happen on `loop`'s thread keep that loop running (see waitUntilFinished).
  explicit WorkerPool(EventLoop& loop = uiLoop());
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;
  // Waits for everything scheduled, then ends the thread.
  ~WorkerPool();

  // Queues `work`; returns its id (> 0), or 0 when the pool no longer accepts work.
  int schedule(Work work);

  bool isFinished(int id) const;

  // Waits until the function `id` has returned (at once for unknown or released ids). On the
  // UI loop's thread the loop keeps processing while it waits, so a worker that is blocked in
  // a synchronous report to the UI thread can finish.
  void waitUntilFinished(int id);

  // The function's result once finished (0 for unknown ids).
  int result(int id) const;

  // Forgets a finished function's id and result.
  void release(int id);

  // Refuses new work, waits for queued and running work and ends the thread. Idempotent.
  void shutdown();

  // True on the pool's worker thread.
  bool isWorkerThread() const;

 private:
  struct Job {
    int id;
    Work work;
  };
  void workerMain();

  EventLoop& loop_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> queue_;
  std::map<int, bool> finished_;  // id -> finished, for every unreleased id
  std::map<int, int> results_;
  int nextId_ = 1;
  bool accepting_ = true;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace host
